// Text normalisation: numbers, abbreviations, consonant-only words and
// symbols become Portuguese words, so that only words, blanks and a few
// punctuation marks remain. Text is Windows-1252; positions count from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr size_t ABBREVIATION_CAPACITY = 2000;
constexpr size_t ABBREVIATION_EXPANSION_CAPACITY = 999;

enum class Gender { Masculine, Feminine };

// Empties the table, then reads key=expansion lines (";" comments). False
// when the file cannot be opened.
bool LoadAbbreviations(const std::string &path);
size_t AbbreviationCount();

// The expansion of the first key equal to the upper-cased word; "" if none.
std::string FindAbbreviation(std::string_view word);

// The whole normalisation of one utterance.
std::string ExpandText(std::string_view text);

// The words of the number at position (a digit); moves the position on.
std::string ReadNumber(std::string_view text, size_t &position);

std::string OrdinalWords(Gender gender, int64_t value);

// The word at position (a letter), spelled when it has no vowel; moves the
// position on.
std::string ReadWord(std::string_view text, size_t &position);

// The spoken name of a character; "" when it has none.
std::string CharName(unsigned char c);
