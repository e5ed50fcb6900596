// Any integer through numberToWords (the first four bytes, little-endian),
// and the same bytes as groups of digits: the words must be made only of the
// tables' words, and each must have a recording's file base of 8 bytes at most.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "klnumeros.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  uint8_t raw[4] = {0, 0, 0, 0};
  std::memcpy(raw, data, size < 4 ? size : 4);
  int32_t number = static_cast<int32_t>(uint32_t(raw[0]) | uint32_t(raw[1]) << 8 | uint32_t(raw[2]) << 16 |
                                        uint32_t(raw[3]) << 24);
  std::string words = numberToWords(number);
  if (words.empty()) std::abort();
  std::istringstream in(words);
  for (std::string word; in >> word;) {
    for (char c : word)
      if (!((c >= 'a' && c <= 'z') || c == '\xe3' || c == '\xf5')) std::abort();
    if (numberWordFileBase(word).size() > 8) std::abort();
  }
  std::string_view text(reinterpret_cast<const char *>(data), size);
  groupToWords(text.substr(0, 3));
  for (int group = -1; group <= 5; ++group) scaledGroupWords(text.substr(0, 15), group);
  return 0;
}
