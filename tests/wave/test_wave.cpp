// The wave player in the headless display, heard through the capture
// device: what was played comes back as 16-bit mono 22050 Hz samples.
// 8-bit mono data at 22050 Hz comes back exactly, (byte - 128) * 256.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "klcrt.h"
#include "klcrt_headless.h"
#include "klwave.h"
#include "klwave_device.h"
#include "support/tempdir.h"

namespace {

std::string le16(uint16_t v) { return {static_cast<char>(v & 255), static_cast<char>(v >> 8)}; }
std::string le32(uint32_t v) { return le16(static_cast<uint16_t>(v)) + le16(static_cast<uint16_t>(v >> 16)); }

std::string chunk(const std::string &tag, const std::string &body) { return tag + le32(uint32_t(body.size())) + body; }

std::string formatRecord(uint16_t channels, uint32_t rate, uint16_t bits) {
  uint16_t align = static_cast<uint16_t>(channels * (bits / 8));
  return le16(1) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
}

std::string riff(const std::string &body) { return "RIFF" + le32(uint32_t(4 + body.size())) + "WAVE" + body; }

std::string wave(uint16_t channels, uint32_t rate, uint16_t bits, const std::string &data,
                 const std::string &between = "") {
  return riff(chunk("fmt ", formatRecord(channels, rate, bits)) + between + chunk("data", data));
}

std::vector<uint8_t> bytesOf(const std::string &s) { return {s.begin(), s.end()}; }

int16_t heard(uint8_t byte) { return static_cast<int16_t>((byte - 128) * 256); }

ConsoleEvent charEvent(uint8_t c) {
  ConsoleEvent e;
  e.kind = ConsoleEventKind::Char;
  e.code = c;
  return e;
}

// A voiced sound: a pitch period of 100 samples at 11025 Hz, each period a
// peak followed by a decaying ring.
std::vector<uint8_t> voiced(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    double phase = double(i % 100);
    v[i] = static_cast<uint8_t>(128 + 120 * std::exp(-phase / 20) * std::cos(phase * 0.5));
  }
  return v;
}

void waitQuiet() {
  while (waveBusy()) waitMessage();
}

TempDir &scratch() {
  static TempDir dir;
  return dir;
}

// The capture file's samples; its header must describe the file as it is.
std::vector<int16_t> capturedSamples() {
  std::string file = scratch().read("capture.wav");
  if (file.empty()) return {};
  EXPECT_GE(file.size(), 44u);
  auto at32 = [&](size_t i) {
    return uint32_t(uint8_t(file[i])) | uint32_t(uint8_t(file[i + 1])) << 8 | uint32_t(uint8_t(file[i + 2])) << 16 |
           uint32_t(uint8_t(file[i + 3])) << 24;
  };
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  EXPECT_EQ(at32(4), file.size() - 8);
  EXPECT_EQ(file.substr(8, 28), "WAVEfmt " + le32(16) + formatRecord(1, 22050, 16));
  EXPECT_EQ(file.substr(36, 4), "data");
  EXPECT_EQ(at32(40), file.size() - 44);
  std::vector<int16_t> samples((file.size() - 44) / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(uint8_t(file[44 + 2 * i]) | uint8_t(file[45 + 2 * i]) << 8);
  return samples;
}

class Wave : public ::testing::Test {
 protected:
  size_t mark = 0;

  void SetUp() override {
    // Read at the player's first use, which is in one of these tests.
    setenv("KALEVO_AUDIO", ("capture:" + scratch().file("capture.wav")).c_str(), 1);
    setenv("KALEVO_SOUND_LOG", scratch().file("sounds.log").c_str(), 1);
    ASSERT_TRUE(selectConsoleBackend());
    setWaveStopOnKey(false);
    setWaveFastRate(false);
    setWavePeriodCut(false);
    waitQuiet();
    while (keyPressed()) readKey();
    mark = capturedSamples().size();
  }

  void TearDown() override {
    setWaveStopOnKey(false);
    waitQuiet();
    while (keyPressed()) readKey();
  }

  // What was heard since the test began.
  std::vector<int16_t> heardSince() {
    std::vector<int16_t> all = capturedSamples();
    return {all.begin() + static_cast<long>(mark), all.end()};
  }

  std::string file(const std::string &name, const std::string &content) { return scratch().write(name, content); }
};

}  // namespace

