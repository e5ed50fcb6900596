// The SDL display on SDL's dummy video driver: key translation into the
// Windows-style events, posted messages, and the pixels drawn.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "klcrt_backend.h"

namespace {

const ConsoleBackend &b = sdlConsoleBackend;

std::string describe(const ConsoleEvent &e) {
  std::string s;
  switch (e.kind) {
    case ConsoleEventKind::KeyDown: s = "down " + std::to_string(e.code); break;
    case ConsoleEventKind::SysKeyDown: s = "sys " + std::to_string(e.code); break;
    case ConsoleEventKind::KeyUp: s = "up " + std::to_string(e.code); break;
    case ConsoleEventKind::Char: s = "char " + std::to_string(e.code); break;
    case ConsoleEventKind::Close: return "close";
    case ConsoleEventKind::Quit: return "quit";
    case ConsoleEventKind::Paint: return "paint";
    case ConsoleEventKind::FocusIn: return "focus";
    case ConsoleEventKind::FocusOut: return "blur";
    case ConsoleEventKind::RightDown: return "rdown " + std::to_string(e.x) + "," + std::to_string(e.y);
    case ConsoleEventKind::RightUp: return "rup " + std::to_string(e.x) + "," + std::to_string(e.y);
    case ConsoleEventKind::PointerMove: return "move " + std::to_string(e.x) + "," + std::to_string(e.y);
    case ConsoleEventKind::User:
      return "user " + std::to_string(e.message) + " " + std::to_string(e.param1) + " " + std::to_string(e.param2);
    default: return "other";
  }
  std::string mods = std::string(e.shift ? "s" : "") + (e.ctrl ? "c" : "") + (e.alt ? "a" : "");
  return mods.empty() ? s : s + " " + mods;
}

SDL_Event keyDown(SDL_Scancode sc, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint32 type = SDL_KEYDOWN) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = sc;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  return e;
}

SDL_Event keyUp(SDL_Scancode sc, SDL_Keycode sym, Uint16 mod = KMOD_NONE) { return keyDown(sc, sym, mod, SDL_KEYUP); }

SDL_Event text(const char *utf8) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_TEXTINPUT;
  SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
  return e;
}

SDL_Event windowEvent(Uint8 which) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_WINDOWEVENT;
  e.window.event = which;
  return e;
}

SDL_Event mouseButton(Uint32 type, Uint8 button, int x, int y) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.button.button = button;
  e.button.x = x;
  e.button.y = y;
  return e;
}

std::string drain() {
  std::string out;
  ConsoleEvent e;
  while (b.poll(e)) out += (out.empty() ? "" : " | ") + describe(e);
  return out;
}

class SdlDisplay : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }

  void SetUp() override {
    const char *why = nullptr;
    ASSERT_TRUE(b.open(&why)) << (why ? why : "");
    WindowRequest request{"retenza", "", 13, 28, 700, false};
    ASSERT_TRUE(b.createWindow(request, m));
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    drain();
    for (Uint32 id = 1; id < 256; ++id)
      if (SDL_Window *w = SDL_GetWindowFromID(id)) window = w;
    ASSERT_NE(window, nullptr);
  }

  void TearDown() override { b.destroyWindow(); }

  std::string feed(std::initializer_list<SDL_Event> events) {
    for (SDL_Event e : events) SDL_PushEvent(&e);
    return drain();
  }

  // A pixel of what the window shows.
  Rgb pixel(int x, int y) {
    SDL_Surface *s = SDL_GetWindowSurface(window);
    Uint32 value = 0;
    std::memcpy(&value, static_cast<uint8_t *>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel,
                s->format->BytesPerPixel);
    Rgb c{};
    SDL_GetRGB(value, s->format, &c.r, &c.g, &c.b);
    return c;
  }

  int width() { return SDL_GetWindowSurface(window)->w; }
  int height() { return SDL_GetWindowSurface(window)->h; }

  // How many pixels of a rectangle have exactly this colour.
  int count(int x, int y, int w, int h, Rgb c) {
    int n = 0;
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) {
        Rgb p = pixel(i, j);
        n += p.r == c.r && p.g == c.g && p.b == c.b;
      }
    return n;
  }

  CellMetrics m{};
  SDL_Window *window = nullptr;
};

const Rgb BLACK{0, 0, 0}, WHITE{255, 255, 255}, BLUE{0, 0, 255}, RED{255, 0, 0}, GREEN{0, 255, 0},
    YELLOW{255, 255, 0};

struct KeyCase {
  const char *name;
  std::vector<SDL_Event> events;
  const char *expected;
};

