#include "kltradutor.h"

#include <algorithm>

#include "klregras.h"

// Windows Latin-1 and DOS 850 bytes share the table: an accented vowel becomes
// its letter and one accent mark; "" has no mapping.
const char *const AccentTable[128] = {
    "\xE7", "u\"", "e'", "a^", "a~", "a`", "a'", "\xE7",   // 80-87
    "e^", "e\"", "e`", "i\"", "i^", "i`", "a~", "a'",      // 88-8F
    "e'", "ae", "-", "o^", "o~", "o`", "u^", "u`",         // 90-97
    "y-", "o~", "u\"", "", "", "", "", "",                 // 98-9F
    "a'", "i'", "o'", "u'", "nh", "nh", "", "\xA7",        // A0-A7
    "?", "", "", "\xAA", "", "!", "\"", "\"",              // A8-AF
    "", "", "", "", "", "", "", "",                        // B0-B7
    "", "", "", "\xBA", "", "", "", "?",                   // B8-BF
    "a`", "a'", "a^", "a~", "a~", "a", "ae", "\xE7",       // C0-C7
    "e`", "e'", "e^", "e\"", "i`", "i'", "i^", "i\"",      // C8-CF
    "", "nh", "o`", "o'", "o^", "o~", "o`", "x",           // D0-D7
    "0", "u`", "u'", "u^", "u", "", "", "",                // D8-DF
    "a`", "a'", "a^", "a~", "a~", "a", "ae", "\xE7",       // E0-E7
    "e`", "e'", "e^", "e\"", "i`", "i'", "i^", "i\"",      // E8-EF
    "", "nh", "o`", "o'", "o^", "o~", "o`", "x",           // F0-F7
    "0", "u`", "u'", "u^", "u", "", "", "",                // F8-FF
};

namespace {

constexpr unsigned char CEDILLA = 0xE7;
constexpr char UNMAPPED = 1;  // stands for a byte with no mapping; spelled out

bool isWordChar(unsigned char c) { return IsAsciiLetter(c) || IsAccentMark(c); }
bool isPauseMark(unsigned char c) {
  return c == ' ' || c == '!' || c == ',' || c == '.' || c == ':' || c == ';' || c == '?';
}
bool isUpperVowel(unsigned char c) { return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U'; }
bool isOneOf(unsigned char c, std::string_view set) { return c != 0 && set.find(static_cast<char>(c)) != set.npos; }
char lowerAscii(unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); }
char upperAscii(unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); }

// The current word W[1..n] and what was counted when it was read.
std::string word;
int vowelCount = 0;
bool accented = false;

// W[i], 1-based; outside the word a byte in no class.
unsigned char at(long i) {
  return i >= 1 && i <= static_cast<long>(word.size()) ? static_cast<unsigned char>(word[i - 1]) : 0;
}

void upperCaseAt(long i) {
  if (i >= 1 && i <= static_cast<long>(word.size())) word[i - 1] = upperAscii(static_cast<unsigned char>(word[i - 1]));
}

}  // namespace

std::string NormaliseText(std::string_view text) {
  std::string input(text);  // w and y changes are made here, so the next byte sees them
  std::string out;
  out.reserve(input.size() + 16);
  for (size_t i = 0; i < input.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(input[i]);
    bool letterBeside = (i > 0 && IsAsciiLetter(static_cast<unsigned char>(input[i - 1]))) ||
                        (i + 1 < input.size() && IsAsciiLetter(static_cast<unsigned char>(input[i + 1])));
    if ((c == 'W' || c == 'w') && letterBeside) c = 'u';
    else if ((c == 'Y' || c == 'y') && letterBeside) c = 'i';
    input[i] = static_cast<char>(c);

    if (c == '\'' && i > 0 && (input[i - 1] == 'd' || input[i - 1] == 'D')) continue;

    std::string_view result;
    char self = static_cast<char>(c);
    if (c >= 32 && c < 128) result = {&self, 1};
    else if (c >= 128) result = AccentTable[c - 128];
    if (result.size() == 1 && static_cast<unsigned char>(result[0]) == CEDILLA) result = "ss";

    if (result.empty()) {
      out += ' ';
      out += UNMAPPED;
      out += ' ';
    } else {
      out += result;
    }
  }
  return out;
}

