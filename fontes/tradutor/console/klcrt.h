// klcrt: the emulated 80 x 25 text console, its key queue and its waits.
//
// Everything here runs on the program's one thread. Window messages (keys,
// focus, paint, the wake-up messages 957, 1123 and 2980) are processed only
// inside keyPressed, readKey, delay, the two pumps and the console's own calls.
// Every operation but closeConsole and registerWaveDoneHandler creates the
// window first if it does not exist yet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Window messages that wake a waiting thread.
enum : unsigned {
  MSG_WAVE_DONE = 957,      // a block returned by the sound device
  MSG_SPEECH_STOP = 1123,   // posted by stopSpeech
  MSG_SERVER_WAKE = 2980,   // posted by speech servers
};

// Exit codes of the program.
enum : int { EXIT_NORMAL = 0, EXIT_QUIT = 255 };

// Screen.
void writeText(const void *bytes, size_t count);
void writeChar(uint8_t c);
void clearToLineEnd();
void setTextBackground(int colour);
[[noreturn]] void closeConsole();

// The wave-output done notice (message 957): parameters are the device and
// the returned block.
using WaveDoneHandler = void (*)(uintptr_t device, uintptr_t block);
void registerWaveDoneHandler(WaveDoneHandler handler);

// A modal message box (Windows-1252 title and text). The text always goes to
// stderr as UTF-8; when the console window is open on a display with a
// player at it, it also shows in a box over the window until Enter or Escape
// closes it, and the screen is repainted. Never creates the window.
void showMessageBox(const char *title, const std::string &text);

// Says a message box's title and text while the box is drawn, for the player
// who cannot see it; the speech library sets one when it starts. A key the
// player presses meanwhile cuts the speech short, and Enter or Escape then
// also closes the box. Null (the default) keeps the box silent.
using MessageBoxSpeaker = void (*)(const std::string &text);
void setMessageBoxSpeaker(MessageBoxSpeaker speaker);

// Keyboard and waits.
bool keyPressed();
uint8_t readKey();
void delay(uint16_t milliseconds);
void pumpAllMessages();
void pumpConsoleMessages();

// Sleeps until the next window message arrives (any message, also one that
// is not a key), then returns without processing it.
void waitMessage();

// Posts a window message to the console window; safe from any thread.
void postConsoleMessage(unsigned message, uintptr_t param1, uintptr_t param2);

// Posts a window message that arrives after the given milliseconds of the
// console's clock (virtual in the headless display); safe from any thread.
// For sound devices that only pretend to play.
void postConsoleMessageAfter(unsigned milliseconds, unsigned message, uintptr_t param1, uintptr_t param2);

// The line editor behind standard input: fills buffer (capacity 128) with at
// most 126 characters followed by 13, 10 and returns the length.
enum : size_t { CONSOLE_LINE_CAPACITY = 128 };
size_t readLine(uint8_t *buffer);

// Tones and the Braille input mode.
void startTone(unsigned frequency);
void stopTone();
void setBrailleMode(int mode);

// Binds the program's standard output (std::cout) and input (std::cin) to
// the console through 128-byte buffers. A line end is written as 13, 10.
void bindConsoleStdio();

// The console's display backend ("sdl" or "headless"), chosen from
// KALEVO_DISPLAY. Returns false with a message on stderr when none can run.
bool selectConsoleBackend();

// Milliseconds on the console's clock (virtual in the headless backend).
uint64_t consoleClock();
