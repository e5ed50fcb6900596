// The diphone engine: speaks a phonetic string of the translator
// (kltradutor) by concatenating recorded units, diphones of the database
// (kldifone) and single-character recordings of the letters directory, in
// the engine's 64 000-byte output buffer (8-bit unsigned, 11 025 Hz, mono),
// played through the wave player whenever it fills and at the end.
//
// Needs the engine started (StartDiphoneEngine); before that, or after
// CloseDiphoneEngine, SpeakPhonetic plays nothing. One thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Silences of the punctuation signs, in bytes (samples).
constexpr int COMMA_PAUSE = 4000;
constexpr int FULL_STOP_PAUSE = 8000;
constexpr int SEMICOLON_PAUSE = 6000;
constexpr int COLON_PAUSE = 8000;

// Part of a unit's bytes that is played, by where the unit stands.
constexpr double WHOLE_UNIT = 1.0;
constexpr double BEFORE_GLIDE_FACTOR = 0.6;   // what precedes a vowel-glide unit
constexpr double BEFORE_FINAL_S_FACTOR = 0.7; // what precedes a final s
constexpr double FALL_BACK_FACTOR = 0.9;      // the first part of a missing unit

constexpr size_t SEGMENT_CAPACITY = 40;
constexpr size_t UNIT_NAME_CAPACITY = 12;
constexpr size_t OUTPUT_HEADER_SIZE = 44;
constexpr int NOISE_LENGTH = 300;
constexpr int SILENCE_BLOCK = 100;  // silences are laid in whole blocks

// Speaks a phonetic string and returns when its last part has been played
// (or cut short by a key). pausesOff turns the punctuation silences off;
// the front end passes false. Any bytes are accepted.
void SpeakPhonetic(std::string_view phonetic, bool pausesOff);

// --- Counters for quality checks: what the unit lookup found. ---

struct DiphoneStats {
  unsigned long unitsAsked;     // names the units of the strings asked for
  unsigned long foundDirectly;  // of those, found at once (index or letters)
  unsigned long fallBacks;      // missing names split into smaller ones
  unsigned long partsFound;     // names of those splits that were found
  unsigned long noiseBursts;    // missing short names heard as noise
  unsigned long silentUnits;    // missing names that no fall-back covers
  unsigned long cutToNothing;   // found diphones the cut left without bytes
};
const DiphoneStats &DiphoneStatistics();
// Zeroes the counters and forgets the dry run's letter recordings.
void ResetDiphoneStats();

// One name asked for, in order; depth 0 for a unit, 1 and more for the
// names a fall-back split it into (listed right after it).
enum class UnitOutcome { Found, FallBack, Noise, Silent };
struct UnitRequest {
  std::string name;
  int depth;
  UnitOutcome outcome;
};

// The unit lookup of SpeakPhonetic without any sound: fills the same
// counters and, when requests is given, appends every name asked for. Reads
// no samples; each letter recording is checked once until the next
// ResetDiphoneStats.
void DryRunPhonetic(std::string_view phonetic, bool pausesOff, std::vector<UnitRequest> *requests = nullptr);

// --- The steps of SpeakPhonetic, over the reader state of the string being
// spoken; public for tests and tools. ---

// Starts reading a string: cursor at 1, stress mode 1, output buffer empty.
void BeginPhonetic(std::string_view phonetic, bool pausesOff);
// Whether the cursor is still inside the string.
bool PhoneticLeft();
// The 1-based cursor and the stress mode (1 from a group's start, 2 inside
// the unit of a stressed vowel, 0 after it).
size_t PhoneticCursor();
int PhoneticStressMode();

// The next segment (at most 40 bytes); empty for a punctuation pause, which
// it lays in the buffer itself.
std::string NextSegment();
// Cuts a segment into units and plays them with the length factor.
void SplitSegment(std::string_view segment, double factor);
// Turns a unit (at most 12 bytes) into names and plays them.
void EmitUnit(std::string_view unit, double factor);
// Plays a name, or its fall-backs when it is missing.
void PlayUnit(std::string_view name, int mode, double factor);
// A diphone of the index, cut and shortened; false when it is missing.
bool PlayDiphone(std::string_view name, int mode, double factor);
// "_NN" from the letters directory; false when missing or malformed.
bool PlayLetterRecording(std::string_view name);
// The size of the "data" chunk of a RIFF wave file, with the file
// positioned at the samples; 0 when the file is not one.
uint32_t ReadWaveDataSize(FILE *file);

void AppendSilence(int bytes);
void AppendNoise();
// Plays the buffer first when k more bytes would fill it.
void EnsureRoom(size_t bytes);
void FlushOutput();
// Bytes used in the output buffer, its 44-byte header included.
size_t OutputFillLevel();
