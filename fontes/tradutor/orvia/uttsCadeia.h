// The Orvia front end as one call, for the tools that look inside it and
// the tests: the five data files loaded from one folder, and one utterance
// taken through every stage, each stage's result kept.
#pragma once

#include <string>
#include <string_view>

#include "uttsLista.h"

struct OrviaStages {
  std::string expanded;  // normalised text
  StringList tokens;     // "[XX]word"
  StringList annotated;  // "555|word"
  StringList phonemes;   // transcription
  StringList lines;      // what the synthesizer reads
};

// Loads folder/base.nrl, .exc, .abr, .pro and .dfn in the engine's order.
// False with a one-line reason when one of them fails.
bool LoadOrviaData(const std::string &folder, const std::string &base, std::string &error);

// Runs a Windows-1252 text through normalisation, phrasing, transcription
// and timing. A text of blanks only gives empty stages.
OrviaStages RunOrviaStages(std::string_view text, double durationFactor = 1.0, double pitchFactor = 1.0);
