// klcrt screen model: the two planes, the cursor, the byte rules of writing,
// scrolling and the drawing of cells through the backend.
#include <cstring>

#include "klcrt_internal.h"

namespace {

const Rgb PALETTE[16] = {
    {0, 0, 0},       {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
    {255, 0, 0},     {142, 0, 142},   {68, 34, 34},    {192, 192, 192},
    {128, 128, 128}, {128, 128, 255}, {128, 255, 128}, {128, 255, 255},
    {255, 128, 128}, {255, 128, 255}, {255, 255, 0},   {255, 255, 255},
};

// Cells of the cursor's row changed by the current write, [spanLeft,
// spanRight); empty when spanLeft >= spanRight.
int spanLeft = SCREEN_COLS, spanRight = 0;

bool canDraw() {
  return consoleBackend != nullptr && console.metrics.cellWidth > 0 && console.metrics.cellHeight > 0;
}

void markChanged(int column) {
  if (column < spanLeft) spanLeft = column;
  if (column + 1 > spanRight) spanRight = column + 1;
}

void flushSpan() {
  if (spanLeft < spanRight) screenDrawCells(console.cursorY, spanLeft, spanRight);
  spanLeft = SCREEN_COLS;
  spanRight = 0;
}

void setCell(int column, int row, uint8_t c) {
  int at = row * SCREEN_COLS + column;
  console.chars[at] = c;
  console.attrs[at] = console.attribute;
}

void scrollPlanes() {
  const int rowBytes = SCREEN_COLS;
  std::memmove(console.chars, console.chars + rowBytes, rowBytes * (SCREEN_ROWS - 1));
  std::memmove(console.attrs, console.attrs + rowBytes, rowBytes * (SCREEN_ROWS - 1));
  const int last = (SCREEN_ROWS - 1) * SCREEN_COLS;
  std::memset(console.chars + last, ' ', SCREEN_COLS);
  std::memset(console.attrs + last, console.attribute, SCREEN_COLS);
}

void newLine() {
  flushSpan();
  ++console.cursorY;
  if (console.cursorY < SCREEN_ROWS) return;
  console.cursorY = SCREEN_ROWS - 1;
  scrollPlanes();
  if (consoleBackend == nullptr) return;
  const int cellHeight = console.metrics.cellHeight;
  if (console.blitScroll && cellHeight > 0 && consoleBackend->canBlitScroll()) {
    consoleBackend->scrollPixels(0, SCREEN_ROWS * cellHeight, cellHeight,
                                 screenColour(console.attribute >> 4));
  } else {
    consoleBackend->invalidate(false);
  }
  // The pending repaint must run before the write goes on.
  consoleBackend->update();
}

void present() {
  if (consoleBackend != nullptr) consoleBackend->present();
}

// Whole-number division rounding towards minus infinity, for pixel
// rectangles that may start left of or above the client area.
long long floorDiv(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
long long ceilDiv(long long a, long long b) { return -floorDiv(-a, b); }

int clampTo(long long v, int low, int high) { return v < low ? low : v > high ? high : static_cast<int>(v); }

}  // namespace

void screenReset(uint8_t attribute) {
  std::memset(console.chars, ' ', sizeof console.chars);
  std::memset(console.attrs, attribute, sizeof console.attrs);
  console.cursorX = 0;
  console.cursorY = 0;
  spanLeft = SCREEN_COLS;
  spanRight = 0;
}

Rgb screenColour(int attributeColour) {
  uint8_t index = console.colourMap[attributeColour & 15];
  return index < 16 ? PALETTE[index] : PALETTE[0];
}

void screenWrite(const uint8_t *bytes, size_t count) {
  // A cursor out of range (only possible if the state was not reset) would
  // index past the planes.
  if (console.cursorX < 0 || console.cursorX > SCREEN_COLS) console.cursorX = 0;
  if (console.cursorY < 0 || console.cursorY >= SCREEN_ROWS) console.cursorY = 0;
  spanLeft = SCREEN_COLS;
  spanRight = 0;
  for (size_t i = 0; i < count; ++i) {
    uint8_t c = bytes[i];
    if (c == 7) {
      if (consoleBackend != nullptr) consoleBackend->beep();
    } else if (c == 8) {
      if (console.cursorX > 0) {
        --console.cursorX;
        setCell(console.cursorX, console.cursorY, ' ');
        markChanged(console.cursorX);
      }
    } else if (c == 10) {
      newLine();
      console.cursorX = 0;
    } else if (c == 13) {
      console.cursorX = 0;
    } else if (c >= 32) {
      // The wrap waits for the next shown character, so 13, 10 after a full
      // row give one new line.
      if (console.cursorX == SCREEN_COLS) {
        console.cursorX = 0;
        newLine();
      }
      setCell(console.cursorX, console.cursorY, c);
      markChanged(console.cursorX);
      ++console.cursorX;
    }
  }
  flushSpan();
  present();
}

void screenClearToLineEnd() {
  int row = console.cursorY;
  if (row < 0 || row >= SCREEN_ROWS) return;
  int from = console.cursorX < 0 ? 0 : console.cursorX;
  for (int column = from; column < SCREEN_COLS; ++column) setCell(column, row, ' ');
  if (from < SCREEN_COLS) screenDrawCells(row, from, SCREEN_COLS);
  present();
}

void screenDrawCells(int row, int left, int right) {
  if (!canDraw() || row < 0 || row >= SCREEN_ROWS) return;
  if (left < 0) left = 0;
  if (right > SCREEN_COLS) right = SCREEN_COLS;
  const CellMetrics &m = console.metrics;
  const uint8_t *chars = console.chars + row * SCREEN_COLS;
  const uint8_t *attrs = console.attrs + row * SCREEN_COLS;
  // One text call per run of cells with one attribute.
  int start = left;
  while (start < right) {
    int end = start + 1;
    while (end < right && attrs[end] == attrs[start]) ++end;
    uint8_t attribute = attrs[start];
    consoleBackend->drawText(start * m.cellWidth + m.overhang, row * m.cellHeight, chars + start,
                             end - start, screenColour(attribute & 15), screenColour(attribute >> 4));
    start = end;
  }
}

void screenPaint(int x, int y, int w, int h) {
  if (canDraw() && w > 0 && h > 0) {
    const long long cw = console.metrics.cellWidth, ch = console.metrics.cellHeight;
    int left = clampTo(floorDiv(x, cw), 0, SCREEN_COLS);
    int right = clampTo(ceilDiv(static_cast<long long>(x) + w, cw), 0, SCREEN_COLS);
    int top = clampTo(floorDiv(y, ch), 0, SCREEN_ROWS);
    int bottom = clampTo(ceilDiv(static_cast<long long>(y) + h, ch), 0, SCREEN_ROWS);
    for (int row = top; row < bottom; ++row)
      if (left < right) screenDrawCells(row, left, right);
  }
  present();
}
