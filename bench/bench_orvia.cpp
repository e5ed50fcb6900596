// The Orvia front end's speed: one sentence and one long paragraph from text
// to the synthesizer's lines, with the installed data files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "orvia/uttsCadeia.h"

namespace {

const char *const SENTENCE = "Ol\xe1, tudo bem? O rato roeu a roupa do rei de Roma.";
const char *const PARAGRAPH =
    "A Constitui\xe7\xe3o de 1988 garantiu, no seu artigo 5\xba, que todos s\xe3o iguais perante a lei, "
    "sem distin\xe7\xe3o de qualquer natureza. O Dr. Silva, da av. Paulista, 1.578, pagou R$ 3,50 "
    "pelo caf\xe9 \xe0s 10h30; a Sra. Oliveira preferiu o ch\xe1. Quantos brasileiros leem jornais "
    "todos os dias? Segundo o IBGE, cerca de 42% da popula\xe7\xe3o!";

void load(benchmark::State &state) {
  std::string error;
  if (!LoadOrviaData(KALEVO_ORVIA_DADOS, "portug", error)) state.SkipWithError(error.c_str());
}

void chain(benchmark::State &state, const char *text) {
  load(state);
  std::string input = text;
  size_t lines = 0;
  for (auto _ : state) {
    OrviaStages stages = RunOrviaStages(input);
    lines = stages.lines.size();
    benchmark::DoNotOptimize(stages);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
  state.counters["lines"] = static_cast<double>(lines);
}

void BM_OrviaSentence(benchmark::State &state) { chain(state, SENTENCE); }
void BM_OrviaParagraph(benchmark::State &state) { chain(state, PARAGRAPH); }

void BM_OrviaLoad(benchmark::State &state) {
  for (auto _ : state) load(state);
}

BENCHMARK(BM_OrviaSentence);
BENCHMARK(BM_OrviaParagraph);
BENCHMARK(BM_OrviaLoad)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
