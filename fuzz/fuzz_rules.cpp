// Any bytes as a rule file: the translator's loader, then rule selection at
// every position of a few words, one of them taken from the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klregras.h"
#include "fuzz_arquivo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file = fuzzFile("regras.rgr", data, size);
  if (file.empty()) return 0;

  if (!LoadRules(file)) return 0;
  std::string fromInput(reinterpret_cast<const char *>(data), size < 40 ? size : 40);
  for (const std::string &word : {fromInput, std::string("ca'sa~o"), std::string("Ah"), std::string("a\"e`i^")}) {
    for (int pos = 1; pos <= static_cast<int>(word.size()); ++pos) {
      if (const LetterRule *rule = FindRule(word, pos)) {
        if (rule->focus.empty() || rule->replacement.size() > RULE_REPLACEMENT_CAPACITY) std::abort();
      }
    }
  }
  ReleaseRules();
  return 0;
}
