// The console window's life: creation on first use, the window procedure
// (dispatch of events), the waits and pumps, tones, the Braille mode switch,
// the line editor, and the end of the program.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "klcodepage.h"
#include "klcrt_headless.h"
#include "klcrt_internal.h"
#include "klwave.h"

ConsoleState console;
const ConsoleBackend *consoleBackend = nullptr;

namespace {

bool exitHookInstalled = false;
bool screenDumped = false;
uint8_t toneStorage[TONE_BUFFER_SIZE];

const ConsoleBackend &backend() {
  if (!consoleBackend && !selectConsoleBackend()) std::exit(1);
  return *consoleBackend;
}

void showCaret() {
  if (console.caretShown || !console.created) return;
  const CellMetrics &m = console.metrics;
  backend().showCaret(console.cursorX * m.cellWidth, console.cursorY * m.cellHeight + m.ascent, m.cellWidth, 2);
  console.caretShown = true;
}

void hideCaret() {
  if (!console.caretShown) return;
  backend().hideCaret();
  console.caretShown = false;
}

// The program-end hook: the window outlives a program that ends without
// closing it, marked as ended.
void programEndHook() {
  dumpScreenIfAsked();
  if (console.created && consoleBackend) {
    consoleBackend->setTitle("Programa terminado");
    console.breakCheck = false;
    consoleBackend->present();
  }
}

void installExitHook() {
  if (exitHookInstalled) return;
  exitHookInstalled = true;
  std::atexit(programEndHook);
}

// Magnifier: the point under the pointer keeps its place.
void drawMagnified(int px, int py) {
  int k = console.magnifierFactor;
  const CellMetrics &m = console.metrics;
  int sx = px - px / k, sy = py - py / k;
  if (sx < 0) sx = 0;
  if (sy < 0) sy = 0;
  backend().magnifyDraw(sx, sy, m.outerWidth / k, m.outerHeight / k, m.outerWidth, m.outerHeight);
}

void playTone(unsigned frequency) {
  startTone(frequency);
  delay(200);
  stopTone();
}

}  // namespace

bool selectConsoleBackend() {
  if (consoleBackend) return true;
  const char *name = std::getenv("KALEVO_DISPLAY");
  const char *why = nullptr;
  if (name && std::strcmp(name, "headless") == 0) {
    if (!headlessConsoleBackend.open(&why)) {
      std::fprintf(stderr, "The headless display could not start: %s.\n", why ? why : "unknown reason");
      return false;
    }
    consoleBackend = &headlessConsoleBackend;
    return true;
  }
  if (name && *name && std::strcmp(name, "sdl") != 0) {
    std::fprintf(stderr, "KALEVO_DISPLAY must be \"sdl\" or \"headless\", not \"%s\".\n", name);
    return false;
  }
  if (!sdlConsoleBackend.open(&why)) {
    std::fprintf(stderr,
                 "No display is available (%s): start the game inside a desktop session, "
                 "or set KALEVO_DISPLAY=headless to run it without a window.\n",
                 why ? why : "the window system did not answer");
    return false;
  }
  consoleBackend = &sdlConsoleBackend;
  return true;
}

uint64_t consoleClock() { return backend().clock(); }

std::string consoleTitle() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  std::string title = n > 0 ? utf8ToCp1252(std::string_view(path, static_cast<size_t>(n))) : "retenza";
  if (title.size() > 79) title.resize(79);
  return title;
}

void ensureConsoleWindow() {
  if (console.created) return;
  const ConsoleBackend &b = backend();
  installExitHook();

  int workWidth = 0, workHeight = 0;
  b.workArea(workWidth, workHeight);
  VideoSettings settings;
  readVideoSettings(settings, workWidth, workHeight);
  applyVideoSettings(settings);

  std::string title = consoleTitle();
  WindowRequest request{title.c_str(), settings.fontFace.c_str(), settings.fontWidth,
                        settings.fontHeight, settings.fontWeight, settings.maximised};
  CellMetrics metrics{};
  if (!b.createWindow(request, metrics)) {
    std::fprintf(stderr, "The console window could not be created.\n");
    std::exit(1);
  }
  console.metrics = metrics;
  screenReset(console.attribute);
  console.created = true;
  b.update();
  setBrailleMode(settings.brailleMode);
}

