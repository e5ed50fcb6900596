// Keyboard events into key codes: the key table, Alt codes, system keys,
// the full queue, Braille chords and the tone's wave image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "klcrt_headless.h"
#include "klcrt_internal.h"

namespace {

enum Mod : unsigned { NONE = 0, SHIFT = 1, CTRL = 2, ALT = 4 };

ConsoleEvent event(ConsoleEventKind kind, uint8_t code, unsigned mods = NONE) {
  ConsoleEvent e;
  e.kind = kind;
  e.code = code;
  e.shift = mods & SHIFT;
  e.ctrl = mods & CTRL;
  e.alt = mods & ALT;
  return e;
}

void keyDown(uint8_t v, unsigned mods = NONE) { handleKeyDownEvent(event(ConsoleEventKind::KeyDown, v, mods)); }
void sysKeyDown(uint8_t v, unsigned mods = ALT) { handleKeyDownEvent(event(ConsoleEventKind::SysKeyDown, v, mods)); }
void keyUp(uint8_t v, unsigned mods = NONE) { handleKeyUpEvent(event(ConsoleEventKind::KeyUp, v, mods)); }
void typeChar(uint8_t c, unsigned mods = NONE) { handleCharEvent(event(ConsoleEventKind::Char, c, mods)); }

// Takes every queued code out.
std::vector<int> drain() {
  std::vector<int> codes(console.queue, console.queue + console.queueCount);
  console.queueCount = 0;
  return codes;
}

// Presses the keys of a chord in order, then releases them in order.
void chord(const std::string &keys) {
  for (char k : keys) keyDown(static_cast<uint8_t>(k));
  for (char k : keys) keyUp(static_cast<uint8_t>(k));
}

class Keys : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Tones of the Braille mode switch run on the headless display, with no
    // settings file to change the start.
    setenv("KALEVO_DISPLAY", "headless", 1);
    setenv("KALEVO_SYSDIR", "/nonexistent-kalevo-test-dir", 1);
  }
  void SetUp() override {
    console.queueCount = 0;
    console.breakCheck = true;
    console.brailleMode = 0;
    console.chord = console.held = 0;
    console.numberMode = console.capital = console.capsLock = false;
  }
};

struct KeyCase {
  const char *name;
  ConsoleEventKind kind;
  uint8_t key;
  unsigned mods;
  std::vector<int> codes;
};

