#include "klregras.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <iterator>
#include <vector>

#include "klpath.h"

namespace {

// Rule lists, one a key byte from FirstKey to LastKey. The records live in
// one store, so releasing never depends on how the lists were chained.
template <int FirstKey, int LastKey>
struct RuleIndex {
  static constexpr int KEYS = LastKey - FirstKey + 1;
  LetterRule *first[KEYS] = {};
  LetterRule *last[KEYS] = {};
  LetterRule *previous = nullptr;  // the record loaded last
  std::deque<LetterRule> records;

  static bool hasKey(int key) { return key >= FirstKey && key <= LastKey; }
  LetterRule *head(int key) const { return hasKey(key) ? first[key - FirstKey] : nullptr; }
  void clear() {
    std::fill(std::begin(first), std::end(first), nullptr);
    std::fill(std::begin(last), std::end(last), nullptr);
    previous = nullptr;
    records.clear();
  }
};

struct ExceptionList {
  std::vector<palavra_alias> entries;  // sorted by word after loading
};

RuleIndex<32, 95> diphoneRules;
ExceptionList diphoneExceptions;
RuleIndex<32, 255> orviaRules;
ExceptionList orviaExceptions;

// --- Reading text files ---

FILE *openText(const std::string &path) { return std::fopen(nativePath(path).c_str(), "rb"); }

// Reads one line, handing its bytes to onByte; the line ends at LF, and a CR
// right before LF (or before the end of the file) is not part of it. False
// when the file has no more lines (or reading failed).
template <class OnByte>
bool readLine(FILE *file, OnByte onByte) {
  int c = std::getc(file);
  if (c == EOF) return false;
  bool pendingReturn = false;
  for (; c != EOF && c != '\n'; c = std::getc(file)) {
    if (pendingReturn) onByte('\r');
    pendingReturn = c == '\r';
    if (!pendingReturn) onByte(static_cast<char>(c));
  }
  return true;
}

// --- Rule files ---

// Splits a rule line as it is read: left ( focus ) right = replacement | comment.
// A missing delimiter leaves the field being read with the rest of the line.
struct RuleLineParser {
  enum Field { LEFT, FOCUS, RIGHT, REPLACEMENT, COMMENT };
  Field field = LEFT;
  size_t replacementCapacity;
  LetterRule rule;

  explicit RuleLineParser(size_t capacity) : replacementCapacity(capacity) {}

