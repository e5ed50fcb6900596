#include "som.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace gravador {

Som reamostrar(const std::vector<int16_t> &amostras, int taxaEntrada) {
  if (amostras.empty()) return {};
  std::vector<float> entrada(amostras.size());
  src_short_to_float_array(amostras.data(), entrada.data(), static_cast<int>(amostras.size()));
  if (taxaEntrada == kTaxaSaida) return entrada;
  double razao = static_cast<double>(kTaxaSaida) / taxaEntrada;
  Som saida(static_cast<size_t>(std::ceil(entrada.size() * razao)) + 16);
  SRC_DATA dados{};
  dados.data_in = entrada.data();
  dados.input_frames = static_cast<long>(entrada.size());
  dados.data_out = saida.data();
  dados.output_frames = static_cast<long>(saida.size());
  dados.src_ratio = razao;
  int erro = src_simple(&dados, SRC_SINC_MEDIUM_QUALITY, 1);
  if (erro != 0) throw std::runtime_error(std::string("libsamplerate: ") + src_strerror(erro));
  saida.resize(static_cast<size_t>(dados.output_frames_gen));
  return saida;
}

static float pico(const Som &som) {
  float p = 0;
  for (float x : som) p = std::max(p, std::fabs(x));
  return p;
}

Som aparar(const Som &som, float limiar, int margemMs) {
  float p = pico(som);
  if (p == 0) return {};
  float corte = p * limiar;
  size_t ini = 0, fim = som.size();
  while (ini < fim && std::fabs(som[ini]) < corte) ++ini;
  while (fim > ini && std::fabs(som[fim - 1]) < corte) --fim;
  size_t margem = static_cast<size_t>(kTaxaSaida) * margemMs / 1000;
  ini = ini > margem ? ini - margem : 0;
  fim = std::min(som.size(), fim + margem);
  Som saida(som.begin() + static_cast<long>(ini), som.begin() + static_cast<long>(fim));
  size_t rampa = std::min(margem, saida.size() / 2);
  for (size_t i = 0; i < rampa; ++i) {
    float g = static_cast<float>(i) / static_cast<float>(rampa);
    saida[i] *= g;
    saida[saida.size() - 1 - i] *= g;
  }
  return saida;
}

Som normalizar(const Som &som, float alvoRms, float tetoPico) {
  float p = pico(som);
  if (p == 0) return som;
  // Only the part that carries the sound counts, so pauses inside a prompt do
  // not make it louder than a single word.
  double soma = 0;
  size_t n = 0;
  for (float x : som) {
    if (std::fabs(x) >= p * 0.05f) {
      soma += static_cast<double>(x) * x;
      ++n;
    }
  }
  float rms = static_cast<float>(std::sqrt(soma / static_cast<double>(std::max<size_t>(n, 1))));
  float ganho = std::min(alvoRms / rms, tetoPico / p);
  Som saida(som);
  for (float &x : saida) x *= ganho;
  return saida;
}

Som silencio(int ms) { return Som(static_cast<size_t>(kTaxaSaida) * ms / 1000, 0.0f); }

void juntar(Som &destino, const Som &origem) { destino.insert(destino.end(), origem.begin(), origem.end()); }

// A struck bell: a strong partial, a weaker octave and a quick attack, each
// dying away exponentially.
static void sino(Som &som, size_t inicio, double freq, double decaimento, float amplitude) {
  const double dois_pi = 2 * std::numbers::pi;
  for (size_t i = inicio; i < som.size(); ++i) {
    double t = static_cast<double>(i - inicio) / kTaxaSaida;
    double ataque = std::min(1.0, t / 0.002);
    double env = ataque * std::exp(-t / decaimento);
    double s = std::sin(dois_pi * freq * t) + 0.35 * std::sin(dois_pi * 2 * freq * t) * std::exp(-t / 0.03);
    som[i] += static_cast<float>(amplitude * env * s);
  }
}

Som sintetizarPlim() {
  Som som(static_cast<size_t>(kTaxaSaida) * 320 / 1000, 0.0f);
  sino(som, 0, 1568.0, 0.060, 0.5f);                                   // G6, the "pl"
  sino(som, static_cast<size_t>(kTaxaSaida) * 60 / 1000, 2349.3, 0.080, 0.5f);  // D7, the "im"
  // Fade the tail so the recording ends on silence.
  size_t rampa = static_cast<size_t>(kTaxaSaida) * 30 / 1000;
  for (size_t i = 0; i < rampa; ++i) som[som.size() - 1 - i] *= static_cast<float>(i) / rampa;
  return som;
}

Som sintetizarEstalo(uint32_t semente) {
  // A few milliseconds of high-passed noise with a sharp onset.
  uint32_t x = semente * 2654435761u + 1;
  Som som(static_cast<size_t>(kTaxaSaida) * 18 / 1000);
  float anterior = 0;
  for (size_t i = 0; i < som.size(); ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    float ruido = static_cast<float>(x) / 4294967296.0f * 2 - 1;
    float agudo = ruido - anterior;
    anterior = ruido;
    double t = static_cast<double>(i) / kTaxaSaida;
    som[i] = static_cast<float>(agudo * std::exp(-t / 0.003));
  }
  return som;
}

std::vector<uint8_t> paraOitoBits(const Som &som) {
  std::vector<uint8_t> saida(som.size());
  for (size_t i = 0; i < som.size(); ++i) {
    long v = std::lround(std::clamp(som[i], -1.0f, 1.0f) * 127.0f) + 128;
    saida[i] = static_cast<uint8_t>(std::clamp(v, 0L, 255L));
  }
  return saida;
}

static void poe32(std::vector<uint8_t> &b, size_t pos, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[pos + i] = static_cast<uint8_t>(v >> (8 * i));
}
static void poe16(std::vector<uint8_t> &b, size_t pos, uint16_t v) {
  b[pos] = static_cast<uint8_t>(v);
  b[pos + 1] = static_cast<uint8_t>(v >> 8);
}

std::vector<uint8_t> cabecalhoWav(uint32_t bytesDados) {
  std::vector<uint8_t> h(44, 0);
  auto tag = [&](size_t pos, const char *t) { std::copy(t, t + 4, h.begin() + static_cast<long>(pos)); };
  tag(0, "RIFF");
  poe32(h, 4, bytesDados + 36);
  tag(8, "WAVE");
  tag(12, "fmt ");
  poe32(h, 16, 16);
  poe16(h, 20, 1);  // PCM
  poe16(h, 22, 1);  // mono
  poe32(h, 24, kTaxaSaida);
  poe32(h, 28, kTaxaSaida);  // bytes a second
  poe16(h, 32, 1);           // block alignment
  poe16(h, 34, 8);
  tag(36, "data");
  poe32(h, 40, bytesDados);
  return h;
}

void gravarWav(const std::string &caminho, const std::vector<uint8_t> &amostras) {
  std::ofstream f(caminho, std::ios::binary | std::ios::trunc);
  auto h = cabecalhoWav(static_cast<uint32_t>(amostras.size()));
  f.write(reinterpret_cast<const char *>(h.data()), static_cast<std::streamsize>(h.size()));
  f.write(reinterpret_cast<const char *>(amostras.data()), static_cast<std::streamsize>(amostras.size()));
  if (!f) throw std::runtime_error("cannot write " + caminho);
}

}  // namespace gravador
