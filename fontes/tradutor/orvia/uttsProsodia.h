// The prosody file (durations, key words, patterns and pitch scale), the
// phrasing of an utterance into annotated tokens, and the last stage: the
// timed phoneme lines with pitch targets for the synthesizer, with fillers
// where the voice lacks a diphone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "uttsLista.h"

constexpr size_t DURATION_CAPACITY = 100;
constexpr size_t KEY_WORD_CAPACITY = 1000;
constexpr size_t PATTERN_CAPACITY = 300;

struct TChave {
  std::string word;   // upper case
  std::string klass;  // up to 2 characters, upper case
};

struct TProsodia {
  std::string previous, current, next;  // up to 3 characters; "" matches any class
  std::string value;
};

// Loads the three sections; a failure is shown in a message box and
// reported as false.
bool LoadProsody(const std::string &path);

// Base pitch and the ten-step scale (percent of the base pitch).
int ProsodyHertz();
int ProsodyScale(int digit);

std::string FindKeyWordClass(std::string_view word);

// One token from position (1-based, moved on); isSymbol tells a
// two-character symbol class from a word.
std::string NextToken(std::string_view text, size_t &position, bool &isSymbol);
StringList MakeTokenList(std::string_view text);
StringList AssignProsodyValues(const StringList &tokens);

bool LoadDiphones(const std::string &path);
void ReleaseDiphones();
int FindDuration(std::string_view phoneme);

StringList TimeAndPitch(const StringList &phonemes, double durationFactor, double pitchFactor);