void dispatchConsoleEvent(const ConsoleEvent &event) {
  switch (event.kind) {
    case ConsoleEventKind::KeyDown:
    case ConsoleEventKind::SysKeyDown:
      handleKeyDownEvent(event);
      break;
    case ConsoleEventKind::KeyUp:
      handleKeyUpEvent(event);
      break;
    case ConsoleEventKind::Char:
      handleCharEvent(event);
      break;
    case ConsoleEventKind::FocusIn:
      console.focused = true;
      if (console.waitingForKey) showCaret();
      break;
    case ConsoleEventKind::FocusOut:
      if (console.waitingForKey) hideCaret();
      console.focused = false;
      break;
    case ConsoleEventKind::Paint:
      if (console.created) screenPaint(event.x, event.y, event.w, event.h);
      break;
    case ConsoleEventKind::Close:
      closeConsole();
    case ConsoleEventKind::Quit:
      endProgram(EXIT_QUIT);
    case ConsoleEventKind::User:
      if (event.message == MSG_WAVE_DONE && console.waveDoneHandler)
        console.waveDoneHandler(event.param1, event.param2);
      break;
    case ConsoleEventKind::RightDown:
      // A factor of 0 cannot divide the picture: the magnifier stays off.
      if (!console.magnifying && console.created && console.magnifierFactor >= 1) {
        console.magnifying = true;
        backend().magnifyBegin(console.metrics.outerWidth, console.metrics.outerHeight);
        drawMagnified(event.x, event.y);
      }
      break;
    case ConsoleEventKind::PointerMove:
      if (console.magnifying) drawMagnified(event.x, event.y);
      break;
    case ConsoleEventKind::RightUp:
      if (console.magnifying) {
        console.magnifying = false;
        backend().magnifyEnd();
        backend().invalidate(true);
      }
      break;
    case ConsoleEventKind::None:
      break;
  }
}

void paintConsoleRect(int x, int y, int w, int h) {
  if (console.created) screenPaint(x, y, w, h);
}

void writeText(const void *bytes, size_t count) {
  ensureConsoleWindow();
  screenWrite(static_cast<const uint8_t *>(bytes), count);
  // The caret follows the cursor while a key is awaited.
  if (console.caretShown) {
    hideCaret();
    showCaret();
  }
}

void writeChar(uint8_t c) { writeText(&c, 1); }

void clearToLineEnd() {
  ensureConsoleWindow();
  screenClearToLineEnd();
}

void setTextBackground(int colour) {
  ensureConsoleWindow();
  if (console.coloursChangeable)
    console.attribute = static_cast<uint8_t>((console.attribute & 15) | (colour * 16));
}

void registerWaveDoneHandler(WaveDoneHandler handler) { console.waveDoneHandler = handler; }

void closeConsole() {
  if (console.created) {
    console.queueCount = 0;
    hideCaret();
    stopTone();
    dumpScreenIfAsked();
    consoleBackend->destroyWindow();
    // The destroyed window's planes are gone: blank them and home the cursor.
    screenReset(console.attribute);
    console.created = false;
  }
  std::exit(EXIT_NORMAL);
}

void endProgram(int code) {
  if (console.waitingForKey && console.focused) hideCaret();
  dumpScreenIfAsked();
  std::exit(code);
}

void dumpScreenIfAsked() {
  const char *path = std::getenv("KALEVO_SCREEN");
  if (!path || !*path || screenDumped || !console.created) return;
  screenDumped = true;
  FILE *f = std::fopen(path, "wb");
  if (!f) {
    std::fprintf(stderr, "KALEVO_SCREEN: cannot write %s\n", path);
    return;
  }
  for (int row = 0; row < SCREEN_ROWS; ++row) {
    const uint8_t *cells = console.chars + row * SCREEN_COLS;
    int n = SCREEN_COLS;
    while (n > 0 && cells[n - 1] == ' ') --n;
    std::string line = cp1252ToUtf8(std::string_view(reinterpret_cast<const char *>(cells), n));
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), f);
  }
  std::fclose(f);
}

// Message boxes.

namespace {

// Narrow enough to stay inside a window the desktop could not give all 80
// columns.
enum : int { BOX_TEXT_WIDTH = 60, BOX_TEXT_ROWS = SCREEN_ROWS - 2 };

// Control bytes (and the code page's C1 holes) could drive the terminal
// that shows stderr: they are shown as "?".
std::string printable(std::string_view text) {
  std::string out(text);
  for (char &c : out) {
    uint32_t u = cp1252ToUnicode(static_cast<uint8_t>(c));
    if (c != '\n' && (u < 32 || (u >= 0x7F && u <= 0x9F))) c = '?';
  }
  return out;
}

// The text cut into rows of at most BOX_TEXT_WIDTH cells, at blanks where it
// can be; a line end starts a new row.
std::vector<std::string> wrapBoxText(const std::string &text) {
  std::vector<std::string> rows;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    do {
      size_t cut = line.size();
      if (cut > BOX_TEXT_WIDTH) {
        cut = line.rfind(' ', BOX_TEXT_WIDTH);
        if (cut == std::string_view::npos || cut == 0) cut = BOX_TEXT_WIDTH;
      }
      rows.emplace_back(line.substr(0, cut));
      line.remove_prefix(cut);
      while (!line.empty() && line[0] == ' ') line.remove_prefix(1);
    } while (!line.empty());
    start = end + 1;
  }
  if (rows.size() > BOX_TEXT_ROWS) rows.resize(BOX_TEXT_ROWS);
  return rows;
}

