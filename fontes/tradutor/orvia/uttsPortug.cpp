#include "uttsPortug.h"

#include <cstring>

#include "uttsTonica.h"

namespace {

// Only the replacement's first bytes are written.
constexpr size_t REPLACEMENT_USED = 11;

// Working cursors of the matcher (one call at a time).
int matchCursor;

bool inSet(unsigned char c, const char *members) {
  return c != 0 && std::strchr(members, c) != nullptr;
}

// Windows-1252 classes the context symbols test; each holds both cases.
bool isVowelLetter(unsigned char c) {
  return inSet(c, "AEIOUaeiou\xc0\xc1\xc2\xc3\xc9\xca\xcc\xcd\xd3\xd4\xd5\xd9\xda\xdc"
                  "\xe0\xe1\xe2\xe3\xe9\xea\xec\xed\xf3\xf4\xf5\xf9\xfa\xfc");
}
bool isConsonantLetter(unsigned char c) {
  return inSet(c, "BCDFGHJKLMNPQRSTVWXYZbcdfghjklmnpqrstvwxyz\xc7\xd1\xe7\xf1");
}
bool isAoVowel(unsigned char c) { return inSet(c, "AOao\xc1\xc2\xd3\xd4\xe1\xe2\xf3\xf4"); }
bool isEiVowel(unsigned char c) { return inSet(c, "EIei\xc9\xcd\xe9\xed"); }
bool isLr(unsigned char c) { return inSet(c, "LRlr"); }
bool isS(unsigned char c) { return c == 'S' || c == 's'; }
bool isH(unsigned char c) { return c == 'H' || c == 'h'; }
bool isSonorant(unsigned char c) { return inSet(c, "LMNRZlmnrz"); }
bool isNrs(unsigned char c) { return inSet(c, "NRSnrs"); }

unsigned char capital(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; }

bool isSandhiVowel(unsigned char c) { return inSet(c, "aeiouwy"); }

bool focusMatches(std::string_view w, int p, const LetterRule &rule) {
  const int n = static_cast<int>(w.size());
  for (size_t i = 0; i < rule.focus.size(); ++i) {
    int k = p + static_cast<int>(i);
    if (k > n || capital(static_cast<unsigned char>(w[k - 1])) != static_cast<unsigned char>(rule.focus[i]))
      return false;
  }
  return true;
}

bool leftMatches(std::string_view w, int p, const LetterRule &rule) {
  const int n = static_cast<int>(w.size());
  int &k = matchCursor;
  k = p - 1;
  auto at = [&](int i) { return static_cast<unsigned char>(w[i - 1]); };
  for (size_t i = rule.left.size(); i-- > 0;) {
    unsigned char symbol = static_cast<unsigned char>(rule.left[i]);
    switch (symbol) {
      case '#':
        if (k >= 1 && k <= n && isVowelLetter(at(k))) --k;
        else return false;
        break;
      case '%':
        if (k != 0) return false;
        break;
      case ']':
        if (k >= 1 && k <= n && isAoVowel(at(k))) --k;
        else return false;
        break;
      case '_':
        if (k == 0) break;
        if (k >= 1 && k <= n && isVowelLetter(at(k))) --k;
        else return false;
        break;
      case '|':
        if (k >= 1 && k <= n && isNrs(at(k))) --k;
        else return false;
        break;
      default:
        if (k >= 1 && k <= n && capital(at(k)) == symbol) --k;
        else return false;
    }
  }
  return true;
}

bool rightMatches(std::string_view w, int p, const LetterRule &rule) {
  const int n = static_cast<int>(w.size());
  int &k = matchCursor;
  k = p + static_cast<int>(rule.focus.size());
  auto at = [&](int i) { return static_cast<unsigned char>(w[i - 1]); };
  for (size_t i = 0; i < rule.right.size(); ++i) {
    unsigned char symbol = static_cast<unsigned char>(rule.right[i]);
    const bool inside = k >= 1 && k <= n;
    switch (symbol) {
      case '#':
        if (inside && isVowelLetter(at(k))) ++k;
        else return false;
        break;
      case '%':
        if (k <= n) return false;
        break;
      case '&':
        if (inside && isSonorant(at(k))) ++k;
        else return false;
        break;
      case '*':
        if (!(inside && isConsonantLetter(at(k)) && !isLr(at(k)))) return false;
        break;
      case '+':
        if (inside && isEiVowel(at(k))) ++k;
        else return false;
        break;
      case '[':
        if (k > n) break;
        if (!(inside && isConsonantLetter(at(k)) && !isH(at(k)))) return false;
        break;
      case '\\':
        if (inside && isS(at(k))) ++k;
        break;
      default:
        if (inside && capital(at(k)) == symbol) ++k;
        else return false;
    }
  }
  return true;
}

// The pause line of a punctuation token, or null for other characters.
const char *pauseLine(unsigned char c) {
  switch (c) {
    case '!': return "_!";
    case '(': return "_(";
    case ')': return "_)";
    case ',': return "_,";
    case '.': return "_.";
    case ':': return "_:";
    case ';': return "_;";
    case '?': return "_?";
    default: return nullptr;
  }
}

}  // namespace

