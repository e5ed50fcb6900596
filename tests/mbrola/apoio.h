// What the synthesizer's tests share: the synthetic voice on disk, speaking
// a text through the C interface, and measuring the fundamental.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mbinterno.h"
#include "support/tempdir.h"
#include "voz_sintetica.h"

inline std::string lastErrorText() {
  char text[1024];
  lastErrorStr_MBR(text, sizeof text);
  return text;
}

// Writes, flushes and reads everything back.
inline std::vector<short> speak(const std::string &text) {
  write_MBR(text.c_str());
  flush_MBR();
  std::vector<short> out;
  short buffer[1000];
  int n;
  while ((n = read_MBR(buffer, 1000)) > 0) out.insert(out.end(), buffer, buffer + n);
  return out;
}

class SyntheticVoice : public ::testing::Test {
 protected:
  TempDir dir;
  std::string voicePath;
  void SetUp() override {
    voicePath = dir.write("sintetica", voz_sintetica::make());
    ASSERT_EQ(init_MBR(voicePath.c_str()), 0) << lastErrorText();
    setNoError_MBR(0);
    setFreq_MBR(0);
    setVolumeRatio_MBR(1.0f);
  }
  void TearDown() override {
    setParser_MBR(nullptr);
    close_MBR();
  }
};

// Fundamental of x[from, from + length) by autocorrelation, refined by a
// parabola through the peak; 0 when nothing periodic is found.
inline double measureF0(const std::vector<short> &x, size_t from, size_t length, double rate) {
  if (from + length > x.size()) return 0;
  int minLag = int(rate / 500), maxLag = int(rate / 60);
  std::vector<double> r(size_t(maxLag) + 2, 0.0);
  double energy = 0;
  for (size_t n = 0; n < length; ++n) energy += double(x[from + n]) * x[from + n];
  if (energy <= 0) return 0;
  for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
    double sum = 0;
    for (size_t n = 0; n + size_t(lag) < length; ++n) sum += double(x[from + n]) * x[from + n + lag];
    r[size_t(lag)] = sum / energy;
  }
  int best = minLag;
  for (int lag = minLag; lag <= maxLag; ++lag)
    if (r[size_t(lag)] > r[size_t(best)]) best = lag;
  if (r[size_t(best)] < 0.3) return 0;
  double a = r[size_t(best) - 1], b = r[size_t(best)], c = r[size_t(best) + 1];
  double shift = (a - 2 * b + c) != 0 ? 0.5 * (a - c) / (a - 2 * b + c) : 0;
  return rate / (best + shift);
}
