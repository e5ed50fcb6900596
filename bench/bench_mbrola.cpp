// Our MBROLA-compatible synthesizer on a file of phoneme lines: how long the
// voice takes to load and how many seconds of audio one CPU second makes.
//
//   bench_mbrola VOICE PHONEMES
//
// bench/mbrola_bench.sh feeds it eSpeak NG's mb-br4 lines for the
// fortunes-br text and puts the figure beside eSpeak NG's own.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mbrola.h"

namespace {

double agora(clockid_t relogio) {
  timespec t;
  clock_gettime(relogio, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_mbrola VOICE PHONEMES\n");
    return 2;
  }
  struct stat info;
  if (stat(argv[1], &info) != 0) {
    std::fprintf(stderr, "bench_mbrola: no voice at %s\n", argv[1]);
    return 1;
  }
  std::ifstream entrada(argv[2], std::ios::binary);
  std::stringstream texto;
  texto << entrada.rdbuf();
  std::vector<std::string> linhas;
  for (std::string l; std::getline(texto, l);) linhas.push_back(l + "\n");
  if (linhas.empty()) {
    std::fprintf(stderr, "bench_mbrola: no phoneme lines in %s\n", argv[2]);
    return 1;
  }

  // Load time: the median of several loads, the file already in the page cache.
  // CPU time beside wall time: on a busy machine the wall clock waits for a core.
  std::vector<double> cargas, cargasCpu;
  for (int i = 0; i < 15; ++i) {
    double t0 = agora(CLOCK_MONOTONIC), c0 = agora(CLOCK_PROCESS_CPUTIME_ID);
    if (init_MBR(argv[1]) != 0) {
      char erro[256] = "";
      lastErrorStr_MBR(erro, sizeof erro);
      std::fprintf(stderr, "bench_mbrola: %s\n", erro);
      return 1;
    }
    cargas.push_back(agora(CLOCK_MONOTONIC) - t0);
    cargasCpu.push_back(agora(CLOCK_PROCESS_CPUTIME_ID) - c0);
  }
  std::sort(cargas.begin(), cargas.end());
  std::sort(cargasCpu.begin(), cargasCpu.end());
  setNoError_MBR(1);

  // Rendering, read as it goes so that memory stays small.
  std::vector<short> amostras(16000);
  long long total = 0;
  auto drenar = [&] {
    for (int n; (n = read_MBR(amostras.data(), static_cast<int>(amostras.size()))) > 0;) total += n;
  };
  double cpu0 = agora(CLOCK_PROCESS_CPUTIME_ID);
  for (const std::string &l : linhas) {
    write_MBR(l.c_str());
    drenar();
  }
  flush_MBR();
  drenar();
  double cpu = agora(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  double audio = static_cast<double>(total) / getFreq_MBR();
  close_MBR();

  std::printf("voice_bytes %lld\n", static_cast<long long>(info.st_size));
  std::printf("voice_load_ms %.2f\n", cargas[cargas.size() / 2] * 1000);
  std::printf("voice_load_cpu_ms %.2f\n", cargasCpu[cargasCpu.size() / 2] * 1000);
  std::printf("phoneme_lines %zu\n", linhas.size());
  std::printf("audio_s %.2f\n", audio);
  std::printf("cpu_s %.3f\n", cpu);
  std::printf("audio_s_per_cpu_s %.1f\n", cpu > 0 ? audio / cpu : 0.0);
  return 0;
}
