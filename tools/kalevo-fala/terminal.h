// A console without a window for kalevo-fala: real time, so that waits for
// the sound card end when the card is done, and keys from the terminal, so
// that a key stops speech.
#pragma once

#include "klcrt_backend.h"

extern const ConsoleBackend terminalConsoleBackend;

// Reads keys from standard input when it is a terminal (until the program
// ends; the terminal's settings come back at exit).
void readTerminalKeys();
