// The voice file (VOZ.md): loading, checking and looking things up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MbDifone {
  uint32_t first;     // index of its first sample
  uint32_t length;    // samples
  uint32_t boundary;  // where the second phoneme starts, within the unit
  uint32_t firstMark;
  uint32_t markCount;
};

struct MbVoz {
  uint32_t sampleRate = 0;
  uint32_t nominalPitch = 0;
  std::string name;
  std::vector<std::string> phonemes;
  std::vector<MbDifone> diphones;  // left * phonemeCount + right
  std::vector<uint32_t> marks;     // top bit: voiced
  std::vector<int16_t> samples;
  int silence = -1;                // index of "_"
  // Names the phonemes answer to (after renames and clones), sorted.
  std::vector<std::pair<std::string, int>> names;
};

constexpr uint32_t MB_MARK_VOICED = 0x80000000u;

// Checks and decodes a voice image. Empty string on success, else why not.
std::string mbLoadVoice(const uint8_t *data, size_t size, MbVoz &voz);

// Reads and decodes a voice file; code is MBR_ERR_VOICE_OPEN or _FORMAT.
std::string mbLoadVoiceFile(const char *path, MbVoz &voz, int &code);

// The phoneme's index, or -1.
int mbFindPhoneme(const MbVoz &voz, const char *name, size_t length);

// Renames (OLD NEW pairs) or clones (NAME COPY pairs). Empty on success.
std::string mbRenamePhonemes(MbVoz &voz, const char *pairs, bool clone);

inline const MbDifone &mbDiphone(const MbVoz &voz, int left, int right) {
  return voz.diphones[size_t(left) * voz.phonemes.size() + size_t(right)];
}