const LetterRule *FindOrviaRule(std::string_view word, int position) {
  if (position < 1 || position > static_cast<int>(word.size())) return nullptr;
  unsigned char key = static_cast<unsigned char>(word[position - 1]);
  if (key < 32) return nullptr;
  for (const LetterRule *rule = FirstOrviaRule(key); rule; rule = rule->next)
    if (focusMatches(word, position, *rule) && leftMatches(word, position, *rule) &&
        rightMatches(word, position, *rule))
      return rule;
  return nullptr;
}

void TranscribeWord(std::string_view word, int stressPosition, StringList &phonemes) {
  const int n = static_cast<int>(word.size());
  int stress = stressPosition < 1 ? 9999 : stressPosition;
  std::string current;
  int p = 1;
  while (p <= n) {
    const LetterRule *rule = FindOrviaRule(word, p);
    if (rule) {
      std::string_view replacement = rule->replacement.view().substr(0, REPLACEMENT_USED);
      for (char c : replacement) {
        if (p >= stress) {
          current += STRESS_MARK;
          stress = 255;
        }
        if (c == '&') {
          phonemes.push_back(current);
          current.clear();
        } else {
          current += c;
        }
      }
      if (!replacement.empty()) {
        phonemes.push_back(current);
        current.clear();
      }
    }
    // A rule always consumes at least one letter, so the walk ends.
    p += rule && !rule->focus.empty() ? static_cast<int>(rule->focus.size()) : 1;
  }
  phonemes.push_back(current);
}

StringList TranscribeTokens(const StringList &tokens) {
  StringList phonemes;
  for (const std::string &line : tokens) {
    phonemes.push_back(";" + line);
    std::string text = line.size() > 4 ? line.substr(4) : std::string();
    for (char &c : text) c = static_cast<char>(AnsiUpperCase(static_cast<unsigned char>(c)));
    if (text.empty()) {
      phonemes.push_back("__");
      phonemes.push_back("");
      continue;
    }
    unsigned char first = static_cast<unsigned char>(text[0]);
    if (first == ' ') continue;
    if (const char *pause = pauseLine(first)) {
      phonemes.push_back(pause);
      continue;
    }
    LookUpOrviaException(text);
    int stress = IsUnstressedWord(text) ? 0 : FindStressPosition(text);
    TranscribeWord(text, stress, phonemes);
  }
  phonemes.push_back("__");
  LinkWords(phonemes);
  return phonemes;
}

void LinkWords(StringList &phonemes) {
  const size_t count = phonemes.size();
  size_t h = 3;
  while (h + 1 < count) {
    const std::string &header = phonemes[h];
    if (header.size() >= 5 && header[0] == ';' && header[4] == '|') {
      std::string_view next = phonemes[h + 1];
      if (!next.empty() && next[0] == BOUNDARY_MARK) next.remove_prefix(1);
      if (!next.empty() && isSandhiVowel(static_cast<unsigned char>(next[0]))) {
        std::string &last = phonemes[h - 2];
        if (last == "r2") last.pop_back();                 // r
        else if (last == "s2") last.assign(1, 'z');
      }
      h += 2;
    } else {
      ++h;
    }
  }
}