TEST_F(SdlDisplay, KeysBecomeWindowsKeyDownCharacterAndKeyUp) {
  const KeyCase cases[] = {
      {"Enter", {keyDown(SDL_SCANCODE_RETURN, SDLK_RETURN), keyUp(SDL_SCANCODE_RETURN, SDLK_RETURN)},
       "down 13 | char 13 | up 13"},
      {"Ctrl+Enter keeps 13 with Ctrl", {keyDown(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LCTRL)}, "down 13 c | char 13 c"},
      {"Ctrl+Backspace", {keyDown(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, KMOD_RCTRL)}, "down 8 c | char 8 c"},
      {"Tab and Esc", {keyDown(SDL_SCANCODE_TAB, SDLK_TAB), keyDown(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE)},
       "down 9 | char 9 | down 27 | char 27"},
      {"Ctrl+Tab makes no character", {keyDown(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_LCTRL)}, "down 9 c"},
      {"Ctrl+A; text the driver adds is not sent twice",
       {keyDown(SDL_SCANCODE_A, 'a', KMOD_LCTRL), text("a")}, "down 65 c | char 1 c"},
      {"Ctrl+Z", {keyDown(SDL_SCANCODE_Z, 'z', KMOD_LCTRL)}, "down 90 c | char 26 c"},
      {"Ctrl+Space", {keyDown(SDL_SCANCODE_SPACE, ' ', KMOD_LCTRL), text(" ")}, "down 32 c | char 32 c"},
      {"a letter types through the text", {keyDown(SDL_SCANCODE_A, 'a', KMOD_LSHIFT), text("A")},
       "down 65 s | char 65 s"},
      {"Alt+A is a system key and types nothing", {keyDown(SDL_SCANCODE_A, 'a', KMOD_LALT), text("a")}, "sys 65 a"},
      {"Alt+Enter types nothing", {keyDown(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT)}, "sys 13 a"},
      {"Alt+F4 closes the window", {keyDown(SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT)}, "sys 115 a | close"},
      {"F10 is a system key", {keyDown(SDL_SCANCODE_F10, SDLK_F10)}, "sys 121"},
      {"Ctrl+Alt+F11 is a plain key-down", {keyDown(SDL_SCANCODE_F11, SDLK_F11, KMOD_LCTRL | KMOD_LALT)},
       "down 122 ca"},
      {"Ctrl+Alt+A makes no Ctrl character", {keyDown(SDL_SCANCODE_A, 'a', KMOD_LCTRL | KMOD_LALT)}, "down 65 ca"},
      {"Ctrl+Break is Cancel, Pause alone is Pause",
       {keyDown(SDL_SCANCODE_PAUSE, SDLK_PAUSE, KMOD_LCTRL), keyDown(SDL_SCANCODE_PAUSE, SDLK_PAUSE)},
       "down 3 c | down 19"},
      {"F1, F12, F13", {keyDown(SDL_SCANCODE_F1, SDLK_F1), keyDown(SDL_SCANCODE_F12, SDLK_F12),
                        keyDown(SDL_SCANCODE_F13, SDLK_F13)},
       "down 112 | down 123 | down 124"},
      {"editing and cursor keys",
       {keyDown(SDL_SCANCODE_INSERT, SDLK_INSERT), keyDown(SDL_SCANCODE_DELETE, SDLK_DELETE),
        keyDown(SDL_SCANCODE_HOME, SDLK_HOME), keyDown(SDL_SCANCODE_END, SDLK_END),
        keyDown(SDL_SCANCODE_PAGEUP, SDLK_PAGEUP), keyDown(SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN),
        keyDown(SDL_SCANCODE_LEFT, SDLK_LEFT), keyDown(SDL_SCANCODE_UP, SDLK_UP),
        keyDown(SDL_SCANCODE_RIGHT, SDLK_RIGHT), keyDown(SDL_SCANCODE_DOWN, SDLK_DOWN)},
       "down 45 | down 46 | down 36 | down 35 | down 33 | down 34 | down 37 | down 38 | down 39 | down 40"},
      {"the keypad follows NumLock",
       {keyDown(SDL_SCANCODE_KP_8, SDLK_KP_8), keyDown(SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM),
        keyDown(SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD), keyDown(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER)},
       "down 38 | down 104 | down 46 | down 13 | char 13"},
      {"AZERTY: digits by position, letters by layout",
       {keyDown(SDL_SCANCODE_1, '&'), keyDown(SDL_SCANCODE_Q, 'a')}, "down 49 | down 65"},
      {"modifier keys themselves", {keyDown(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT),
                                    keyDown(SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL),
                                    keyDown(SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT), keyUp(SDL_SCANCODE_LALT, SDLK_LALT)},
       "down 16 s | down 17 c | sys 18 a | up 18"},
      {"Windows-1252 text; what it lacks is dropped", {text("a\xC3\xA7\xC3\xA3o\xE2\x82\xAC"), text("\xE6\x97\xA5x")},
       "char 97 | char 231 | char 227 | char 111 | char 128 | char 120"},
      {"AltGr (right Alt) characters pass, its plain letter does not",
       {keyDown(SDL_SCANCODE_Q, 'q', KMOD_RALT), text("/"), keyDown(SDL_SCANCODE_Q, 'q', KMOD_RALT), text("q")},
       "sys 81 a | char 47 a | sys 81 a"},
      {"Braille chord keys come down and up in order",
       {keyDown(SDL_SCANCODE_D, 'd'), text("d"), keyDown(SDL_SCANCODE_S, 's'), text("s"),
        keyUp(SDL_SCANCODE_D, 'd'), keyUp(SDL_SCANCODE_S, 's')},
       "down 68 | char 100 | down 83 | char 115 | up 68 | up 83"},
  };
  for (const KeyCase &c : cases) {
    for (SDL_Event e : c.events) SDL_PushEvent(&e);
    EXPECT_EQ(drain(), c.expected) << c.name;
  }
}

