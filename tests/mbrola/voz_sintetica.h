// A small voice written the way the voice generator writes ours: phonemes
// "_", "a", "i", "s" at 16 kHz and 125 Hz. The vowels are exact pulse-shaped
// periods (period 128, a pitch mark on each peak), "s" is noise, "_" is
// silence. Each unit has its own loudness and its own phase, so units never
// line up by themselves: whatever is smooth at a join, the synthesizer made.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace voz_sintetica {

constexpr uint32_t RATE = 16000;
constexpr uint32_t PITCH = 125;
constexpr int PERIOD = 128;
constexpr int HALF = 1024;  // every half-phoneme in the recordings
constexpr const char *PHONEMES[] = {"_", "a", "i", "s"};
constexpr int COUNT = 4;

inline bool voiced(int phoneme) { return phoneme == 1 || phoneme == 2; }

// One period of a vowel, peak 1 at offset 0.
inline double vowelShape(int phoneme, double n) {
  static const double a[] = {1, .8, .6, .5, .3, .2, .1, .05};
  static const double i[] = {1, .2, .1, .05, .1, .3, .4, .2};
  const double *weights = phoneme == 1 ? a : i;
  double sum = 0, norm = 0;
  for (int h = 0; h < 8; ++h) {
    sum += weights[h] * std::cos(2 * M_PI * (h + 1) * n / PERIOD);
    norm += weights[h];
  }
  return sum / norm;
}

struct Options {
  int headerSize = 68;  // the fields of the format; 64 cuts the name to 28 bytes
  uint32_t pitch = PITCH;
  int half = HALF;  // smaller for a fuzz seed
};

inline void put16(std::string &s, uint32_t v) {
  s += char(v & 0xff);
  s += char((v >> 8) & 0xff);
}
inline void put32(std::string &s, uint32_t v) {
  put16(s, v & 0xffff);
  put16(s, v >> 16);
}

inline std::string make(const Options &options = Options()) {
  const int half = options.half;
  std::vector<int16_t> samples;
  std::vector<uint32_t> marks;
  struct Record { uint32_t first, length, boundary, firstMark, markCount; };
  std::vector<Record> records;
  uint32_t noise = 12345;
  for (int left = 0; left < COUNT; ++left)
    for (int right = 0; right < COUNT; ++right) {
      int index = left * COUNT + right;
      double loudLeft = 6000 * (0.6 + 0.4 * ((index * 7) % 5) / 4.0);
      double loudRight = 6000 * (0.6 + 0.4 * ((index * 3 + 1) % 5) / 4.0);
      int phase = (index * 37 + 11) % PERIOD;  // first peak of the unit
      Record r{uint32_t(samples.size()), uint32_t(2 * half), uint32_t(half), uint32_t(marks.size()), 0};
      for (int n = 0; n < 2 * half; ++n) {
        // The two phonemes cross-fade over one period around the boundary.
        double fadeLeft = std::clamp((half + PERIOD / 2 - n) / double(PERIOD), 0.0, 1.0);
        double value = 0;
        for (int side = 0; side < 2; ++side) {
          int phoneme = side == 0 ? left : right;
          double weight = side == 0 ? fadeLeft : 1 - fadeLeft;
          double loud = side == 0 ? loudLeft : loudRight;
          if (weight == 0) continue;
          if (voiced(phoneme)) value += weight * loud * vowelShape(phoneme, n - phase);
          else if (phoneme == 3) {
            noise = noise * 1103515245u + 12345u;
            value += weight * 3000.0 * ((int((noise >> 16) & 0x7fff) - 16384) / 16384.0);
          }
        }
        samples.push_back(int16_t(std::lround(value)));
      }
      for (int side = 0; side < 2; ++side) {
        int phoneme = side == 0 ? left : right;
        int from = side * half, to = from + half;
        if (voiced(phoneme)) {
          int first = phase;
          while (first < from) first += PERIOD;
          for (int m = first; m < to; m += PERIOD) marks.push_back(0x80000000u | uint32_t(m)), ++r.markCount;
        } else {
          for (int m = from + 80; m < to; m += 160) marks.push_back(uint32_t(m)), ++r.markCount;
        }
      }
      records.push_back(r);
    }

  std::string file("KLMBVOZ1", 8);
  put32(file, 1);
  put32(file, RATE);
  put32(file, COUNT);
  put32(file, COUNT * COUNT);
  put32(file, uint32_t(marks.size()));
  put32(file, uint32_t(samples.size()));
  put16(file, options.pitch);
  put16(file, 0);
  std::string name("sintetica");
  name.resize(size_t(options.headerSize - 36), '\0');
  file += name;
  for (const char *p : PHONEMES) {
    std::string field(p);
    field.resize(8, '\0');
    file += field;
  }
  for (int i = 0; i < COUNT * COUNT; ++i) {
    put16(file, uint32_t(i / COUNT));
    put16(file, uint32_t(i % COUNT));
    put32(file, records[i].first);
    put32(file, records[i].length);
    put32(file, records[i].boundary);
    put32(file, records[i].firstMark);
    put32(file, records[i].markCount);
  }
  for (uint32_t m : marks) put32(file, m);
  for (int16_t s : samples) put16(file, uint16_t(s));
  return file;
}

// Offsets of the tables in a file made with the full header.
constexpr size_t PHONEME_TABLE = 68;
constexpr size_t DIPHONE_TABLE = PHONEME_TABLE + 8 * COUNT;
constexpr size_t MARK_TABLE = DIPHONE_TABLE + 24 * COUNT * COUNT;

}  // namespace voz_sintetica
