// The SDL2 display: the console in a desktop window, drawn with SDL2_ttf
// from a font found through fontconfig, with SDL events turned into the
// Windows-style key-down, character and key-up events the key tables expect.
//
// The window's pixels live in an off-screen surface (the backing); drawing
// goes there and present() copies it to the window, with the caret on top.
#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "klcodepage.h"
#include "klcrt_backend.h"

namespace {

enum : uint8_t {
  VK_CLEAR = 12, VK_PAUSE = 19, VK_CAPITAL = 20, VK_SNAPSHOT = 44, VK_LWIN = 91, VK_RWIN = 92,
  VK_APPS = 93, VK_NUMPAD0 = 96, VK_MULTIPLY = 106, VK_ADD = 107, VK_SUBTRACT = 109,
  VK_DECIMAL = 110, VK_DIVIDE = 111, VK_F13 = 124, VK_NUMLOCK = 144, VK_SCROLL = 145,
  VK_OEM_1 = 186, VK_OEM_PLUS = 187, VK_OEM_COMMA = 188, VK_OEM_MINUS = 189, VK_OEM_PERIOD = 190,
  VK_OEM_2 = 191, VK_OEM_3 = 192, VK_ABNT_C1 = 193, VK_ABNT_C2 = 194, VK_OEM_4 = 219,
  VK_OEM_5 = 220, VK_OEM_6 = 221, VK_OEM_7 = 222, VK_OEM_102 = 226,
};

const char *const FALLBACK_FONTS[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
};

// Far beyond any real screen; keeps a silly font size from asking for
// gigabytes of pixels.
const int MAX_SURFACE_SIDE = 8192;

char openError[256];
Uint32 userEventType = static_cast<Uint32>(-1);

SDL_Window *window = nullptr;
SDL_Surface *backing = nullptr;   // the client area's pixels
SDL_Surface *snapshot = nullptr;  // the magnifier's copy
TTF_Font *font = nullptr;
SDL_Surface *glyphs[256];  // white glyph masks, tinted when drawn
bool glyphTried[256];
int cellWidth = 8, cellHeight = 16;
std::string title;

bool caretShown = false;
SDL_Rect caret{};

// A repaint asked for by invalidate(); delivered as a Paint event once the
// queue is empty, or run at once by update().
bool repaintPending = false, repaintErase = false;

// SDL events already translated, waiting to be taken by poll.
std::deque<ConsoleEvent> translated;

// Keyboard translation state: the modifiers of the last key-down, and whether
// it already produced its character (SDL may follow with text of its own).
bool lastKeyAltOnly = false, lastKeyLeftAlt = false;
SDL_Keycode lastKeySym = 0;
bool swallowText = false;
bool lastShift = false, lastCtrl = false, lastAlt = false;

// Tones.
SDL_AudioDeviceID audioDevice = 0;
bool audioFailed = false;
uint8_t loopData[65536];
size_t loopLength = 0, loopPosition = 0;
bool looping = false;
uint8_t beepData[1323];  // 120 ms at 11025 Hz
size_t beepLength = 0, beepPosition = 0;

// ---------------------------------------------------------------- font

struct FontChoice {
  std::string file;
  int index = 0;
  int weight = FC_WEIGHT_REGULAR;  // fontconfig scale
};

bool hasFamily(FcPattern *pattern, const char *face) {
  FcChar8 *family = nullptr;
  for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &family) == FcResultMatch; ++i)
    if (strcasecmp(reinterpret_cast<const char *>(family), face) == 0) return true;
  return false;
}

// The fontconfig match for a face and weight. A face that is not installed
// gives way to the best monospace font (the grid wants one).
bool matchFont(const char *face, int weight, FontChoice &choice) {
  bool anyFace = !face || !*face;
  for (int attempt = anyFace ? 1 : 0; attempt < 2; ++attempt) {
    const char *family = attempt == 0 ? face : "monospace";
    FcPattern *pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
    if (weight > 0) FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (attempt == 1) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) continue;
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(match, FC_SPACING, 0, &spacing);
    FcChar8 *file = nullptr;
    bool usable = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
                  (attempt == 1 || hasFamily(match, face) || spacing == FC_MONO);
    if (usable) {
      choice.file = reinterpret_cast<const char *>(file);
      choice.index = 0;
      FcPatternGetInteger(match, FC_INDEX, 0, &choice.index);
      choice.weight = FC_WEIGHT_REGULAR;
      FcPatternGetInteger(match, FC_WEIGHT, 0, &choice.weight);
    }
    FcPatternDestroy(match);
    if (usable) return true;
  }
  return false;
}

