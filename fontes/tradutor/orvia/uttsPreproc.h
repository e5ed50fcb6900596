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
// when the file cannot be opened or read. Lines past the table's capacity
// are ignored: the first ABBREVIATION_CAPACITY entries are kept.
bool LoadAbbreviations(const std::string &path);
size_t AbbreviationCount();

// The expansion of the first key equal to the upper-cased word; "" if none.
std::string FindAbbreviation(std::string_view word);

// The whole normalisation of one utterance: numbers, abbreviations followed
// by ". ", consonant-only words and symbols become words. Apart from the
// abbreviations' expansions, the result holds only letters, hyphens inside
// words, blanks and the marks ! ( ) , . : ; ?
std::string ExpandText(std::string_view text);

// The words of the number at position (a digit); moves the position on.
std::string ReadNumber(std::string_view text, size_t &position);

// "vig\xe9simo primeiro"; from 2000 on the cardinal words; "" for a negative
// value or one of more than 15 digits.
std::string OrdinalWords(Gender gender, int64_t value);

// The word at position (a letter), spelled when it has no vowel; moves the
// position on.
std::string ReadWord(std::string_view text, size_t &position);

// The spoken name of a character; "" when it has none.
std::string CharName(unsigned char c);
