// gravador: makes every recording the game and the speech library play, and
// the first diphone database, from eSpeak NG's Brazilian Portuguese voice.
//
//   gravador DADOS SOM
//
// DADOS holds unidades.txt, regras.rgr and portug.exc; SOM receives letras/,
// retenza/ and difones/.
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "difones.h"
#include "nomes.h"
#include "som.h"
#include "voz.h"

namespace fs = std::filesystem;
using namespace gravador;

namespace {

// Letters are heard once per key, so they are said briskly; capitals a good
// step higher, the way screen readers mark them.
const Entonacao kLetra{225, 50, 50};
const Entonacao kMaiuscula{225, 95, 50};
const Entonacao kNumero{190, 50, 40};
const Entonacao kAviso{165, 50, 60};
const Entonacao kUnidade{150, 50, 0};

size_t bytesGravados = 0;

void gravar(const fs::path &caminho, const Som &som) {
  auto amostras = paraOitoBits(som);
  gravarWav(caminho.string(), amostras);
  bytesGravados += amostras.size() + 44;
}

Som gravacaoFalada(Voz &voz, const std::string &texto, const Entonacao &e) {
  return normalizar(aparar(voz.falar(texto, e)));
}

void gravarLetras(Voz &voz, const fs::path &letras) {
  for (int c = 0; c <= 255; ++c) {
    NomeDeCodigo n = nomeDoCodigo(c);
    gravar(letras / ("_" + std::to_string(c) + ".wav"),
           gravacaoFalada(voz, n.texto, n.maiuscula ? kMaiuscula : kLetra));
  }
}

void gravarNumeros(Voz &voz, const fs::path &letras) {
  // These are joined back to back by the number reader, so they are cut
  // close to the voice.
  for (const auto &p : palavrasDeNumero())
    gravar(letras / (baseDePalavra(p.palavra) + ".wav"), normalizar(aparar(voz.falar(p.fala, kNumero), 0.03f, 3)));
  gravar(letras / "_MENOS.wav", normalizar(aparar(voz.falar("menos", kNumero), 0.03f, 3)));
}

void gravarAvisos(Voz &voz, const fs::path &retenza) {
  for (const auto &a : avisos()) {
    Som som;
    if (a.nome == "RZPLIM") {
      som = normalizar(sintetizarPlim());
    } else if (a.nome == "RZERROU") {
      // "Tsc, tsc, tsc..." is said with the tongue, not with letters.
      for (uint32_t i = 0; i < 5; ++i) {
        juntar(som, normalizar(sintetizarEstalo(i + 1), 1.0f, 0.8f));
        juntar(som, silencio(i == 2 ? 170 : 110));
      }
      juntar(som, silencio(120));
      juntar(som, gravacaoFalada(voz, a.texto, kAviso));
    } else {
      som = gravacaoFalada(voz, a.texto, kAviso);
    }
    gravar(retenza / (a.nome + ".wav"), som);
  }
}

void gravarDifones(Voz &voz, const std::vector<Unidade> &unidades, const fs::path &dados,
                   const fs::path &difones) {
  std::vector<UnidadeGravada> gravadas;
  for (const auto &u : unidades) {
    Som som = normalizar(aparar(voz.falar(u.texto, kUnidade), 0.03f, 2));
    if (som.empty()) throw std::runtime_error("unit " + u.nome + " renders as silence");
    gravadas.push_back({u.nome, paraOitoBits(som)});
  }
  for (const auto &g : gravadas) bytesGravados += g.amostras.size() + 15;
  gravarBanco((difones / "KLVOZ").string(), std::move(gravadas));
  for (const char *arquivo : {"regras.rgr", "portug.exc"}) {
    fs::copy_file(dados / arquivo, difones / arquivo, fs::copy_options::overwrite_existing);
    bytesGravados += fs::file_size(difones / arquivo);
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DADOS SOM\n", argv[0]);
    return 2;
  }
  auto inicio = std::chrono::steady_clock::now();
  try {
    fs::path dados = argv[1], som = argv[2];
    fs::path letras = som / "letras", retenza = som / "retenza", difones = som / "difones";
    // A bad unit list should stop the build before anything is written.
    auto unidades = lerUnidades((dados / "unidades.txt").string());
    for (const char *arquivo : {"regras.rgr", "portug.exc"})
      if (!fs::is_regular_file(dados / arquivo)) throw std::runtime_error("missing " + (dados / arquivo).string());
    for (const auto &d : {letras, retenza, difones}) fs::create_directories(d);
    Voz voz;
    gravarLetras(voz, letras);
    gravarNumeros(voz, letras);
    gravarAvisos(voz, retenza);
    gravarDifones(voz, unidades, dados, difones);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "gravador: %s\n", e.what());
    return 1;
  }
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  std::printf("gravador: %zu bytes of recordings in %.1f s\n", bytesGravados, s);
  return 0;
}
