// The sequence-memory game.
#pragma once

#include <cstdint>

// The symbol alphabets and the winning length of each level.
extern const char GAME_VOWELS[];
extern const char GAME_CONSONANTS[];
extern const char GAME_DIGITS[];
extern const char GAME_PUNCTUATION[];
extern const int LEVEL_LENGTH[9];

// The game's random generator: seeded once, R(n) uniform on 0..n-1.
void seedRandom(uint64_t seed);
unsigned randomBelow(unsigned n);

// The symbol a turn appends for a level key ('1'..'9'; any other: a space).
char nextSymbol(char level);

// The whole game: start-up, levels and games, farewell. Never returns: the
// program ends through closeConsole.
[[noreturn]] void runGame();
