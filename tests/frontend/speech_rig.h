// A speaking front end in the headless display for the text tests: its own
// letters directory of made-up recordings, the build tree's diphone database,
// the sound log and the capture of everything heard.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "klcrt.h"
#include "klcrt_headless.h"
#include "klfala.h"
#include "klwave.h"
#include "support/tempdir.h"

namespace rig {

inline std::filesystem::path buildTree() {
  return std::filesystem::canonical("/proc/self/exe").parent_path().parent_path();
}

inline std::string le16(uint16_t v) { return {static_cast<char>(v & 255), static_cast<char>(v >> 8)}; }
inline std::string le32(uint32_t v) { return le16(static_cast<uint16_t>(v)) + le16(static_cast<uint16_t>(v >> 16)); }

// An 8-bit mono 11025 Hz recording with a 44-byte header.
inline std::string recording(const std::string &samples) {
  return "RIFF" + le32(uint32_t(36 + samples.size())) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(11025) +
         le32(11025) + le16(1) + le16(8) + "data" + le32(uint32_t(samples.size())) + samples;
}

inline const char *const POINT_PAUSE = "400";
inline const char *const COMMA_PAUSE = "300";
inline const char *const COLON_PAUSE = "200";

inline TempDir &dir() {
  static TempDir d;
  return d;
}

inline std::string letters() { return dir().file("letras"); }

// Writes a letters directory recording of n samples of one value.
inline void record(const std::string &base, size_t n, uint8_t value) {
  dir().write("letras/" + base + ".wav", recording(std::string(n, static_cast<char>(value))));
}

// Starts speech once a process, at speed 3, on the rig's configuration.
inline void startOnce() {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("KALEVO_AUDIO", ("capture:" + dir().file("capture.wav")).c_str(), 1);
  setenv("KALEVO_SOUND_LOG", dir().file("sounds.log").c_str(), 1);
  setenv("KALEVO_SYSDIR", dir().file("sys").c_str(), 1);
  std::filesystem::create_directories(letters());
  dir().write("sys/KALEVO.INI",
              "[TRADUTOR]\ndirLetras=" + letters() + "\nDIRDIFONES=" +
                  (buildTree() / "share/zolkar/som/difones").string() +
                  "\n[SINTETIZADOR]\nDIFONES3=KLVOZ\nPAUSAPONTO3=" + POINT_PAUSE + "\nPAUSAVIRG3=" + COMMA_PAUSE +
                  "\nPAUSADOISPONTOS3=" + COLON_PAUSE + "\n");
  ASSERT_TRUE(selectConsoleBackend());
  startSpeech(3, "");
}

inline std::vector<std::string> soundLog() {
  std::ifstream in(dir().file("sounds.log"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The captured sound: 16-bit mono at 22050 Hz.
inline std::vector<int16_t> captured() {
  std::string file = dir().read("capture.wav");
  std::vector<int16_t> samples(file.size() > 44 ? (file.size() - 44) / 2 : 0);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(uint8_t(file[44 + 2 * i]) | uint8_t(file[45 + 2 * i]) << 8);
  return samples;
}

inline int16_t heard(uint8_t byte) { return static_cast<int16_t>((byte - 128) * 256); }

inline ConsoleEvent charEvent(uint8_t c) {
  ConsoleEvent e;
  e.kind = ConsoleEventKind::Char;
  e.code = c;
  return e;
}

// Each test starts with speech started, quiet, no key waiting, and sees the
// sound log and the capture from its own start on.
class Speaking : public ::testing::Test {
 protected:
  size_t logMark = 0, captureMark = 0;

  void SetUp() override {
    startOnce();
    while (speechBusy()) waitMessage();
    while (keyPressed()) readKey();
    logMark = soundLog().size();
    captureMark = captured().size();
  }

  void TearDown() override {
    while (keyPressed()) readKey();
    while (speechBusy()) waitMessage();
  }

  std::vector<std::string> soundsSince() {
    std::vector<std::string> all = soundLog();
    return {all.begin() + static_cast<long>(logMark), all.end()};
  }

  std::vector<int16_t> heardSince() {
    std::vector<int16_t> all = captured();
    return {all.begin() + static_cast<long>(captureMark), all.end()};
  }

  // The plateaus heard, in order: each value that lasts at least 8 captured
  // samples in a row (the resampler's ramps between them are left out).
  std::vector<int16_t> plateausSince() {
    std::vector<int16_t> s = heardSince(), out;
    for (size_t i = 0; i < s.size();) {
      size_t j = i;
      while (j < s.size() && s[j] == s[i]) ++j;
      if (j - i >= 8 && s[i] != 0 && (out.empty() || out.back() != s[i])) out.push_back(s[i]);
      i = j;
    }
    return out;
  }
};

}  // namespace rig