TEST_F(Wave, AShortFileIsOneBlockOf256BytesEndingInSilence) {
  std::string data;
  for (int i = 0; i < 100; ++i) data += static_cast<char>(10 + i);
  uint64_t before = consoleClock();
  unsigned opens = waveStatus().deviceOpens;

  EXPECT_EQ(playWaveFile(file("short.wav", wave(1, 22050, 8, data)).c_str()), 0);

  std::vector<int16_t> s = heardSince();
  ASSERT_EQ(s.size(), 256u);
  for (int i = 0; i < 99; ++i) EXPECT_EQ(s[i], heard(uint8_t(10 + i))) << i;
  for (int i = 99; i < 256; ++i) EXPECT_EQ(s[i], 0) << i;
  // It waited for the end: 256 bytes at 22050 a second.
  EXPECT_GE(consoleClock() - before, 12u);
  WaveStatus status = waveStatus();
  EXPECT_EQ(status.deviceOpens, opens + 1);
  EXPECT_FALSE(status.deviceOpen);
  EXPECT_EQ(status.queuedCount, 0u);
}

TEST_F(Wave, LongDataIsReadInPiecesThatKeepTheLastAbove256Bytes) {
  // 8-bit mono: each piece's last byte, unless the piece fills a whole
  // block, is made silent, which shows where the pieces end.
  struct Case {
    uint32_t length;
    std::vector<uint32_t> silent;
  } cases[] = {
      {65600, {65277, 65599}},  // 65278 + 322, not 65534 + 66
      {65535, {65277, 65534}},  // 65278 + 257
      {65790, {65789}},         // 65534 + 256
      {70000, {69999}},         // 65534 + 4466
      {65534, {}},              // one full block stays as it is
  };
  for (const Case &c : cases) {
    mark = capturedSamples().size();
    EXPECT_EQ(playWaveFile(file("long.wav", wave(1, 22050, 8, std::string(c.length, char(200)))).c_str()), 0);
    std::vector<int16_t> s = heardSince();
    ASSERT_EQ(s.size(), c.length);
    std::vector<uint32_t> silent;
    for (uint32_t i = 0; i < c.length; ++i)
      if (s[i] == 0) silent.push_back(i);
    EXPECT_EQ(silent, c.silent) << c.length;
  }
}

TEST_F(Wave, FileParsingAndBadInput) {
  const std::string tone = std::string(300, char(40));
  const std::string fmt = chunk("fmt ", formatRecord(1, 22050, 8));
  std::string longFormat = formatRecord(1, 22050, 8) + std::string(70000, 'x');
  struct Case {
    const char *name;
    std::string bytes;
    int result;
    size_t heard;
  } cases[] = {
      {"plain", wave(1, 22050, 8, tone), 0, 300},
      {"LIST chunk skipped", wave(1, 22050, 8, tone, chunk("LIST", "INFOISFT" + le32(4) + "kalv")), 0, 300},
      {"tags in any case", "riff" + le32(0) + "WAVE" + chunk("FMT ", formatRecord(1, 22050, 8)) + chunk("Data", tone), 0,
       300},
      {"format record longer than the read buffer", riff(chunk("fmt ", longFormat) + chunk("data", tone)), 0, 300},
      {"empty data chunk", wave(1, 22050, 8, ""), 0, 0},
      {"fmt not right after the RIFF header", riff(chunk("LIST", "abcd") + fmt + chunk("data", tone)), -1, 0},
      {"not RIFF", "RIFX" + wave(1, 22050, 8, tone).substr(4), -1, 0},
      {"format record of 14 bytes", riff(chunk("fmt ", formatRecord(1, 22050, 8).substr(0, 14)) + chunk("data", tone)),
       -1, 0},
      {"format record cut short", riff("fmt " + le32(16) + formatRecord(1, 22050, 8).substr(0, 10)), -1, 0},
      {"no data chunk", riff(fmt + chunk("LIST", "abcd")), -1, 0},
      {"huge chunk length", riff(fmt + "LIST" + le32(0xFFFFFFF0u) + chunk("data", tone)), -1, 0},
      {"chunk length with the top bit set", riff(fmt + "LIST" + le32(0x80000000u) + chunk("data", tone)), -1, 0},
      {"12 bytes only", "RIFF" + le32(4) + "WAVE", -1, 0},
      {"empty file", "", -1, 0},
      // The data that is there is heard; the end came early.
      {"data cut short", riff(fmt + "data" + le32(1000) + tone), -1, 300},
      {"zero channels", wave(0, 22050, 8, tone), WAVE_BAD_FORMAT, 0},
      {"zero rate", wave(1, 0, 8, tone), WAVE_BAD_FORMAT, 0},
      {"24-bit samples", wave(1, 22050, 24, tone), WAVE_BAD_FORMAT, 0},
  };
  for (const Case &c : cases) {
    mark = capturedSamples().size();
    EXPECT_EQ(playWaveFile(file("case.wav", c.bytes).c_str()), c.result) << c.name;
    EXPECT_EQ(heardSince().size(), c.heard) << c.name;
    EXPECT_EQ(waveStatus().queuedCount, 0u) << c.name;
  }
  EXPECT_EQ(playWaveFile(scratch().file("missing.wav").c_str()), -1);
  EXPECT_EQ(playWaveFile(scratch().path.c_str()), -1);  // a folder
  // A good file after all that still plays.
  mark = capturedSamples().size();
  EXPECT_EQ(playWaveFile(file("good.wav", wave(1, 22050, 8, tone)).c_str()), 0);
  EXPECT_EQ(heardSince().size(), 300u);
}

