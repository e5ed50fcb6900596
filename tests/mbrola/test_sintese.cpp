// Durations, pitch and joins of the synthesizer, measured on its output.
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "apoio.h"

using voz_sintetica::PERIOD;
using voz_sintetica::RATE;

namespace {

struct Phoneme {
  std::string name;
  double ms;
};

std::vector<Phoneme> phonemesOf(const std::string &text) {
  std::vector<Phoneme> list;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    char name[32];
    double ms;
    if (std::sscanf(line.c_str(), "%31s %lf", name, &ms) == 2) list.push_back({name, ms});
    start = end + 1;
  }
  return list;
}

// Mean absolute amplitude over one period centred at n.
double envelope(const std::vector<short> &x, int64_t n) {
  double sum = 0;
  int count = 0;
  for (int64_t k = n - PERIOD / 2; k < n + PERIOD / 2; ++k)
    if (k >= 0 && k < int64_t(x.size())) sum += std::abs(x[size_t(k)]), ++count;
  return count ? sum / count : 0;
}

}  // namespace

TEST_F(SyntheticVoice, UtteranceAndPhonemeSpansFollowTheRequestedDurations) {
  const char *cases[] = {
      "_ 100\na 200\n_ 100\n",
      "_ 50\na 33.3\ns 71.7\ni 250\n_ 20\n",
      "a 10\ni 12\na 1000\ns 400\n",                   // well under and well over the recordings' length
      "_ 80\na 300 0 80 100 250\ni 150 50 300\n_ 80\n",  // duration must not depend on pitch
      "s 45\n_ 0.4\na 61\n",                            // a phoneme shorter than one sample
  };
  for (const char *text : cases) {
    SCOPED_TRACE(text);
    std::vector<Phoneme> requested = phonemesOf(text);
    std::vector<short> out = speak(text);
    double sum = 0;
    for (auto &p : requested) sum += p.ms;
    EXPECT_LE(std::fabs(double(out.size()) - sum * RATE / 1000), PERIOD);
    const std::vector<MbSpan> &spans = mbrolaLastSpans();
    ASSERT_EQ(spans.size(), requested.size());
    double startMs = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
      EXPECT_NEAR(spans[i].start * 1000.0 / RATE, startMs, 2.0) << "phoneme " << i;
      EXPECT_NEAR(spans[i].length * 1000.0 / RATE, requested[i].ms, 2.0) << "phoneme " << i;
      startMs += requested[i].ms;
    }
  }
}

// The spans are where the sound is: a vowel between silences is loud from
// its start to its end and quiet outside, give or take the one-period taper
// of the grains.
TEST_F(SyntheticVoice, VowelsSoundWithinTheirSpans) {
  std::vector<short> out = speak("_ 100\na 180\n_ 120\ni 90 50 200\n_ 100\n");
  const std::vector<MbSpan> &spans = mbrolaLastSpans();
  ASSERT_EQ(spans.size(), 5u);
  for (size_t vowel : {size_t(1), size_t(3)}) {
    SCOPED_TRACE(vowel);
    int64_t from = spans[vowel].start, to = spans[vowel].start + spans[vowel].length;
    double loud = 0;
    for (int64_t n = from + PERIOD; n < to - PERIOD; n += PERIOD / 4) loud = std::max(loud, envelope(out, n));
    ASSERT_GT(loud, 1000);
    for (int64_t n = from + PERIOD; n < to - PERIOD; n += PERIOD / 4) EXPECT_GT(envelope(out, n), loud * 0.3) << n;
    EXPECT_LT(envelope(out, from - 2 * PERIOD), loud * 0.05);
    EXPECT_LT(envelope(out, to + 2 * PERIOD), loud * 0.05);
  }
}

