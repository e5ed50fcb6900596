// Numbers spoken from recorded number words: an integer becomes Portuguese
// words (Windows-1252), and the words are played from their recordings in
// the letters directory, joined into one wave image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Room for samples in the number words' image; longer speech is played in parts.
constexpr size_t NUMBER_SAMPLE_CAPACITY = 30000;

// The four word tables of the number words, ten entries each: units (0 is
// "zero"), teens (10-19), tens (by the tens digit; 0 and 1 unused) and
// hundreds (by the hundreds digit; 0 holds "cem", for exactly 100).
struct NumberWordTables {
  const char *const *units;
  const char *const *teens;
  const char *const *tens;
  const char *const *hundreds;
};

// The tables of the recorded number words (plain letters: "tres", "cinquenta").
extern const NumberWordTables NUMBER_WORDS;

// The words of 0 to 999 999 999 999 999 with the given tables, joined the
// same way as numberToWords; "" for a larger value.
std::string wholeNumberWords(uint64_t value, const NumberWordTables &tables);

// The words of a whole number: "zero", "mil " (a result may end in a scale
// word's trailing space), "um milh\xe3o duzentos e trinta e quatro mil e ...".
// Negative numbers, which callers are not meant to pass, get "menos " in front.
std::string numberToWords(int32_t number);

// The words of three digits (hundreds, tens, units): "" for 000, "cem" for
// 100, "cento e vinte e um" for 121. Anything but three digits gives "".
std::string groupToWords(std::string_view digits, const NumberWordTables &tables = NUMBER_WORDS);

// The words of group 0 (trillions) to 4 (units) of a 15-digit text, followed
// by the group's scale word and a space when it is not the units and not 000.
std::string scaledGroupWords(std::string_view digits15, int group, const NumberWordTables &tables = NUMBER_WORDS);

// The recording's file base of one word: an underscore and the word with
// \xe3 as a and \xf5 as o, cut to 8 bytes; "dezessete" is "_dezeset".
std::string numberWordFileBase(std::string_view word);

// Speaks the words from their recordings as one continuous sound and returns
// when it has been heard. With feminine set, a last word um or dois is said
// uma or duas.
void speakNumberWords(std::string_view words, bool feminine);

// Writes the 44-byte header of a wave image of dataLength bytes of 8-bit mono
// samples at 11025 per second.
void writeWaveHeader(uint8_t *header, uint32_t dataLength);
