// The diphone synthesizer's text-to-phonetic translator: Portuguese text
// (Windows-1252 or DOS 850 bytes) in, the phonetic string the diphone engine
// speaks (klconcat) out.
//
// Needs the rule index and the exception list of klregras loaded (the
// engine's start does it); with empty tables every letter gets its default
// segment. Not re-entrant: the current word is process-wide.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The current word's buffer holds this many bytes; longer runs of word
// characters are read as several words (see NextWord).
constexpr size_t TRANSLATOR_WORD_CAPACITY = 256;

// The whole translation of length bytes of text (any bytes, NULs included).
// The phonetic string is returned as a new std::string built afresh on each
// call: one group per word, "[seg/seg/...]" for a converted word and
// "[ /_c]" per byte for a spelled-out one.
std::string TranslateText(const char *text, size_t length);
inline std::string TranslateText(std::string_view text) { return TranslateText(text.data(), text.size()); }

// --- The steps, each used by TranslateText; public for tests and tools. ---

// Byte 128 to 255's replacement: 0 to 2 bytes; the cedilla entries hold the
// byte E7 itself, which NormaliseText turns into "ss".
extern const char *const AccentTable[128];

// ASCII letters and accent marks: w/y next to a letter become u/i, d' loses
// its apostrophe, bytes 128 to 255 go through AccentTable, and a byte with
// no mapping becomes " \x01 " (a word of its own, spelled later).
std::string NormaliseText(std::string_view text);

// Loads the next word of the normalised text from the 1-based read position
// pos into the current word and moves pos past it; false when only blanks
// are left. A run of word characters longer than the word buffer ends at
// TRANSLATOR_WORD_CAPACITY bytes (earlier when that would leave an accent
// mark to start the next piece) and the rest is read as the next word.
bool NextWord(std::string_view text, size_t &pos);

// Respells the current word through the exception list (the result is cut
// to the word buffer's capacity). The vowel count and accent flag keep
// describing the word as read.
void LookUpCurrentWord();

// Marks the stressed vowel of the current word by upper-casing it.
void PlaceStress();

// Whether the current word is spelled out letter by letter.
bool IsSpelledWord();

// Append the current word's group(s) to result.
void SpellWord(std::string &result);
void ApplyRules(std::string &result);

// The current word as it stands, its vowel count and accent flag as read.
std::string_view CurrentWord();
int CurrentWordVowels();
bool CurrentWordAccented();