TEST(WaveImage, ParseFindsTheDataWithoutWalkingPastTheImage) {
  const std::string data = "abcdefgh";
  const std::string good = wave(2, 44100, 16, data, chunk("LIST", "xy"));
  struct Case {
    const char *name;
    std::string image;
    bool ok;
    uint32_t dataOffset, dataLength, totalLength;
  } cases[] = {
      {"canonical", wave(1, 11025, 8, data), true, 44, 8, 52},
      {"with a LIST chunk", good, true, 54, 8, 62},
      {"data longer than the image is cut to it",
       riff(chunk("fmt ", formatRecord(1, 11025, 8)) + "data" + le32(1000) + data), true, 44, 8, 52},
      {"no data chunk", riff(chunk("fmt ", formatRecord(1, 11025, 8)) + chunk("LIST", "abcd")), false, 0, 0, 0},
      {"a chunk header cut short", riff(chunk("fmt ", formatRecord(1, 11025, 8)) + "dat"), false, 0, 0, 0},
      {"huge chunk length", riff(chunk("fmt ", formatRecord(1, 11025, 8)) + "LIST" + le32(0xFFFFFFFFu) + chunk("data", data)),
       false, 0, 0, 0},
      {"format record past the end", "RIFF" + le32(0) + "WAVEfmt " + le32(0x7FFFFFFF) + formatRecord(1, 11025, 8), false,
       0, 0, 0},
      {"fmt not at offset 12", riff(chunk("LIST", "") + chunk("fmt ", formatRecord(1, 11025, 8)) + chunk("data", data)),
       false, 0, 0, 0},
      {"19 bytes", wave(1, 11025, 8, data).substr(0, 19), false, 0, 0, 0},
  };
  for (const Case &c : cases) {
    // An exact-size copy, so a read past the end is a read past the buffer.
    std::vector<uint8_t> image = bytesOf(c.image);
    const uint8_t *format = nullptr, *found = nullptr;
    uint32_t dataLength = 0, totalLength = 0;
    ASSERT_EQ(parseWaveBuffer(image.data(), image.size(), format, found, dataLength, totalLength), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(format, image.data() + 20) << c.name;
    EXPECT_EQ(found, image.data() + c.dataOffset) << c.name;
    EXPECT_EQ(dataLength, c.dataLength) << c.name;
    EXPECT_EQ(totalLength, c.totalLength) << c.name;
  }
}

TEST_F(Wave, TwoImagesInARowShareOneOpenDevice) {
  std::vector<uint8_t> first = bytesOf(wave(1, 22050, 8, std::string(2205, char(100))));
  std::vector<uint8_t> second = bytesOf(wave(1, 22050, 8, std::string(2205, char(160))));
  unsigned opens = waveStatus().deviceOpens;

  playWaveBuffer(first.data(), first.size());
  playWaveBuffer(second.data(), second.size());
  WaveStatus status = waveStatus();
  EXPECT_EQ(status.queuedCount, 2u);
  EXPECT_TRUE(status.deviceOpen);
  EXPECT_EQ(status.deviceOpens, opens + 1);

  delay(300);  // both have ended (200 ms) and their notices were handled
  status = waveStatus();
  EXPECT_EQ(status.queuedCount, 0u);
  EXPECT_TRUE(status.deviceOpen) << "only a busy test closes the device";
  EXPECT_FALSE(waveBusy());
  EXPECT_FALSE(waveStatus().deviceOpen);

  std::vector<int16_t> s = heardSince();
  ASSERT_EQ(s.size(), 4410u);
  EXPECT_EQ(s[0], heard(100));
  EXPECT_EQ(s[2203], heard(100));
  EXPECT_EQ(s[2204], 0);  // each sound ends on silence
  EXPECT_EQ(s[2205], heard(160));
  EXPECT_EQ(s[4409], 0);

  // Another format waits for the queue to empty, then opens the device again.
  std::vector<uint8_t> other = bytesOf(wave(1, 11025, 8, std::string(1103, char(60))));
  playWaveBuffer(first.data(), first.size());
  uint64_t before = consoleClock();
  playWaveBuffer(other.data(), other.size());
  EXPECT_GE(consoleClock() - before, 100u);
  EXPECT_EQ(waveStatus().deviceOpens, opens + 3);
  EXPECT_EQ(waveStatus().rate, 11025u);
  waitQuiet();
  EXPECT_NEAR(double(heardSince().size()), 4410 + 2205 + 2206, 2);
}

TEST_F(Wave, StopOnKeyWithAKeyWaiting) {
  std::string path = file("key.wav", wave(1, 22050, 8, std::string(4410, char(90))));
  setWaveStopOnKey(true);
  headlessInject(charEvent('x'));
  uint64_t before = consoleClock();
  EXPECT_EQ(playWaveFile(path.c_str()), 0);
  EXPECT_EQ(consoleClock(), before) << "returned at once";
  EXPECT_TRUE(heardSince().empty());
  EXPECT_FALSE(waveBusy());
  ASSERT_TRUE(keyPressed());

  // With the switch off the same file plays to its end; the key stays.
  setWaveStopOnKey(false);
  EXPECT_EQ(playWaveFile(path.c_str()), 0);
  EXPECT_EQ(heardSince().size(), 4410u);
  ASSERT_TRUE(keyPressed());
  EXPECT_EQ(readKey(), 'x');
}

TEST_F(Wave, AKeyTypedDuringTheSoundCutsItAndStaysQueued) {
  std::string path = file("two-seconds.wav", wave(1, 22050, 8, std::string(44100, char(90))));
  setWaveStopOnKey(true);
  uint64_t start = consoleClock();
  headlessPostAt(start + 500, charEvent('k'));
  EXPECT_EQ(playWaveFile(path.c_str()), 0);
  EXPECT_EQ(consoleClock() - start, 500u);
  size_t n = heardSince().size();
  EXPECT_GE(n, 10000u);
  EXPECT_LE(n, 12100u);
  EXPECT_EQ(waveStatus().queuedCount, 0u);
  EXPECT_FALSE(waveStatus().deviceOpen);
  ASSERT_TRUE(keyPressed());
  EXPECT_EQ(readKey(), 'k');
}

TEST_F(Wave, AStoppedSoundLeavesNoStrayNoticeForTheNext) {
  // The first sound's notice was due at 2 s; it must not count for the second.
  std::vector<uint8_t> first = bytesOf(wave(1, 22050, 8, std::string(44100, char(90))));
  std::vector<uint8_t> second = bytesOf(wave(1, 22050, 8, std::string(66150, char(170))));
  playWaveBuffer(first.data(), first.size());
  delay(500);
  stopWave();
  EXPECT_EQ(waveStatus().queuedCount, 0u);
  size_t cut = heardSince().size();
  EXPECT_NEAR(double(cut), 11025, 60);

  playWaveBuffer(second.data(), second.size());
  delay(2000);  // past the first sound's old end
  EXPECT_EQ(waveStatus().queuedCount, 2u) << "the second sound is 65534 + 616 bytes, both still playing";
  waitQuiet();
  EXPECT_EQ(heardSince().size(), cut + 66150);
}

TEST_F(Wave, PeriodCutAndFastRateChooseTheDeviceFormat) {
  // One second of 16-bit voiced sound at 11025 Hz.
  std::string pcm16;
  for (uint8_t b : voiced(11025)) pcm16 += le16(static_cast<uint16_t>((b - 128) * 256));
  struct Case {
    bool periodCut, fastRate;
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
  } cases[] = {
      {false, false, 1, 11025, 16}, {true, false, 1, 11025, 8}, {true, true, 1, 16537, 8},
      {false, true, 1, 16537, 16},  {true, false, 2, 11025, 16},
  };
  for (const Case &c : cases) {
    setWavePeriodCut(c.periodCut);
    setWaveFastRate(c.fastRate);
    std::string path = file("format.wav", wave(c.channels, 11025, 16, pcm16));
    uint64_t before = consoleClock();
    EXPECT_EQ(playWaveFile(path.c_str()), 0);
    WaveStatus status = waveStatus();
    EXPECT_EQ(status.rate, c.rate) << c.periodCut << c.fastRate << c.channels;
    EXPECT_EQ(status.bits, c.bits) << c.periodCut << c.fastRate << c.channels;
    // The play time follows: half the data at 8 bits, a faster rate, about
    // half the periods when cut.
    double seconds = 22050.0 / (c.channels * 2) / c.rate;
    if (c.periodCut && c.channels == 1) seconds /= 2;
    EXPECT_NEAR(double(consoleClock() - before), 1000 * seconds, 1000 * seconds * 0.15)
        << c.periodCut << c.fastRate << c.channels;
  }
}

TEST_F(Wave, CaptureConvertsToMono22050) {
  struct Case {
    const char *name;
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    std::string data;
    std::vector<int16_t> start;  // the first samples heard
  } cases[] = {
      // 11025 Hz: every source frame, then the point halfway to the next.
      {"8-bit mono 11025", 1, 11025, 8, std::string("\x80\xA0\xC0", 3) + std::string(297, char(0xC0)),
       {0, 4096, 8192, 12288, 16384, 16384}},
      // Stereo: the two channels averaged; 44100 Hz: every other frame.
      {"16-bit stereo 44100", 2, 44100, 16,
       le16(1000) + le16(3000) + le16(9) + le16(9) + le16(static_cast<uint16_t>(-400)) + le16(0) + std::string(1188, '\0'),
       {2000, -200}},
  };
  for (const Case &c : cases) {
    mark = capturedSamples().size();
    std::vector<uint8_t> image = bytesOf(wave(c.channels, c.rate, c.bits, c.data));
    playWaveBuffer(image.data(), image.size());
    waitQuiet();
    std::vector<int16_t> s = heardSince();
    uint32_t frames = uint32_t(c.data.size()) / c.channels / (c.bits / 8);
    EXPECT_NEAR(double(s.size()), frames * 22050.0 / c.rate, 2) << c.name;
    ASSERT_GE(s.size(), c.start.size()) << c.name;
    EXPECT_EQ(std::vector<int16_t>(s.begin(), s.begin() + long(c.start.size())), c.start) << c.name;
  }
}

TEST_F(Wave, TheSoundLogNamesEverySoundStarted) {
  std::string path = file("logged.wav", wave(1, 22050, 8, std::string(300, char(50))));
  std::vector<uint8_t> image = bytesOf(wave(1, 22050, 8, std::string(777, char(50))));
  std::vector<uint8_t> broken = bytesOf(std::string("RIFF") + le32(0) + "WAVE");
  std::string before = scratch().read("sounds.log");

  playWaveFile(path.c_str());
  playWaveFile(scratch().file("absent.wav").c_str());
  playWaveBuffer(image.data(), image.size());
  playWaveBuffer(broken.data(), broken.size());  // plays nothing
  waitQuiet();
  startTone(440);
  stopTone();
  setWaveStopOnKey(true);
  headlessInject(charEvent('z'));
  playWaveFile(path.c_str());  // skipped for the waiting key

  EXPECT_EQ(scratch().read("sounds.log"),
            before + path + "\n" + scratch().file("absent.wav") + "\nbuffer 777\ntone 440\n");
}

// ------------------------------------------------------------ cutPeriods

TEST(WaveCutPeriods, DropsEveryOtherPitchPeriodKeepingTheOthersWhole) {
  std::vector<uint8_t> in = voiced(11025);
  std::vector<uint8_t> out = in;
  uint32_t m = cutPeriods(out.data(), uint32_t(out.size()), 8, 11025);
  EXPECT_GT(m, 11025 * 0.45);
  EXPECT_LT(m, 11025 * 0.6);
  // The start runs to the first peak at or after byte 200, untouched.
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 200, in.begin()));
  // Then whole periods, each from its peak to the next one inclusive: the
  // pitch is unchanged, the speech twice as fast.
  size_t periods = 0;
  for (size_t at = 200; at + 101 <= m - 100; at += 101, ++periods) {
    for (size_t j = 0; j <= 100; ++j) ASSERT_EQ(out[at + j], in[j % 100]) << at << " " << j;
  }
  EXPECT_GT(periods, 45u);

  // The same sound in 16 bits is cut the same, as 8-bit samples.
  std::vector<uint8_t> in16;
  for (uint8_t b : in) {
    int16_t s = static_cast<int16_t>((b - 128) * 256 + 77);
    in16.push_back(static_cast<uint8_t>(s & 255));
    in16.push_back(static_cast<uint8_t>(uint16_t(s) >> 8));
  }
  uint32_t m16 = cutPeriods(in16.data(), uint32_t(in16.size()), 16, 11025);
  ASSERT_EQ(m16, m);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + m, in16.begin()));
}

