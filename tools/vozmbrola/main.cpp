// vozmbrola: generates the diphone voice of our MBROLA-compatible
// synthesizer from eSpeak NG's Brazilian Portuguese.
//
//   vozmbrola VOICE_FILE
//
// Every ordered pair of the 38 phonemes is spoken between two a's, at one
// flat pitch; the unit runs from the middle of its first phoneme to the middle
// of its second. Pitch and loudness are evened out so that the units join as
// one speaker at one pitch.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <samplerate.h>
#include <stdexcept>
#include <string>

#include "arquivo.h"
#include "estudio.h"
#include "fonemas.h"
#include "marcas.h"

namespace fs = std::filesystem;
using namespace vozmbrola;

namespace {

constexpr size_t kMeioSilencio = 800;  // half a silence: 50 ms
constexpr size_t kBorda = 320;         // 20 ms measured at each end for loudness
constexpr size_t N = kFonemas.size();

int periodo = 0;

struct Trecho {  // one diphone cut out of a carrier, before its silences are added
  Unidade u;
};

std::vector<uint32_t> marcasEntre(const std::vector<uint32_t> &marcas, size_t a, size_t b, size_t deslocamento) {
  std::vector<uint32_t> r;
  for (uint32_t m : marcas) {
    size_t pos = m & ~kVozeada;
    if (pos >= a && pos < b) r.push_back(static_cast<uint32_t>(pos - a + deslocamento) | (m & kVozeada));
  }
  return r;
}

void marcasSurdas(std::vector<uint32_t> &marcas, size_t a, size_t b) {
  for (size_t m = a; m < b; m += kPassoSurdo) marcas.push_back(static_cast<uint32_t>(m));
}

void rampa(std::vector<float> &x, size_t a, size_t n, bool sobe) {
  for (size_t i = 0; i < n && a + i < x.size(); ++i) {
    float g = static_cast<float>(i) / n;
    x[a + i] *= sobe ? g : 1 - g;
  }
}

// The carrier of a pair and where in it the pair's two phonemes sit.
// Phonemes are kept apart by "-", or eSpeak would read "t" "s" as "ts".
// Either side may be the silence: the carrier then starts or ends there.
Unidade cortar(int esq, int dir) {
  const Fonema &a = kFonemas[esq], &b = kFonemas[dir];
  Unidade u;
  if (esq == kSilencio && dir == kSilencio) {
    u.amostras.assign(2 * kMeioSilencio, 0.0f);
    u.fronteira = kMeioSilencio;
    marcasSurdas(u.marcas, 0, u.amostras.size());
    return u;
  }
  std::string texto, esperado;
  size_t alvo;  // index in the heard phonemes of the pair's first non-silent phoneme
  if (esq == kSilencio) {
    texto = "'" + std::string(b.espeak) + "-a";
    alvo = 0;
  } else if (dir == kSilencio) {
    texto = "a-'" + std::string(a.espeak);
    alvo = 1;
  } else {
    texto = "a-'" + std::string(a.espeak) + "-" + std::string(b.espeak) + "-a";
    alvo = 1;
  }
  Portadora p = gravarPortadora(texto);
  size_t esperados = (esq == kSilencio || dir == kSilencio) ? 2 : 4;
  if (p.fonemas.size() != esperados)
    throw std::runtime_error("eSpeak NG did not say [[" + texto + "]] as " + std::to_string(esperados) + " phonemes");
  std::vector<uint32_t> marcas = marcarPulsos(p.amostras, periodo);

  if (esq == kSilencio) {
    const FonemaOuvido &f = p.fonemas[0];
    size_t meio = (f.inicio + f.fim) / 2;
    u.amostras.assign(kMeioSilencio, 0.0f);
    u.amostras.insert(u.amostras.end(), p.amostras.begin() + f.inicio, p.amostras.begin() + meio);
    rampa(u.amostras, kMeioSilencio, 48, true);
    u.fronteira = kMeioSilencio;
    marcasSurdas(u.marcas, 0, kMeioSilencio);
    auto resto = marcasEntre(marcas, f.inicio, meio, kMeioSilencio);
    u.marcas.insert(u.marcas.end(), resto.begin(), resto.end());
  } else if (dir == kSilencio) {
    const FonemaOuvido &f = p.fonemas[1];
    size_t meio = (f.inicio + f.fim) / 2;
    u.amostras.assign(p.amostras.begin() + meio, p.amostras.begin() + f.fim);
    u.fronteira = static_cast<uint32_t>(u.amostras.size());
    rampa(u.amostras, u.amostras.size() - std::min<size_t>(u.amostras.size(), 128), 128, false);
    u.marcas = marcasEntre(marcas, meio, f.fim, 0);
    size_t inicioSilencio = u.marcas.empty() ? 0 : (u.marcas.back() & ~kVozeada) + kPassoSurdo / 4;
    u.amostras.resize(u.amostras.size() + kMeioSilencio, 0.0f);
    marcasSurdas(u.marcas, std::max<size_t>(inicioSilencio, u.fronteira), u.amostras.size());
  } else {
    const FonemaOuvido &f = p.fonemas[alvo], &g = p.fonemas[alvo + 1];
    size_t de = (f.inicio + f.fim) / 2, ate = (g.inicio + g.fim) / 2;
    u.amostras.assign(p.amostras.begin() + de, p.amostras.begin() + ate);
    u.fronteira = static_cast<uint32_t>(g.inicio - de);
    u.marcas = marcasEntre(marcas, de, ate, 0);
  }
  if (u.marcas.empty() && !u.amostras.empty()) u.marcas.push_back(0);
  return u;
}

// The median distance between neighbouring pulses, 0 with fewer than four.
double periodoDaUnidade(const Unidade &u) {
  std::vector<uint32_t> d;
  for (size_t i = 1; i < u.marcas.size(); ++i)
    if ((u.marcas[i] & kVozeada) && (u.marcas[i - 1] & kVozeada))
      d.push_back((u.marcas[i] & ~kVozeada) - (u.marcas[i - 1] & ~kVozeada));
  if (d.size() < 3) return 0;
  std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
  return d[d.size() / 2];
}

// Brings a unit whose pulses stray from the voice's period back to it by
// resampling; marks and boundary move with the samples.
bool corrigirAltura(Unidade &u) {
  double t = periodoDaUnidade(u);
  // Beyond a tenth the pulses were misread rather than the pitch off.
  if (t == 0 || std::fabs(t / periodo - 1) < 0.02 || std::fabs(t / periodo - 1) > 0.10) return false;
  double razao = periodo / t;
  std::vector<float> saida(static_cast<size_t>(u.amostras.size() * razao) + 16);
  SRC_DATA d{};
  d.data_in = u.amostras.data();
  d.input_frames = static_cast<long>(u.amostras.size());
  d.data_out = saida.data();
  d.output_frames = static_cast<long>(saida.size());
  d.src_ratio = razao;
  if (src_simple(&d, SRC_SINC_FASTEST, 1) != 0) return false;
  saida.resize(static_cast<size_t>(d.output_frames_gen));
  uint32_t ultimo = 0;
  std::vector<uint32_t> marcas;
  for (uint32_t m : u.marcas) {
    uint32_t pos = static_cast<uint32_t>(std::lround((m & ~kVozeada) * razao));
    if (pos >= saida.size() || (!marcas.empty() && pos <= ultimo)) continue;
    marcas.push_back(pos | (m & kVozeada));
    ultimo = pos;
  }
  if (marcas.empty()) marcas.push_back(0);
  u.amostras = std::move(saida);
  u.marcas = std::move(marcas);
  u.fronteira = std::min(static_cast<uint32_t>(u.amostras.size()), static_cast<uint32_t>(std::lround(u.fronteira * razao)));
  return true;
}

double rms(const std::vector<float> &x, size_t a, size_t b) {
  if (b <= a) return 0;
  double e = 0;
  for (size_t i = a; i < b; ++i) e += double(x[i]) * x[i];
  return std::sqrt(e / (b - a));
}

double mediana(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// Loudness: each phoneme's middle is brought to that phoneme's typical level
// (the median over all units), with a gain that glides linearly across the
// unit from its left phoneme's correction to its right one's.
void igualarVolume(std::vector<Unidade> &unidades) {
  std::vector<double> inicio(unidades.size()), fim(unidades.size());
  std::vector<std::vector<double>> niveis(N);
  for (size_t i = 0; i < unidades.size(); ++i) {
    const Unidade &u = unidades[i];
    size_t esq = i / N, dir = i % N;
    inicio[i] = rms(u.amostras, 0, std::min<size_t>(kBorda, u.fronteira));
    fim[i] = rms(u.amostras, std::max<size_t>(u.fronteira, u.amostras.size() - std::min(kBorda, u.amostras.size())),
                 u.amostras.size());
    if (esq != kSilencio) niveis[esq].push_back(inicio[i]);
    if (dir != kSilencio) niveis[dir].push_back(fim[i]);
  }
  std::vector<double> referencia(N);
  for (size_t f = 0; f < N; ++f) referencia[f] = mediana(niveis[f]);
  auto ganho = [&](size_t f, double medido) {
    if (f == kSilencio || medido < 1e-5) return 1.0;
    return std::clamp(referencia[f] / medido, 0.33, 3.0);
  };
  double pico = 0;
  for (size_t i = 0; i < unidades.size(); ++i) {
    Unidade &u = unidades[i];
    double g0 = ganho(i / N, inicio[i]), g1 = ganho(i % N, fim[i]);
    if (i / N == kSilencio) g0 = g1;
    if (i % N == kSilencio) g1 = g0;
    // The gains hold at the centres of the measured windows, so each end's
    // window gets its own correction.
    double c0 = std::min<size_t>(kBorda, u.fronteira) / 2.0;
    double c1 = u.amostras.size() - std::min(kBorda, u.amostras.size() - u.fronteira) / 2.0;
    for (size_t k = 0; k < u.amostras.size(); ++k) {
      double t = c1 > c0 ? std::clamp((k - c0) / (c1 - c0), 0.0, 1.0) : 0.0;
      u.amostras[k] = static_cast<float>(u.amostras[k] * (g0 + (g1 - g0) * t));
      pico = std::max(pico, double(std::fabs(u.amostras[k])));
    }
  }
  // The open a at -16 dBFS, never past full scale.
  double escala = std::min(0.16 / std::max(referencia[0], 1e-4), 0.97 / std::max(pico, 1e-4));
  for (Unidade &u : unidades)
    for (float &v : u.amostras) v = static_cast<float>(v * escala);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vozmbrola VOICE_FILE\n");
    return 2;
  }
  auto comeco = std::chrono::steady_clock::now();
  try {
    abrirEstudio();
    periodo = periodoDominante(gravarPortadora("'a:a:").amostras);
    if (periodo == 0) throw std::runtime_error("no voiced sound in eSpeak NG's sustained a");

    std::vector<Unidade> unidades;
    unidades.reserve(N * N);
    int corrigidas = 0;
    for (size_t esq = 0; esq < N; ++esq)
      for (size_t dir = 0; dir < N; ++dir) {
        unidades.push_back(cortar(static_cast<int>(esq), static_cast<int>(dir)));
        corrigidas += corrigirAltura(unidades.back());
      }
    fecharEstudio();
    igualarVolume(unidades);

    fs::path destino(argv[1]);
    if (destino.has_parent_path()) fs::create_directories(destino.parent_path());
    fs::path provisorio = destino;
    provisorio += ".tmp";
    int altura = static_cast<int>(std::lround(16000.0 / periodo));
    escreverVoz(provisorio.string(), destino.filename().string(), altura, unidades);
    fs::rename(provisorio, destino);

    double segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - comeco).count();
    std::printf("vozmbrola: %zu diphones at %d Hz (%d re-pitched), %ju bytes, in %.1f s\n", unidades.size(),
                altura, corrigidas, static_cast<uintmax_t>(fs::file_size(destino)), segundos);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "vozmbrola: %s\n", e.what());
    return 1;
  }
  return 0;
}