bool NextWord(std::string_view text, size_t &pos) {
  while (pos <= text.size() && text[pos - 1] == ' ') ++pos;
  if (pos == 0 || pos > text.size()) return false;

  word.clear();
  vowelCount = 0;
  accented = false;
  unsigned char first = static_cast<unsigned char>(lowerAscii(static_cast<unsigned char>(text[pos - 1])));
  if (!IsAsciiLetter(first)) {
    word += static_cast<char>(first);
    ++pos;
    return true;
  }

  size_t start = pos - 1, end = start;
  while (end < text.size() && isWordChar(static_cast<unsigned char>(text[end]))) ++end;
  // A run longer than the buffer is read as several words. Cutting in front
  // of an accent mark would cut the mark off its vowel (and make the mark a
  // word of its own), so the cut moves back to the start of that vowel.
  if (end - start > TRANSLATOR_WORD_CAPACITY) {
    size_t cut = TRANSLATOR_WORD_CAPACITY;
    while (cut > 1 && IsAccentMark(static_cast<unsigned char>(text[start + cut]))) --cut;
    if (cut <= 1) cut = TRANSLATOR_WORD_CAPACITY;
    end = start + cut;
  }
  for (size_t i = start; i < end; ++i) {
    unsigned char c = static_cast<unsigned char>(lowerAscii(static_cast<unsigned char>(text[i])));
    word += static_cast<char>(c);
    if (IsAsciiVowel(c)) ++vowelCount;
    if (IsAccentMark(c) && c != '"') accented = true;
  }
  pos = end + 1;
  return true;
}

void LookUpCurrentWord() {
  LookUpException(word);
  if (word.size() > TRANSLATOR_WORD_CAPACITY) word.resize(TRANSLATOR_WORD_CAPACITY);
}

void PlaceStress() {
  if (accented || vowelCount == 0) return;
  long n = static_cast<long>(word.size());
  if (vowelCount == 1 && at(n) != 'l') return;

  int state = 0;
  for (long k = n; k > 0; --k) {
    unsigned char c = at(k);
    switch (state) {
      case 0:
        if (isOneOf(c, "aeo")) state = 5;
        else if (isOneOf(c, "iu")) state = 3;
        else if (isOneOf(c, "lnrxz")) state = 1;
        else if (c == 'm') state = 2;
        else if (c == 's') state = 4;
        break;
      case 1:
        if (IsAsciiVowel(c)) state = 6;
        break;
      case 2:
        if (isOneOf(c, "ae")) state = 5;
        else if (isOneOf(c, "iu")) state = 3;
        else if (c == 'o') state = 6;
        break;
      case 3:
        if (IsAsciiConsonant(c)) state = 7;
        else if (at(k - 1) == 'u' && isOneOf(at(k - 2), "gq")) state = 7;
        else state = 6;
        break;
      case 4:
        if (isOneOf(c, "aeo")) state = 5;
        else if (isOneOf(c, "iu")) state = 3;
        break;
      case 5:
        if (isOneOf(c, "aeo")) state = 6;
        else if (isOneOf(c, "iu")) state = 8;
        break;
      case 6:
        upperCaseAt(k + 1);
        return;
      case 7:
        upperCaseAt(k + 2);
        return;
      case 8: {
        unsigned char after = at(k + 2), next = at(k + 3);
        if (IsAsciiConsonant(c)) state = 7;
        else if (c == 'u' && isOneOf(at(k - 1), "gq")) state = 7;
        else if (isOneOf(after, "lmnrz") &&
                 ((after == 'n' && next == 'h') || (after == 'r' && next == 'r') || (IsAsciiConsonant(next) && next != 'h')))
          state = 7;
        else state = 6;
        break;
      }
    }
  }
}

bool IsSpelledWord() {
  if (word.empty() || word[0] == UNMAPPED) return true;
  return std::all_of(word.begin(), word.end(), [](char c) {
    return IsAsciiConsonant(static_cast<unsigned char>(c)) || isPauseMark(static_cast<unsigned char>(c));
  });
}

void SpellWord(std::string &result) {
  for (char c : word) {
    result += "[ /_";
    result += c;
    result += ']';
  }
}

void ApplyRules(std::string &result) {
  result += '[';
  int n = static_cast<int>(word.size());
  std::string segment;
  for (int pos = 1; pos <= n;) {
    const LetterRule *rule = FindRule(word, pos);
    if (rule) {
      segment.assign(rule->replacement.view());
    } else {
      segment.assign(" /_");
      segment += upperAscii(at(pos));
    }
    if (isUpperVowel(at(pos)) && !segment.empty()) {
      size_t i = 0;
      while (!IsAsciiVowel(static_cast<unsigned char>(segment[i])) && i + 1 < segment.size()) ++i;
      if (IsAsciiVowel(static_cast<unsigned char>(segment[i]))) segment[i] = upperAscii(static_cast<unsigned char>(segment[i]));
    }
    result += segment;
    pos += rule && !rule->focus.empty() ? static_cast<int>(rule->focus.size()) : 1;
    if (pos <= n) result += '/';
  }
  result += ']';
}

std::string TranslateText(const char *text, size_t length) {
  std::string result;
  if (!text) return result;
  std::string normalised = NormaliseText({text, length});
  size_t pos = 1;
  while (NextWord(normalised, pos)) {
    LookUpCurrentWord();
    PlaceStress();
    if (IsSpelledWord()) SpellWord(result);
    else ApplyRules(result);
  }
  return result;
}

std::string_view CurrentWord() { return word; }
int CurrentWordVowels() { return vowelCount; }
bool CurrentWordAccented() { return accented; }