int averageAdvance(TTF_Font *f) {
  int total = 0, count = 0;
  for (Uint32 c = 'a'; c <= 'z'; ++c) {
    int advance = 0;
    if (TTF_GlyphMetrics32(f, c, nullptr, nullptr, nullptr, nullptr, &advance) == 0) {
      total += advance;
      ++count;
    }
  }
  return count ? (total + count / 2) / count : 0;
}

// The largest size whose height is at most the requested pixel height and,
// when a width is asked, whose average advance is at most that width.
bool fitFontSize(TTF_Font *f, int height, int width) {
  auto fits = [&](int size) {
    if (TTF_SetFontSizeDPI(f, size, 72, 72) != 0) return false;
    return TTF_FontHeight(f) <= height && (width <= 0 || averageAdvance(f) <= width);
  };
  int low = 1, high = height * 2;  // low fits (or nothing does), high does not
  if (!fits(low)) return TTF_SetFontSizeDPI(f, 1, 72, 72) == 0;
  while (fits(high) && high < 4096) low = high, high *= 2;
  while (high - low > 1) {
    int middle = (low + high) / 2;
    (fits(middle) ? low : high) = middle;
  }
  return TTF_SetFontSizeDPI(f, low, 72, 72) == 0;
}

TTF_Font *openFont(const WindowRequest &request) {
  int height = request.fontHeight > 0 ? std::min(request.fontHeight, 512) : 16;
  int width = request.fontWidth > 0 ? std::min(request.fontWidth, 512) : 0;
  int weight = request.fontWeight;
  if (!FcInit()) std::fprintf(stderr, "fontconfig could not start; trying the DejaVu fonts directly.\n");

  TTF_Font *f = nullptr;
  FontChoice choice;
  if (matchFont(request.fontFace ? request.fontFace : "", weight, choice)) {
    f = TTF_OpenFontIndexDPI(choice.file.c_str(), height, choice.index, 72, 72);
    if (!f && matchFont("", weight, choice))
      f = TTF_OpenFontIndexDPI(choice.file.c_str(), height, choice.index, 72, 72);
  }
  if (!f) {
    for (const char *path : FALLBACK_FONTS) {
      if ((f = TTF_OpenFontDPI(path, height, 72, 72))) {
        choice.weight = std::strstr(path, "Bold") ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
        break;
      }
    }
  }
  if (!f) {
    std::fprintf(stderr, "No font could be opened for the console window (%s); install fonts-dejavu-core.\n",
                 TTF_GetError());
    return nullptr;
  }
  // A bold request that found only a lighter face is emboldened.
  if (weight >= 600 && choice.weight < FC_WEIGHT_DEMIBOLD) TTF_SetFontStyle(f, TTF_STYLE_BOLD);
  TTF_SetFontHinting(f, TTF_HINTING_LIGHT);
  fitFontSize(f, height, width);
  return f;
}

void dropGlyphs() {
  for (int i = 0; i < 256; ++i) {
    if (glyphs[i]) SDL_FreeSurface(glyphs[i]);
    glyphs[i] = nullptr;
    glyphTried[i] = false;
  }
}

SDL_Surface *glyph(uint8_t byte) {
  if (glyphTried[byte]) return glyphs[byte];
  glyphTried[byte] = true;
  uint32_t cp = cp1252ToUnicode(byte);
  // Blanks and the code page's holes (C1 controls) show nothing.
  if (cp <= 32 || (cp >= 0x7F && cp <= 0xA0) || !font) return nullptr;
  SDL_Surface *s = TTF_RenderGlyph32_Blended(font, cp, SDL_Color{255, 255, 255, 255});
  if (s) SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
  glyphs[byte] = s;
  return s;
}

// ---------------------------------------------------------------- window

void usableArea(int &width, int &height) {
  SDL_Rect r;
  if (SDL_GetDisplayUsableBounds(0, &r) == 0 && r.w > 0 && r.h > 0) {
    width = r.w;
    height = r.h;
  } else {
    width = 1024;
    height = 734;
  }
}

