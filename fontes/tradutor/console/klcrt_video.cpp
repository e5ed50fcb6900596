// klcrt video settings: sections VIDEO and BRAILLE of KALEVO.INI, read once
// when the console window is made.
#include <cstring>
#include <string>

#include "klcrt_internal.h"
#include "klprofile.h"

namespace {

const char *const PROFILE_FILE = "KALEVO.INI";

// Values are read into buffers of 80 bytes (79 characters), AMPLIF into 2.
enum : size_t { VALUE_SIZE = 80, ONE_CHAR_SIZE = 2 };

// Reads a key, telling an absent key (false) from a present one, even an
// empty one (true, value in out). Two different defaults that no value
// can equal both at once settle it.
bool readPresent(const char *section, const char *key, std::string &out, size_t size) {
  char value[VALUE_SIZE];
  if (size > sizeof value) size = sizeof value;
  getProfileString(section, key, "\x01", value, size, PROFILE_FILE);
  if (std::strcmp(value, "\x01") == 0) {
    getProfileString(section, key, "\x02", value, size, PROFILE_FILE);
    if (std::strcmp(value, "\x02") == 0) return false;
  }
  out = value;
  return true;
}

// The value of a key: the default when absent, the text (maybe empty)
// when present. The default is cut to the buffer like a value.
std::string readValue(const char *section, const char *key, const char *def, size_t size = VALUE_SIZE) {
  std::string value;
  if (readPresent(section, key, value, size)) return value;
  value = def;
  if (value.size() > size - 1) value.resize(size - 1);
  return value;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The runtime's number syntax: leading blanks, an optional sign, then
// decimal digits or a "$", "x" or "0x" hexadecimal prefix and hex digits.
// value gets the number read up to the first character that does not fit
// (0 without digits), wrapped to 64 bits so its low bits stay right.
// Returns whether the whole text was such a number, with no blank anywhere.
bool parseNumber(const std::string &text, long long &value) {
  size_t i = 0, n = text.size();
  bool clean = true;
  while (i < n && isBlank(text[i])) ++i, clean = false;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  unsigned long long magnitude = 0;
  size_t digits = 0;
  for (; i < n; ++i, ++digits) {
    int d = hexDigit(text[i]);
    if (d < 0 || static_cast<unsigned>(d) >= base) break;
    magnitude = magnitude * base + static_cast<unsigned>(d);
  }
  value = static_cast<long long>(negative ? 0 - magnitude : magnitude);
  return clean && digits > 0 && i == n;
}

long long leadingNumber(const std::string &text) {
  long long value;
  parseNumber(text, value);
  return value;
}

// A number for a font field: kept within int so sizes never overflow.
int fontNumber(const std::string &text) {
  long long value;
  parseNumber(text, value);
  if (value > 32767) return 32767;
  if (value < -32768) return -32768;
  return static_cast<int>(value);
}

bool firstIsYes(const std::string &value) { return !value.empty() && (value[0] == 'S' || value[0] == 's'); }

void readColourMap(const std::string &value, uint8_t map[16]) {
  for (int i = 0; i < 16; ++i) map[i] = static_cast<uint8_t>(i);
  if (value.empty()) return;
  std::string rest = value + ",";
  for (int entry = 0; entry < 16; ++entry) {
    size_t comma = rest.find(',');
    if (comma == std::string::npos) return;
    long long number;
    bool clean = parseNumber(rest.substr(0, comma), number);
    map[entry] = static_cast<uint8_t>(number);
    // An unclean item is stored, then ends the list.
    if (!clean) return;
    rest.erase(0, comma + 1);
  }
}

// The font size that suits the work area: 13 x 28 on 1024 x 734.
int derivedSize(int workArea, double reference, double size) {
  double value = workArea / reference * size;
  if (!(value > -32768.0)) return -32768;
  if (value > 32767.0) return 32767;
  return static_cast<int>(value);
}

}  // namespace

void readVideoSettings(VideoSettings &settings, int workAreaWidth, int workAreaHeight) {
  std::string value;

  readColourMap(readValue("VIDEO", "TABCORES", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15"),
                settings.colourMap);
  settings.coloursChangeable = !firstIsYes(readValue("VIDEO", "CORESFIXAS", "N"));
  settings.blitScroll = firstIsYes(readValue("VIDEO", "LENTO", "N"));

  value = readValue("VIDEO", "CORFUNDO", "0");
  long long background = value.empty() ? 0 : leadingNumber(value);
  value = readValue("VIDEO", "CORLETRA", "15");
  long long text = value.empty() ? 7 : leadingNumber(value);
  settings.attribute = static_cast<uint8_t>((static_cast<unsigned long long>(background) << 4) |
                                           static_cast<unsigned long long>(text));

  value = readValue("BRAILLE", "MODO", "0");
  settings.brailleMode = value.empty() ? 0 : static_cast<uint8_t>(value[0]) & 3;

  value = readValue("VIDEO", "AMPLIF", "2", ONE_CHAR_SIZE);
  settings.magnifier = value.empty() ? 2 : static_cast<uint8_t>(value[0]) & 7;

  settings.fontFace = readValue("VIDEO", "FONTE", "Lucida Console");

  value = readValue("VIDEO", "LARGURALETRA", "");
  settings.fontWidth = value.empty() ? derivedSize(workAreaWidth, 1024, 13) : fontNumber(value);
  value = readValue("VIDEO", "ALTURALETRA", "");
  settings.fontHeight = value.empty() ? derivedSize(workAreaHeight, 734, 28) : fontNumber(value);
  value = readValue("VIDEO", "PESOLETRA", "700");
  settings.fontWeight = value.empty() ? 0 : fontNumber(value);

  value = readValue("VIDEO", "CANTOTELA", "SIM");
  settings.maximised = !value.empty() && !firstIsYes(value);
}

void applyVideoSettings(const VideoSettings &settings) {
  std::memcpy(console.colourMap, settings.colourMap, sizeof console.colourMap);
  console.coloursChangeable = settings.coloursChangeable;
  console.blitScroll = settings.blitScroll;
  console.attribute = settings.attribute;
  console.magnifierFactor = settings.magnifier;
  console.maximised = settings.maximised;
}
