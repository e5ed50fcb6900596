#include "klcodepage.h"

namespace {

// 0x80..0x9F; the rest of the code page is Latin-1.
const uint16_t HIGH_CONTROLS[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string &out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

uint32_t cp1252ToUnicode(uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) return HIGH_CONTROLS[byte - 0x80];
  return byte;
}

int unicodeToCp1252(uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<int>(codePoint);
  for (int i = 0; i < 32; ++i)
    if (HIGH_CONTROLS[i] == codePoint) return 0x80 + i;
  return -1;
}

std::string cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) appendUtf8(out, cp1252ToUnicode(b));
  return out;
}

uint32_t nextUtf8(std::string_view text, size_t &pos) {
  unsigned char c = text[pos++];
  if (c < 0x80) return c;
  int extra;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) extra = 1, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) extra = 2, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) extra = 3, cp = c & 0x07;
  else return 0xFFFD;
  size_t start = pos;
  for (int i = 0; i < extra; ++i) {
    if (pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) {
      pos = start;
      return 0xFFFD;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are malformed.
  static const uint32_t MIN_FOR[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < MIN_FOR[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
    pos = start;
    return 0xFFFD;
  }
  return cp;
}

std::string utf8ToCp1252(std::string_view text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    int b = unicodeToCp1252(nextUtf8(text, pos));
    if (b >= 0) out += static_cast<char>(b);
  }
  return out;
}