Uint32 mapRgb(SDL_Surface *s, Rgb c) { return SDL_MapRGB(s->format, c.r, c.g, c.b); }


// Inverts the caret's pixels, as a solid system caret does.
void drawCaret(SDL_Surface *s) {
  SDL_Rect r = caret, bounds{0, 0, s->w, s->h};
  if (!SDL_IntersectRect(&r, &bounds, &r)) return;
  if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return;
  const SDL_PixelFormat *f = s->format;
  Uint32 mask = f->Rmask | f->Gmask | f->Bmask;
  for (int y = r.y; y < r.y + r.h; ++y) {
    uint8_t *row = static_cast<uint8_t *>(s->pixels) + y * s->pitch;
    for (int x = r.x; x < r.x + r.w; ++x) {
      switch (f->BytesPerPixel) {
        case 4: reinterpret_cast<Uint32 *>(row)[x] ^= mask; break;
        case 2: reinterpret_cast<Uint16 *>(row)[x] ^= static_cast<Uint16>(mask); break;
        case 3: for (int b = 0; b < 3; ++b) row[x * 3 + b] ^= 0xFF; break;
        default: break;
      }
    }
  }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
}

// ---------------------------------------------------------------- keys

uint8_t virtualKey(const SDL_Keysym &key) {
  SDL_Scancode sc = key.scancode;
  SDL_Keycode sym = key.sym;
  bool numLock = (key.mod & KMOD_NUM) != 0;
  // Letters follow the layout, as Windows' virtual keys do; digits are the
  // top row whatever it types (AZERTY).
  if (sym >= 'a' && sym <= 'z') return static_cast<uint8_t>(sym - 32);
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return static_cast<uint8_t>('A' + (sc - SDL_SCANCODE_A));
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return static_cast<uint8_t>('1' + (sc - SDL_SCANCODE_1));
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return static_cast<uint8_t>(VK_F1 + (sc - SDL_SCANCODE_F1));
  if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return static_cast<uint8_t>(VK_F13 + (sc - SDL_SCANCODE_F13));
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) {
    if (numLock) return static_cast<uint8_t>(VK_NUMPAD0 + 1 + (sc - SDL_SCANCODE_KP_1));
    static const uint8_t NAVIGATION[9] = {VK_END,  VK_DOWN, VK_NEXT,  VK_LEFT, VK_CLEAR,
                                          VK_RIGHT, VK_HOME, VK_UP,   VK_PRIOR};
    return NAVIGATION[sc - SDL_SCANCODE_KP_1];
  }
  switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: case SDL_SCANCODE_RETURN2: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_LSHIFT: case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL: case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT: case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_LGUI: return VK_LWIN;
    case SDL_SCANCODE_RGUI: return VK_RWIN;
    case SDL_SCANCODE_APPLICATION: return VK_APPS;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
    // Ctrl+Break is the Cancel key.
    case SDL_SCANCODE_PAUSE: return (key.mod & KMOD_CTRL) ? uint8_t{VK_CANCEL} : uint8_t{VK_PAUSE};
    case SDL_SCANCODE_CANCEL: return VK_CANCEL;
    case SDL_SCANCODE_KP_0: return numLock ? uint8_t{VK_NUMPAD0} : uint8_t{VK_INSERT};
    case SDL_SCANCODE_KP_PERIOD: return numLock ? uint8_t{VK_DECIMAL} : uint8_t{VK_DELETE};
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_COMMA: return VK_ABNT_C2;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_BACKSLASH: case SDL_SCANCODE_NONUSHASH: return VK_OEM_5;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    case SDL_SCANCODE_INTERNATIONAL1: return VK_ABNT_C1;
    default: return 0;
  }
}

// The character a Windows layout makes from a key-down that SDL gives no
// text for: Enter, Backspace, Tab, Esc and the Ctrl characters. -1: none.
int layoutControlChar(uint8_t vk, SDL_Keycode sym, bool ctrl, bool alt) {
  if (alt) return -1;  // Alt makes system characters, Ctrl+Alt none of these
  switch (vk) {
    case VK_RETURN: return 13;
    case VK_BACK: return 8;
    case VK_ESCAPE: return 27;
    case VK_TAB: return ctrl ? -1 : 9;
    default: break;
  }
  if (!ctrl) return -1;
  if (vk >= 'A' && vk <= 'Z') return vk - 64;
  if (vk == VK_SPACE) return 32;
  if (sym == SDLK_LEFTBRACKET) return 27;
  if (sym == SDLK_BACKSLASH) return 28;
  if (sym == SDLK_RIGHTBRACKET) return 29;
  return -1;
}

