// The stressed vowel of a Portuguese word, from its spelling alone.
#pragma once

#include <string_view>

// 1-based position of the stressed vowel; 0 when the word has no vowel.
int FindStressPosition(std::string_view word);

// Short words and the few longer function words that carry no stress.
bool IsUnstressedWord(std::string_view word);
