// qualidade: measures the diphone synthesizer's language data.
//
//   qualidade [--som DIR] [--lista FILE] [--texto FILE] [--amostra N] [--diferencas] [--faltas]
//
// --diferencas lists the sample words that differ, --faltas the words that ask
// for a missing unit; --ver WORD shows a word's phonetic string and units.
//
// Coverage: every word of the word list and every run of letters of the text
// goes through the translator and the engine's dry run; prints the share of
// units found at once, the noise bursts and the silent units, and the names
// most often missing. Agreement: an evenly spaced sample of the list is
// compared with espeak-ng's phonemes (one batch run) in a common alphabet
// (fonemas.h); prints the words pronounced alike and the phoneme error rate.
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fonemas.h"
#include "klconcat.h"
#include "kldifone.h"
#include "kltradutor.h"

namespace fs = std::filesystem;
using namespace qualidade;

namespace {

std::string lerArquivo(const std::string &p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "qualidade: cannot read %s\n", p.c_str());
    std::exit(1);
  }
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// UTF-8 to Windows-1252, the library's code page; what has no place there
// is dropped.
std::string paraCp1252(const std::string &utf8) {
  iconv_t cd = iconv_open("CP1252//TRANSLIT", "UTF-8");
  std::string saida(utf8.size() + 16, '\0');
  char *in = const_cast<char *>(utf8.data());
  size_t nin = utf8.size();
  char *out = saida.data();
  size_t nout = saida.size();
  while (nin > 0) {
    if (iconv(cd, &in, &nin, &out, &nout) == static_cast<size_t>(-1)) {
      ++in;
      --nin;
    }
  }
  iconv_close(cd);
  saida.resize(saida.size() - nout);
  return saida;
}

bool letra(unsigned char c) { return std::isalpha(c) || c >= 192; }

struct Cobertura {
  unsigned long palavras = 0;
  bool mostrar = false;  // print each word that asks for a missing unit
  std::map<std::string, unsigned long> faltando;
};

void cobrir(const std::string &texto, Cobertura &c) {
  std::vector<UnitRequest> pedidos;
  for (size_t i = 0; i < texto.size();) {
    if (!letra(texto[i])) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < texto.size() && letra(texto[j])) ++j;
    pedidos.clear();
    DryRunPhonetic(TranslateText(texto.substr(i, j - i)), false, &pedidos);
    std::string fonetica = TranslateText(texto.substr(i, j - i));
    for (const auto &p : pedidos)
      if (p.depth == 0 && p.outcome != UnitOutcome::Found) {
        ++c.faltando[p.name];
        if (c.mostrar) std::printf("  %s: %s asks for %s\n", texto.substr(i, j - i).c_str(), fonetica.c_str(), p.name.c_str());
      }
    ++c.palavras;
    i = j;
  }
}

void relatarCobertura(const char *titulo, const Cobertura &c) {
  const DiphoneStats &s = DiphoneStatistics();
  std::printf("%s: %lu words, %lu units asked\n", titulo, c.palavras, s.unitsAsked);
  std::printf("  units found in the index: %.3f%% (%lu missing)\n",
              s.unitsAsked ? 100.0 * s.foundDirectly / s.unitsAsked : 0.0, s.unitsAsked - s.foundDirectly);
  std::printf("  noise bursts: %lu\n  silent units: %lu\n", s.noiseBursts, s.silentUnits);
  std::vector<std::pair<unsigned long, std::string>> f;
  for (const auto &[n, k] : c.faltando) f.push_back({k, n});
  std::sort(f.rbegin(), f.rend());
  for (size_t i = 0; i < f.size() && i < 10; ++i) std::printf("  missing %-10s %lu times\n", f[i].second.c_str(), f[i].first);
}

std::vector<std::string> linhas(const std::string &t) {
  std::vector<std::string> v;
  std::istringstream in(t);
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) v.push_back(l);
  return v;
}

}  // namespace