ConsoleEvent keyEvent(ConsoleEventKind kind, uint8_t code, Uint16 mod) {
  ConsoleEvent e;
  e.kind = kind;
  e.code = code;
  e.shift = (mod & KMOD_SHIFT) != 0;
  // AltGr, where the layout reports it as a mode key, is Ctrl+Alt as on Windows.
  e.ctrl = (mod & (KMOD_CTRL | KMOD_MODE)) != 0;
  e.alt = (mod & (KMOD_ALT | KMOD_MODE)) != 0;
  return e;
}

void translateKeyDown(const SDL_KeyboardEvent &k) {
  uint8_t vk = virtualKey(k.keysym);
  ConsoleEvent down = keyEvent(ConsoleEventKind::KeyDown, vk, k.keysym.mod);
  bool system = (down.alt && !down.ctrl) || vk == VK_F10;
  if (system) down.kind = ConsoleEventKind::SysKeyDown;
  translated.push_back(down);
  lastShift = down.shift, lastCtrl = down.ctrl, lastAlt = down.alt;
  lastKeyAltOnly = down.alt && !down.ctrl;
  lastKeyLeftAlt = (k.keysym.mod & KMOD_LALT) != 0;
  lastKeySym = k.keysym.sym;
  swallowText = false;
  int c = layoutControlChar(vk, k.keysym.sym, down.ctrl, down.alt);
  if (c >= 0) {
    ConsoleEvent ch = down;
    ch.kind = ConsoleEventKind::Char;
    ch.code = static_cast<uint8_t>(c);
    translated.push_back(ch);
    swallowText = true;  // the key's character is out; SDL's own text for it is not
  }
  // The default action of Alt+F4 is the close box's; there may be no window
  // manager to carry it out (Xvfb has none), so the backend does.
  if (system && vk == VK_F1 + 3 && !k.repeat) {
    ConsoleEvent close;
    close.kind = ConsoleEventKind::Close;
    translated.push_back(close);
  }
}

void translateText(const char *text) {
  if (swallowText) {
    swallowText = false;
    return;
  }
  std::string bytes = utf8ToCp1252(text);
  if (lastKeyAltOnly) {
    // Alt with a key types nothing on Windows (it makes system characters).
    // A right Alt that is really AltGr still types its own characters: only
    // the key's plain character is held back then.
    if (lastKeyLeftAlt) return;
    if (bytes.size() == 1 && SDL_tolower(static_cast<unsigned char>(bytes[0])) == lastKeySym) return;
  }
  for (unsigned char c : bytes) {
    if (c < 32 || c == 127) continue;
    ConsoleEvent e;
    e.kind = ConsoleEventKind::Char;
    e.code = c;
    e.shift = lastShift, e.ctrl = lastCtrl, e.alt = lastAlt;
    translated.push_back(e);
  }
}

