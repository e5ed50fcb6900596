// klcrt keys: keyboard events into the 64-byte key queue, PC style (function
// and cursor keys as 0 and a key number), the Braille chord input and the
// tone's wave image.
#include <cstring>

#include "klcrt_internal.h"

namespace {

struct KeyRow {
  uint8_t virtualKey, plain, withCtrl;
};

enum : uint8_t { INSERT_CTRL = 255, INSERT_SHIFT = 254 };

const KeyRow KEY_TABLE[22] = {
    {VK_F1, 59, 94},       {VK_F1 + 1, 60, 95},  {VK_F1 + 2, 61, 96},  {VK_F1 + 3, 62, 97},
    {VK_F1 + 4, 63, 98},   {VK_F1 + 5, 64, 99},  {VK_F1 + 6, 65, 100}, {VK_F1 + 7, 66, 101},
    {VK_F1 + 8, 67, 102},  {VK_F10, 68, 103},    {VK_F11, 69, 104},    {VK_F12, 70, 105},
    {VK_INSERT, 82, INSERT_CTRL}, {VK_DELETE, 83, 83}, {VK_HOME, 71, 119}, {VK_END, 79, 117},
    {VK_PRIOR, 73, 132},   {VK_NEXT, 81, 118},   {VK_UP, 72, 113},     {VK_DOWN, 80, 114},
    {VK_LEFT, 75, 115},    {VK_RIGHT, 77, 116},
};

const uint8_t ALT_LETTER_CODES[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                      49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
const uint8_t ALT_DIGIT_CODES[10] = {129, 120, 121, 122, 123, 124, 125, 126, 127, 128};

// Index = dot bits (dot 1 = 1 ... dot 6 = 32); Windows-1252.
const uint8_t BRAILLE_CELLS[64] = {
    // dots 5 and 6 clear
    ' ', 'a', ',', 'b', '\'', 'k', ';', 'l', '^', 'c', 'i', 'f', 0xED, 'm', 's', 'p',
    // dot 5
    '~', 'e', ':', 'h', '*', 'o', '!', 'r', 0xAC, 'd', 'j', 'g', 0xE3, 'n', 't', 'q',
    // dot 6
    0xFD, 0xE2, '?', 0xEA, '-', 'u', '"', 'v', '{', 0xEE, 0xF5, 0xE0, 0xF3, 'x', 0xE8, 0xE7,
    // dots 5 and 6
    '$', 0xFB, 0xFF, 0xFC, '}', 'z', '=', 0xE1, '_', 0xF4, 'w', 0xEF, '#', 'y', 0xFA, 0xE9,
};

enum : uint8_t { BRAILLE_SPACE_BAR = 64, CAPITAL_SIGN = '{', NUMBER_SIGN = '#' };

bool isLetterKey(uint8_t v) { return v >= VK_A && v <= VK_Z; }
bool isDigitKey(uint8_t v) { return v >= VK_0 && v <= VK_9; }
bool brailleOn() { return console.brailleMode == 1 || console.brailleMode == 2; }

// The six chord keys sit under the fingers of both hands; the space bar is
// the seventh bit. Letters without a dot give 0.
uint8_t dotBit(uint8_t v) {
  switch (v) {
    case 'F': return 1;
    case 'D': return 2;
    case 'S': return 4;
    case 'J': return 8;
    case 'K': return 16;
    case 'L': return 32;
    case VK_SPACE: return BRAILLE_SPACE_BAR;
    default: return 0;
  }
}

void clearBrailleSigns() {
  console.numberMode = false;
  console.capital = false;
  console.capsLock = false;
}

uint8_t applyMode2Rules(uint8_t r) {
  if (console.numberMode) {
    if (r == '\'') r = '.';
    else if (r >= 'a' && r <= 'i') r = static_cast<uint8_t>('1' + (r - 'a'));
    else if (r == 'j') r = '0';
    else if (r == '~') console.numberMode = false;
  }
  if ((console.capital || console.capsLock) && r >= 'a' && r <= 'z') r = static_cast<uint8_t>(r - 32);
  if (r == NUMBER_SIGN) {
    console.numberMode = true;
    return BRAILLE_NONE;
  }
  if (r == CAPITAL_SIGN) {
    if (console.capital) console.capsLock = true;
    console.capital = true;
    return BRAILLE_NONE;
  }
  console.capital = false;
  return r;
}

void putLittleEndian(uint8_t *at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool queueHasRoom(int places) { return KEY_QUEUE_SIZE - console.queueCount >= places; }

bool queuePut(uint8_t code) {
  if (console.queueCount < 0 || console.queueCount >= KEY_QUEUE_SIZE) return false;
  console.queue[console.queueCount++] = code;
  return true;
}

uint8_t brailleCellChar(int dots) { return BRAILLE_CELLS[dots & 63]; }

void handleCharEvent(const ConsoleEvent &event) {
  uint8_t c = event.code;
  // In Braille input the letters and the space are typed as cells.
  if (brailleOn() && (c == ' ' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return;
  if (c == 8 && event.ctrl) c = 127;
  else if (c == 13 && event.ctrl) c = 10;
  queuePut(c);
}

void handleKeyDownEvent(const ConsoleEvent &event) {
  const uint8_t v = event.code;
  // With the break check on, Alt+key and F10 stay system keys (menu, Alt+F4);
  // only the arrows that move in the game pass.
  if (event.kind == ConsoleEventKind::SysKeyDown && console.breakCheck && v != VK_LEFT && v != VK_RIGHT)
    return;
  if (console.breakCheck && v == VK_CANCEL) endProgram(EXIT_QUIT);

  if (event.alt) {
    if (event.ctrl && v == VK_F12) {
      setBrailleMode(0);
      return;
    }
    if (event.ctrl && v == VK_F11) {
      setBrailleMode(console.brailleMode + 1);
      return;
    }
    if (isDigitKey(v) || isLetterKey(v)) {
      if (queueHasRoom(2)) {
        queuePut(0);
        queuePut(isDigitKey(v) ? ALT_DIGIT_CODES[v - VK_0] : ALT_LETTER_CODES[v - VK_A]);
      }
      return;
    }
  }

  if (!event.ctrl && brailleOn()) {
    uint8_t bit = dotBit(v);
    if (bit != 0) {
      console.chord |= bit;
      console.held |= bit;
      return;
    }
  }

  if (!queueHasRoom(2)) return;
  for (const KeyRow &row : KEY_TABLE) {
    if (row.virtualKey != v) continue;
    uint8_t code = row.plain;
    if (event.ctrl) code = row.withCtrl;
    else if (row.withCtrl == INSERT_CTRL && event.shift) code = INSERT_SHIFT;
    queuePut(0);
    queuePut(code);
    return;
  }
}

void handleKeyUpEvent(const ConsoleEvent &event) {
  if (!brailleOn()) return;
  const uint8_t v = event.code;
  if (event.ctrl || !(v == VK_SPACE || isLetterKey(v))) {
    clearBrailleSigns();
    return;
  }
  console.held &= static_cast<uint8_t>(~dotBit(v));
  // The cell is complete only when the last of its keys is released.
  if (console.held != 0) return;

  uint8_t result;
  if (console.chord >= BRAILLE_SPACE_BAR) {
    clearBrailleSigns();
    // The space bar with dots makes a control character (with "a": 1).
    result = console.chord == BRAILLE_SPACE_BAR ? ' ' : (brailleCellChar(console.chord & 63) & 31);
  } else {
    result = brailleCellChar(console.chord);
    if (console.brailleMode == 2) result = applyMode2Rules(result);
  }
  if (result != BRAILLE_NONE) queuePut(result);
  console.chord = 0;
}

size_t buildToneWave(unsigned frequency, uint8_t *buffer) {
  enum : unsigned { RATE = 11025, HEADER = 44 };
  // The tone takes 1..65535 Hz; beyond that the loop below would run for
  // billions of periods.
  if (frequency == 0) frequency = 1;
  if (frequency > 65535) frequency = 65535;
  const unsigned period = RATE / frequency;
  uint8_t *data = buffer + HEADER;
  // Period j starts at j * RATE / f; a period is written only while its
  // start leaves room for a whole period in the one-second buffer.
  unsigned long long j = 0;
  unsigned start = 0;
  while (start + HEADER + period <= RATE) {
    unsigned next = static_cast<unsigned>((j + 1) * RATE / frequency);
    for (unsigned s = start; s < next; ++s) data[s] = (s - start < period / 2) ? 96 : 160;
    ++j;
    start = next;
  }
  const unsigned length = start;
  if (length > 0) data[length - 1] = 128;

  std::memcpy(buffer, "RIFF", 4);
  putLittleEndian(buffer + 4, length + 36, 4);
  std::memcpy(buffer + 8, "WAVEfmt ", 8);
  putLittleEndian(buffer + 16, 16, 4);
  putLittleEndian(buffer + 20, 1, 2);      // PCM
  putLittleEndian(buffer + 22, 1, 2);      // mono
  putLittleEndian(buffer + 24, RATE, 4);   // samples per second
  putLittleEndian(buffer + 28, RATE, 4);   // bytes per second
  putLittleEndian(buffer + 32, 1, 2);      // block align
  putLittleEndian(buffer + 34, 8, 2);      // bits per sample
  std::memcpy(buffer + 36, "data", 4);
  putLittleEndian(buffer + 40, length, 4);
  return HEADER + length;
}