  void operator()(char c) {
    switch (field) {
      case LEFT:
        if (c == '(') field = FOCUS;
        else rule.left.append(c);
        break;
      case FOCUS:
        if (c == ')') field = RIGHT;
        else rule.focus.append(c);
        break;
      case RIGHT:
        if (c == '=') field = REPLACEMENT;
        else rule.right.append(c);
        break;
      case REPLACEMENT:
        if (c == '|') field = COMMENT;
        else if (rule.replacement.size() < replacementCapacity) rule.replacement.append(c);
        break;
      case COMMENT:
        break;
    }
  }
};

// Reads the rule lines into index. A line with an empty focus or a key out of
// range has no list to go into and is skipped.
template <int FirstKey, int LastKey>
bool loadRuleFile(const std::string &path, RuleIndex<FirstKey, LastKey> &index, bool orvia) {
  FILE *file = openText(path);
  if (!file) return false;
  for (;;) {
    RuleLineParser parser(orvia ? ORVIA_RULE_REPLACEMENT_CAPACITY : RULE_REPLACEMENT_CAPACITY);
    bool firstByte = true, comment = false;
    bool more = readLine(file, [&](char c) {
      if (firstByte && orvia && c == ';') comment = true;
      firstByte = false;
      if (!comment) parser(c);
    });
    if (!more) break;
    const LetterRule &rule = parser.rule;
    if (comment || rule.focus.empty()) continue;
    int key = static_cast<unsigned char>(rule.focus[0]);
    if (!index.hasKey(key)) continue;
    LetterRule *record = &index.records.emplace_back(rule);
    LetterRule *&first = index.first[key - FirstKey];
    LetterRule *&last = index.last[key - FirstKey];
    if (!first) first = record;
    // The translator's files are grouped by key: a rule joins the one loaded
    // just before it. Orvia's need not be, so it joins its own key's list.
    else if (orvia) last->next = record;
    else index.previous->next = record;
    last = record;
    index.previous = record;
  }
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

// --- Rule selection ---

bool isVowelOrMark(unsigned char c) { return IsAsciiVowel(c) || IsAccentMark(c); }
bool isAOLetter(unsigned char c) { return c == 'A' || c == 'O' || c == 'a' || c == 'o'; }
bool isEILetter(unsigned char c) { return c == 'E' || c == 'I' || c == 'e' || c == 'i'; }
unsigned char asciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
bool oneOf(unsigned char c, std::string_view set) { return set.find(static_cast<char>(c)) != set.npos; }

// The word with 1-based positions; outside 1..n a read gives a byte of no
// class (every test below also checks the bounds it needs).
struct Word {
  std::string_view bytes;
  int n;
  bool inside(int i) const { return i >= 1 && i <= n; }
  unsigned char at(int i) const { return inside(i) ? static_cast<unsigned char>(bytes[i - 1]) : 0; }
};

bool matchesRight(const Word &w, std::string_view right, int c) {
  for (char s : right) {
    switch (s) {
      case '#':
        if (!w.inside(c) || !isVowelOrMark(w.at(c))) return false;
        while (w.inside(c) && isVowelOrMark(w.at(c))) ++c;
        break;
      case '%':
        if (w.inside(c)) return false;
        break;
      case '&':
        if (!w.inside(c) || !oneOf(w.at(c), "lnmrz")) return false;
        ++c;
        break;
      case '*':
        if (!w.inside(c) || !IsAsciiConsonant(w.at(c)) || w.at(c) == 'r' || w.at(c) == 'l') return false;
        break;
      case '+':
        if (!w.inside(c) || !isEILetter(w.at(c))) return false;
        c += c < w.n && IsAccentMark(w.at(c + 1)) ? 2 : 1;
        break;
      case '[':
        if (c != w.n + 1 && !(w.inside(c) && IsAsciiConsonant(w.at(c)) && w.at(c) != 'h')) return false;
        break;
      case '\\':
        if (w.inside(c) && w.at(c) == 's') ++c;
        break;
      default:
        if (!w.inside(c) || asciiUpper(w.at(c)) != static_cast<unsigned char>(s)) return false;
        ++c;
        break;
    }
  }
  return true;
}

bool matchesLeft(const Word &w, std::string_view left, int c) {
  for (size_t k = left.size(); k-- > 0;) {
    char s = left[k];
    switch (s) {
      case '#':
        if (!w.inside(c) || !isVowelOrMark(w.at(c))) return false;
        while (w.inside(c) && isVowelOrMark(w.at(c))) --c;
        break;
      case '%':
        if (w.inside(c)) return false;
        break;
      case ']':
        if (w.inside(c) && isAOLetter(w.at(c))) c -= 1;
        else if (w.inside(c) && IsAccentMark(w.at(c)) && isAOLetter(w.at(c - 1))) c -= 2;
        else return false;
        break;
      case '_':
        if (c == 0) break;
        if (w.inside(c) && IsAsciiVowel(w.at(c))) c -= 1;
        else if (w.inside(c) && IsAccentMark(w.at(c)) && IsAsciiVowel(w.at(c - 1))) c -= 2;
        else return false;
        break;
      case '|':
        if (!w.inside(c) || !oneOf(w.at(c), "nrs")) return false;
        --c;
        break;
      default:
        if (!w.inside(c) || asciiUpper(w.at(c)) != static_cast<unsigned char>(s)) return false;
        --c;
        break;
    }
  }
  return true;
}

bool matchesFocus(const Word &w, std::string_view focus, int pos) {
  for (size_t i = 0; i < focus.size(); ++i) {
    int at = pos + static_cast<int>(i);
    if (at > w.n || asciiUpper(w.at(at)) != static_cast<unsigned char>(focus[i])) return false;
  }
  return true;
}

// --- Exception files ---

// The line with "|=|" appended, split into word and substitute; done on the
// line's own bytes, so a long line splits the same as a short one.
palavra_alias splitExceptionLine(const std::string &line) {
  size_t equals = line.find('=');
  if (equals == line.npos) return {line + '|', ""};
  size_t bar = line.find('|', equals + 1);
  size_t end = bar == line.npos ? line.size() : bar;
  return {line.substr(0, equals), line.substr(equals + 1, end - equals - 1)};
}

bool loadExceptionFile(const std::string &path, ExceptionList &list, bool upperCase) {
  list.entries.clear();
  FILE *file = openText(path);
  if (!file) return false;
  std::string line;
  while (list.entries.size() < EXCEPTION_CAPACITY) {
    line.clear();
    bool more = readLine(file, [&](char c) {
      if (line.size() < EXCEPTION_LINE_CAPACITY) line += c;
    });
    if (!more) break;
    if (line.empty()) continue;
    if (upperCase)
      for (char &c : line) c = static_cast<char>(AnsiUpperCase(static_cast<unsigned char>(c)));
    list.entries.push_back(splitExceptionLine(line));
  }
  bool ok = !std::ferror(file);
  std::fclose(file);
  // std::string compares bytes as unsigned, a prefix first. Stable, so that
  // entries with the same word keep their file order.
  std::stable_sort(list.entries.begin(), list.entries.end(),
                   [](const palavra_alias &a, const palavra_alias &b) { return a.word < b.word; });
  return ok;
}

// Bisection over the sorted entries; of equal words, the first in the file.
const palavra_alias *findException(const ExceptionList &list, std::string_view word) {
  const auto &entries = list.entries;
  long low = 0, high = static_cast<long>(entries.size()) - 1;
  while (low <= high) {
    long middle = (low + high) / 2;
    int order = word.compare(entries[middle].word);
    if (order == 0) {
      while (middle > 0 && entries[middle - 1].word == word) --middle;
      return &entries[middle];
    }
    if (order > 0) low = middle + 1;
    else high = middle - 1;
  }
  return nullptr;
}

// Tries the word, then the word without its trailing suffix letters one at a
// time; on a hit the stripped letters follow the substitute.
bool lookUp(const ExceptionList &list, std::string &word, char suffix1, char suffix2) {
  std::string_view stem = word;
  for (;;) {
    if (const palavra_alias *entry = findException(list, stem)) {
      word = entry->substitute + word.substr(stem.size());
      return true;
    }
    if (stem.empty() || (stem.back() != suffix1 && stem.back() != suffix2)) return false;
    stem.remove_suffix(1);
    if (stem.empty()) return false;
  }
}

}  // namespace

bool LoadRules(const std::string &path) {
  diphoneRules.clear();
  diphoneExceptions.entries.clear();
  return loadRuleFile(path, diphoneRules, false);
}

void ReleaseRules() { diphoneRules.clear(); }

const LetterRule *FindRule(std::string_view word, int pos) {
  Word w{word, static_cast<int>(std::min<size_t>(word.size(), 1 << 30))};
  if (!w.inside(pos)) return nullptr;
  int key = asciiUpper(w.at(pos));
  for (const LetterRule *rule = diphoneRules.head(key); rule; rule = rule->next) {
    if (!matchesFocus(w, rule->focus.view(), pos)) continue;
    if (!matchesLeft(w, rule->left.view(), pos - 1)) continue;
    if (!matchesRight(w, rule->right.view(), pos + static_cast<int>(rule->focus.size()))) continue;
    return rule;
  }
  return nullptr;
}

bool LoadExceptions(const std::string &path) { return loadExceptionFile(path, diphoneExceptions, false); }

bool LookUpException(std::string &word) { return lookUp(diphoneExceptions, word, 's', 'm'); }

size_t ExceptionCount() { return diphoneExceptions.entries.size(); }

bool LoadOrviaRules(const std::string &path) {
  orviaRules.clear();
  return loadRuleFile(path, orviaRules, true);
}

void ReleaseOrviaRules() { orviaRules.clear(); }

const LetterRule *FirstOrviaRule(unsigned char key) { return orviaRules.head(key); }

void ClearOrviaExceptions() { orviaExceptions.entries.clear(); }

bool LoadOrviaExceptions(const std::string &path) { return loadExceptionFile(path, orviaExceptions, true); }

bool LookUpOrviaException(std::string &word) { return lookUp(orviaExceptions, word, 'S', 'M'); }

size_t OrviaExceptionCount() { return orviaExceptions.entries.size(); }

bool IsAsciiVowel(unsigned char c) {
  switch (c) {
    case 'A': case 'E': case 'I': case 'O': case 'U':
    case 'a': case 'e': case 'i': case 'o': case 'u':
      return true;
    default:
      return false;
  }
}
bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiConsonant(unsigned char c) { return IsAsciiLetter(c) && !IsAsciiVowel(c); }
bool IsAccentMark(unsigned char c) { return c == '"' || c == '\'' || c == '^' || c == '`' || c == '~'; }

unsigned char AnsiUpperCase(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // à..þ, not ÷
  switch (c) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: return c;
  }
}
