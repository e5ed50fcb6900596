#include "terminal.h"

#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

namespace {

std::mutex queueLock;
std::condition_variable queueWake;
std::deque<ConsoleEvent> pending;
const auto startTime = std::chrono::steady_clock::now();

termios savedTerminal;
bool terminalChanged = false;

bool terminalOpen(const char **) { return true; }

bool terminalCreateWindow(const WindowRequest &, CellMetrics &m) {
  m.cellWidth = 8;
  m.cellHeight = 16;
  m.ascent = 12;
  m.overhang = 0;
  m.outerWidth = 80 * m.cellWidth;
  m.outerHeight = 25 * m.cellHeight;
  return true;
}

void terminalDestroyWindow() {}
void terminalSetTitle(const char *) {}
void terminalWorkArea(int &width, int &height) {
  width = 1024;
  height = 734;
}
void terminalDrawText(int, int, const uint8_t *, int, Rgb, Rgb) {}
bool terminalCanBlitScroll() { return true; }
void terminalScrollPixels(int, int, int, Rgb) {}
void terminalInvalidate(bool) {}
void terminalUpdate() {}
void terminalPresent() {}
void terminalShowCaret(int, int, int, int) {}
void terminalHideCaret() {}
void terminalBeep() {}
void terminalMagnifyBegin(int, int) {}
void terminalMagnifyDraw(int, int, int, int, int, int) {}
void terminalMagnifyEnd() {}

bool terminalPoll(ConsoleEvent &event) {
  std::lock_guard<std::mutex> lock(queueLock);
  if (pending.empty()) return false;
  event = pending.front();
  pending.pop_front();
  return true;
}

// Sleeps until something is posted: a done notice of the sound card, the
// stop message, a key.
void terminalWait(bool) {
  std::unique_lock<std::mutex> lock(queueLock);
  queueWake.wait(lock, [] { return !pending.empty(); });
}

void terminalPost(const ConsoleEvent &event) {
  {
    std::lock_guard<std::mutex> lock(queueLock);
    pending.push_back(event);
  }
  queueWake.notify_one();
}

void terminalSleep(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

uint64_t terminalClock() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - startTime).count());
}

void terminalPlayLoop(const uint8_t *, size_t) {}
void terminalStopLoop() {}

void restoreTerminal() {
  if (terminalChanged) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

void restoreAndDie(int signal) {
  restoreTerminal();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Each byte typed is a character event; the key stays queued like a typed one.
void keyReader() {
  unsigned char byte;
  while (read(STDIN_FILENO, &byte, 1) == 1) {
    ConsoleEvent event;
    event.kind = ConsoleEventKind::Char;
    event.code = byte;
    terminalPost(event);
  }
}

}  // namespace

const ConsoleBackend terminalConsoleBackend = {
    "terminal",           terminalOpen,          terminalCreateWindow, terminalDestroyWindow,
    terminalSetTitle,     terminalWorkArea,      terminalDrawText,     terminalCanBlitScroll,
    terminalScrollPixels, terminalInvalidate,    terminalUpdate,       terminalPresent,
    terminalShowCaret,    terminalHideCaret,     terminalBeep,         terminalMagnifyBegin,
    terminalMagnifyDraw,  terminalMagnifyEnd,    terminalPoll,         terminalWait,
    terminalPost,         terminalSleep,         terminalClock,        terminalPlayLoop,
    terminalStopLoop,     nullptr,
};

void readTerminalKeys() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
  // Keys one at a time, without echo; Ctrl+C still interrupts.
  termios raw = savedTerminal;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
  terminalChanged = true;
  std::atexit(restoreTerminal);
  for (int signal : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) std::signal(signal, restoreAndDie);
  std::thread(keyReader).detach();
}