MessageBoxSpeaker messageBoxSpeaker = nullptr;

// The box's cells over the middle of the window: a frame of + - |, the
// title in its top edge, one blank column each side of the text.
void drawMessageBox(const std::string &title, const std::string &text) {
  std::vector<std::string> rows = wrapBoxText(text);
  size_t width = title.size() + 4;
  for (const std::string &row : rows) width = std::max(width, row.size() + 4);
  width = std::min<size_t>(width, BOX_TEXT_WIDTH + 4);
  const int left = static_cast<int>(SCREEN_COLS - width) / 2;
  const int top = (SCREEN_ROWS - static_cast<int>(rows.size()) - 2) / 2;
  const CellMetrics &m = console.metrics;
  const Rgb fg = screenColour(15), bg = screenColour(1);
  auto drawRow = [&](int row, const std::string &cells) {
    consoleBackend->drawText(left * m.cellWidth + m.overhang, row * m.cellHeight,
                             reinterpret_cast<const uint8_t *>(cells.data()), static_cast<int>(cells.size()), fg, bg);
  };
  std::string edge(width, '-');
  edge.front() = edge.back() = '+';
  std::string topEdge = edge;
  if (!title.empty()) topEdge.replace(2, std::min(title.size() + 2, width - 4), (" " + title + " ").substr(0, width - 4));
  drawRow(top, topEdge);
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string cells = "| " + rows[i];
    cells.resize(width - 1, ' ');
    drawRow(top + 1 + static_cast<int>(i), cells + "|");
  }
  drawRow(top + 1 + static_cast<int>(rows.size()), edge);
  consoleBackend->present();
}

}  // namespace

void setMessageBoxSpeaker(MessageBoxSpeaker speaker) { messageBoxSpeaker = speaker; }

void showMessageBox(const char *title, const std::string &text) {
  std::string heading = printable(title ? title : "");
  std::string body = printable(text);
  std::string line = cp1252ToUtf8(heading) + (heading.empty() ? "" : ": ") + cp1252ToUtf8(body) + "\n";
  std::fflush(stdout);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  if (!consoleBackend || !console.created || !consoleBackend->awaitMessageBoxClose) return;
  if (console.magnifying) {
    console.magnifying = false;
    consoleBackend->magnifyEnd();
  }
  bool caretWasShown = console.caretShown;
  hideCaret();
  drawMessageBox(heading, body);
  bool closed = false;
  if (messageBoxSpeaker) {
    // The game's waiting keys stand aside, or the speech would not start;
    // keys typed during it were meant for the box.
    uint8_t waiting[KEY_QUEUE_SIZE];
    const int waitingCount = console.queueCount;
    std::memcpy(waiting, console.queue, static_cast<size_t>(waitingCount));
    console.queueCount = 0;
    messageBoxSpeaker(heading.empty() ? body : heading + ". " + body);
    for (int i = 0; i < console.queueCount; ++i)
      if (console.queue[i] == VK_RETURN || console.queue[i] == VK_ESCAPE) closed = true;
    std::memcpy(console.queue, waiting, static_cast<size_t>(waitingCount));
    console.queueCount = waitingCount;
  }
  if (!closed) consoleBackend->awaitMessageBoxClose();
  // What lay under the box comes back from the screen model.
  consoleBackend->invalidate(true);
  consoleBackend->update();
  if (caretWasShown) showCaret();
}

// Waits and message processing.

void pumpAllMessages() {
  ConsoleEvent event;
  while (backend().poll(event)) dispatchConsoleEvent(event);
}

// There is one window, so the console's messages are all of the thread's.
void pumpConsoleMessages() { pumpAllMessages(); }

bool keyPressed() {
  ensureConsoleWindow();
  pumpAllMessages();
  return console.queueCount > 0;
}

