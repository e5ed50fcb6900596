#include "marcas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vozmbrola {

namespace {

constexpr int kTaxaMarcas = 16000;

// Zero-phase low-pass (one biquad run forwards then backwards), so the
// pulses' negative peaks stay where they are.
std::vector<float> passaBaixa(const std::vector<float> &x, double corte) {
  double w = 2 * std::numbers::pi * corte / kTaxaMarcas, alfa = std::sin(w) / (2 * std::sqrt(0.5));
  double a0 = 1 + alfa, b0 = (1 - std::cos(w)) / 2 / a0, b1 = (1 - std::cos(w)) / a0, b2 = b0;
  double a1 = -2 * std::cos(w) / a0, a2 = (1 - alfa) / a0;
  std::vector<float> y(x.size());
  auto passo = [&](auto inicio, auto fim, auto saida) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (auto i = inicio; i != fim; ++i, ++saida) {
      double v = b0 * *i + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1, x1 = *i, y2 = y1, y1 = v;
      *saida = static_cast<float>(v);
    }
  };
  passo(x.begin(), x.end(), y.begin());
  std::vector<float> z(y.size());
  passo(y.rbegin(), y.rend(), z.rbegin());
  return z;
}

// Normalised autocorrelation of the window at `a` (length `n`) at lag `t`.
double correlacao(const std::vector<float> &x, size_t a, size_t n, int t) {
  double xy = 0, xx = 0, yy = 0;
  for (size_t i = a; i + t < a + n && i + t < x.size(); ++i) {
    xy += double(x[i]) * x[i + t];
    xx += double(x[i]) * x[i];
    yy += double(x[i + t]) * x[i + t];
  }
  return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

struct Quadro {
  bool vozeado;
  int periodo;
};

}  // namespace

int periodoDominante(const std::vector<float> &x) {
  const int tMin = kTaxaMarcas / 400, tMax = kTaxaMarcas / 70;
  const size_t janela = 2 * tMax;
  std::vector<int> periodos;
  for (size_t a = 0; a + janela < x.size(); a += kPassoSurdo) {
    double melhor = 0;
    int t = 0;
    for (int l = tMin; l <= tMax; ++l) {
      double r = correlacao(x, a, janela, l);
      if (r > melhor) melhor = r, t = l;
    }
    if (melhor > 0.7) periodos.push_back(t);
  }
  if (periodos.empty()) return 0;
  std::nth_element(periodos.begin(), periodos.begin() + periodos.size() / 2, periodos.end());
  return periodos[periodos.size() / 2];
}

std::vector<uint32_t> marcarPulsos(const std::vector<float> &x, int periodo) {
  std::vector<uint32_t> marcas;
  if (x.empty() || periodo <= 0) return marcas;
  const int tMin = periodo * 3 / 4, tMax = periodo * 4 / 3;
  const size_t janela = 2 * tMax;

  // Voicing and period every 10 ms: a clear autocorrelation peak near the
  // voice's period, in a frame not much quieter than the loudest.
  std::vector<Quadro> quadros;
  std::vector<double> energia;
  for (size_t c = 0; c < x.size(); c += kPassoSurdo) {
    size_t a = c > janela / 2 ? c - janela / 2 : 0;
    double e = 0;
    for (size_t i = a; i < std::min(x.size(), a + janela); ++i) e += double(x[i]) * x[i];
    energia.push_back(e);
    double melhor = 0;
    int t = periodo;
    for (int l = tMin; l <= tMax; ++l) {
      double r = correlacao(x, a, janela, l);
      if (r > melhor) melhor = r, t = l;
    }
    quadros.push_back({melhor > 0.6, t});
  }
  double maxima = *std::max_element(energia.begin(), energia.end());
  for (size_t q = 0; q < quadros.size(); ++q)
    if (energia[q] < maxima * 0.002) quadros[q].vozeado = false;  // below -27 dB

  std::vector<float> baixo = passaBaixa(x, 900);
  auto quadroDe = [&](size_t i) { return std::min(quadros.size() - 1, (i + kPassoSurdo / 2) / kPassoSurdo); };
  size_t i = 0;
  while (i < x.size()) {
    bool vozeado = quadros[quadroDe(i)].vozeado;
    size_t fim = i;
    while (fim < x.size() && quadros[quadroDe(fim)].vozeado == vozeado) ++fim;
    size_t inicio = i;
    if (!marcas.empty())  // keep marks apart across a change of voicing
      inicio = std::max(inicio, size_t(marcas.back() & ~kVozeada) + kPassoSurdo / 4);
    if (inicio >= fim) {
    } else if (vozeado) {
      // First pulse: the deepest trough of the first period; then one
      // period on, looking a fifth of a period either side.
      size_t m = std::min_element(baixo.begin() + inicio, baixo.begin() + std::min(fim, inicio + periodo)) - baixo.begin();
      while (m < fim) {
        marcas.push_back(static_cast<uint32_t>(m) | kVozeada);
        int t = quadros[quadroDe(m)].periodo;
        size_t previsto = m + t;
        if (previsto >= fim) break;
        size_t lo = previsto - t / 5, hi = std::min(fim, previsto + t / 5 + 1);
        m = std::min_element(baixo.begin() + lo, baixo.begin() + hi) - baixo.begin();
      }
    } else {
      for (size_t m = inicio; m < fim; m += kPassoSurdo) marcas.push_back(static_cast<uint32_t>(m));
    }
    i = fim;
  }
  return marcas;
}

}  // namespace vozmbrola
