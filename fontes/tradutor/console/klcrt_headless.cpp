// The headless display: the console model with no window, on a virtual
// clock, fed by a key script (KALEVO_INPUT). Used by tests and automation.
//
// Script lines, one event each:
//   key NAME [shift] [ctrl] [alt]   key-down, the character it makes, key-up
//   type TEXT                        each character of TEXT (UTF-8) typed
//   down NAME / up NAME              a bare key-down or key-up (Braille chords)
//   focus / blur / close             focus gained, lost; the close box
//   wait MS                          the next event comes MS ms after the previous
// Blank lines and lines starting with '#' are skipped.
// An untimed event is delivered when the program next waits in readKey; a
// timed one when the clock reaches its time, whatever the program is doing.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "klcodepage.h"
#include "klcrt_backend.h"
#include "klcrt_headless.h"

namespace {

struct ScriptEntry {
  std::vector<ConsoleEvent> events;
  bool timed = false;
  uint64_t waitMs = 0;
};

struct TimedEvent {
  uint64_t due;
  ConsoleEvent event;
};

std::mutex queueLock;
std::deque<ConsoleEvent> pending;
std::vector<TimedEvent> timers;
std::vector<ScriptEntry> script;
size_t scriptNext = 0;
uint64_t virtualClock = 0;
uint64_t lastScriptEvent = 0;
bool closeSent = false;
HeadlessStats stats;

struct NamedKey {
  const char *name;
  uint8_t vk;
};

const NamedKey NAMED_KEYS[] = {
    {"F1", VK_F1},          {"F2", VK_F1 + 1},      {"F3", VK_F1 + 2},      {"F4", VK_F1 + 3},
    {"F5", VK_F1 + 4},      {"F6", VK_F1 + 5},      {"F7", VK_F1 + 6},      {"F8", VK_F1 + 7},
    {"F9", VK_F1 + 8},      {"F10", VK_F10},        {"F11", VK_F11},        {"F12", VK_F12},
    {"Insert", VK_INSERT},  {"Delete", VK_DELETE},  {"Home", VK_HOME},      {"End", VK_END},
    {"PageUp", VK_PRIOR},   {"PageDown", VK_NEXT},  {"Up", VK_UP},          {"Down", VK_DOWN},
    {"Left", VK_LEFT},      {"Right", VK_RIGHT},    {"Return", VK_RETURN},  {"Escape", VK_ESCAPE},
    {"BackSpace", VK_BACK}, {"Tab", VK_TAB},        {"Space", VK_SPACE},    {"Cancel", VK_CANCEL},
};

bool sameWord(const std::string &a, const char *b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The virtual key of a key name; -1 when unknown.
int keyByName(const std::string &name) {
  if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0])))
    return std::toupper(static_cast<unsigned char>(name[0]));
  if (name.size() == 1 && std::isdigit(static_cast<unsigned char>(name[0]))) return name[0];
  for (const NamedKey &k : NAMED_KEYS)
    if (sameWord(name, k.name)) return k.vk;
  return -1;
}

// The character a US Windows keyboard layout makes for a key; -1 for none.
int layoutChar(uint8_t vk, bool shift, bool ctrl, bool alt) {
  if (alt) return -1;  // Alt alone makes system characters; Ctrl+Alt (AltGr) none on this layout
  if (vk >= 'A' && vk <= 'Z') return ctrl ? vk - 64 : (shift ? vk : vk + 32);
  if (vk >= '0' && vk <= '9') {
    static const char SHIFTED[] = ")!@#$%^&*(";
    if (ctrl) return -1;
    return shift ? SHIFTED[vk - '0'] : vk;
  }
  switch (vk) {
    case VK_RETURN: return 13;
    case VK_BACK: return 8;
    case VK_ESCAPE: return 27;
    case VK_TAB: return ctrl ? -1 : 9;
    case VK_SPACE: return 32;
    case VK_CANCEL: return ctrl ? 3 : -1;
    default: return -1;
  }
}

ConsoleEvent makeEvent(ConsoleEventKind kind, uint8_t code = 0, bool shift = false, bool ctrl = false,
                       bool alt = false) {
  ConsoleEvent e;
  e.kind = kind;
  e.code = code;
  e.shift = shift;
  e.ctrl = ctrl;
  e.alt = alt;
  return e;
}

