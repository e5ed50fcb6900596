#include "uttsProsodia.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "klcrt.h"
#include "klpath.h"
#include "klregras.h"

namespace {

// --- The prosody file's tables ---

struct TDuracao {
  std::string name;  // up to 2 characters, letter case kept
  int32_t ms;
};

TDuracao durations[DURATION_CAPACITY];
size_t durationCount = 0;
TChave keyWords[KEY_WORD_CAPACITY];
size_t keyWordCount = 0;
TProsodia patterns[PATTERN_CAPACITY];
size_t patternCount = 0;

constexpr int DEFAULT_HERTZ = 230;
int HERTZ = DEFAULT_HERTZ;
int TABHERTZ[10] = {};

// The diphones of the voice, "A-B", sorted without regard to letter case.
StringList diphones;

// Last phoneme written and the one being written. They outlive an
// utterance: the next one's first line is checked against what this one
// ended on.
std::string previousPhoneme = "_";
std::string currentPhoneme;
constexpr size_t CURRENT_PHONEME_CAPACITY = 255;

const char MESSAGE_TITLE[] = "Orvia";
const std::string SETTINGS = "Configura\xe7\xe3o da pros\xf3" "dia";

// --- Text helpers ---

bool isBlank(unsigned char c) { return c <= ' '; }

std::string_view trim(std::string_view s) {
  size_t first = 0, last = s.size();
  while (first < last && isBlank(static_cast<unsigned char>(s[first]))) ++first;
  while (last > first && isBlank(static_cast<unsigned char>(s[last - 1]))) --last;
  return s.substr(first, last - first);
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = static_cast<char>(AnsiUpperCase(static_cast<unsigned char>(c)));
  return out;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// A decimal integer with an optional sign that fits in 32 bits; nothing
// else may stand in the text.
bool parseInteger(std::string_view text, int32_t &value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// A whole file as lines; a line ends at LF, CR LF or CR. False when the file
// cannot be opened or read.
bool readLines(const std::string &path, StringList &lines) {
  lines.clear();
  FILE *file = std::fopen(nativePath(path).c_str(), "rb");
  if (!file) return false;
  std::string content;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, n);
  bool ok = !std::ferror(file);
  std::fclose(file);
  if (!ok) return false;
  std::string line;
  for (size_t i = 0; i < content.size(); ++i) {
    char c = content[i];
    if (c == '\n' || c == '\r') {
      lines.push_back(std::move(line));
      line.clear();
      if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return true;
}

// --- Loading the prosody file ---

void show(const std::string &text) { showMessageBox(MESSAGE_TITLE, text); }

// The index of the line after the section's header, or npos when the file
// has none. The first header of that name counts.
size_t findSection(const StringList &lines, std::string_view header) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (trim(lines[i]) == header) return i + 1;
  return std::string::npos;
}

bool endsSection(const std::string &line) {
  std::string_view t = trim(line);
  return !t.empty() && t[0] == '[';
}

bool isComment(const std::string &line) { return trim(line).empty() || line[0] == ';' || line[0] == '*'; }

// A table's entries past its size are dropped, with one message a load.
struct Overflow {
  bool told = false;
  void drop(const std::string &line) {
    if (told) return;
    told = true;
    show(SETTINGS + ": entradas demais, ignoradas a partir de: " + line);
  }
};

bool loadDurations(const StringList &lines, size_t at) {
  Overflow overflow;
  for (; at < lines.size() && !endsSection(lines[at]); ++at) {
    const std::string &line = lines[at];
    if (isComment(line)) continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
      show(SETTINGS + ": fonema errado: " + line);
      return false;
    }
    if (durationCount == DURATION_CAPACITY) {
      overflow.drop(line);
      continue;
    }
    TDuracao &entry = durations[durationCount++];
    entry.name = std::string(trim(std::string_view(line).substr(0, equals)).substr(0, 2));
    std::string_view number = trim(std::string_view(line).substr(equals + 1, 999));
    if (!parseInteger(number, entry.ms)) {
      show(SETTINGS + ": fonema errado: " + line);
      entry.ms = 100;
    }
  }
  return true;
}

bool loadKeyWords(const StringList &lines, size_t at) {
  Overflow overflow;
  for (; at < lines.size() && !endsSection(lines[at]); ++at) {
    const std::string &line = lines[at];
    if (isComment(line)) continue;
    size_t equals = line.find('=');
    std::string klass = equals == std::string::npos
                            ? std::string()
                            : upper(trim(std::string_view(line).substr(equals + 1)).substr(0, 2));
    // A shorter class would shift the token line's layout.
    if (klass.size() != 2) {
      show(SETTINGS + ": chave errada: " + line);
      return false;
    }
    if (keyWordCount == KEY_WORD_CAPACITY) {
      overflow.drop(line);
      continue;
    }
    TChave &entry = keyWords[keyWordCount++];
    entry.word = upper(trim(std::string_view(line).substr(0, equals)));
    entry.klass = klass;
  }
  // Of equal words the first in the file is the one found.
  std::stable_sort(keyWords, keyWords + keyWordCount,
                   [](const TChave &a, const TChave &b) { return a.word < b.word; });
  return true;
}

// Three characters: a digit or "?", then two digits.
bool isProsodyValue(std::string_view v) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return v.size() == 3 && (digit(v[0]) || v[0] == '?') && digit(v[1]) && digit(v[2]);
}

void setHertz(const std::string &line, std::string_view text) {
  int32_t value;
  if (parseInteger(trim(text), value) && value > 0) HERTZ = value;
  else show(SETTINGS + ": HERTZ errado: " + line);
}

// Ten percentages of zero or more; otherwise the scale stays as it was.
void setScale(const std::string &line, std::string_view text) {
  int scale[10];
  size_t count = 0;
  for (size_t from = 0;;) {
    size_t comma = text.find(',', from);
    std::string_view item = trim(text.substr(from, comma == std::string_view::npos ? comma : comma - from));
    int32_t value;
    if (count == 10 || !parseInteger(item, value) || value < 0) {
      count = 0;
      break;
    }
    scale[count++] = value;
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
  if (count != 10) {
    show(SETTINGS + ": TABHERTZ errado: " + line);
    return;
  }
  std::copy(scale, scale + 10, TABHERTZ);
}

bool loadPatterns(const StringList &lines, size_t at) {
  Overflow overflow;
  for (; at < lines.size() && !endsSection(lines[at]); ++at) {
    const std::string &line = lines[at];
    if (isComment(line)) continue;
    std::string text = upper(line);
    std::string_view trimmed = trim(text);
    if (startsWith(trimmed, "HERTZ=")) {
      setHertz(line, trimmed.substr(6));
      continue;
    }
    if (startsWith(trimmed, "TABHERTZ=")) {
      setScale(line, trimmed.substr(9));
      continue;
    }
    size_t equals = text.find('=');
    std::string_view value =
        equals == std::string::npos ? std::string_view() : trim(std::string_view(text).substr(equals + 1));
    // Values are copied into the annotated lines, which must keep their layout.
    if (!isProsodyValue(value)) {
      show(SETTINGS + ": chave errada: " + line);
      return false;
    }
    if (patternCount == PATTERN_CAPACITY) {
      overflow.drop(line);
      continue;
    }
    TProsodia &entry = patterns[patternCount++];
    std::string_view fields = trim(std::string_view(text).substr(0, equals));
    std::string *targets[3] = {&entry.previous, &entry.current, &entry.next};
    for (std::string *field : targets) {
      size_t bar = fields.find('|');
      *field = std::string(fields.substr(0, std::min<size_t>(bar, 3)));
      fields = bar == std::string_view::npos ? std::string_view() : fields.substr(bar + 1);
    }
    entry.value = std::string(value);
  }
  return true;
}

// --- Diphones ---

int compareNoCase(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = AnsiUpperCase(static_cast<unsigned char>(a[i]));
    unsigned char y = AnsiUpperCase(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool hasDiphone(const std::string &entry) {
  auto it = std::lower_bound(diphones.begin(), diphones.end(), entry,
                             [](const std::string &a, const std::string &b) { return compareNoCase(a, b) < 0; });
  return it != diphones.end() && compareNoCase(*it, entry) == 0;
}

bool isNameChar(unsigned char c) {
  return c == '2' || c == '@' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// --- Timing: the state of the utterance being timed ---

struct Utterance {
  int stressFactor = 100;
  std::string value = "555";
  int pitchState = 0;
  size_t wordLength = 0;
  bool lastOfWord = false;
  double pitchFactor = 1.0;
};

Utterance utterance;

// A double truncated towards zero into 64 bits; out of range or not a
// number comes out as the nearest end (0 for NaN).
int64_t truncate64(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (x <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

// The pitch target of the line being timed, "" when none: the first digit
// at the word's first phoneme, the second at its stressed phoneme, the third
// at its last.
std::string PitchTarget() {
  int digit, position;
  switch (utterance.pitchState) {
    case 0:
      digit = utterance.value[0], position = 50, utterance.pitchState = 1;
      break;
    case 2:
      digit = utterance.value[1], position = 80, utterance.pitchState = 3;
      break;
    case 3:
      if (!utterance.lastOfWord) return "";
      digit = utterance.value[2], position = 50;
      break;
    default:
      return "";
  }
  // A character other than a digit has no level.
  if (digit < '0' || digit > '9') return "";
  int level = TABHERTZ[digit - '0'];
  if (level == 0) return "";
  int64_t pitch = truncate64(static_cast<double>(level) * utterance.pitchFactor * HERTZ) / 100;
  return std::to_string(position) + " " + std::to_string(pitch);
}

// A short pause or glide before a phoneme the voice cannot join to the one
// before it.
void AddFiller(StringList &out) {
  if (currentPhoneme.empty()) return;
  if (!hasDiphone(previousPhoneme + "-" + currentPhoneme)) {
    if (previousPhoneme == "r2" && hasDiphone("r2-_")) out.push_back("_ 50");
    else if (hasDiphone(previousPhoneme + "-y")) out.push_back("y 50");
    else out.push_back("_ 50");
  }
  previousPhoneme = currentPhoneme;
}

}  // namespace

// --- The prosody file ---

bool LoadProsody(const std::string &path) {
  durationCount = keyWordCount = patternCount = 0;
  HERTZ = DEFAULT_HERTZ;
  // The scale is kept: a file without TABHERTZ goes on with the last one.

  StringList lines;
  if (!readLines(path, lines)) {
    show(SETTINGS + " n\xe3o foi achada");
    return false;
  }
  size_t at = findSection(lines, "[DURA\xc7\xc3O]");
  if (at == std::string::npos) {
    show("Dura\xe7\xe3o dos difones errada ou ausente");
    return false;
  }
  if (!loadDurations(lines, at)) return false;
  at = findSection(lines, "[CHAVES]");
  if (at == std::string::npos) {
    show("Pros\xf3" "dia: palavras chaves ausentes");
    return false;
  }
  if (!loadKeyWords(lines, at)) return false;
  at = findSection(lines, "[PROS\xd3" "DIA]");
  if (at == std::string::npos) {
    show("Pros\xf3" "dia: especifica\xe7\xf5" "es ausentes");
    return false;
  }
  return loadPatterns(lines, at);
}

int ProsodyHertz() { return HERTZ; }

int ProsodyScale(int digit) { return digit >= 0 && digit <= 9 ? TABHERTZ[digit] : 0; }

std::string FindKeyWordClass(std::string_view word) {
  std::string key = upper(word);
  const TChave *begin = keyWords, *end = keyWords + keyWordCount;
  const TChave *hit =
      std::lower_bound(begin, end, key, [](const TChave &entry, const std::string &k) { return entry.word < k; });
  return hit != end && hit->word == key ? hit->klass : std::string();
}

// --- Phrasing ---

namespace {

bool isLetter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  switch (c | 0x20) {  // the accented capitals and their small letters
    case 0xE0: case 0xE1: case 0xE2: case 0xE3: case 0xE7: case 0xE9: case 0xEA: case 0xEC:
    case 0xED: case 0xF1: case 0xF3: case 0xF4: case 0xF5: case 0xF9: case 0xFA: case 0xFC:
      return c >= 0xC0;
    default:
      return false;
  }
}

}  // namespace

std::string NextToken(std::string_view text, size_t &position, bool &isSymbol) {
  const size_t n = text.size();
  if (position < 1) position = 1;
  while (position <= n && text[position - 1] == ' ') ++position;
  isSymbol = true;
  if (position < n && text[position - 1] == '.' && text[position] == '.') {
    while (position <= n && text[position - 1] == '.') ++position;
    return ".-";
  }
  if (position <= n && !isLetter(static_cast<unsigned char>(text[position - 1]))) {
    char c = text[position - 1];
    ++position;
    return std::string(2, c);
  }
  isSymbol = false;
  if (position > n) return "";
  size_t start = position;
  while (position <= n && isLetter(static_cast<unsigned char>(text[position - 1]))) ++position;
  return std::string(text.substr(start - 1, position - start));
}

StringList MakeTokenList(std::string_view text) {
  StringList tokens{"[--]"};
  size_t position = 1;
  while (position <= text.size()) {
    bool isSymbol;
    std::string token = NextToken(text, position, isSymbol);
    if (token.empty()) break;
    std::string klass, tokenText;
    if (isSymbol) {
      klass = token;
      tokenText = token.substr(0, 1);
    } else {
      klass = FindKeyWordClass(token);
      if (klass.empty()) klass = "XX";
      tokenText = token;
    }
    tokens.push_back("[" + klass + "]" + tokenText);
    if (tokenText[0] == '!' || tokenText[0] == '.' || tokenText[0] == '?') tokens.push_back("[--]");
  }
  return tokens;
}

StringList AssignProsodyValues(const StringList &tokens) {
  auto classOf = [&](size_t i) { return std::string_view(tokens[i]).substr(std::min<size_t>(1, tokens[i].size()), 2); };
  StringList annotated;
  annotated.reserve(tokens.size());
  char carried = '5';
  for (size_t i = 0; i < tokens.size(); ++i) {
    std::string_view previous = i > 0 ? classOf(i - 1) : std::string_view();
    std::string_view current = classOf(i);
    std::string_view next = i + 1 < tokens.size() ? classOf(i + 1) : std::string_view();
    std::string value = "555";
    for (size_t p = 0; p < patternCount; ++p) {
      const TProsodia &pattern = patterns[p];
      if ((pattern.previous.empty() || pattern.previous == previous) &&
          (pattern.current.empty() || pattern.current == current) &&
          (pattern.next.empty() || pattern.next == next)) {
        value = pattern.value;
        break;
      }
    }
    if (value[0] == '?') value[0] = carried;
    carried = value[2];
    std::string_view tokenText = tokens[i].size() > 4 ? std::string_view(tokens[i]).substr(4) : std::string_view();
    annotated.push_back(value + "|" + std::string(tokenText));
  }
  return annotated;
}

// --- Diphones and timing ---

bool LoadDiphones(const std::string &path) {
  diphones.clear();
  StringList lines;
  if (!readLines(path, lines)) return false;
  for (const std::string &raw : lines) {
    std::string_view line = trim(raw);
    if (line.empty() || line[0] == '!' || line[0] == '*' || line[0] == ';') continue;
    size_t i = 0;
    while (i < line.size() && isNameChar(static_cast<unsigned char>(line[i]))) ++i;
    // A line that does not begin with a name holds no diphone.
    if (i == 0) continue;
    std::string entry(line.substr(0, i));
    if (i < line.size()) ++i;
    while (i < line.size() && !isNameChar(static_cast<unsigned char>(line[i]))) ++i;
    size_t second = i;
    while (i < line.size() && isNameChar(static_cast<unsigned char>(line[i]))) ++i;
    entry += "-";
    entry += line.substr(second, i - second);
    diphones.push_back(std::move(entry));
  }
  std::stable_sort(diphones.begin(), diphones.end(),
                   [](const std::string &a, const std::string &b) { return compareNoCase(a, b) < 0; });
  return true;
}

void ReleaseDiphones() { StringList().swap(diphones); }

int FindDuration(std::string_view phoneme) {
  for (size_t i = 0; i < durationCount; ++i)
    if (durations[i].name == phoneme) return durations[i].ms;
  return 100;
}

StringList TimeAndPitch(const StringList &phonemes, double durationFactor, double pitchFactor) {
  utterance = Utterance{};
  utterance.pitchFactor = pitchFactor;
  previousPhoneme = "_";
  StringList out;
  out.reserve(phonemes.size() + phonemes.size() / 4);
  for (size_t i = 0; i < phonemes.size(); ++i) {
    std::string s = phonemes[i];
    utterance.lastOfWord = i + 1 == phonemes.size() || phonemes[i + 1].empty();
    if (s.empty()) {
      utterance.stressFactor = 100;
      currentPhoneme.clear();
    } else if (s[0] == ';' && s.size() >= 5 && s[4] == '|') {
      utterance.value = s.substr(1, 3);
      s.erase(1, 4);
      utterance.wordLength = s.size();
      utterance.pitchState = 0;
    } else {
      if (s[0] == '>') {
        s.erase(0, 1);
        utterance.stressFactor = 145;
        if (!s.empty() && s[0] == '\xa8') s.erase(0, 1);
        utterance.pitchState = 2;
      } else if (s[0] == '\xa8') {
        s.erase(0, 1);
        utterance.stressFactor = 100;
      }
      int64_t d;
      if (!s.empty() && s[0] == '_') {
        int32_t ms;
        if (s == "_") d = 100;
        else if (s.size() >= 2 && s[1] == ' ') d = parseInteger(trim(std::string_view(s).substr(2)), ms) ? ms : FindDuration("_");
        else d = FindDuration(s);
        s = "_";
      } else {
        d = FindDuration(s);
        if (utterance.pitchState < 2) {
          // Long words are said faster up to their stress.
          if (utterance.wordLength > 13) d = d * 80 / 100;
          else if (utterance.wordLength > 9) d = d * 90 / 100;
        }
      }
      currentPhoneme = s.substr(0, CURRENT_PHONEME_CAPACITY);
      int64_t duration = truncate64(static_cast<double>(d * utterance.stressFactor) * durationFactor) / 100;
      s = currentPhoneme + " " + std::to_string(duration);
      std::string target = PitchTarget();
      if (!target.empty()) s += " " + target;
    }
    AddFiller(out);
    out.push_back(std::move(s));
  }
  return out;
}
