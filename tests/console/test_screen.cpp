// The screen model: byte rules, wrap and scroll, and what reaches the window.
//
// A recording backend keeps a grid of what was drawn (characters and
// colours per cell), moves it on a blit scroll and repaints it through the
// model on update after an invalidation, like a real window would. After a
// write the drawn grid must show what the planes hold.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "klcrt_internal.h"

namespace {

struct DrawCall {
  int x, y;
  std::string text;
  Rgb fg, bg;
};

struct DrawnCell {
  uint8_t c = 0;
  Rgb fg{1, 2, 3}, bg{1, 2, 3};  // never a palette colour: "not drawn"
};

struct Recorder {
  std::vector<DrawCall> draws;
  DrawnCell grid[SCREEN_ROWS][SCREEN_COLS];
  bool blitAllowed = true;
  bool invalidated = false;
  int scrolls = 0, invalidations = 0, updates = 0, presents = 0, beeps = 0;
  int scrollTop = -1, scrollBottom = -1, scrollDy = -1;
  Rgb scrollFill{1, 2, 3};
} rec;

void recDrawText(int x, int y, const uint8_t *text, int n, Rgb fg, Rgb bg) {
  rec.draws.push_back({x, y, std::string(reinterpret_cast<const char *>(text), n), fg, bg});
  const CellMetrics &m = console.metrics;
  int row = y / m.cellHeight, col = (x - m.overhang) / m.cellWidth;
  for (int i = 0; i < n; ++i) rec.grid[row][col + i] = {text[i], fg, bg};
}
bool recCanBlit() { return rec.blitAllowed; }
void recScrollPixels(int top, int bottom, int dy, Rgb fill) {
  ++rec.scrolls;
  rec.scrollTop = top, rec.scrollBottom = bottom, rec.scrollDy = dy, rec.scrollFill = fill;
  int rows = dy / console.metrics.cellHeight;
  for (int r = 0; r + rows < SCREEN_ROWS; ++r) std::memcpy(rec.grid[r], rec.grid[r + rows], sizeof rec.grid[r]);
  for (int r = SCREEN_ROWS - rows; r < SCREEN_ROWS; ++r)
    for (DrawnCell &cell : rec.grid[r]) cell = {' ', fill, fill};
}
void recInvalidate(bool) { ++rec.invalidations, rec.invalidated = true; }
void recUpdate() {
  ++rec.updates;
  if (rec.invalidated) {
    rec.invalidated = false;
    const CellMetrics &m = console.metrics;
    screenPaint(0, 0, SCREEN_COLS * m.cellWidth, SCREEN_ROWS * m.cellHeight);
  }
}
void recPresent() { ++rec.presents; }
void recBeep() { ++rec.beeps; }

ConsoleBackend recordingBackend() {
  ConsoleBackend b{};
  b.name = "recording";
  b.drawText = recDrawText;
  b.canBlitScroll = recCanBlit;
  b.scrollPixels = recScrollPixels;
  b.invalidate = recInvalidate;
  b.update = recUpdate;
  b.present = recPresent;
  b.beep = recBeep;
  return b;
}
const ConsoleBackend RECORDING = recordingBackend();

const Rgb WHITE{255, 255, 255}, BLACK{0, 0, 0}, BLUE{0, 0, 255}, YELLOW{255, 255, 0};

bool sameRgb(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

class Screen : public ::testing::Test {
 protected:
  void SetUp() override {
    rec = Recorder{};
    consoleBackend = &RECORDING;
    console.metrics = CellMetrics{8, 16, 12, 1, 660, 430};
    for (int i = 0; i < 16; ++i) console.colourMap[i] = static_cast<uint8_t>(i);
    console.attribute = 15;
    console.blitScroll = false;
    screenReset(15);
  }
  void TearDown() override { consoleBackend = nullptr; }

  static void write(const std::string &bytes) {
    screenWrite(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
  }
  static std::string row(int y) {
    std::string s(reinterpret_cast<const char *>(console.chars + y * SCREEN_COLS), SCREEN_COLS);
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }
  // Every cell of the window shows the planes' character in its colours.
  static void expectWindowShowsPlanes() {
    for (int y = 0; y < SCREEN_ROWS; ++y)
      for (int x = 0; x < SCREEN_COLS; ++x) {
        const DrawnCell &d = rec.grid[y][x];
        uint8_t c = console.chars[y * SCREEN_COLS + x], a = console.attrs[y * SCREEN_COLS + x];
        // Cells never written nor scrolled over may stay undrawn blanks.
        if (d.c == 0 && c == ' ') continue;
        ASSERT_EQ(d.c, c) << "cell " << x << "," << y;
        // A blank shows no text colour (the blit fill has none).
        ASSERT_TRUE((c == ' ' || sameRgb(d.fg, screenColour(a & 15))) && sameRgb(d.bg, screenColour(a >> 4)))
            << "cell " << x << "," << y;
      }
  }
};

const std::string FULL_ROW(80, 'x');

struct WriteCase {
  const char *name;
  std::string bytes;
  int cursorX, cursorY;
  std::string row0, row1;
};

TEST_F(Screen, ByteRulesMoveCursorAndFillCells) {
  const WriteCase cases[] = {
      {"full row rests at column 80", FULL_ROW, 80, 0, FULL_ROW, ""},
      {"CR LF after full row is one new line", FULL_ROW + "\r\nab", 2, 1, FULL_ROW, "ab"},
      {"81st char wraps to next row", FULL_ROW + "y", 1, 1, FULL_ROW, "y"},
      {"backspace at column 0 does nothing", std::string("\b\bab"), 2, 0, "ab", ""},
      {"backspace blanks the cell to its left", std::string("abc\b"), 2, 0, "ab", ""},
      {"backspace then text overwrites", std::string("abc\b\bX"), 2, 0, "aX", ""},
      {"backspace at column 80 blanks column 79", FULL_ROW + "\b", 79, 0, std::string(79, 'x'), ""},
      {"backspace never goes up a row", std::string("a\n\b\bb"), 1, 1, "a", "b"},
      {"ignored bytes neither show nor move", std::string("a\tb\x01\x1b\x0c\x00 c", 9), 4, 0, "ab c", ""},
      {"line feed alone also returns to column 0", std::string("ab\ncd"), 2, 1, "ab", "cd"},
      {"carriage return overwrites from column 0", std::string("hello\rHE"), 2, 0, "HEllo", ""},
      {"high bytes are shown", std::string("\xe7\xe3o"), 3, 0, "\xe7\xe3o", ""},
      {"bell changes nothing", std::string("a\ab"), 2, 0, "ab", ""},
  };
  for (const WriteCase &c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    write(c.bytes);
    EXPECT_EQ(console.cursorX, c.cursorX);
    EXPECT_EQ(console.cursorY, c.cursorY);
    EXPECT_EQ(row(0), c.row0);
    EXPECT_EQ(row(1), c.row1);
    expectWindowShowsPlanes();
  }
}

TEST_F(Screen, BellBeepsAndCellsTakeCurrentAttribute) {
  console.attribute = 0x1E;
  write("a\a");
  EXPECT_EQ(rec.beeps, 1);
  EXPECT_EQ(console.attrs[0], 0x1E);
  EXPECT_EQ(console.attrs[1], 15);
  console.attribute = 0x20;
  write("\b");  // the blank left by backspace also takes the attribute
  EXPECT_EQ(console.chars[0], ' ');
  EXPECT_EQ(console.attrs[0], 0x20);
}

TEST_F(Screen, LineFeedOnLastRowScrollsBothPlanes) {
  for (int i = 0; i < SCREEN_ROWS; ++i) {
    console.attribute = static_cast<uint8_t>(i);
    write("line " + std::to_string(i) + (i < SCREEN_ROWS - 1 ? "\r\n" : ""));
  }
  console.attribute = 0x40;
  write("\n");
  EXPECT_EQ(console.cursorX, 0);
  EXPECT_EQ(console.cursorY, 24);
  EXPECT_EQ(row(0), "line 1");
  EXPECT_EQ(console.attrs[0], 1);
  EXPECT_EQ(row(23), "line 24");
  EXPECT_EQ(console.attrs[23 * SCREEN_COLS], 24);
  EXPECT_EQ(row(24), "");
  for (int x = 0; x < SCREEN_COLS; ++x) ASSERT_EQ(console.attrs[24 * SCREEN_COLS + x], 0x40);
}

TEST_F(Screen, WrapOnLastRowScrollsAndDrawsBothRows) {
  for (int i = 0; i < SCREEN_ROWS - 1; ++i) write("\n");
  write(FULL_ROW + "next");
  EXPECT_EQ(console.cursorY, 24);
  EXPECT_EQ(console.cursorX, 4);
  EXPECT_EQ(row(23), FULL_ROW);
  EXPECT_EQ(row(24), "next");
  expectWindowShowsPlanes();
}

// The window must show the planes after any mix of writing and scrolling,
// whether the pixels are moved or the area is repainted.
TEST_F(Screen, WindowFollowsPlanesThroughScrolling) {
  struct Mode {
    bool blitScroll, blitAllowed;
  };
  for (Mode mode : {Mode{false, true}, Mode{true, true}, Mode{true, false}}) {
    SCOPED_TRACE(testing::Message() << "blit " << mode.blitScroll << " allowed " << mode.blitAllowed);
    SetUp();
    console.blitScroll = mode.blitScroll;
    rec.blitAllowed = mode.blitAllowed;
    for (int i = 0; i < 40; ++i) {
      console.attribute = static_cast<uint8_t>(i * 37);
      write("row " + std::to_string(i) + std::string(i % 3 == 0 ? 90 : 10, 'a' + i % 26) + "\rR\r\n");
      expectWindowShowsPlanes();
      if (testing::Test::HasFatalFailure()) return;
    }
    bool blit = mode.blitScroll && mode.blitAllowed;
    // 40 line ends and 14 wraps: 54 new lines, 30 of them scroll, and
    // each scroll updates the window at once.
    EXPECT_EQ(blit ? rec.scrolls : rec.invalidations, 30);
    EXPECT_EQ(blit ? rec.invalidations : rec.scrolls, 0);
    EXPECT_EQ(rec.updates, 30);
  }
}

TEST_F(Screen, BlitScrollMovesRowsUpAndFillsWithBackground) {
  console.blitScroll = true;
  console.colourMap[1] = 14;
  for (int i = 0; i < SCREEN_ROWS - 1; ++i) write("\n");
  console.attribute = 0x1F;
  write("\n");
  ASSERT_EQ(rec.scrolls, 1);
  EXPECT_EQ(rec.scrollTop, 0);
  EXPECT_EQ(rec.scrollBottom, 25 * 16);
  EXPECT_EQ(rec.scrollDy, 16);
  EXPECT_TRUE(sameRgb(rec.scrollFill, YELLOW));  // background 1 through the map
  EXPECT_EQ(rec.updates, 1);
  EXPECT_EQ(rec.invalidations, 0);
}

TEST_F(Screen, CarriageReturnTextIsDrawnWhenWriteReturns) {
  write("hello");
  rec.draws.clear();
  write("\rHE");
  ASSERT_EQ(rec.draws.size(), 1u);
  EXPECT_EQ(rec.draws[0].text, "HE");
  EXPECT_EQ(rec.draws[0].x, 1);  // column 0 plus the overhang
  EXPECT_GE(rec.presents, 2);
}

TEST_F(Screen, OnlyChangedCellsOfTheRowAreDrawnInOneCall) {
  write("0123456789");
  rec.draws.clear();
  write("\r\x09\x09" "ab");  // ignored bytes, then two cells
  ASSERT_EQ(rec.draws.size(), 1u);
  EXPECT_EQ(rec.draws[0].text, "ab");
  rec.draws.clear();
  write("\x01");
  EXPECT_TRUE(rec.draws.empty());
}

TEST_F(Screen, DrawingCutsRunsOfOneAttributeWithMappedColours) {
  std::memcpy(console.chars + 2 * SCREEN_COLS + 3, "abcdef", 6);
  const uint8_t attrs[6] = {0x1F, 0x1F, 0x0E, 0x0E, 0x0E, 0x30};
  std::memcpy(console.attrs + 2 * SCREEN_COLS + 3, attrs, 6);
  console.colourMap[3] = 16;  // past the palette: black
  console.colourMap[0] = 15;
  console.colourMap[14] = 1;
  screenDrawCells(2, 3, 9);
  ASSERT_EQ(rec.draws.size(), 3u);
  EXPECT_EQ(rec.draws[0].text, "ab");
  EXPECT_EQ(rec.draws[0].x, 3 * 8 + 1);
  EXPECT_EQ(rec.draws[0].y, 2 * 16);
  EXPECT_TRUE(sameRgb(rec.draws[0].fg, WHITE));
  EXPECT_TRUE(sameRgb(rec.draws[0].bg, BLUE));
  EXPECT_EQ(rec.draws[1].text, "cde");
  EXPECT_EQ(rec.draws[1].x, 5 * 8 + 1);
  EXPECT_TRUE(sameRgb(rec.draws[1].fg, BLUE));   // 14 mapped to 1
  EXPECT_TRUE(sameRgb(rec.draws[1].bg, WHITE));  // 0 mapped to 15
  EXPECT_EQ(rec.draws[2].text, "f");
  EXPECT_TRUE(sameRgb(rec.draws[2].bg, BLACK));  // 3 mapped to 16
}

TEST_F(Screen, PaletteColours) {
  const Rgb expected[16] = {{0, 0, 0},       {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
                            {255, 0, 0},     {142, 0, 142},   {68, 34, 34},    {192, 192, 192},
                            {128, 128, 128}, {128, 128, 255}, {128, 255, 128}, {128, 255, 255},
                            {255, 128, 128}, {255, 128, 255}, {255, 255, 0},   {255, 255, 255}};
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(sameRgb(screenColour(i), expected[i])) << i;
  console.colourMap[5] = 200;
  EXPECT_TRUE(sameRgb(screenColour(5), BLACK));
}

TEST_F(Screen, ClearToLineEndBlanksFromCursorOnly) {
  write(FULL_ROW + "\r\n" + FULL_ROW + "\r" + "12345");
  console.attribute = 0x2C;
  rec.draws.clear();
  screenClearToLineEnd();
  EXPECT_EQ(console.cursorX, 5);
  EXPECT_EQ(console.cursorY, 1);
  EXPECT_EQ(row(1), "12345");
  EXPECT_EQ(console.attrs[SCREEN_COLS + 4], 15);
  EXPECT_EQ(console.attrs[SCREEN_COLS + 5], 0x2C);
  EXPECT_EQ(console.attrs[SCREEN_COLS + 79], 0x2C);
  EXPECT_EQ(row(0), FULL_ROW);
  ASSERT_EQ(rec.draws.size(), 1u);
  EXPECT_EQ(rec.draws[0].text, std::string(75, ' '));
  expectWindowShowsPlanes();

  write(std::string(75, 'z'));  // cursor at column 80
  rec.draws.clear();
  screenClearToLineEnd();
  EXPECT_EQ(row(1), "12345" + std::string(75, 'z'));
  EXPECT_TRUE(rec.draws.empty());
}

TEST_F(Screen, PaintTurnsRectangleIntoCellsWithinTheScreen) {
  struct PaintCase {
    int x, y, w, h;
    int rows, firstRow, left, right;  // expected rows drawn and their span
  };
  const PaintCase cases[] = {
      {9, 17, 8, 16, 2, 1, 1, 3},           // partial cells round outwards
      {8, 16, 8, 16, 1, 1, 1, 2},           // exact cell
      {-100, -50, 10000, 10000, 25, 0, 0, 80},  // clamped to the screen
      {700, 0, 50, 16, 0, 0, 0, 0},         // right of the text area
      {0, 0, 0, 16, 0, 0, 0, 0},            // empty
  };
  for (int y = 0; y < SCREEN_ROWS; ++y) std::memset(console.attrs + y * SCREEN_COLS, y, SCREEN_COLS);
  for (const PaintCase &c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " " << c.w << "x" << c.h);
    rec.draws.clear();
    screenPaint(c.x, c.y, c.w, c.h);
    ASSERT_EQ(static_cast<int>(rec.draws.size()), c.rows);
    for (int i = 0; i < c.rows; ++i) {
      EXPECT_EQ(rec.draws[i].y, (c.firstRow + i) * 16);
      EXPECT_EQ(rec.draws[i].x, c.left * 8 + 1);
      EXPECT_EQ(static_cast<int>(rec.draws[i].text.size()), c.right - c.left);
    }
  }
}

TEST_F(Screen, ZeroMetricsDrawNothingButKeepThePlanes) {
  console.metrics = CellMetrics{};
  console.blitScroll = true;
  write(FULL_ROW + "\r\n" + std::string(30, '\n') + "ok");
  screenPaint(0, 0, 640, 400);
  screenClearToLineEnd();
  EXPECT_TRUE(rec.draws.empty());
  EXPECT_EQ(row(24), "ok");
  EXPECT_EQ(rec.scrolls, 0);
}

}  // namespace