void translate(const SDL_Event &ev) {
  switch (ev.type) {
    case SDL_KEYDOWN:
      translateKeyDown(ev.key);
      return;
    case SDL_KEYUP:
      // Text belongs to the key-down just before it; none is due after a release.
      swallowText = false;
      lastKeyAltOnly = false;
      translated.push_back(keyEvent(ConsoleEventKind::KeyUp, virtualKey(ev.key.keysym), ev.key.keysym.mod));
      lastShift = translated.back().shift, lastCtrl = translated.back().ctrl, lastAlt = translated.back().alt;
      return;
    case SDL_TEXTINPUT:
      translateText(ev.text.text);
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (ev.button.button != SDL_BUTTON_RIGHT) return;
      ConsoleEvent e;
      e.kind = ev.type == SDL_MOUSEBUTTONDOWN ? ConsoleEventKind::RightDown : ConsoleEventKind::RightUp;
      e.x = ev.button.x;
      e.y = ev.button.y;
      translated.push_back(e);
      return;
    }
    case SDL_MOUSEMOTION: {
      ConsoleEvent e;
      e.kind = ConsoleEventKind::PointerMove;
      e.x = ev.motion.x;
      e.y = ev.motion.y;
      translated.push_back(e);
      return;
    }
    case SDL_WINDOWEVENT: {
      ConsoleEvent e;
      switch (ev.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
          // Like a system's paint request: one repaint once nothing else is pending.
          repaintPending = true;
          return;
        case SDL_WINDOWEVENT_FOCUS_GAINED: e.kind = ConsoleEventKind::FocusIn; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: e.kind = ConsoleEventKind::FocusOut; break;
        case SDL_WINDOWEVENT_CLOSE: e.kind = ConsoleEventKind::Close; break;
        default: return;
      }
      translated.push_back(e);
      return;
    }
    // With the last window's close not turned into a quit (see open), a quit
    // is a request from outside: SIGINT or SIGTERM, or the system ending the app.
    case SDL_QUIT:
    case SDL_APP_TERMINATING: {
      ConsoleEvent e;
      e.kind = ConsoleEventKind::Quit;
      translated.push_back(e);
      return;
    }
    default:
      break;
  }
  if (ev.type == userEventType) {
    ConsoleEvent e;
    e.kind = ConsoleEventKind::User;
    e.message = static_cast<unsigned>(ev.user.code);
    e.param1 = reinterpret_cast<uintptr_t>(ev.user.data1);
    e.param2 = reinterpret_cast<uintptr_t>(ev.user.data2);
    translated.push_back(e);
  }
}

// ---------------------------------------------------------------- sound

void SDLCALL audioCallback(void *, Uint8 *stream, int length) {
  size_t n = length > 0 ? static_cast<size_t>(length) : 0;
  size_t at = 0;
  if (looping && loopLength > 0) {
    while (at < n) {
      size_t chunk = std::min(n - at, loopLength - loopPosition);
      std::memcpy(stream + at, loopData + loopPosition, chunk);
      at += chunk;
      loopPosition += chunk;
      if (loopPosition >= loopLength) loopPosition = 0;
    }
    return;
  }
  if (beepPosition < beepLength) {
    size_t chunk = std::min(n, beepLength - beepPosition);
    std::memcpy(stream, beepData + beepPosition, chunk);
    beepPosition += chunk;
    at = chunk;
  }
  std::memset(stream + at, 128, n - at);  // unsigned 8-bit silence
}

bool ensureAudio() {
  if (audioDevice) return true;
  if (audioFailed) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    audioFailed = true;  // tones are then silent
    return false;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = 11025;
  want.format = AUDIO_U8;
  want.channels = 1;
  want.samples = 512;
  want.callback = audioCallback;
  audioDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!audioDevice) {
    audioFailed = true;
    return false;
  }
  return true;
}

uint32_t readLe32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// ---------------------------------------------------------------- the table

bool sdlOpen(const char **why) {
  // A closed window is the close box's business (exit 0); only a quit from
  // outside the window (a signal) should come out as SDL_QUIT.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // The window's pixels go straight to the X server. Left to itself, SDL
  // first makes an OpenGL context to see whether the card is fast, which
  // costs a quarter of a second at every start on a software renderer.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::snprintf(openError, sizeof openError, "SDL video could not start: %s", SDL_GetError());
    *why = openError;
    return false;
  }
  // With no display SDL falls back to drivers that show nothing, where the
  // player could never type a key; they serve only when asked for by name.
  const char *driver = SDL_GetCurrentVideoDriver();
  const char *asked = SDL_getenv("SDL_VIDEODRIVER");
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
      !(asked && strcasecmp(asked, driver) == 0)) {
    std::snprintf(openError, sizeof openError, "no X11 or Wayland display could be opened");
    *why = openError;
    SDL_Quit();
    return false;
  }
  if (TTF_Init() != 0) {
    std::snprintf(openError, sizeof openError, "SDL_ttf could not start: %s", TTF_GetError());
    *why = openError;
    SDL_Quit();
    return false;
  }
  userEventType = SDL_RegisterEvents(1);
  SDL_EventState(SDL_TEXTEDITING, SDL_IGNORE);
  SDL_EventState(SDL_DROPFILE, SDL_IGNORE);
  SDL_EventState(SDL_DROPTEXT, SDL_IGNORE);
  return true;
}