TEST_F(SdlDisplay, WindowAndPointerEvents) {
  EXPECT_EQ(feed({windowEvent(SDL_WINDOWEVENT_CLOSE)}), "close");
  SDL_Event quit;
  SDL_zero(quit);
  quit.type = SDL_QUIT;
  EXPECT_EQ(feed({quit}), "quit");
  EXPECT_EQ(feed({windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), windowEvent(SDL_WINDOWEVENT_FOCUS_LOST)}),
            "focus | blur");
  // Several exposes in a row are one repaint.
  EXPECT_EQ(feed({windowEvent(SDL_WINDOWEVENT_EXPOSED), windowEvent(SDL_WINDOWEVENT_EXPOSED)}), "paint");

  SDL_Event move;
  SDL_zero(move);
  move.type = SDL_MOUSEMOTION;
  move.motion.x = 30;
  move.motion.y = 40;
  EXPECT_EQ(feed({mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 2),
                  mouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 10, 20), move,
                  mouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 30, 40)}),
            "rdown 10,20 | move 30,40 | rup 30,40");
}

TEST_F(SdlDisplay, InvalidatedAreaIsRepaintedOnceWhenTheQueueIsEmpty) {
  b.invalidate(false);
  EXPECT_EQ(feed({windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED)}), "focus | paint");
  EXPECT_EQ(drain(), "");
}

TEST_F(SdlDisplay, MessagePostedFromAnotherThreadWakesTheWait) {
  std::thread poster([] {
    SDL_Delay(50);
    ConsoleEvent e;
    e.kind = ConsoleEventKind::User;
    e.message = 957;
    e.param1 = 11;
    e.param2 = 22;
    b.post(e);
  });
  b.wait(false);
  poster.join();
  EXPECT_EQ(drain(), "user 957 11 22");
}

TEST_F(SdlDisplay, MetricsComeFromTheOpenedFont) {
  EXPECT_GT(m.cellWidth, 5);
  EXPECT_LE(m.cellWidth, 13);  // the requested width is not exceeded
  EXPECT_GE(m.cellHeight, 18);
  EXPECT_LE(m.cellHeight, 30);
  EXPECT_GT(m.ascent, 0);
  EXPECT_LT(m.ascent, m.cellHeight);
  EXPECT_EQ(m.outerWidth, 80 * m.cellWidth);
  EXPECT_EQ(m.outerHeight, 25 * m.cellHeight);
  // Never larger than the text area.
  int w, h;
  SDL_GetWindowMaximumSize(window, &w, &h);
  EXPECT_LE(w, m.outerWidth);
  EXPECT_LE(h, m.outerHeight);
}

TEST_F(SdlDisplay, TextIsDrawnInItsCellsOnly) {
  const int cw = m.cellWidth, ch = m.cellHeight;
  const uint8_t text[] = {'W', 0x81, ' ', 0xC7};  // 0x81 has no character
  b.drawText(cw, ch, text, 4, WHITE, BLUE);
  b.present();
  EXPECT_GT(count(cw, ch, cw, ch, WHITE), 0) << "the W";
  EXPECT_GT(count(4 * cw, ch, cw, ch, WHITE), 0) << "the C cedilla";
  EXPECT_EQ(count(2 * cw, ch, 2 * cw, ch, BLUE), 2 * cw * ch) << "no glyph, only the background";
  EXPECT_EQ(count(0, ch, cw, ch, BLACK), cw * ch) << "left neighbour untouched";
  EXPECT_EQ(count(5 * cw, ch, cw, ch, BLACK), cw * ch) << "right neighbour untouched";
  EXPECT_EQ(count(cw, 0, 4 * cw, ch, BLACK), 4 * cw * ch) << "row above untouched";
  EXPECT_EQ(count(cw, 2 * ch, 4 * cw, ch, BLACK), 4 * cw * ch) << "row below untouched";

  // Runs that leave the client area are cut, not written past it.
  const uint8_t many[200] = {};
  b.drawText(-5 * cw, -ch / 2, many, 200, WHITE, RED);
  b.drawText(width() - cw, height() - 1, many, 200, WHITE, RED);
  b.drawText(width() + 10, 0, many, 1, WHITE, RED);
  b.present();
  EXPECT_EQ(pixel(0, 0).r, 255);
  EXPECT_EQ(pixel(width() - 1, height() - 1).r, 255);
}