TEST(WaveCutPeriods, EndsOnAnyContent) {
  struct Case {
    const char *name;
    std::vector<uint8_t> bytes;
    uint16_t bits;
    uint32_t rate;
  } cases[] = {
      {"all zero bytes (no peak anywhere)", std::vector<uint8_t>(20000, 0), 8, 22050},
      {"silence", std::vector<uint8_t>(20000, 128), 8, 11025},
      {"shorter than the first search range", voiced(1100), 8, 22050},
      {"just over 1000 bytes", voiced(1001), 8, 11025},
      {"999 bytes are left alone", voiced(999), 8, 22050},
      {"odd 16-bit length", std::vector<uint8_t>(4001, 200), 16, 22050},
  };
  for (Case &c : cases) {
    uint32_t n = uint32_t(c.bytes.size());
    uint32_t m = cutPeriods(c.bytes.data(), n, c.bits, c.rate);
    EXPECT_LE(m, c.bits == 16 ? n / 2 : n) << c.name;
    if (n / (c.bits / 8) < 1000) {
      EXPECT_EQ(m, n / (c.bits / 8)) << c.name;
    }
  }
}

// ------------------------------------------------------------ the SDL device

// SDL's dummy audio driver runs the real callback on real time, without a
// sound card. The player picks its device once, so this runs in a process
// of its own.
TEST(WaveSdlDevice, ReturnsEveryBlockAndResetsAtOnce) {
  if (!std::getenv("KALEVO_WAVE_SDL_CHILD")) {
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(len, 0);
    self[len] = 0;
    std::string command = std::string("env -u KALEVO_SOUND_LOG KALEVO_WAVE_SDL_CHILD=1 KALEVO_DISPLAY=headless "
                                      "KALEVO_AUDIO=sdl SDL_AUDIODRIVER=dummy '") + self +
                          "' --gtest_filter=WaveSdlDevice.ReturnsEveryBlockAndResetsAtOnce 2>&1";
    FILE *child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    std::string output;
    char buffer[512];
    while (size_t got = fread(buffer, 1, sizeof buffer, child)) output.append(buffer, got);
    int status = pclose(child);
    if (output.find("[  SKIPPED ]") != std::string::npos) GTEST_SKIP() << "no SDL audio driver here";
    EXPECT_EQ(status, 0) << output;
    return;
  }
  ASSERT_TRUE(selectConsoleBackend());
  setWaveStopOnKey(false);
  // The headless display cannot wait for a real device: poll on real time.
  auto waitReal = [] {
    for (int i = 0; i < 5000 && waveStatus().queuedCount > 0; ++i) {
      usleep(1000);
      pumpAllMessages();
    }
  };
  std::vector<uint8_t> image = bytesOf(wave(1, 22050, 8, std::string(2205, char(100))));
  playWaveBuffer(image.data(), image.size());
  if (!waveStatus().deviceOpen) GTEST_SKIP() << "SDL has no audio output";
  playWaveBuffer(image.data(), image.size());
  EXPECT_EQ(waveStatus().queuedCount, 2u);
  waitReal();
  EXPECT_EQ(waveStatus().queuedCount, 0u);
  EXPECT_FALSE(waveBusy());
  EXPECT_FALSE(waveStatus().deviceOpen);

  // 16-bit stereo, three full blocks (about a second): stopped at once.
  std::vector<uint8_t> longer = bytesOf(wave(2, 48000, 16, std::string(3 * 65534, char(3))));
  playWaveBuffer(longer.data(), longer.size());
  EXPECT_EQ(waveStatus().bits, 16);
  EXPECT_EQ(waveStatus().queuedCount, 3u);
  stopWave();
  EXPECT_EQ(waveStatus().queuedCount, 0u);
  EXPECT_FALSE(waveStatus().deviceOpen);

  // And the device plays again after the reset.
  playWaveBuffer(image.data(), image.size());
  waitReal();
  EXPECT_EQ(waveStatus().queuedCount, 0u);
}