TEST_F(SyntheticVoice, FundamentalFollowsThePitchCurve) {
  struct Case {
    const char *text;
    std::function<double(double ms)> expected;  // from the start of the utterance
  };
  auto line = [](double t0, double f0, double t1, double f1) {
    return [=](double t) { return t <= t0 ? f0 : t >= t1 ? f1 : f0 + (f1 - f0) * (t - t0) / (t1 - t0); };
  };
  const Case cases[] = {
      {"a 600\n", [](double) { return 125.0; }},  // no target: the voice's own pitch
      {"a 600 50 100\n", [](double) { return 100.0; }},
      {"a 600 0 200 100 200\n", [](double) { return 200.0; }},
      {"a 600 0 90 100 90\n", [](double) { return 90.0; }},
      {"a 800 0 100 100 200\n", line(0, 100, 800, 200)},
      {"a 800 0 220 100 110\n", line(0, 220, 800, 110)},
      // Across phonemes, held before the first target and after the last.
      {"a 300 50 100\ni 300 50 200\na 300\n", line(150, 100, 450, 200)},
      {"i 400 25 240\na 200\ni 400 75 120\n", line(100, 240, 900, 120)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<short> out = speak(c.text);
    const size_t frame = RATE * 40 / 1000, hop = RATE * 20 / 1000;
    // Frames clear of the silence that surrounds the utterance.
    int frames = 0;
    for (size_t from = RATE * 30 / 1000; from + frame + RATE * 30 / 1000 <= out.size(); from += hop) {
      double centreMs = (from + frame / 2.0) * 1000.0 / RATE;
      double expected = c.expected(centreMs);
      double measured = measureF0(out, from, frame, RATE);
      EXPECT_NEAR(measured, expected, expected * 0.03) << "at " << centreMs << " ms";
      ++frames;
    }
    EXPECT_GT(frames, 10);
  }
}

// At every join inside a vowel, the output moves from one sample to the next
// by no more than the two recordings that meet there move inside themselves,
// although the units differ in loudness and phase.
TEST_F(SyntheticVoice, JoinsAreNoSteeperThanTheRecordings) {
  const MbVoz *voice = mbrolaVoice();
  ASSERT_NE(voice, nullptr);
  auto steepest = [&](int left, int right) {
    const MbDifone &d = mbDiphone(*voice, left, right);
    int jump = 0;
    for (uint32_t n = 1; n < d.length; ++n)
      jump = std::max(jump, std::abs(voice->samples[d.first + n] - voice->samples[d.first + n - 1]));
    return jump;
  };
  const char *cases[] = {
      "_ 80\na 150\ni 150\na 120\ni 200\n_ 80\n",
      "_ 80\na 150 50 160\ni 150\na 120\ni 200 50 100\n_ 80\n",
      "_ 80\na 40 50 200\ni 400\na 30\ni 500 50 80\n_ 80\n",
      "_ 80\na 150\ns 100\ni 150\n_ 80\n",
      "_ 80\na 150\na 150 50 110\na 120\n_ 80\n",  // a unit joined to itself
  };
  for (const char *text : cases) {
    SCOPED_TRACE(text);
    std::vector<Phoneme> phonemes = phonemesOf(text);
    std::vector<short> out = speak(text);
    const std::vector<MbSpan> &spans = mbrolaLastSpans();
    ASSERT_EQ(spans.size(), phonemes.size());
    for (size_t i = 1; i + 1 < phonemes.size(); ++i) {
      int p = mbFindPhoneme(*voice, phonemes[i].name.c_str(), phonemes[i].name.size());
      if (!voz_sintetica::voiced(p)) continue;
      int before = mbFindPhoneme(*voice, phonemes[i - 1].name.c_str(), phonemes[i - 1].name.size());
      int after = mbFindPhoneme(*voice, phonemes[i + 1].name.c_str(), phonemes[i + 1].name.size());
      int limit = std::max(steepest(before, p), steepest(p, after));
      int jump = 0;
      for (int64_t n = spans[i].join - 2 * PERIOD; n < spans[i].join + 2 * PERIOD; ++n)
        if (n > 0 && n < int64_t(out.size())) jump = std::max(jump, std::abs(out[size_t(n)] - out[size_t(n - 1)]));
      EXPECT_LE(jump, limit + 1) << "join in phoneme " << i;  // + 1: the output is rounded to whole samples
      EXPECT_GT(jump, 0);
    }
  }
}

TEST_F(SyntheticVoice, VolumeRateAndSampleTypes) {
  const std::string text = "_ 50\na 300 50 150\ns 100\n_ 50\n";
  std::vector<short> plain = speak(text);
  ASSERT_EQ(plain.size(), 8000u);

  setVolumeRatio_MBR(0.5f);
  EXPECT_FLOAT_EQ(getVolumeRatio_MBR(), 0.5f);
  std::vector<short> half = speak(text);
  ASSERT_EQ(half.size(), plain.size());
  for (size_t n = 0; n < plain.size(); ++n) ASSERT_NEAR(half[n], plain[n] * 0.5, 1.0) << n;
  setVolumeRatio_MBR(1.0f);

  for (int rate : {8000, 22050, 44100}) {
    SCOPED_TRACE(rate);
    setFreq_MBR(rate);
    EXPECT_EQ(getFreq_MBR(), rate);
    std::vector<short> out = speak(text);
    EXPECT_NEAR(double(out.size()), 0.5 * rate, 2);
    EXPECT_NEAR(measureF0(out, size_t(0.1 * rate), size_t(0.04 * rate), rate), 150, 150 * 0.03);
    EXPECT_NEAR(double(mbrolaLastSpans()[2].start), 0.35 * rate, 2);
  }
  setFreq_MBR(0);
  EXPECT_EQ(getFreq_MBR(), int(RATE));

  // The one-byte encodings decode back to the 16-bit samples within their steps.
  auto mulaw = [](uint8_t u) {
    u = ~u;
    int t = ((u & 0x0f) << 3) + 0x84;
    t <<= (u & 0x70) >> 4;
    return (u & 0x80) ? 0x84 - t : t - 0x84;
  };
  auto alaw = [](uint8_t a) {
    a ^= 0x55;
    int t = (a & 0x0f) << 4;
    int seg = (a & 0x70) >> 4;
    t = seg == 0 ? t + 8 : seg == 1 ? t + 0x108 : (t + 0x108) << (seg - 1);
    return (a & 0x80) ? t : -t;
  };
  for (int type : {MBR_LIN8, MBR_ULAW, MBR_ALAW}) {
    SCOPED_TRACE(type);
    write_MBR(text.c_str());
    flush_MBR();
    std::vector<uint8_t> bytes(plain.size() + 10);
    ASSERT_EQ(readtype_MBR(bytes.data(), int(bytes.size()), type), int(plain.size()));
    for (size_t n = 0; n < plain.size(); ++n) {
      int decoded = type == MBR_LIN8 ? (int(bytes[n]) - 128) * 256 : type == MBR_ULAW ? mulaw(bytes[n]) : alaw(bytes[n]);
      ASSERT_NEAR(decoded, plain[n], 256 + std::abs(plain[n]) / 16) << n;
    }
  }
  EXPECT_LT(readtype_MBR(nullptr, 10, 9), 0);
}

namespace {

struct PhoneList {
  std::vector<std::pair<std::string, float>> phones;
  size_t next = 0;
};

int nextPhone(void *context, MbrPhone **phone) {
  PhoneList *list = static_cast<PhoneList *>(context);
  if (list->next == list->phones.size()) return 0;
  auto &[name, ms] = list->phones[list->next++];
  if (name == "#") return 2;
  *phone = init_Phone(name.c_str(), ms);
  appendf0_Phone(*phone, 0, 300);  // dropped just below
  reset_Phone(*phone);
  EXPECT_EQ(appendf0_Phone(*phone, 50, 140), 1);
  return 1;
}

}  // namespace

TEST_F(SyntheticVoice, PhonesFromAParserSpeakLikeText) {
  std::vector<short> fromText = speak("_ 50 50 140\na 120 50 140\ns 80 50 140\n_ 50 50 140\n");
  PhoneList list{{{"_", 50}, {"a", 120}, {"s", 80}, {"_", 50}, {"#", 0}}};
  MbrParser parser{&list, nextPhone};
  setParser_MBR(&parser);
  std::vector<short> fromPhones;
  short buffer[700];
  int n;
  while ((n = read_MBR(buffer, 700)) > 0) fromPhones.insert(fromPhones.end(), buffer, buffer + n);
  EXPECT_EQ(fromPhones, fromText);

  EXPECT_EQ(init_Phone("a-name-of-sixteen", 10), nullptr);
  EXPECT_EQ(init_Phone(nullptr, 10), nullptr);
  EXPECT_EQ(appendf0_Phone(nullptr, 10, 100), -1);
  close_Phone(nullptr);
}

TEST_F(SyntheticVoice, RenamesClonesAndDescriptions) {
  ASSERT_EQ(init_rename_MBR(voicePath.c_str(), "a A", "i I2"), 0) << lastErrorText();
  EXPECT_EQ(speak("A 100\ni 100\nI2 100\n").size(), 4800u);
  EXPECT_EQ(lastError_MBR(), 0);
  speak("a 100\n");
  EXPECT_EQ(lastError_MBR(), MBR_ERR_PHONEME);
  EXPECT_NE(lastErrorText().find("unknown phoneme a"), std::string::npos);

  char text[256];
  EXPECT_GT(getDatabaseInfo_MBR(text, sizeof text, 0), 0);
  EXPECT_NE(std::string(text).find("sintetica"), std::string::npos);
  getDatabaseInfo_MBR(text, sizeof text, 1);
  EXPECT_EQ(std::string(text), "16000 Hz, pitch 125 Hz");
  getDatabaseInfo_MBR(text, sizeof text, 3);
  EXPECT_EQ(std::string(text), "A I2 _ i s");
  EXPECT_EQ(getDatabaseInfo_MBR(text, 4, 3), 10);  // the full length, whatever fits
  EXPECT_EQ(std::string(text), "A I");
  EXPECT_EQ(getDatabaseInfo_MBR(text, sizeof text, 4), -1);
  EXPECT_GT(getVersion_MBR(text, sizeof text), 0);

  EXPECT_LT(init_rename_MBR(voicePath.c_str(), "o O", nullptr), 0);
  EXPECT_NE(lastErrorText().find("unknown phoneme o"), std::string::npos);
  EXPECT_EQ(getDatabaseInfo_MBR(text, sizeof text, 0), -1);
}