TEST_F(Keys, KeyDownCodes) {
  using K = ConsoleEventKind;
  const KeyCase cases[] = {
      {"F1", K::KeyDown, VK_F1, NONE, {0, 59}},
      {"Ctrl+F1", K::KeyDown, VK_F1, CTRL, {0, 94}},
      {"Shift+F1", K::KeyDown, VK_F1, SHIFT, {0, 59}},
      {"F10 as a key down", K::KeyDown, VK_F10, NONE, {0, 68}},
      {"F11", K::KeyDown, VK_F11, NONE, {0, 69}},
      {"Ctrl+F12", K::KeyDown, VK_F12, CTRL, {0, 105}},
      {"Insert", K::KeyDown, VK_INSERT, NONE, {0, 82}},
      {"Shift+Insert", K::KeyDown, VK_INSERT, SHIFT, {0, 254}},
      {"Ctrl+Insert", K::KeyDown, VK_INSERT, CTRL, {0, 255}},
      {"Ctrl+Shift+Insert", K::KeyDown, VK_INSERT, CTRL | SHIFT, {0, 255}},
      {"Shift+Delete", K::KeyDown, VK_DELETE, SHIFT, {0, 83}},
      {"Ctrl+Delete", K::KeyDown, VK_DELETE, CTRL, {0, 83}},
      {"Home", K::KeyDown, VK_HOME, NONE, {0, 71}},
      {"Ctrl+End", K::KeyDown, VK_END, CTRL, {0, 117}},
      {"Ctrl+Page Up", K::KeyDown, VK_PRIOR, CTRL, {0, 132}},
      {"Page Down", K::KeyDown, VK_NEXT, NONE, {0, 81}},
      {"Ctrl+Up", K::KeyDown, VK_UP, CTRL, {0, 113}},
      {"Down", K::KeyDown, VK_DOWN, NONE, {0, 80}},
      {"Left", K::KeyDown, VK_LEFT, NONE, {0, 75}},
      {"Ctrl+Right", K::KeyDown, VK_RIGHT, CTRL, {0, 116}},
      {"a letter key down makes no code", K::KeyDown, 'A', NONE, {}},
      {"Shift makes no code", K::KeyDown, VK_SHIFT, SHIFT, {}},
      {"Enter key down makes no code", K::KeyDown, VK_RETURN, NONE, {}},
      {"Ctrl+Alt+A", K::KeyDown, 'A', CTRL | ALT, {0, 30}},
      {"Ctrl+Alt+M", K::KeyDown, 'M', CTRL | ALT, {0, 50}},
      {"Ctrl+Alt+Z", K::KeyDown, 'Z', CTRL | ALT, {0, 44}},
      {"Ctrl+Alt+0", K::KeyDown, '0', CTRL | ALT, {0, 129}},
      {"Ctrl+Alt+1", K::KeyDown, '1', CTRL | ALT, {0, 120}},
      {"Ctrl+Alt+9", K::KeyDown, '9', CTRL | ALT, {0, 128}},
      {"Ctrl+Alt+F1 goes on to the table", K::KeyDown, VK_F1, CTRL | ALT, {0, 94}},
      // With the break check on, system keys stay the system's.
      {"system Alt+A", K::SysKeyDown, 'A', ALT, {}},
      {"system Alt+F4", K::SysKeyDown, VK_F1 + 3, ALT, {}},
      {"system F10", K::SysKeyDown, VK_F10, NONE, {}},
      {"system Alt+Left", K::SysKeyDown, VK_LEFT, ALT, {0, 75}},
      {"system Alt+Right", K::SysKeyDown, VK_RIGHT, ALT, {0, 77}},
  };
  for (const KeyCase &c : cases) {
    SCOPED_TRACE(c.name);
    handleKeyDownEvent(event(c.kind, c.key, c.mods));
    EXPECT_EQ(drain(), c.codes);
  }
}

TEST_F(Keys, SystemKeysPassWhenBreakCheckIsOff) {
  console.breakCheck = false;
  sysKeyDown('A');
  sysKeyDown(VK_F10, NONE);
  sysKeyDown('7');
  keyDown(VK_CANCEL, CTRL);  // no end of program now
  EXPECT_EQ(drain(), (std::vector<int>{0, 30, 0, 68, 0, 126}));
}

TEST_F(Keys, CtrlBreakEndsProgramWith255) {
  EXPECT_EXIT(keyDown(VK_CANCEL, CTRL), testing::ExitedWithCode(255), "");
}

TEST_F(Keys, CharacterCodes) {
  struct CharCase {
    uint8_t c;
    unsigned mods;
    int code;
  };
  const CharCase cases[] = {
      {'a', NONE, 97}, {'A', SHIFT, 65}, {27, NONE, 27},  {13, NONE, 13}, {13, CTRL, 10},  // Ctrl+Enter, Ctrl+M
      {8, NONE, 8},    {8, CTRL, 127},   {9, NONE, 9},    {1, CTRL, 1},   {0xE7, NONE, 0xE7},
      {0, NONE, 0},    {10, CTRL, 10},   {127, CTRL, 127},
  };
  for (const CharCase &c : cases) {
    typeChar(c.c, c.mods);
    EXPECT_EQ(drain(), std::vector<int>{c.code}) << "char " << int(c.c) << " mods " << c.mods;
  }
}

