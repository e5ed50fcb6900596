// Any bytes as a text to normalise, with no abbreviation loaded: the words
// hold only letters, hyphens, blanks and the kept punctuation (no digit, no
// symbol, no control byte), and grow by a bounded amount per input byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "orvia/uttsPreproc.h"

namespace {

bool isOutputByte(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c >= 0xC0) {
    static const char accented[] = "\xc0\xc1\xc2\xc3\xc7\xc9\xca\xcc\xcd\xd1\xd3\xd4\xd5\xd9\xda\xdc";
    return std::memchr(accented, c & ~0x20, sizeof accented - 1) != nullptr;
  }
  return std::strchr(" -!(),.:;?", c) != nullptr && c != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(data), size);
  std::string words = ExpandText(text);
  // The longest piece an input byte can give is a symbol's name between
  // blanks, or a digit's share of fifteen digits' words.
  if (words.size() > 32 * size + 32) std::abort();
  for (unsigned char c : words)
    if (!isOutputByte(c)) std::abort();
  if (ExpandText(text) != words) std::abort();

  // The inner readers from a position inside the text never move back and
  // never run past its end.
  if (size > 0) {
    size_t start = data[0] % size + 1, p = start;
    ReadNumber(text, p);
    if (p < start || p > size + 1) std::abort();
    p = start;
    ReadWord(text, p);
    if (p < start || p > size + 1) std::abort();
  }
  return 0;
}
