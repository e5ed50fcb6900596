// Any bytes as Orvia's rule file and as its exception file: both loaders,
// every rule list walked, and a few lookups.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klregras.h"
#include "fuzz_arquivo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file = fuzzFile("portug.nrl", data, size);
  if (file.empty()) return 0;

  ClearOrviaExceptions();
  if (!LoadOrviaRules(file)) return 0;
  size_t rules = 0;
  for (int key = 0; key < 256; ++key)
    for (const LetterRule *rule = FirstOrviaRule(static_cast<unsigned char>(key)); rule; rule = rule->next) {
      if (++rules > size || rule->focus.empty() || static_cast<unsigned char>(rule->focus[0]) != key) std::abort();
    }
  if (!LoadOrviaExceptions(file)) return 0;
  std::string fromInput(reinterpret_cast<const char *>(data), size < 20 ? size : 20);
  for (std::string word : {fromInput, std::string("CASAS"), std::string("SM"), std::string("\xc7\xc3O")})
    LookUpOrviaException(word);
  ReleaseOrviaRules();
  return 0;
}