void sdlDestroyWindow() {
  caretShown = false;
  repaintPending = false;
  translated.clear();
  if (snapshot) SDL_FreeSurface(snapshot);
  snapshot = nullptr;
  dropGlyphs();
  if (font) TTF_CloseFont(font);
  font = nullptr;
  if (backing) SDL_FreeSurface(backing);
  backing = nullptr;
  if (window) SDL_DestroyWindow(window);
  window = nullptr;
}

bool sdlCreateWindow(const WindowRequest &request, CellMetrics &m) {
  if (window) sdlDestroyWindow();
  font = openFont(request);
  if (!font) return false;
  int advance = averageAdvance(font);
  cellWidth = std::max(advance, 1);
  cellHeight = std::max(TTF_FontLineSkip(font), TTF_FontHeight(font));
  cellHeight = std::max(cellHeight, 1);
  m.cellWidth = cellWidth;
  m.cellHeight = cellHeight;
  m.ascent = TTF_FontAscent(font);
  m.overhang = 0;
  // No frame or caption is counted: SDL sizes the client area.
  m.outerWidth = 80 * cellWidth;
  m.outerHeight = 25 * cellHeight;

  // Never larger than the text area, nor than the usable desktop.
  int areaWidth, areaHeight;
  usableArea(areaWidth, areaHeight);
  int maxWidth = std::min({m.outerWidth, areaWidth, MAX_SURFACE_SIDE});
  int maxHeight = std::min({m.outerHeight, areaHeight, MAX_SURFACE_SIDE});
  int minWidth = std::min(16 * cellWidth, maxWidth), minHeight = std::min(4 * cellHeight, maxHeight);

  title = request.title ? cp1252ToUtf8(request.title) : std::string();
  Uint32 flags = SDL_WINDOW_RESIZABLE | (request.maximised ? SDL_WINDOW_MAXIMIZED : SDL_WINDOW_SHOWN);
  window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, maxWidth, maxHeight,
                            flags);
  backing = window ? SDL_CreateRGBSurfaceWithFormat(0, maxWidth, maxHeight, 32, SDL_PIXELFORMAT_XRGB8888) : nullptr;
  if (!window || !backing) {
    std::fprintf(stderr, "The console window could not be opened: %s\n", SDL_GetError());
    sdlDestroyWindow();
    return false;
  }
  SDL_SetWindowMaximumSize(window, maxWidth, maxHeight);
  SDL_SetWindowMinimumSize(window, minWidth, minHeight);
  SDL_FillRect(backing, nullptr, 0);
  SDL_StartTextInput();
  repaintPending = true;
  repaintErase = true;
  return true;
}

void sdlSetTitle(const char *text) {
  title = text ? cp1252ToUtf8(text) : std::string();
  if (window) SDL_SetWindowTitle(window, title.c_str());
}

void sdlWorkArea(int &width, int &height) { usableArea(width, height); }

void sdlDrawText(int x, int y, const uint8_t *text, int n, Rgb fg, Rgb bg) {
  if (!backing || !text || n <= 0 || n > 4096) return;
  SDL_Rect run{x, y, n * cellWidth, cellHeight};
  SDL_Rect bounds{0, 0, backing->w, backing->h};
  if (!SDL_HasIntersection(&run, &bounds)) return;
  SDL_FillRect(backing, &run, mapRgb(backing, bg));
  // Each glyph at its own cell keeps the grid exact whatever the font's
  // advances; none spills out of the run.
  SDL_SetClipRect(backing, &run);
  for (int i = 0; i < n; ++i) {
    SDL_Surface *g = glyph(text[i]);
    if (!g) continue;
    SDL_SetSurfaceColorMod(g, fg.r, fg.g, fg.b);
    SDL_Rect at{x + i * cellWidth, y, g->w, g->h};
    SDL_BlitSurface(g, nullptr, backing, &at);
  }
  SDL_SetClipRect(backing, nullptr);
}

bool sdlCanBlitScroll() {
  if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS)) return false;
  int x, y, w, h;
  SDL_GetWindowPosition(window, &x, &y);
  SDL_GetWindowSize(window, &w, &h);
  SDL_Rect screen;
  int display = SDL_GetWindowDisplayIndex(window);
  if (display < 0 || SDL_GetDisplayBounds(display, &screen) != 0) return false;
  return y + h < screen.y + screen.h - 32;
}