TEST_F(Keys, FullQueueDropsWholeKeys) {
  for (int i = 0; i < 63; ++i) typeChar('x');
  keyDown(VK_F1);                // two codes do not fit in one place
  keyDown('A', CTRL | ALT);
  EXPECT_EQ(console.queueCount, 63);
  typeChar('y');                 // one code still fits
  EXPECT_EQ(console.queueCount, 64);
  typeChar('z');
  keyDown(VK_HOME);
  EXPECT_EQ(console.queueCount, 64);
  EXPECT_EQ(console.queue[62], 'x');
  EXPECT_EQ(console.queue[63], 'y');
  EXPECT_TRUE(queueHasRoom(0));
  EXPECT_FALSE(queueHasRoom(1));
  EXPECT_FALSE(queuePut('q'));

  // A Braille cell that finds the queue full is lost, and the next chord
  // starts empty.
  console.brailleMode = 1;
  chord("FD");
  console.queueCount = 0;
  chord("F");
  EXPECT_EQ(drain(), std::vector<int>{'a'});
}

TEST_F(Keys, BrailleMode1Chords) {
  console.brailleMode = 1;
  chord("FD");
  EXPECT_EQ(drain(), std::vector<int>{'b'});

  // Releasing and pressing again inside the chord still makes one cell.
  keyDown('F'), keyDown('D'), keyUp('F'), keyDown('F'), keyUp('F');
  EXPECT_TRUE(drain().empty());
  keyUp('D');
  EXPECT_EQ(drain(), std::vector<int>{'b'});

  // Letters and the space bar typed as characters give nothing; digits do.
  typeChar('f'), typeChar('A'), typeChar(' '), typeChar('1');
  EXPECT_EQ(drain(), std::vector<int>{'1'});

  // A letter key without a dot, released alone, completes an empty chord.
  keyDown('A'), keyUp('A');
  EXPECT_EQ(drain(), std::vector<int>{' '});

  // A letter without a dot released while a dot key is held changes nothing.
  keyDown('F'), keyDown('A'), keyUp('A');
  EXPECT_TRUE(drain().empty());
  keyUp('F');
  EXPECT_EQ(drain(), std::vector<int>{'a'});

  struct CellCase {
    const char *keys;
    int code;
  };
  const CellCase cells[] = {
      {" ", ' '},           // space bar alone
      {"F ", 1},            // space with "a": Ctrl+A
      {"FDS ", 'l' & 31},   // space with "l"
      {"L", 0xFD},          // dot 6: y acute
      {"FSKL", 'z'},        // 1-3-5-6
      {"FDSJL", 0xE7},      // 1-2-3-4-6: c cedilla
      {"FDSJKL", 0xE9},     // all six: e acute
      {"DSL", '"'},
      {"JK", 0xAC},
      {"SJKL", '#'},        // mode 1 has no signs
      {"JL", '{'},
  };
  for (const CellCase &c : cells) {
    chord(c.keys);
    EXPECT_EQ(drain(), std::vector<int>{c.code}) << c.keys;
  }

  // Ctrl with a dot key is not a chord key; the table key is still a key.
  keyDown('F', CTRL);
  keyDown(VK_F1);
  EXPECT_EQ(drain(), (std::vector<int>{0, 59}));
  EXPECT_EQ(console.chord, 0);
}

