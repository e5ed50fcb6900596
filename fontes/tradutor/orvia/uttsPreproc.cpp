#include "uttsPreproc.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "klnumeros.h"
#include "klpath.h"
#include "klregras.h"

namespace {

// --- Number words (Windows-1252) ---

const char *const UNITS[10] = {"zero", "um", "dois", "tr\xeas", "quatro", "cinco", "seis", "sete", "oito", "nove"};
const char *const TEENS[10] = {"dez",    "onze",      "doze",      "treze",   "quatorze",
                               "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
// Indexed by the tens digit; 0 and 1 are not used.
const char *const TENS[10] = {"",           "",         "vinte",   "trinta",  "quarenta",
                              "cinq\374enta", "sessenta", "setenta", "oitenta", "noventa"};
// "cem" only for a group that is exactly 100.
const char *const HUNDREDS[10] = {"cem",        "cento",      "duzentos",   "trezentos",  "quatrocentos",
                                  "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
const NumberWordTables ORVIA_NUMBER_WORDS = {UNITS, TEENS, TENS, HUNDREDS};

constexpr int64_t LARGEST_NUMBER = 999999999999999;  // fifteen nines

// Masculine ordinal words, indexed by the digit (0 not used).
const char *const ORDINAL_UNITS[10] = {"",      "primeiro", "segundo",   "terceiro", "quarto",
                                       "quinto", "sexto",    "s\xe9timo", "oitavo",   "nono"};
const char *const ORDINAL_TENS[10] = {"",           "d\351cimo",     "vig\xe9simo",   "trig\xe9simo",
                                      "quadrag\xe9simo", "quinquag\xe9simo", "sexag\xe9simo", "septuag\xe9simo",
                                      "octag\xe9simo",   "nonag\xe9simo"};
const char *const ORDINAL_HUNDREDS[10] = {"",
                                          "cent\xe9simo",
                                          "ducent\xe9simo",
                                          "tricent\xe9simo",
                                          "quadrigent\xe9simo",
                                          "quingent\xe9simo",
                                          "seiscent\xe9simo",
                                          "septigent\xe9simo",
                                          "octigent\xe9simo",
                                          "nongent\xe9simo"};
const char *const ORDINAL_THOUSAND = "mil\xe9simo";
// From here on an ordinal is read as its cardinal words.
constexpr int64_t FIRST_CARDINAL_ORDINAL = 2000;

// --- Character names ---

// Codes 32 to 126.
const char *const CHAR_NAMES_LOW[95] = {
    "espa\xe7o",  // 32 space
    "exclama\xe7\xe3o",  // 33 !
    "aspas",  // 34 "
    "sustenido",  // 35 #
    "cifr\xe3o",  // 36 $
    "porcento",  // 37 %
    "\xe9 comercial",  // 38 &
    "ap\xf3strofo",  // 39 '
    "abre par\xeanteses",  // 40 (
    "fecha par\xeanteses",  // 41 )
    "asterisco",  // 42 *
    "mais",  // 43 +
    "v\xedrgula",  // 44 ,
    "tra\xe7o",  // 45 -
    "ponto",  // 46 .
    "barra",  // 47 /
    "z\xe9ro",  // 48 0
    "um",  // 49 1
    "dois",  // 50 2
    "tr\xeas",  // 51 3
    "quatro",  // 52 4
    "cinco",  // 53 5
    "seis",  // 54 6
    "s\xe9te",  // 55 7
    "oito",  // 56 8
    "n\xf3ve",  // 57 9
    "dois pontos",  // 58 :
    "ponto e v\xedrgula",  // 59 ;
    "menor que",  // 60 <
    "igual",  // 61 =
    "maior que",  // 62 >
    "interroga\xe7\xe3o",  // 63 ?
    "arr\364ba",  // 64 @
    "a",  // 65 A
    "b\xea",  // 66 B
    " s\xea",  // 67 C
    " d\xea",  // 68 D
    "\xe9",  // 69 E
    "\351fe",  // 70 F
    "j\xea",  // 71 G
    "ag\xe1",  // 72 H
    "i",  // 73 I
    "j\xf3ta",  // 74 J
    "c\xe1",  // 75 K
    "\xe9le",  // 76 L
    "\xeame",  // 77 M
    "\xeane",  // 78 N
    "\xf3",  // 79 O
    "p\xea",  // 80 P
    "qu\xea",  // 81 Q
    "\xe9rre",  // 82 R
    "\xe9sse",  // 83 S
    "t\xea",  // 84 T
    "u",  // 85 U
    "v\xea",  // 86 V
    "d\341bliu",  // 87 W
    "xis",  // 88 X
    "\xedpsilon",  // 89 Y
    "z\xea",  // 90 Z
    "abre colchete",  // 91 [
    "barra invertida",  // 92 backslash
    "fecha colchete",  // 93 ]
    "circunflexo",  // 94 ^
    "sublinhado",  // 95 _
    "crase",  // 96 `
    "a",  // 97 a
    "b\xea",  // 98 b
    " s\xea",  // 99 c
    " d\xea",  // 100 d
    "\xe9",  // 101 e
    "\351fe",  // 102 f
    "j\xea",  // 103 g
    "ag\xe1",  // 104 h
    "i",  // 105 i
    "jota",  // 106 j
    "c\xe1",  // 107 k
    "\xe9le",  // 108 l
    "\xeame",  // 109 m
    "ene",  // 110 n
    "\xf3",  // 111 o
    "p\xea",  // 112 p
    "qu\xea",  // 113 q
    "\xe9rre",  // 114 r
    "\xe9sse",  // 115 s
    "t\xea",  // 116 t
    "u",  // 117 u
    "v\xea",  // 118 v
    "d\341bliu",  // 119 w
    "xis",  // 120 x
    "\xedpsilon",  // 121 y
    "z\xea",  // 122 z
    "abre chave",  // 123 {
    "barra vertical",  // 124 |
    "fecha chave",  // 125 }
    "til",  // 126 ~
};
// Codes 161 to 220.
const char *const CHAR_NAMES_HIGH[60] = {
    "exclama\xe7\xe3o reversa",  // 161 ¡
    "centavos de d\xf3lar",  // 162 ¢
    "libras",  // 163 £
    "s\xedmbolo de moeda",  // 164 ¤
    "iene",  // 165 ¥
    "barra interrompida",  // 166 ¦
    "par\xe1grafo",  // 167 §
    "trema",  // 168 ¨
    "copyright",  // 169 ©
    "ordinal feminino",  // 170 ª
    "Aspas esquerdas",  // 171 «
    "nega\xe7\xe3o",  // 172 ¬
    "h\355fen",  // 173 soft hyphen
    "Marca registrada",  // 174 ®
    "m\341cron",  // 175 ¯
    "grau",  // 176 °
    "mais ou menos",  // 177 ±
    "elevado ao quadrado",  // 178 ²
    "elevado ao cubo",  // 179 ³
    "acento agudo",  // 180 ´
    "mi",  // 181 µ
    "pi",  // 182 ¶
    "ponto no meio",  // 183 ·
    "cedilha",  // 184 ¸
    "expoente um",  // 185 ¹
    "ordinal masculino",  // 186 º
    "aspas direitas",  // 187 »
    "um quarto",  // 188 ¼
    "um meio",  // 189 ½
    "tr\xeas quartos",  // 190 ¾
    "interroga\xe7\xe3o reversa",  // 191 ¿
    "A grave",  // 192 À
    "A agudo",  // 193 Á
    "A circunflexo",  // 194 Â
    "A com til",  // 195 Ã
    "A com trema",  // 196 Ä
    "A bola",  // 197 Å
    "A \xc9",  // 198 Æ
    "C\xea cedilha",  // 199 Ç
    "\xc9 grave",  // 200 È
    "\xc9 agudo",  // 201 É
    "\xc9 circunflexo",  // 202 Ê
    "\xc9 com trema",  // 203 Ë
    "I grave",  // 204 Ì
    "I agudo",  // 205 Í
    "I circunflexo",  // 206 Î
    "I com trema",  // 207 Ï
    "D\xea cortado",  // 208 Ð
    "N com til",  // 209 Ñ
    "\xd3 grave",  // 210 Ò
    "\xd3 agudo",  // 211 Ó
    "\xd3 circunflexo",  // 212 Ô
    "\xd3 com til",  // 213 Õ
    "\xd3 tremado",  // 214 Ö
    "vezes",  // 215 ×
    "\xd3 cortado",  // 216 Ø
    "U grave",  // 217 Ù
    "U agudo",  // 218 Ú
    "U circunflexo",  // 219 Û
    "U com trema",  // 220 Ü
};

// --- Character classes ---

bool isDigit(int c) { return c >= '0' && c <= '9'; }

bool isWordLetter(int c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c < 0xC0) return false;
  switch (c & ~0x20) {  // the accented capitals and their lower-case forms
    case 0xC0: case 0xC1: case 0xC2: case 0xC3: case 0xC7: case 0xC9: case 0xCA: case 0xCC:
    case 0xCD: case 0xD1: case 0xD3: case 0xD4: case 0xD5: case 0xD9: case 0xDA: case 0xDC:
      return true;
    default:
      return false;
  }
}

bool isSpellConsonant(int c) {
  switch (c) {
    case 0xC7: case 0xD1: case 0xE7: case 0xF1:  // Ç Ñ ç ñ
      return true;
    default:
      break;
  }
  if (c >= 'a' && c <= 'z') c -= 32;
  if (c < 'A' || c > 'Z') return false;
  return c != 'A' && c != 'E' && c != 'I' && c != 'O' && c != 'U';
}

bool isKeptMark(int c) {
  switch (c) {
    case ' ': case '!': case '(': case ')': case ',': case '.': case ':': case ';': case '?':
      return true;
    default:
      return false;
  }
}

// The byte at a 1-based position, or -1 outside the text, so that a NUL byte
// in the text is never taken for its end.
int charAt(std::string_view text, size_t position) {
  if (position < 1 || position > text.size()) return -1;
  return static_cast<unsigned char>(text[position - 1]);
}

// The text from a 1-based position starts with prefix.
bool startsAt(std::string_view text, size_t position, std::string_view prefix) {
  return position >= 1 && position <= text.size() && text.substr(position - 1).starts_with(prefix);
}

std::string upperCased(std::string_view text) {
  std::string upper(text);
  for (char &c : upper) c = static_cast<char>(AnsiUpperCase(static_cast<unsigned char>(c)));
  return upper;
}

// --- Number words ---

// The cardinal words of 0 to fifteen nines, the scale words and joiners of
// the recorded number words with this front end's own spelling; "" outside
// that range.
std::string cardinalWords(int64_t value) {
  return value < 0 ? std::string() : wholeNumberWords(static_cast<uint64_t>(value), ORVIA_NUMBER_WORDS);
}

std::string feminine(std::string word) {
  if (!word.empty()) word.back() = 'a';
  return word;
}

// --- Abbreviations ---

struct Abbreviation {
  std::string key;  // upper case; empty never matches
  std::string expansion;
};

std::vector<Abbreviation> abbreviations;

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

// Reads one line into line; a line ends at LF, CR or CR LF. False when the
// file has no more lines.
bool readLine(FILE *file, std::string &line) {
  line.clear();
  int c = std::getc(file);
  if (c == EOF) return false;
  for (; c != EOF && c != '\n'; c = std::getc(file)) {
    if (c == '\r') {
      int next = std::getc(file);
      if (next != '\n' && next != EOF) std::ungetc(next, file);
      break;
    }
    line += static_cast<char>(c);
  }
  return true;
}

void addAbbreviation(std::string_view line) {
  Abbreviation entry;
  size_t equals = line.find('=');
  if (equals != std::string_view::npos) {
    entry.key = upperCased(trimmed(line.substr(0, equals)));
    entry.expansion = trimmed(line.substr(equals + 1, ABBREVIATION_EXPANSION_CAPACITY));
  }
  abbreviations.push_back(std::move(entry));
}

}  // namespace

bool LoadAbbreviations(const std::string &path) {
  abbreviations.clear();
  FILE *file = std::fopen(nativePath(path).c_str(), "rb");
  if (!file) return false;
  // Lines past the table's capacity are not read.
  std::string line;
  while (abbreviations.size() < ABBREVIATION_CAPACITY && readLine(file, line)) {
    std::string_view content = trimmed(line);
    if (content.empty() || content.front() == ';') continue;
    addAbbreviation(content);
  }
  bool ok = !std::ferror(file);
  std::fclose(file);
  if (!ok) abbreviations.clear();
  return ok;
}

size_t AbbreviationCount() { return abbreviations.size(); }

std::string FindAbbreviation(std::string_view word) {
  if (word.empty()) return "";
  std::string key = upperCased(word);
  for (const Abbreviation &entry : abbreviations)
    if (entry.key == key) return entry.expansion;
  return "";
}

std::string CharName(unsigned char c) {
  if (c >= 225) c -= 32;
  if (c >= 32 && c <= 126) return CHAR_NAMES_LOW[c - 32];
  if (c >= 161 && c <= 220) return CHAR_NAMES_HIGH[c - 161];
  return "";
}

std::string OrdinalWords(Gender gender, int64_t value) {
  if (value >= FIRST_CARDINAL_ORDINAL || value < 0) return cardinalWords(value);
  if (value == 0) return UNITS[0];
  int digits[4] = {static_cast<int>(value / 1000), static_cast<int>(value / 100 % 10),
                   static_cast<int>(value / 10 % 10), static_cast<int>(value % 10)};
  const char *const *tables[4] = {nullptr, ORDINAL_HUNDREDS, ORDINAL_TENS, ORDINAL_UNITS};
  std::string words;
  for (int i = 0; i < 4; ++i) {
    if (digits[i] == 0) continue;
    std::string word = i == 0 ? ORDINAL_THOUSAND : tables[i][digits[i]];
    if (!words.empty()) words += ' ';
    words += gender == Gender::Feminine ? feminine(word) : word;
  }
  return words;
}

namespace {

// ReadNumber, with the end of a run of digits already known to hold no
// hyphen (0 when none is known), so that the numbers of one long run of
// digits do not each scan the rest of it.
std::string readNumber(std::string_view text, size_t &position, size_t &noHyphenUntil) {
  size_t p = position;
  if (!isDigit(charAt(text, p))) return "";

  // A run of digits with a hyphen (a telephone number, a date) is read
  // character by character.
  size_t end = p;
  bool hyphen = false;
  if (p >= noHyphenUntil) {
    for (int c = charAt(text, end); isDigit(c) || c == '-'; c = charAt(text, ++end)) hyphen = hyphen || c == '-';
    if (!hyphen) noHyphenUntil = end;
  }
  if (hyphen) {
    std::string words;
    for (; p < end; ++p) {
      int c = charAt(text, p);
      words += ' ';
      words += c == '-' ? CHAR_NAMES_LOW['-' - 32] : UNITS[c - '0'];
    }
    position = p;
    return words;
  }

  std::string leadingZeros;
  while (charAt(text, p) == '0' && isDigit(charAt(text, p + 1))) {
    leadingZeros += UNITS[0];
    leadingZeros += ' ';
    ++p;
  }

  int64_t value = 0;
  for (;;) {
    int c = charAt(text, p);
    // A thousands point: a point, exactly three digits, no fourth.
    if (c == '.' && isDigit(charAt(text, p + 1)) && isDigit(charAt(text, p + 2)) &&
        isDigit(charAt(text, p + 3)) && !isDigit(charAt(text, p + 4))) {
      ++p;
      continue;
    }
    if (!isDigit(c) || value > (LARGEST_NUMBER - (c - '0')) / 10) break;  // the rest is another number
    value = value * 10 + (c - '0');
    ++p;
  }

  std::string words;
  int c = charAt(text, p);
  if (c == 0xBA || startsAt(text, p, "o.")) {
    words = OrdinalWords(Gender::Masculine, value);
    p += c == 0xBA ? 1 : 2;
  } else if (c == 0xAA || startsAt(text, p, "a.")) {
    words = OrdinalWords(Gender::Feminine, value);
    p += c == 0xAA ? 1 : 2;
  } else if (startsAt(text, p, "os.") || startsAt(text, p, "as.")) {
    words = OrdinalWords(c == 'o' ? Gender::Masculine : Gender::Feminine, value);
    // Only ordinal words take the plural; the cardinal words of a large value do not.
    if (value < FIRST_CARDINAL_ORDINAL) words += 's';
    p += 3;
  } else {
    words = leadingZeros + cardinalWords(value);
  }
  position = p;
  return words;
}

}  // namespace

std::string ReadNumber(std::string_view text, size_t &position) {
  size_t noHyphenUntil = 0;
  return readNumber(text, position, noHyphenUntil);
}

std::string ReadWord(std::string_view text, size_t &position) {
  size_t start = position, p = position;
  if (!isWordLetter(charAt(text, p))) return "";
  bool allConsonants = true;
  for (int c = charAt(text, p); isWordLetter(c); c = charAt(text, p)) {
    if (!isSpellConsonant(c)) allConsonants = false;
    ++p;
    if (charAt(text, p) == '-') ++p;  // a hyphen inside a word goes with it
  }
  position = p;
  std::string_view word = text.substr(start - 1, p - start);
  // A word without vowels (an acronym) is spelled, unless it is an
  // abbreviation written with its full stop.
  if (allConsonants && !(charAt(text, p) == '.' && !FindAbbreviation(word).empty())) {
    std::string spelled;
    for (char c : word) spelled += CharName(static_cast<unsigned char>(c));
    return spelled;
  }
  return std::string(word);
}

std::string ExpandText(std::string_view original) {
  std::string named;
  std::string_view text = original;
  if (text.size() == 1) {
    named = CharName(static_cast<unsigned char>(text[0]));
    text = named;
  }
  std::string out;
  size_t p = 1, noHyphenUntil = 0;
  while (p <= text.size()) {
    int c = charAt(text, p);
    if (startsAt(text, p > 1 ? p - 1 : 1, " - ")) {
      out += ',';
      ++p;
    } else if (c == '-' && isDigit(charAt(text, p + 1))) {
      out += "menos ";
      ++p;
    } else if (isDigit(c)) {
      out += readNumber(text, p, noHyphenUntil);
      out += ' ';
      for (int mark = charAt(text, p); (mark == ',' || mark == '.') && isDigit(charAt(text, p + 1));
           mark = charAt(text, p)) {
        out += mark == ',' ? "v\xedrgula " : "ponto ";
        ++p;
        out += readNumber(text, p, noHyphenUntil);
        out += ' ';
      }
    } else if (isWordLetter(c)) {
      std::string word = ReadWord(text, p);
      std::string expansion = startsAt(text, p, ". ") ? FindAbbreviation(word) : "";
      if (!expansion.empty()) {
        out += expansion;
        ++p;  // the full stop is used up; the blank stays
      } else {
        out += word;
      }
    } else if (startsAt(text, p, "...")) {
      out += "... ";
      p += 3;
    } else if (c == '.' && p < text.size() && charAt(text, p + 1) != ' ') {
      out += " ponto ";
      ++p;
    } else if (isKeptMark(c)) {
      out += static_cast<char>(c);
      ++p;
    } else if (c == '\t' || c == '\n' || c == '\r') {
      // A line break or tab still parts the words on either side.
      out += ' ';
      ++p;
    } else {
      out += ' ';
      out += CharName(static_cast<unsigned char>(c));
      out += ' ';
      ++p;
    }
  }
  return out;
}
