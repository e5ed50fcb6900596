#include "klnumeros.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "kldifone.h"
#include "klcrt.h"
#include "klfala.h"
#include "klpath.h"

namespace {

const char *const UNITS[10] = {"zero", "um", "dois", "tres", "quatro", "cinco", "seis", "sete", "oito", "nove"};
const char *const TEENS[10] = {"dez",    "onze",      "doze",      "treze",   "quatorze",
                               "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
// Indexed by the tens digit; 0 and 1 are not used.
const char *const TENS[10] = {"",         "",         "vinte",   "trinta",  "quarenta",
                              "cinquenta", "sessenta", "setenta", "oitenta", "noventa"};
// "cem" only for a group that is exactly 100.
const char *const HUNDREDS[10] = {"cem",        "cento",      "duzentos",   "trezentos",  "quatrocentos",
                                  "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
}  // namespace

const NumberWordTables NUMBER_WORDS = {UNITS, TEENS, TENS, HUNDREDS};

namespace {

const char *const SCALE_SINGULAR[4] = {"trilh\xe3o ", "bilh\xe3o ", "milh\xe3o ", "mil "};
const char *const SCALE_PLURAL[4] = {"trilh\xf5" "es ", "bilh\xf5" "es ", "milh\xf5" "es ", "mil "};

const char *const GROUP_JOINER = " e ";
const char *const LAST_GROUP_JOINER = "e ";

constexpr size_t HEADER_SIZE = 44;
constexpr size_t FILE_BASE_CAPACITY = 8;

const uint8_t HEADER_TEMPLATE[HEADER_SIZE] = {
    'R', 'I', 'F', 'F', 0xff, 0xff, 0xff, 0xff, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
    16,  0,   0,   0,   1,    0,    1,    0,    0x11, 0x2b, 0, 0, 0x11, 0x2b, 0, 0,
    1,   0,   8,   0,   'd',  'a',  't',  'a',  0xff, 0xff, 0xff, 0xff};

// The number words' image: header and samples. Kept for the whole run, so
// nothing is allocated while sound plays.
uint8_t image[HEADER_SIZE + NUMBER_SAMPLE_CAPACITY];
size_t filled = 0;

void put16(uint8_t *at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t *at, uint32_t v) {
  put16(at, static_cast<uint16_t>(v));
  put16(at + 2, static_cast<uint16_t>(v >> 16));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void playFilled() {
  if (filled == 0) return;
  writeWaveHeader(image, static_cast<uint32_t>(filled));
  playBufferAndWait(image, HEADER_SIZE + filled);
  while (speechBusy()) waitMessage();
  filled = 0;
}

// Appends one recording's samples (everything after its 44-byte header).
// A recording longer than the image is played in parts of its own.
void appendRecording(const std::string &base) {
  FILE *file = std::fopen(nativePath(DiphoneLettersDirectory() + base + ".wav").c_str(), "rb");
  if (!file) return;
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < static_cast<off_t>(HEADER_SIZE) ||
      std::fseek(file, HEADER_SIZE, SEEK_SET) != 0) {
    std::fclose(file);
    return;
  }
  size_t remaining = static_cast<size_t>(info.st_size) - HEADER_SIZE;
  if (filled + remaining > NUMBER_SAMPLE_CAPACITY) playFilled();
  while (remaining > 0) {
    size_t piece = remaining < NUMBER_SAMPLE_CAPACITY - filled ? remaining : NUMBER_SAMPLE_CAPACITY - filled;
    size_t got = std::fread(image + HEADER_SIZE + filled, 1, piece, file);
    filled += got;
    if (got < piece) break;  // the file shrank meanwhile
    remaining -= got;
    if (remaining > 0) playFilled();
  }
  std::fclose(file);
}

}  // namespace

void writeWaveHeader(uint8_t *header, uint32_t dataLength) {
  std::memcpy(header, HEADER_TEMPLATE, HEADER_SIZE);
  const uint16_t channels = 1, bits = 8;
  const uint32_t rate = 11025;
  put32(header + 40, dataLength);
  put32(header + 4, dataLength + 36);
  put16(header + 34, bits);
  put16(header + 22, channels);
  put32(header + 24, rate);
  put32(header + 28, rate * channels * bits / 8);
}

std::string groupToWords(std::string_view digits, const NumberWordTables &tables) {
  if (digits.size() != 3 || !isDigit(digits[0]) || !isDigit(digits[1]) || !isDigit(digits[2])) return "";
  if (digits == "000") return "";
  if (digits == "100") return tables.hundreds[0];
  int h = digits[0] - '0', t = digits[1] - '0', u = digits[2] - '0';
  std::string words;
  if (h != 0) {
    words = tables.hundreds[h];
    if (t == 0 && u == 0) return words;
    words += GROUP_JOINER;
  }
  if (t == 1) return words + tables.teens[u];
  if (t != 0) {
    words += tables.tens[t];
    if (u == 0) return words;
    words += GROUP_JOINER;
  }
  if (u > 0) words += tables.units[u];
  return words;
}

std::string scaledGroupWords(std::string_view digits15, int group, const NumberWordTables &tables) {
  if (digits15.size() != 15 || group < 0 || group > 4) return "";
  std::string_view digits = digits15.substr(static_cast<size_t>(3 * group), 3);
  std::string words = groupToWords(digits, tables);
  if (group < 4 && digits != "000" && !words.empty()) {
    words += ' ';
    words += digits == "001" ? SCALE_SINGULAR[group] : SCALE_PLURAL[group];
  }
  return words;
}

std::string wholeNumberWords(uint64_t value, const NumberWordTables &tables) {
  if (value > 999999999999999ULL) return "";
  if (value == 0) return tables.units[0];
  char digits[16];
  std::snprintf(digits, sizeof digits, "%015llu", static_cast<unsigned long long>(value));

  std::string groups[5];
  int last = -1;
  for (int i = 0; i < 5; ++i) {
    groups[i] = scaledGroupWords(std::string_view(digits, 15), i, tables);
    if (!groups[i].empty()) last = i;
  }
  // One thousand is "mil", not "um mil", also after millions ("um milh\xe3o e
  // mil"); "um milh\xe3o" keeps its um.
  if (std::string_view(digits + 9, 3) == "001") groups[3] = SCALE_SINGULAR[3];
  std::string words, joiner;
  for (int i = 0; i <= last; ++i) {
    if (i == last) words += joiner;
    words += groups[i];
    if (!groups[i].empty()) joiner = LAST_GROUP_JOINER;
  }
  return words;
}

std::string numberToWords(int32_t number) {
  // The magnitude of the most negative number does not fit an int32_t.
  uint64_t magnitude = number < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(number)) : static_cast<uint64_t>(number);
  std::string words = wholeNumberWords(magnitude, NUMBER_WORDS);
  return number < 0 ? "menos " + words : words;
}

std::string numberWordFileBase(std::string_view word) {
  std::string base = "_";
  if (word == "dezessete") {
    base += "dezeset";
  } else {
    for (char c : word) {
      if (c == '\xe3') c = 'a';
      else if (c == '\xf5') c = 'o';
      base += c;
    }
  }
  if (base.size() > FILE_BASE_CAPACITY) base.resize(FILE_BASE_CAPACITY);
  return base;
}

void speakNumberWords(std::string_view words, bool feminine) {
  filled = 0;
  // The words end at the end mark, an asterisk after a space.
  std::string text(words);
  text += " *";
  size_t at = 0;
  for (;;) {
    while (text[at] == ' ') ++at;
    if (text[at] == '*') break;
    size_t end = text.find(' ', at);
    std::string base = numberWordFileBase(std::string_view(text).substr(at, end - at));
    at = end;
    size_t next = text.find_first_not_of(' ', at);
    bool lastWord = text[next] == '*';
    if (feminine && lastWord) {
      if (base == "_um") base = "_uma";
      else if (base == "_dois") base = "_duas";
    }
    appendRecording(base);
  }
  playFilled();
}