int main(int argc, char **argv) {
  fs::path som = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "share" / "zolkar" / "som";
  std::string lista = "/usr/share/dict/brazilian", textoArq = "/usr/share/games/fortunes/brasil";
  size_t amostra = 2000;
  bool diferencas = false, faltas = false;
  std::vector<std::string> ver;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--som" && i + 1 < argc) som = argv[++i];
    else if (a == "--lista" && i + 1 < argc) lista = argv[++i];
    else if (a == "--texto" && i + 1 < argc) textoArq = argv[++i];
    else if (a == "--amostra" && i + 1 < argc) amostra = std::stoul(argv[++i]);
    else if (a == "--diferencas") diferencas = true;
    else if (a == "--faltas") faltas = true;
    else if (a == "--ver" && i + 1 < argc) ver.push_back(argv[++i]);
    else {
      std::fprintf(stderr, "usage: %s [--som DIR] [--lista FILE] [--texto FILE] [--amostra N] [--diferencas] [--faltas] [--ver WORD]...\n", argv[0]);
      return 2;
    }
  }
  // The engine reads its folders from KALEVO.INI: a private one points it at
  // the database to measure.
  char modelo[] = "/tmp/qualidade-XXXXXX";
  fs::path sys = mkdtemp(modelo);
  std::ofstream(sys / "KALEVO.INI") << "[TRADUTOR]\ndirLetras=" << (som / "letras").string()
                                    << "/\nDIRDIFONES=" << (som / "difones").string() << "/\n";
  setenv("KALEVO_SYSDIR", sys.c_str(), 1);
  SetDiphoneDatabaseName("KLVOZ");
  int r = StartDiphoneEngine();
  fs::remove_all(sys);
  if (r != 0) {
    std::fprintf(stderr, "qualidade: the diphone engine does not start on %s (%d)\n", som.c_str(), r);
    return 1;
  }

  if (!ver.empty()) {
    for (const auto &p : ver) {
      std::string fonetica = TranslateText(paraCp1252(p));
      std::vector<UnitRequest> pedidos;
      DryRunPhonetic(fonetica, false, &pedidos);
      std::printf("%s\t%s\t", p.c_str(), fonetica.c_str());
      for (const auto &u : pedidos)
        if (u.depth == 0) std::printf(" %s", u.name.c_str());
      std::printf("\n");
    }
    CloseDiphoneEngine();
    return 0;
  }
  auto inicio = std::chrono::steady_clock::now();
  std::vector<std::string> palavras = linhas(paraCp1252(lerArquivo(lista)));
  std::vector<std::string> palavrasUtf8 = linhas(lerArquivo(lista));
  ResetDiphoneStats();
  Cobertura cl;
  cl.mostrar = faltas;
  for (const auto &p : palavras) cobrir(p, cl);
  relatarCobertura(("word list " + lista).c_str(), cl);
  ResetDiphoneStats();
  Cobertura ct;
  ct.mostrar = faltas;
  cobrir(paraCp1252(lerArquivo(textoArq)), ct);
  relatarCobertura(("text " + textoArq).c_str(), ct);
  std::printf("  coverage pass: %.1f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count());

  // Agreement with eSpeak NG on an evenly spaced sample, in one batch: each
  // word is a sentence of its own, so each gives one line.
  if (palavras.size() != palavrasUtf8.size() || palavras.empty()) {
    std::fprintf(stderr, "qualidade: the word list does not convert line by line\n");
    return 1;
  }
  std::vector<size_t> escolhidas;
  for (size_t k = 0; k < amostra && k < palavras.size(); ++k) escolhidas.push_back(k * palavras.size() / amostra);
  fs::path entrada = fs::temp_directory_path() / ("qualidade-" + std::to_string(getpid()) + ".txt");
  {
    std::ofstream e(entrada);
    for (size_t i : escolhidas) e << palavrasUtf8[i] << ".\n";
  }
  std::string cmd = "espeak-ng -v pt-br -q -x -f " + entrada.string();
  FILE *pipe = popen(cmd.c_str(), "r");
  std::string saida;
  if (pipe) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) saida.append(buf, n);
    if (pclose(pipe) != 0) saida.clear();
  }
  fs::remove(entrada);
  std::vector<std::string> ref = linhas(saida);
  if (ref.size() != escolhidas.size()) {
    std::fprintf(stderr, "qualidade: espeak-ng gave %zu lines for %zu words\n", ref.size(), escolhidas.size());
    return 1;
  }
  size_t iguais = 0, erros = 0, total = 0;
  for (size_t k = 0; k < escolhidas.size(); ++k) {
    Fonemas nosso = deNotacao(TranslateText(palavras[escolhidas[k]]));
    Fonemas deles = deEspeak(ref[k]);
    size_t d = distancia(nosso, deles);
    erros += d;
    total += deles.size();
    if (d == 0) ++iguais;
    else if (diferencas)
      std::printf("  %-20s ours %-30s espeak %s\n", palavrasUtf8[escolhidas[k]].c_str(), texto(nosso).c_str(),
                  texto(deles).c_str());
  }
  std::printf("agreement with espeak-ng -v pt-br on %zu words of the list:\n", escolhidas.size());
  std::printf("  words pronounced alike: %.1f%%\n  phoneme error rate: %.2f%%\n", 100.0 * iguais / escolhidas.size(),
              total ? 100.0 * erros / total : 0.0);
  CloseDiphoneEngine();
  return 0;
}
