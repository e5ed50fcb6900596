#include "uttsTonica.h"

#include <string>

namespace {

// Windows-1252 lower case, accented capitals included (the system's mapping).
unsigned char ansiLower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xc0 && c <= 0xde && c != 0xd7) return static_cast<unsigned char>(c + 32);
  if (c == 0x8a || c == 0x8c || c == 0x8e) return static_cast<unsigned char>(c + 16);
  if (c == 0x9f) return 0xff;
  return c;
}

bool isAccentedVowel(unsigned char c) {
  switch (c) {
    case 0xe0: case 0xe1: case 0xe2: case 0xe3:  // à á â ã
    case 0xe9: case 0xea:                        // é ê
    case 0xed:                                   // í
    case 0xf3: case 0xf4: case 0xf5:             // ó ô õ
    case 0xfa:                                   // ú
      return true;
    default:
      return false;
  }
}

// The letters that make a syllable nucleus for the scan (ü included).
bool isPlainVowel(unsigned char c) {
  switch (c) {
    case 'a': case 'e': case 'i': case 'o': case 'u': case 'w': case 'y': case 0xfc:
      return true;
    default:
      return false;
  }
}

bool isAeo(unsigned char c) { return c == 'a' || c == 'e' || c == 'o'; }
bool isGq(unsigned char c) { return c == 'g' || c == 'q'; }

}  // namespace

int FindStressPosition(std::string_view word) {
  std::string w(word);
  for (char &c : w) c = static_cast<char>(ansiLower(static_cast<unsigned char>(c)));
  const int n = static_cast<int>(w.size());
  auto at = [&](int p) { return static_cast<unsigned char>(w[p - 1]); };

  bool anyVowel = false;
  for (int p = n; p >= 1; --p) {
    if (isAccentedVowel(at(p))) return p;
    if (isPlainVowel(at(p))) anyVowel = true;
  }
  if (!anyVowel) return 0;

  // Walk back from the end; the state says what the ending seen so far was.
  int r = 0;
  int state = 0;
  for (int p = n; p >= 1; --p) {
    unsigned char c = at(p);
    switch (state) {
      case 0:
        if (isAeo(c)) r = p, state = 1;
        else if (c == 'u') r = p, state = 10;
        else if (c == 'i') r = p, state = 20;
        else if (c == 's') state = 0;
        else if (c == 'm') state = 40;
        else state = 30;
        break;
      case 1:
        if (c == 'u') state = 4;
        else if (isPlainVowel(c)) return p;
        else state = 2;
        break;
      case 2:
        if (isAeo(c)) return p;
        if (c == 'i' || c == 'u') r = p, state = 3;
        break;
      case 3:
        if (isAeo(c)) return p;
        if (c == 'u') state = 5;
        else return r;
        break;
      case 4:
        if (isGq(c)) r = p + 2, state = 2;
        else return p + 1;
        break;
      case 5:
        return isGq(c) ? p + 2 : p + 1;
      case 10:
        if (isAeo(c) || c == 'i') return p;
        return r;
      case 20:
        if (isAeo(c)) r = p;
        else if (c == 'u') state = 21;
        else return r;
        break;
      case 21:
        return isGq(c) ? p + 2 : p + 1;
      case 30:
        if (isPlainVowel(c)) return p;
        break;
      case 40:
        if (c == 'i' || c == 'o' || c == 'u') return p;
        if (c == 'a' || c == 'e') r = p, state = 1;
        else state = 0;
        break;
    }
  }
  return r;
}

bool IsUnstressedWord(std::string_view word) {
  if (word.size() < 3) return true;
  static const char *const FUNCTION_WORDS[] = {"POR", "DAS", "DOS", "COM", "N\xc3O", "SIM"};
  for (const char *w : FUNCTION_WORDS)
    if (word == w) return true;
  return false;
}