uint8_t readKey() {
  if (!keyPressed()) {
    console.waitingForKey = true;
    if (console.focused) showCaret();
    do {
      backend().wait(true);
    } while (!keyPressed());
    if (console.focused) hideCaret();
    console.waitingForKey = false;
  }
  uint8_t code = console.queue[0];
  --console.queueCount;
  std::memmove(console.queue, console.queue + 1, static_cast<size_t>(console.queueCount));
  return code;
}

void delay(uint16_t milliseconds) {
  ensureConsoleWindow();
  backend().sleep(milliseconds);
  pumpAllMessages();
  pumpConsoleMessages();
}

void waitMessage() {
  ensureConsoleWindow();
  backend().wait(false);
}

namespace {

ConsoleEvent windowMessage(unsigned message, uintptr_t param1, uintptr_t param2) {
  ConsoleEvent event;
  event.kind = ConsoleEventKind::User;
  event.message = message;
  event.param1 = param1;
  event.param2 = param2;
  return event;
}

}  // namespace

void postConsoleMessage(unsigned message, uintptr_t param1, uintptr_t param2) {
  if (consoleBackend) consoleBackend->post(windowMessage(message, param1, param2));
}

namespace {

// Delayed messages on the real clock: one thread and a fixed table, so that
// posting allocates nothing.
struct DelayedMessage {
  std::chrono::steady_clock::time_point due;
  ConsoleEvent event;
  bool used;
};
std::mutex delayedLock;
std::condition_variable delayedWake;
DelayedMessage delayed[64];
bool delayedThreadStarted = false;

void deliverDelayedMessages() {
  std::unique_lock<std::mutex> lock(delayedLock);
  for (;;) {
    auto next = std::chrono::steady_clock::time_point::max();
    auto now = std::chrono::steady_clock::now();
    for (DelayedMessage &d : delayed) {
      if (!d.used) continue;
      if (d.due <= now) {
        d.used = false;
        consoleBackend->post(d.event);
      } else if (d.due < next) {
        next = d.due;
      }
    }
    if (next == std::chrono::steady_clock::time_point::max()) delayedWake.wait(lock);
    else delayedWake.wait_until(lock, next);
  }
}

}  // namespace

void postConsoleMessageAfter(unsigned milliseconds, unsigned message, uintptr_t param1, uintptr_t param2) {
  if (!consoleBackend) return;
  ConsoleEvent event = windowMessage(message, param1, param2);
  if (consoleBackend == &headlessConsoleBackend) {
    headlessPostAt(consoleBackend->clock() + milliseconds, event);
    return;
  }
  std::lock_guard<std::mutex> lock(delayedLock);
  if (!delayedThreadStarted) {
    delayedThreadStarted = true;
    std::thread(deliverDelayedMessages).detach();
  }
  auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (DelayedMessage &d : delayed) {
    if (!d.used) {
      d = {due, event, true};
      delayedWake.notify_one();
      return;
    }
  }
  // The table is full (far more than the four blocks a player queues): the
  // message goes now rather than never.
  consoleBackend->post(event);
}

size_t readLine(uint8_t *buffer) {
  const size_t n = CONSOLE_LINE_CAPACITY;
  size_t i = 0;
  uint8_t k;
  do {
    k = readKey();
    if (k == 8) {
      if (i > 0) {
        --i;
        writeChar(8);
      }
    } else if (k >= 32) {
      if (i < n - 2) {
        buffer[i++] = k;
        writeChar(k);
      }
    }
  } while (k != 13);
  buffer[i] = 13;
  buffer[i + 1] = 10;
  writeChar(13);
  writeChar(10);
  return i + 2;
}

// Tones and Braille.

void startTone(unsigned frequency) {
  if (frequency < 1 || frequency > 65535) return;
  logToneStarted(frequency);
  ensureConsoleWindow();
  stopTone();
  console.toneSize = buildToneWave(frequency, toneStorage);
  console.toneBuffer = toneStorage;
  backend().playLoop(console.toneBuffer, console.toneSize);
}

void stopTone() {
  if (!console.toneBuffer) return;
  if (consoleBackend) consoleBackend->stopLoop();
  console.toneBuffer = nullptr;
  console.toneSize = 0;
}

void setBrailleMode(int mode) {
  if (mode > 2) mode = 1;
  if (mode < 0) mode = 0;
  if (mode == 0) {
    console.chord = console.held = 0;
    console.numberMode = console.capital = console.capsLock = false;
    if (console.brailleMode != 0) playTone(100);
  } else if (mode == 1) {
    playTone(800);
    playTone(1600);
  } else {
    playTone(800);
    playTone(400);
  }
  console.brailleMode = mode;
}