TEST_F(Keys, BrailleMode2Signs) {
  const char *NUMBER = "SJKL", *CAPITAL = "JL", *A = "F", *B = "FD", *J = "DJK", *APOSTROPHE = "S", *CELL5 = "K";
  struct Mode2Case {
    const char *name;
    std::vector<const char *> chords;
    std::vector<int> codes;
  };
  const Mode2Case cases[] = {
      {"number sign", {NUMBER, A, B, J, APOSTROPHE}, {'1', '2', '0', '.'}},
      {"number mode ends at cell 5", {NUMBER, A, CELL5, A}, {'1', '~', 'a'}},
      {"capital sign", {CAPITAL, A, B}, {'A', 'b'}},
      {"caps lock", {CAPITAL, CAPITAL, A, B}, {'A', 'B'}},
      {"caps lock leaves accented letters", {CAPITAL, CAPITAL, "FDSJKL"}, {0xE9}},
      {"space bar clears caps lock", {CAPITAL, CAPITAL, " ", A}, {' ', 'a'}},
      {"space bar clears number mode", {NUMBER, "F ", A}, {1, 'a'}},
      {"capital digits stay digits", {NUMBER, CAPITAL, A}, {'1'}},
  };
  for (const Mode2Case &c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    console.brailleMode = 2;
    for (const char *keys : c.chords) chord(keys);
    EXPECT_EQ(drain(), c.codes);
  }

  // Releasing a key that is neither a letter nor the space bar, or any key
  // with Ctrl, clears the signs.
  for (auto clear : {+[] { keyUp(VK_SHIFT); }, +[] { keyUp('Q', CTRL); }}) {
    SetUp();
    console.brailleMode = 2;
    chord(NUMBER), chord(CAPITAL), chord(CAPITAL);
    clear();
    chord(A);
    EXPECT_EQ(drain(), std::vector<int>{'a'});
  }
}

TEST_F(Keys, BrailleModeKeys) {
  unsigned tones = headlessStats().tonesStarted;
  const int steps[] = {1, 2, 1, 2};
  for (int expected : steps) {
    keyDown(VK_F11, CTRL | ALT);
    EXPECT_EQ(console.brailleMode, expected);
  }
  EXPECT_EQ(headlessStats().tonesStarted - tones, 8u);  // two tones a switch
  EXPECT_TRUE(drain().empty());

  keyDown('F'), keyDown('D');
  keyDown(VK_F12, CTRL | ALT);
  EXPECT_EQ(console.brailleMode, 0);
  EXPECT_EQ(console.chord, 0);
  EXPECT_EQ(console.held, 0);
  EXPECT_EQ(headlessStats().tonesStarted - tones, 9u);  // one tone leaving Braille
  keyUp('F'), keyUp('D');
  typeChar('f');
  EXPECT_EQ(drain(), std::vector<int>{'f'});
}

TEST_F(Keys, BrailleTableSpotChecks) {
  const std::pair<int, int> cells[] = {
      {0, ' '},  {1, 'a'},  {3, 'b'},   {9, 'c'},   {25, 'd'},  {17, 'e'},  {11, 'f'},  {27, 'g'},
      {19, 'h'}, {10, 'i'}, {26, 'j'},  {5, 'k'},   {7, 'l'},   {13, 'm'},  {29, 'n'},  {21, 'o'},
      {15, 'p'}, {31, 'q'}, {23, 'r'},  {14, 's'},  {30, 't'},  {37, 'u'},  {39, 'v'},  {58, 'w'},
      {45, 'x'}, {61, 'y'}, {53, 'z'},  {32, 0xFD}, {33, 0xE2}, {16, '~'},  {48, '$'},  {49, 0xFB},
      {50, 0xFF}, {51, 0xFC}, {52, '}'}, {55, 0xE1}, {56, '_'},  {57, 0xF4}, {59, 0xEF}, {60, '#'},
      {62, 0xFA}, {63, 0xE9}, {40, '{'}, {41, 0xEE}, {42, 0xF5}, {43, 0xE0}, {44, 0xF3}, {46, 0xE8},
      {47, 0xE7}, {12, 0xED}, {28, 0xE3}, {24, 0xAC}, {2, ','},   {18, ':'},  {34, '?'},  {36, '-'},
      {38, '"'}, {4, '\''}, {20, '*'},  {6, ';'},   {22, '!'},  {54, '='},  {8, '^'},  {35, 0xEA},
  };
  std::vector<bool> seen(64);
  for (auto [dots, c] : cells) {
    EXPECT_EQ(brailleCellChar(dots), c) << "dots " << dots;
    seen[dots] = true;
  }
  for (int d = 0; d < 64; ++d) EXPECT_TRUE(seen[d]) << d;
}

uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void expectHeader(const uint8_t *w, uint32_t dataLength) {
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(w), 4), "RIFF");
  EXPECT_EQ(le32(w + 4), dataLength + 36);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(w + 8), 8), "WAVEfmt ");
  EXPECT_EQ(le32(w + 16), 16u);
  EXPECT_EQ(le16(w + 20), 1);
  EXPECT_EQ(le16(w + 22), 1);
  EXPECT_EQ(le32(w + 24), 11025u);
  EXPECT_EQ(le32(w + 28), 11025u);
  EXPECT_EQ(le16(w + 32), 1);
  EXPECT_EQ(le16(w + 34), 8);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(w + 36), 4), "data");
  EXPECT_EQ(le32(w + 40), dataLength);
}

// Runs of equal samples as (value, count), the last sample apart.
std::vector<std::pair<int, int>> runs(const uint8_t *data, size_t n) {
  std::vector<std::pair<int, int>> out;
  for (size_t i = 0; i < n; ++i) {
    if (!out.empty() && out.back().first == data[i]) ++out.back().second;
    else out.push_back({data[i], 1});
  }
  return out;
}

TEST_F(Keys, ToneWaveImages) {
  struct ToneCase {
    unsigned frequency;
    size_t dataLength;
    std::vector<std::pair<int, int>> firstRuns;  // of the samples
  };
  // 800 Hz: periods start at 0, 13, 27, 41 (j * 13.78); 6 low samples each.
  // 100 Hz: periods of 110 or 111 samples, 55 low. 11025 Hz and above: a
  // period of one sample or none, no low half.
  const ToneCase cases[] = {
      {800, 10969, {{96, 6}, {160, 7}, {96, 6}, {160, 8}, {96, 6}, {160, 8}}},
      {100, 10914, {{96, 55}, {160, 55}, {96, 55}, {160, 55}, {96, 55}, {160, 55}, {96, 55}, {160, 56}}},
      {5000, 10980, {{96, 1}, {160, 1}, {96, 1}, {160, 1}, {96, 1}, {160, 1}, {96, 1}, {160, 1}, {96, 1}, {160, 2}}},
      {11025, 10981, {{160, 10980}, {128, 1}}},
      {65535, 10982, {{160, 10981}, {128, 1}}},
      {1, 0, {}},
  };
  for (const ToneCase &c : cases) {
    SCOPED_TRACE(c.frequency);
    std::vector<uint8_t> wave(TONE_BUFFER_SIZE, 0xAA);
    size_t size = buildToneWave(c.frequency, wave.data());
    ASSERT_EQ(size, 44 + c.dataLength);
    expectHeader(wave.data(), static_cast<uint32_t>(c.dataLength));
    if (c.dataLength == 0) continue;
    EXPECT_EQ(wave[size - 1], 128);
    auto r = runs(wave.data() + 44, c.dataLength);
    ASSERT_GE(r.size(), c.firstRuns.size());
    r.resize(c.firstRuns.size());
    EXPECT_EQ(r, c.firstRuns);
  }
}

TEST_F(Keys, ToneWaveFitsItsBufferAtAnyFrequency) {
  std::vector<uint8_t> wave(TONE_BUFFER_SIZE + 64, 0xAA);
  for (unsigned f = 1; f <= 65535; f += f < 2000 ? 1 : 331) {
    size_t size = buildToneWave(f, wave.data());
    ASSERT_LE(size, size_t{TONE_BUFFER_SIZE}) << f;
    ASSERT_EQ(wave[TONE_BUFFER_SIZE], 0xAA) << f;
    ASSERT_EQ(le32(wave.data() + 40), size - 44) << f;
    // The data ends at the first period start that leaves no room for a
    // whole period.
    ASSERT_GT(size + 11025 / f, 11025u) << f;
  }
}

}  // namespace
