// The narrow interface between the console model and a display backend.
//
// The model (planes, cursor, key queue, Braille, settings) lives in klcrt_*.cpp
// and carries no window-system types. A backend gives it a window, pixels,
// events and time; one file a backend, as klcrt_sdl.cpp and klcrt_headless.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

// Windows virtual-key codes used by the key tables.
enum : uint8_t {
  VK_CANCEL = 3, VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16,
  VK_CONTROL = 17, VK_MENU = 18, VK_ESCAPE = 27, VK_SPACE = 32,
  VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37,
  VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46,
  VK_0 = '0', VK_9 = '9', VK_A = 'A', VK_Z = 'Z',
  VK_F1 = 112, VK_F10 = 121, VK_F11 = 122, VK_F12 = 123,
};

enum class ConsoleEventKind : uint8_t {
  None,
  KeyDown,     // code = virtual key
  SysKeyDown,  // code = virtual key; Alt held without Ctrl, or F10
  KeyUp,       // code = virtual key
  Char,        // code = Windows-1252 character
  FocusIn,
  FocusOut,
  Paint,       // x, y, w, h: the client rectangle to repaint
  Close,       // close box, system menu, Alt+F4
  Quit,        // a quit request for the thread
  User,        // message with param1, param2 (957, 1123, 2980)
  RightDown,   // x, y: pointer in client pixels
  RightUp,
  PointerMove,
};

struct ConsoleEvent {
  ConsoleEventKind kind = ConsoleEventKind::None;
  uint8_t code = 0;
  bool shift = false, ctrl = false, alt = false;  // held when the event happened
  int x = 0, y = 0, w = 0, h = 0;
  unsigned message = 0;
  uintptr_t param1 = 0, param2 = 0;
};

struct Rgb {
  uint8_t r, g, b;
};

// What the model asks of a window at creation.
struct WindowRequest {
  const char *title;        // Windows-1252
  const char *fontFace;     // empty: the system chooses
  int fontWidth, fontHeight;  // pixels
  int fontWeight;           // 100-900, 0 = default
  bool maximised;
};

// What the window answers: the cell metrics of the font actually opened and
// the outer size computed from them.
struct CellMetrics {
  int cellWidth, cellHeight, ascent, overhang;
  int outerWidth, outerHeight;  // the magnifier's W x H
};

struct ConsoleBackend {
  const char *name;
  // Connects to the display; false (with the reason in *why) when unusable.
  bool (*open)(const char **why);
  // Creates and shows the window; fills the metrics. Events that creation
  // produces (focus, paint) are queued, not handled.
  bool (*createWindow)(const WindowRequest &request, CellMetrics &metrics);
  void (*destroyWindow)();
  void (*setTitle)(const char *title);  // Windows-1252
  // The desktop's usable area in pixels (the font size is derived from it).
  void (*workArea)(int &width, int &height);

  // Pixels. drawText paints n Windows-1252 characters with an opaque
  // background at pixel (x, y), each cell cellWidth wide.
  void (*drawText)(int x, int y, const uint8_t *text, int n, Rgb fg, Rgb bg);
  // Blit scrolling is allowed now: the window is active and its bottom edge
  // lies above the screen height minus 32 pixels.
  bool (*canBlitScroll)();
  // Moves pixel rows [top+dy, bottom) up by dy and fills the freed strip.
  void (*scrollPixels)(int top, int bottom, int dy, Rgb fill);
  void (*invalidate)(bool erase);  // marks the whole client area for repainting
  void (*update)();                // runs a pending repaint now (through the model)
  // Shows what was drawn since the last present. The model calls it at the
  // end of every write, clear, scroll and paint.
  void (*present)();

  void (*showCaret)(int x, int y, int w, int h);
  void (*hideCaret)();
  void (*beep)();

  // Magnifier: snapshot the client area (w x h), draw the snapshot's source
  // rectangle stretched over (0, 0, w, h), discard the snapshot.
  void (*magnifyBegin)(int w, int h);
  void (*magnifyDraw)(int sx, int sy, int sw, int sh, int w, int h);
  void (*magnifyEnd)();

  // Events. poll takes the next pending event (false when none). wait blocks
  // until one is pending; waitingForKey tells the backend that readKey is the
  // caller (the headless backend delivers the next scripted key then).
  bool (*poll)(ConsoleEvent &event);
  void (*wait)(bool waitingForKey);
  void (*post)(const ConsoleEvent &event);  // any thread
  void (*sleep)(unsigned milliseconds);     // without processing events
  uint64_t (*clock)();                      // milliseconds

  // Tones: plays a RIFF wave image from memory in a loop, or stops it.
  void (*playLoop)(const uint8_t *wave, size_t size);
  void (*stopLoop)();

  // Message boxes: the model draws the box and presents it, then this waits
  // until the player closes it with Enter or Escape. Other keys and text
  // typed meanwhile are dropped; every other event stays queued for later.
  // Null where nobody sits at a window (headless, terminal): boxes then go
  // only to stderr.
  void (*awaitMessageBoxClose)();
};

extern const ConsoleBackend sdlConsoleBackend;
extern const ConsoleBackend headlessConsoleBackend;

// The active backend (set by selectConsoleBackend).
extern const ConsoleBackend *consoleBackend;

// Called by a backend's update() to repaint a client rectangle.
void paintConsoleRect(int x, int y, int w, int h);
