// Any bytes as the abbreviation file: the table stays within its capacity,
// lookups give expansions within theirs, and texts with words of the input
// followed by a full stop expand.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orvia/uttsPreproc.h"
#include "fuzz_arquivo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file = fuzzFile("portug.abr", data, size);
  if (file.empty()) return 0;

  if (!LoadAbbreviations(file)) std::abort();  // any readable file loads
  if (AbbreviationCount() > ABBREVIATION_CAPACITY || AbbreviationCount() > size) std::abort();
  if (!FindAbbreviation("").empty()) std::abort();

  // The first line's key, as the file wrote it, and a few usual words.
  std::string input(reinterpret_cast<const char *>(data), size);
  std::string firstKey = input.substr(0, input.find_first_of("=\n\r"));
  if (firstKey.size() > 40) firstKey.resize(40);
  for (const std::string &word : {firstKey, std::string("Sr"), std::string("DR"), std::string("etc")}) {
    std::string expansion = FindAbbreviation(word);
    if (expansion.size() > ABBREVIATION_EXPANSION_CAPACITY) std::abort();
    std::string text = word + ". " + word + ". x 12,5 " + word;
    if (ExpandText(text) != ExpandText(text)) std::abort();
  }
  ExpandText(input.substr(0, 200));
  return 0;
}