void sdlScrollPixels(int top, int bottom, int dy, Rgb fill) {
  if (!backing) return;
  top = std::max(top, 0);
  bottom = std::min(bottom, backing->h);
  if (dy <= 0 || top >= bottom) return;
  if (dy < bottom - top) {
    uint8_t *pixels = static_cast<uint8_t *>(backing->pixels);
    std::memmove(pixels + static_cast<size_t>(top) * backing->pitch,
                 pixels + static_cast<size_t>(top + dy) * backing->pitch,
                 static_cast<size_t>(bottom - top - dy) * backing->pitch);
  }
  int freed = std::min(dy, bottom - top);
  SDL_Rect strip{0, bottom - freed, backing->w, freed};
  SDL_FillRect(backing, &strip, mapRgb(backing, fill));
}

void sdlInvalidate(bool erase) {
  repaintPending = true;
  repaintErase = repaintErase || erase;
}

void sdlPresent() {
  if (!window || !backing) return;
  SDL_Surface *screen = SDL_GetWindowSurface(window);
  if (!screen) return;
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
  SDL_BlitSurface(backing, nullptr, screen, nullptr);
  if (caretShown) drawCaret(screen);
  SDL_UpdateWindowSurface(window);
}

void takeRepaint() {
  repaintPending = false;
  if (repaintErase && backing) SDL_FillRect(backing, nullptr, 0);
  repaintErase = false;
}

void sdlUpdate() {
  if (!repaintPending || !backing) return;
  takeRepaint();
  paintConsoleRect(0, 0, backing->w, backing->h);  // presents when done
}

void sdlShowCaret(int x, int y, int w, int h) {
  caret = SDL_Rect{x, y, std::max(w, 1), std::max(h, 1)};
  caretShown = true;
  sdlPresent();
}

void sdlHideCaret() {
  if (!caretShown) return;
  caretShown = false;
  sdlPresent();
}

void sdlBeep() {
  if (!ensureAudio() || looping) return;
  SDL_LockAudioDevice(audioDevice);
  // A short 882 Hz square wave, the bell of a text console.
  beepLength = sizeof beepData;
  for (size_t i = 0; i < beepLength; ++i) beepData[i] = (i / 6) % 2 ? 96 : 160;
  beepPosition = 0;
  SDL_UnlockAudioDevice(audioDevice);
  SDL_PauseAudioDevice(audioDevice, 0);
}

void sdlMagnifyBegin(int w, int h) {
  if (!backing || w <= 0 || h <= 0) return;
  if (snapshot) SDL_FreeSurface(snapshot);
  snapshot = SDL_CreateRGBSurfaceWithFormat(0, std::min(w, backing->w), std::min(h, backing->h), 32,
                                            SDL_PIXELFORMAT_XRGB8888);
  if (snapshot) SDL_BlitSurface(backing, nullptr, snapshot, nullptr);
}

void sdlMagnifyDraw(int sx, int sy, int sw, int sh, int w, int h) {
  if (!snapshot || !backing || sw <= 0 || sh <= 0 || w <= 0 || h <= 0) return;
  SDL_Rect source{sx, sy, sw, sh}, target{0, 0, w, h};
  SDL_Rect inside{0, 0, snapshot->w, snapshot->h};
  SDL_FillRect(backing, nullptr, 0);
  if (SDL_HasIntersection(&source, &inside)) SDL_BlitScaled(snapshot, &source, backing, &target);
  sdlPresent();
}

void sdlMagnifyEnd() {
  if (snapshot) SDL_FreeSurface(snapshot);
  snapshot = nullptr;
}

bool sdlPoll(ConsoleEvent &event) {
  if (translated.empty()) {
    SDL_Event ev;
    while (translated.empty() && SDL_PollEvent(&ev)) translate(ev);
  }
  if (!translated.empty()) {
    event = translated.front();
    translated.pop_front();
    return true;
  }
  // As with a window system, a pending repaint comes when nothing else does.
  if (repaintPending && backing) {
    takeRepaint();
    event = ConsoleEvent{};
    event.kind = ConsoleEventKind::Paint;
    event.w = backing->w;
    event.h = backing->h;
    return true;
  }
  return false;
}

void sdlWait(bool) {
  if (!translated.empty() || repaintPending) return;
  SDL_WaitEvent(nullptr);  // leaves the event in the queue
}

