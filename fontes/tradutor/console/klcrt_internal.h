// The console's module state, shared by its source files. Not for callers
// outside the console.
#pragma once

#include <cstdint>
#include <string>

#include "klcrt.h"
#include "klcrt_backend.h"

enum : int { SCREEN_COLS = 80, SCREEN_ROWS = 25, KEY_QUEUE_SIZE = 64 };
enum : uint8_t { BRAILLE_NONE = 254 };

// Settings read once when the window is created (klcrt_video.cpp).
struct VideoSettings {
  uint8_t colourMap[16];
  bool coloursChangeable;
  bool blitScroll;     // LENTO
  uint8_t attribute;   // CORFUNDO * 16 | CORLETRA
  int brailleMode;     // MODO & 3
  int magnifier;       // AMPLIF & 7
  std::string fontFace;
  int fontWidth, fontHeight, fontWeight;
  bool maximised;      // CANTOTELA not "S"
};

struct ConsoleState {
  // Screen model.
  uint8_t chars[SCREEN_COLS * SCREEN_ROWS];
  uint8_t attrs[SCREEN_COLS * SCREEN_ROWS];
  uint8_t attribute = 15;
  bool coloursChangeable = true;
  int cursorX = 0, cursorY = 0;  // cursorX 0..80
  uint8_t colourMap[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  CellMetrics metrics{};

  // Window flags.
  bool created = false;
  bool focused = false;
  bool waitingForKey = false;
  bool caretShown = false;
  bool blitScroll = false;
  bool maximised = false;
  int magnifierFactor = 2;
  bool magnifying = false;
  WaveDoneHandler waveDoneHandler = nullptr;

  // Key queue.
  uint8_t queue[KEY_QUEUE_SIZE];
  int queueCount = 0;
  bool breakCheck = true;

  // Braille chord input.
  int brailleMode = 0;
  uint8_t chord = 0, held = 0;
  bool numberMode = false, capital = false, capsLock = false;

  // Tone buffer (at most one), owned while a tone sounds.
  uint8_t *toneBuffer = nullptr;
  size_t toneSize = 0;
};

extern ConsoleState console;

// klcrt_screen.cpp: the writing rules and drawing.
void screenReset(uint8_t attribute);           // blanks in the attribute, cursor (0, 0)
void screenWrite(const uint8_t *bytes, size_t count);  // the byte rules, then draw
void screenClearToLineEnd();
void screenDrawCells(int row, int left, int right);  // [left, right)
void screenPaint(int x, int y, int w, int h);        // a client rectangle
Rgb screenColour(int attributeColour);               // through the map and palette

// klcrt_keys.cpp: events into the queue.
bool queuePut(uint8_t code);            // false when full
bool queueHasRoom(int places);
void handleCharEvent(const ConsoleEvent &event);
void handleKeyDownEvent(const ConsoleEvent &event);  // key down and system key down
void handleKeyUpEvent(const ConsoleEvent &event);
// Builds the tone's RIFF image for frequency f (1..65535) into buffer
// (capacity TONE_BUFFER_SIZE) and returns its length.
enum : size_t { TONE_BUFFER_SIZE = 11071 };
size_t buildToneWave(unsigned frequency, uint8_t *buffer);
uint8_t brailleCellChar(int dots);  // the 64-entry cell table

// klcrt_video.cpp: the VIDEO and BRAILLE settings from the system
// directory's KALEVO.INI, with the work area for the derived font size.
void readVideoSettings(VideoSettings &settings, int workAreaWidth, int workAreaHeight);
// Puts the settings into the console state (all but the Braille mode, which
// the window's creation switches to with its tones once the window shows).
void applyVideoSettings(const VideoSettings &settings);

// klcrt.cpp: window life, message dispatch and program end.
void ensureConsoleWindow();
void dispatchConsoleEvent(const ConsoleEvent &event);
[[noreturn]] void endProgram(int code);
// The program file's path as the window title.
std::string consoleTitle();
// Writes the screen as UTF-8 rows to KALEVO_SCREEN when that is set.
void dumpScreenIfAsked();
