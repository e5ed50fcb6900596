// Writing text through the console with scrolling, in the headless display.
// Run: KALEVO_DISPLAY=headless build/bin/bench_console
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "klcrt.h"

namespace {

// 1 MB of lines of varying length, Portuguese text with line ends, so that
// every write wraps or scrolls now and then.
std::string sampleText() {
  static const char *const LINES[] = {
      "Escolha seu nivel de 1 a 9: 4\r\n",
      "Tsc, tsc, tsc, tsc, tsc, errou...\r\n",
      "A palavra \xe9 de prata, o sil\xeancio \xe9 de ouro; quem fala semeia, quem escuta colhe, "
      "e quem l\xea em voz alta ouve duas vezes.\r\n",
      "abc\bd\r\n",
  };
  std::string text;
  for (size_t i = 0; text.size() < (1 << 20); ++i) text += LINES[i % 4];
  text.resize(1 << 20);
  return text;
}

void BM_WriteTextScrolling(benchmark::State &state) {
  static const std::string text = sampleText();
  const size_t chunk = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    for (size_t at = 0; at < text.size(); at += chunk)
      writeText(text.data() + at, std::min(chunk, text.size() - at));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
// 128: the size of the standard output buffer; 1: character by character.
BENCHMARK(BM_WriteTextScrolling)->Arg(128)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  setenv("KALEVO_DISPLAY", "headless", 0);
  if (!selectConsoleBackend()) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