void sdlPost(const ConsoleEvent &event) {
  if (userEventType == static_cast<Uint32>(-1)) return;
  SDL_Event ev;
  SDL_zero(ev);
  ev.type = userEventType;
  ev.user.code = static_cast<Sint32>(event.message);
  ev.user.data1 = reinterpret_cast<void *>(event.param1);
  ev.user.data2 = reinterpret_cast<void *>(event.param2);
  SDL_PushEvent(&ev);
}

void sdlSleep(unsigned milliseconds) { SDL_Delay(milliseconds); }

uint64_t sdlClock() { return SDL_GetTicks64(); }

// The image is a canonical RIFF wave: 44 header bytes, then the data whose
// length the header gives (cut to what is really there).
void sdlPlayLoop(const uint8_t *wave, size_t size) {
  if (!wave || size <= 44 || std::memcmp(wave, "RIFF", 4) != 0 || std::memcmp(wave + 8, "WAVE", 4) != 0) return;
  size_t length = std::min<size_t>({readLe32(wave + 40), size - 44, sizeof loopData});
  if (length == 0 || !ensureAudio()) return;
  SDL_LockAudioDevice(audioDevice);
  std::memcpy(loopData, wave + 44, length);
  loopLength = length;
  loopPosition = 0;
  looping = true;
  SDL_UnlockAudioDevice(audioDevice);
  SDL_PauseAudioDevice(audioDevice, 0);
}

void sdlStopLoop() {
  if (!audioDevice) return;
  SDL_LockAudioDevice(audioDevice);
  looping = false;
  loopLength = loopPosition = 0;
  SDL_UnlockAudioDevice(audioDevice);
  SDL_PauseAudioDevice(audioDevice, 1);
}

// The box is in the backing already; this only waits. The key that closes
// it is taken down and up, so no stray key-up reaches the game; a key held
// when the box came (auto-repeat) does not close it.
void sdlAwaitMessageBoxClose() {
  if (!window) return;
  SDL_Scancode pressed = SDL_SCANCODE_UNKNOWN;
  SDL_Event ev;
  while (SDL_WaitEvent(&ev)) {
    switch (ev.type) {
      case SDL_KEYDOWN: {
        SDL_Scancode sc = ev.key.keysym.scancode;
        if (!ev.key.repeat && (sc == SDL_SCANCODE_RETURN || sc == SDL_SCANCODE_KP_ENTER ||
                               sc == SDL_SCANCODE_RETURN2 || sc == SDL_SCANCODE_ESCAPE))
          pressed = sc;
        break;
      }
      case SDL_KEYUP:
        if (pressed != SDL_SCANCODE_UNKNOWN && ev.key.keysym.scancode == pressed) {
          swallowText = false;
          lastKeyAltOnly = false;
          return;
        }
        break;
      case SDL_TEXTINPUT:
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
      case SDL_MOUSEMOTION:
        break;
      case SDL_WINDOWEVENT:
        if (ev.window.event == SDL_WINDOWEVENT_EXPOSED || ev.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            ev.window.event == SDL_WINDOWEVENT_RESTORED || ev.window.event == SDL_WINDOWEVENT_SHOWN) {
          sdlPresent();
          break;
        }
        translate(ev);
        // The close box ends the box too, and then the program.
        if (ev.window.event == SDL_WINDOWEVENT_CLOSE) return;
        break;
      case SDL_QUIT:
      case SDL_APP_TERMINATING:
        translate(ev);
        return;
      default:
        translate(ev);  // posted messages wait for the model
        break;
    }
  }
}

}  // namespace

const ConsoleBackend sdlConsoleBackend = {
    "sdl",           sdlOpen,        sdlCreateWindow,  sdlDestroyWindow, sdlSetTitle,    sdlWorkArea,
    sdlDrawText,     sdlCanBlitScroll, sdlScrollPixels, sdlInvalidate,  sdlUpdate,      sdlPresent,
    sdlShowCaret,    sdlHideCaret,   sdlBeep,          sdlMagnifyBegin,  sdlMagnifyDraw, sdlMagnifyEnd,
    sdlPoll,         sdlWait,        sdlPost,          sdlSleep,         sdlClock,       sdlPlayLoop,
    sdlStopLoop,     sdlAwaitMessageBoxClose,
};
