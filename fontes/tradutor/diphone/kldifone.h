// The diphone database and the engine's start and close: the settings,
// the letters and diphone directories, the index (.IND) held in memory, the
// open sample file (.DIF) and the output buffer the concatenation fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr size_t DIPHONE_NAME_CAPACITY = 8;
constexpr size_t DIPHONE_INDEX_RECORD_SIZE = 15;
constexpr size_t DIPHONE_OUTPUT_BUFFER_SIZE = 64000;

// One record of the index file: name length, 8 name bytes, unit length
// (16 bits) and offset in the sample file (32 bits), little-endian.
struct DiphoneIndexRecord {
  uint8_t nameLength;  // 0 to 8 (larger lengths in the file are cut to 8)
  char name[DIPHONE_NAME_CAPACITY];
  uint16_t length;  // bytes, one a sample
  uint32_t offset;
  std::string_view nameView() const { return {name, nameLength}; }
};

// Settings the speech start-up hands over before the engine starts.
struct DiphoneEngineSettings {
  std::string databaseName = "DIFONES2";  // base name of the .IND and .DIF files
  int cutLength = 400;    // bytes cut from the end of unstressed diphones
  int keptMinimum = 0;    // the cut never leaves fewer bytes than this
  int wordGap = 100;      // bytes of silence between word groups
};

const DiphoneEngineSettings &DiphoneSettings();

// Keeps the first 8 bytes of the name.
void SetDiphoneDatabaseName(std::string_view name);

// Negative values count as 0: a negative cut would stretch a unit past its
// own bytes in the sample file.
void SetCutSettings(int cutLength, int keptMinimum, int wordGap);

// Reads the directories from KALEVO.INI (section TRADUTOR, dirLetras and
// DIRDIFONES), checks that both can be made current, reads the index and
// opens the sample file. The current directory is restored in every case.
bool OpenDiphoneDatabase();

// 0 = ready; 1 = the directories, the index or the sample file failed;
// 2 = regras.rgr or portug.exc failed. After a non-zero result the caller
// still calls CloseDiphoneEngine.
int StartDiphoneEngine();

// Frees the output buffer and the index, releases the rules and closes the
// sample file. The exception list stays loaded.
void CloseDiphoneEngine();

// The directories as configured, each ending in a separator (\ unless it
// already ended in /). Open files in them through nativePath.
const std::string &DiphoneLettersDirectory();
const std::string &DiphoneDirectory();

size_t DiphoneIndexCount();

// The record with exactly this name (upper case, as in the index), found by
// bisection over the sorted records; null when there is none.
const DiphoneIndexRecord *FindDiphone(std::string_view name);

// Reads up to count bytes of a unit from the sample file, from the record's
// offset; returns how many were read (fewer at the end of the file, 0 when
// the file is not open).
size_t ReadDiphoneSamples(const DiphoneIndexRecord &record, size_t count, unsigned char *out);

// The 64 000-byte output buffer; null while the engine is not started.
unsigned char *DiphoneOutputBuffer();