std::vector<std::string> splitWords(const std::string &line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// Parses one line into entries; false when the line is not understood.
bool parseLine(const std::string &raw, std::vector<ScriptEntry> &out, uint64_t &pendingWait, bool &waitSeen) {
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::vector<std::string> words = splitWords(line);
  if (words.empty() || words[0][0] == '#') return true;
  const std::string &verb = words[0];

  auto push = [&](std::vector<ConsoleEvent> events) {
    ScriptEntry entry;
    entry.events = std::move(events);
    entry.timed = waitSeen;
    entry.waitMs = pendingWait;
    waitSeen = false;
    pendingWait = 0;
    out.push_back(std::move(entry));
  };

  if (verb == "wait") {
    if (words.size() != 2) return false;
    char *end = nullptr;
    unsigned long long ms = std::strtoull(words[1].c_str(), &end, 10);
    if (*end || words[1][0] == '-' || ms > 86400000ULL) return false;
    pendingWait += ms;
    waitSeen = true;
    return true;
  }
  if (verb == "type") {
    size_t at = line.find("type") + 4;
    if (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    std::string text = utf8ToCp1252(std::string_view(line).substr(at < line.size() ? at : line.size()));
    if (text.empty()) return false;
    for (unsigned char c : text) push({makeEvent(ConsoleEventKind::Char, c)});
    return true;
  }
  if (verb == "key") {
    if (words.size() < 2) return false;
    int vk = keyByName(words[1]);
    if (vk < 0) return false;
    bool shift = false, ctrl = false, alt = false;
    for (size_t i = 2; i < words.size(); ++i) {
      if (sameWord(words[i], "shift")) shift = true;
      else if (sameWord(words[i], "ctrl")) ctrl = true;
      else if (sameWord(words[i], "alt")) alt = true;
      else return false;
    }
    uint8_t v = static_cast<uint8_t>(vk);
    bool system = (alt && !ctrl) || v == VK_F10;
    std::vector<ConsoleEvent> events;
    events.push_back(makeEvent(system ? ConsoleEventKind::SysKeyDown : ConsoleEventKind::KeyDown, v, shift,
                               ctrl, alt));
    int c = layoutChar(v, shift, ctrl, alt);
    if (c >= 0) events.push_back(makeEvent(ConsoleEventKind::Char, static_cast<uint8_t>(c), shift, ctrl, alt));
    events.push_back(makeEvent(ConsoleEventKind::KeyUp, v, shift, ctrl, alt));
    // Alt+F4's default handling is the close box; there is no window manager
    // here to do it, so the display does it itself.
    if (system && v == VK_F1 + 3) events.push_back(makeEvent(ConsoleEventKind::Close));
    push(std::move(events));
    return true;
  }
  if (verb == "down" || verb == "up") {
    if (words.size() != 2) return false;
    int vk = keyByName(words[1]);
    if (vk < 0) return false;
    push({makeEvent(verb == "down" ? ConsoleEventKind::KeyDown : ConsoleEventKind::KeyUp,
                    static_cast<uint8_t>(vk))});
    return true;
  }
  if (words.size() != 1) return false;
  if (verb == "focus") return push({makeEvent(ConsoleEventKind::FocusIn)}), true;
  if (verb == "blur") return push({makeEvent(ConsoleEventKind::FocusOut)}), true;
  if (verb == "close") return push({makeEvent(ConsoleEventKind::Close)}), true;
  return false;
}

void deliver(const ScriptEntry &entry) {
  for (const ConsoleEvent &e : entry.events) pending.push_back(e);
}

// Moves what is due by now into the queue (caller holds the lock).
void releaseDue() {
  for (size_t i = 0; i < timers.size();) {
    if (timers[i].due <= virtualClock) {
      pending.push_back(timers[i].event);
      timers.erase(timers.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
  while (scriptNext < script.size() && script[scriptNext].timed &&
         lastScriptEvent + script[scriptNext].waitMs <= virtualClock) {
    lastScriptEvent += script[scriptNext].waitMs;
    deliver(script[scriptNext++]);
  }
}

bool headlessOpen(const char **why) {
  const char *path = std::getenv("KALEVO_INPUT");
  if (!path || !*path) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "the key script named by KALEVO_INPUT cannot be read";
    return false;
  }
  std::string line;
  uint64_t pendingWait = 0;
  bool waitSeen = false;
  for (unsigned number = 1; std::getline(in, line); ++number) {
    if (!parseLine(line, script, pendingWait, waitSeen)) {
      std::fprintf(stderr, "KALEVO_INPUT line %u is not understood: %s\n", number,
                   cp1252ToUtf8(utf8ToCp1252(line)).c_str());
      std::exit(2);
    }
  }
  return true;
}

bool headlessCreateWindow(const WindowRequest &request, CellMetrics &m) {
  (void)request;
  m.cellWidth = 8;
  m.cellHeight = 16;
  m.ascent = 12;
  m.overhang = 0;
  m.outerWidth = 80 * m.cellWidth;
  m.outerHeight = 25 * m.cellHeight;
  std::lock_guard<std::mutex> lock(queueLock);
  pending.push_back(makeEvent(ConsoleEventKind::FocusIn));
  ++stats.windowsCreated;
  return true;
}

void headlessDestroyWindow() {}
void headlessSetTitle(const char *title) { stats.title = title ? title : ""; }
void headlessWorkArea(int &width, int &height) {
  width = 1024;
  height = 734;
}
void headlessDrawText(int, int, const uint8_t *, int n, Rgb, Rgb) {
  ++stats.drawCalls;
  stats.cellsDrawn += static_cast<uint64_t>(n);
}
bool headlessCanBlitScroll() { return true; }
void headlessScrollPixels(int, int, int, Rgb) { ++stats.blitScrolls; }
void headlessInvalidate(bool) { ++stats.invalidations; }
void headlessUpdate() {}
void headlessPresent() {}
void headlessShowCaret(int x, int y, int w, int h) {
  stats.caretVisible = true;
  stats.caretX = x, stats.caretY = y, stats.caretW = w, stats.caretH = h;
}
void headlessHideCaret() { stats.caretVisible = false; }
void headlessBeep() { ++stats.beeps; }
void headlessMagnifyBegin(int, int) { stats.magnifying = true; }
void headlessMagnifyDraw(int sx, int sy, int sw, int sh, int, int) {
  stats.magnifierSource[0] = sx, stats.magnifierSource[1] = sy;
  stats.magnifierSource[2] = sw, stats.magnifierSource[3] = sh;
}
void headlessMagnifyEnd() { stats.magnifying = false; }

bool headlessPoll(ConsoleEvent &event) {
  std::lock_guard<std::mutex> lock(queueLock);
  releaseDue();
  if (pending.empty()) return false;
  event = pending.front();
  pending.pop_front();
  return true;
}

// Nothing is pending: move the clock to the next thing that will happen; a
// player asked for a key answers with the next scripted event; with nothing
// left to happen, the player closes the window (so a script never hangs).
void headlessWait(bool waitingForKey) {
  std::lock_guard<std::mutex> lock(queueLock);
  releaseDue();
  if (!pending.empty()) return;
  bool haveDue = false;
  uint64_t due = 0;
  for (const TimedEvent &t : timers)
    if (!haveDue || t.due < due) due = t.due, haveDue = true;
  bool nextScriptUntimed = scriptNext < script.size() && !script[scriptNext].timed;
  if (scriptNext < script.size() && script[scriptNext].timed) {
    uint64_t at = lastScriptEvent + script[scriptNext].waitMs;
    if (!haveDue || at < due) due = at, haveDue = true;
  }
  if (waitingForKey && nextScriptUntimed) {
    lastScriptEvent = virtualClock;
    deliver(script[scriptNext++]);
    return;
  }
  if (haveDue) {
    if (due > virtualClock) virtualClock = due;
    releaseDue();
    return;
  }
  if (nextScriptUntimed) {
    lastScriptEvent = virtualClock;
    deliver(script[scriptNext++]);
    return;
  }
  if (!closeSent) {
    closeSent = true;
    pending.push_back(makeEvent(ConsoleEventKind::Close));
    return;
  }
  pending.push_back(makeEvent(ConsoleEventKind::Quit));
}

void headlessPost(const ConsoleEvent &event) {
  std::lock_guard<std::mutex> lock(queueLock);
  pending.push_back(event);
}

void headlessSleep(unsigned milliseconds) {
  std::lock_guard<std::mutex> lock(queueLock);
  virtualClock += milliseconds;
}

uint64_t headlessClock() {
  std::lock_guard<std::mutex> lock(queueLock);
  return virtualClock;
}

void headlessPlayLoop(const uint8_t *, size_t size) {
  stats.tonePlaying = true;
  stats.toneBytes = size;
  ++stats.tonesStarted;
}
void headlessStopLoop() { stats.tonePlaying = false; }

}  // namespace

const ConsoleBackend headlessConsoleBackend = {
    "headless",          headlessOpen,          headlessCreateWindow, headlessDestroyWindow,
    headlessSetTitle,    headlessWorkArea,      headlessDrawText,     headlessCanBlitScroll,
    headlessScrollPixels, headlessInvalidate,   headlessUpdate,       headlessPresent,
    headlessShowCaret,   headlessHideCaret,     headlessBeep,         headlessMagnifyBegin,
    headlessMagnifyDraw, headlessMagnifyEnd,    headlessPoll,         headlessWait,
    headlessPost,        headlessSleep,         headlessClock,        headlessPlayLoop,
    headlessStopLoop,    nullptr,
};

void headlessPostAt(uint64_t due, const ConsoleEvent &event) {
  std::lock_guard<std::mutex> lock(queueLock);
  timers.push_back({due, event});
}

void headlessInject(const ConsoleEvent &event) { headlessPost(event); }

const HeadlessStats &headlessStats() { return stats; }
