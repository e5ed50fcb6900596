// Phonetic transcription of an annotated token list: word headers, pauses
// for punctuation, and each word's phonemes from the exception list and the
// letter rules, with the stress mark; then the cross-word link of final r2
// and s2 before a vowel.
#pragma once

#include <string_view>

#include "klregras.h"
#include "uttsLista.h"

constexpr char STRESS_MARK = '>';
constexpr char BOUNDARY_MARK = '\xa8';

StringList TranscribeTokens(const StringList &tokens);

// Appends the word's phoneme lines and its closing (empty) line.
void TranscribeWord(std::string_view word, int stressPosition, StringList &phonemes);

// The first rule of W[position]'s group that matches there; null if none.
const LetterRule *FindOrviaRule(std::string_view word, int position);

void LinkWords(StringList &phonemes);