TEST_F(SdlDisplay, ScrollMovesPixelsUpAndFillsTheFreedRow) {
  const int cw = m.cellWidth, ch = m.cellHeight, rows = height() / ch;
  const uint8_t blanks[3] = {' ', ' ', ' '};
  b.drawText(0, ch, blanks, 3, WHITE, GREEN);
  b.scrollPixels(0, rows * ch, ch, RED);
  b.present();
  EXPECT_EQ(count(0, 0, 3 * cw, ch, GREEN), 3 * cw * ch);
  EXPECT_EQ(count(0, ch, 3 * cw, ch, BLACK), 3 * cw * ch);
  EXPECT_EQ(count(0, (rows - 1) * ch, width(), ch, RED), width() * ch);
  // Odd arguments change nothing and write nowhere else.
  b.scrollPixels(0, rows * ch, 0, BLUE);
  b.scrollPixels(-100, 100000, 100000, BLUE);
  b.present();
  EXPECT_EQ(count(0, 0, width(), height(), BLUE), width() * height());
}

TEST_F(SdlDisplay, CaretInvertsTheCellBottomAndGoesAway) {
  const int cw = m.cellWidth, ch = m.cellHeight;
  const uint8_t blank = ' ';
  b.drawText(2 * cw, 0, &blank, 1, WHITE, BLUE);
  b.showCaret(cw, m.ascent, cw, 2);
  EXPECT_EQ(count(cw, m.ascent, cw, 2, WHITE), 2 * cw);
  EXPECT_EQ(count(cw, m.ascent + 2, cw, ch - m.ascent - 2, BLACK), cw * (ch - m.ascent - 2));
  b.showCaret(2 * cw, m.ascent, cw, 2);
  EXPECT_EQ(count(2 * cw, m.ascent, cw, 2, YELLOW), 2 * cw) << "blue inverted";
  EXPECT_EQ(count(cw, m.ascent, cw, 2, BLACK), 2 * cw) << "the caret moved";
  b.hideCaret();
  EXPECT_EQ(count(2 * cw, m.ascent, cw, 2, BLUE), 2 * cw);
}

TEST_F(SdlDisplay, MagnifierStretchesTheSnapshot) {
  const int cw = m.cellWidth, ch = m.cellHeight;
  const uint8_t blank = ' ';
  b.drawText(0, 0, &blank, 1, WHITE, BLUE);
  b.magnifyBegin(m.outerWidth, m.outerHeight);
  b.magnifyDraw(0, 0, m.outerWidth / 2, m.outerHeight / 2, m.outerWidth, m.outerHeight);
  EXPECT_EQ(count(0, 0, 2 * cw - 1, 2 * ch - 1, BLUE), (2 * cw - 1) * (2 * ch - 1));
  EXPECT_EQ(count(2 * cw + 1, 0, cw, ch, BLACK), cw * ch);
  // The picture moved with the pointer; a source outside the snapshot shows black.
  b.magnifyDraw(cw / 2, 0, m.outerWidth / 2, m.outerHeight / 2, m.outerWidth, m.outerHeight);
  EXPECT_EQ(count(cw + 1, 0, cw - 2, ch, BLACK), (cw - 2) * ch);
  b.magnifyDraw(100000, 100000, m.outerWidth / 2, m.outerHeight / 2, m.outerWidth, m.outerHeight);
  EXPECT_EQ(count(0, 0, width(), height(), BLACK), width() * height());
  b.magnifyEnd();
  b.magnifyDraw(0, 0, 10, 10, 20, 20);  // no snapshot: nothing happens
}

TEST_F(SdlDisplay, MalformedToneImagesAreRefused) {
  uint8_t image[100] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  // A data length far beyond the image is cut to the image.
  image[40] = 0xFF, image[41] = 0xFF, image[42] = 0xFF, image[43] = 0x7F;
  b.playLoop(image, sizeof image);
  SDL_Delay(30);
  b.stopLoop();
  b.playLoop(image, 44);      // no data
  b.playLoop(image, 10);      // shorter than a header
  b.playLoop(nullptr, 1000);
  image[0] = 'X';
  b.playLoop(image, sizeof image);
  b.stopLoop();
  b.stopLoop();
}

}  // namespace
