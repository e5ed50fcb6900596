#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "klconcat.h"
#include "klcrt.h"
#include "kldifone.h"
#include "klfala.h"
#include "klregras.h"
#include "kltradutor.h"
#include "klwave.h"
#include "support/tempdir.h"

namespace {

std::string le16(uint32_t v) { return {static_cast<char>(v & 255), static_cast<char>(v >> 8 & 255)}; }
std::string le32(uint32_t v) { return le16(v) + le16(v >> 16); }

// An 8-bit mono 11025 Hz recording; chunks may be put between fmt and data.
std::string recording(const std::string &samples, const std::string &before = "", const char *riff = "RIFF") {
  std::string fmt = "fmt " + le32(16) + le16(1) + le16(1) + le32(11025) + le32(11025) + le16(1) + le16(8);
  std::string body = "WAVE" + fmt + before + "data" + le32(uint32_t(samples.size())) + samples;
  return riff + le32(uint32_t(body.size())) + body;
}

using Runs = std::vector<std::pair<int, int>>;  // (byte value, count)

// The fixture's units: each is a run of one byte value, so the output shows
// which units were laid and how many bytes of each.
struct Unit {
  const char *name;
  int length;
  int value;
};
const Unit UNITS[] = {
    {"$A", 1000, 1},    {"$ACIRC", 900, 2}, {"$KA", 1000, 4},   {"$KAZ", 1000, 5}, {"$NN", 1000, 6},
    {"$S", 500, 7},     {"$AW", 1000, 10},  {"$DO", 300, 11},   {"$DE", 800, 12},  {"$BIG", 65535, 13},
    {"$EXACT", 62956, 14},
    {"$SHORT", 1000, 15},  // last in the sample file, which holds only 100 of its bytes
};

// A database, a letters folder and KALEVO.INI in a temp folder; the engine
// started on them, sound going to the null device and the sound log.
class Concat : public ::testing::Test {
 protected:
  static inline TempDir dir;
  ScopedEnv sysdir{"KALEVO_SYSDIR", dir.file("sys")};

  static void SetUpTestSuite() {
    // Read at the wave player's first use.
    setenv("KALEVO_AUDIO", "null", 1);
    setenv("KALEVO_SOUND_LOG", dir.file("sounds.log").c_str(), 1);
    dir.write("sys/KALEVO.INI", "[TRADUTOR]\ndirLetras=" + dir.file("letras") + "\nDIRDIFONES=" +
                                    dir.file("difones") + "\n");
    std::vector<Unit> units(std::begin(UNITS), std::end(UNITS));
    std::string samples;
    std::map<std::string, std::string> records;
    for (const Unit &u : units) {
      std::string r(15, '\0');
      r[0] = static_cast<char>(std::string(u.name).size());
      r.replace(1, std::string(u.name).size(), u.name);
      r.replace(9, 2, le16(u.length));
      r.replace(11, 4, le32(uint32_t(samples.size())));
      records[u.name] = r;
      samples += std::string(std::string(u.name) == "$SHORT" ? 100 : u.length, static_cast<char>(u.value));
    }
    std::string index;
    for (const auto &[name, r] : records) index += r;  // sorted by name bytes
    dir.write("difones/TESTE.IND", index);
    dir.write("difones/TESTE.DIF", samples);
    dir.write("difones/regras.rgr", "");
    dir.write("difones/portug.exc", "");

    dir.write("letras/_66.wav", recording(std::string(300, 20)));  // B
    dir.write("letras/_98.wav", recording(std::string(300, 25)));  // b
    dir.write("letras/_44.wav", recording(std::string(250, 21)));  // comma
    dir.write("letras/_69.wav", recording(std::string(200, 22), "LIST" + le32(4) + "abcd", "riff"));
    dir.write("letras/_68.wav", "not a wave");
    dir.write("letras/_71.wav", recording("").substr(0, 30));              // fmt runs past the end
    dir.write("letras/_72.wav", recording(std::string(1000, 23)).substr(0, 44 + 50));  // data cut short
    dir.write("letras/_70.wav", recording(std::string(70000, 24)));  // longer than a chunk
  }

  void SetUp() override {
    ASSERT_TRUE(selectConsoleBackend());
    setWaveStopOnKey(false);
    SetDiphoneDatabaseName("TESTE");
    SetCutSettings(400, 0, 100);
    ASSERT_EQ(StartDiphoneEngine(), 0);
    ResetDiphoneStats();
    BeginPhonetic("", false);
    logMark = soundLog().size();
  }
  void TearDown() override {
    while (speechBusy()) waitMessage();
    CloseDiphoneEngine();
  }

  size_t logMark = 0;

  static std::vector<std::string> soundLog() {
    std::ifstream in(dir.file("sounds.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::vector<std::string> soundsSince() const {
    std::vector<std::string> all = soundLog();
    return {all.begin() + static_cast<long>(std::min(logMark, all.size())), all.end()};
  }

  // The bytes laid in the output buffer so far (not yet played).
  static std::string laid(size_t from = 0) {
    const unsigned char *b = DiphoneOutputBuffer() + OUTPUT_HEADER_SIZE;
    size_t n = OutputFillLevel() - OUTPUT_HEADER_SIZE;
    return from < n ? std::string(reinterpret_cast<const char *>(b) + from, n - from) : "";
  }
  // The samples of the last chunk played.
  static std::string lastPlayed() {
    const unsigned char *b = DiphoneOutputBuffer();
    uint32_t n = b[40] | b[41] << 8 | b[42] << 16 | uint32_t(b[43]) << 24;
    return std::string(reinterpret_cast<const char *>(b) + OUTPUT_HEADER_SIZE, n);
  }
  static Runs runs(const std::string &bytes) {
    Runs r;
    for (unsigned char c : bytes) {
      if (!r.empty() && r.back().first == c) ++r.back().second;
      else r.emplace_back(c, 1);
    }
    return r;
  }
  static bool isNoise(const std::string &bytes) {
    return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](char c) {
      return static_cast<unsigned char>(c) >= 88 && static_cast<unsigned char>(c) <= 167;
    });
  }
};

}  // namespace

TEST_F(Concat, FoundUnitsAreCutUnlessStressedOrShort) {
  const struct {
    int cut, minimum;
    const char *name;
    int mode;
    double factor;
    Runs expected;
  } cases[] = {
      {400, 0, "$KA", 1, 1.0, {{4, 600}}},
      {400, 0, "$ka", 0, 1.0, {{4, 600}}},       // looked up upper-cased
      {400, 0, "$KA", 2, 1.0, {{4, 1000}}},      // the stressed unit is whole
      {400, 0, "$A", 1, 1.0, {{1, 1000}}},       // two name bytes: never cut
      {400, 0, "$DO", 1, 1.0, {}},               // shorter than the cut
      {400, 500, "$DE", 1, 1.0, {{12, 500}}},    // the cut keeps the minimum
      {400, 500, "$DO", 1, 1.0, {{11, 300}}},    // ... but not more than the unit
      {400, 0, "$KA", 1, 0.6, {{4, 360}}},
      {400, 0, "$KA", 2, 0.9, {{4, 900}}},
  };
  for (const auto &c : cases) {
    SetCutSettings(c.cut, c.minimum, 100);
    BeginPhonetic("", false);
    EXPECT_TRUE(PlayDiphone(c.name, c.mode, c.factor)) << c.name;
    EXPECT_EQ(runs(laid()), c.expected) << c.name << " mode " << c.mode << " factor " << c.factor;
  }
  EXPECT_FALSE(PlayDiphone("$KAZA", 2, 1.0));
  EXPECT_EQ(DiphoneStatistics().cutToNothing, 1u);
}

TEST_F(Concat, MissingUnitsFallBack) {
  const struct {
    const char *name;
    int mode;
    size_t noiseFirst;  // noise bytes laid before the runs
    Runs expected;
  } cases[] = {
      {"$KAZA", 1, 0, {{5, 540}, {1, 1000}}},            // $KAZ at 0.9, then $A whole
      {"$KOZA", 1, 0, {{1, 1000}}},                      // $KOZ missing too: nothing for it
      {"$X", 1, 300, {}},                                // short and missing: noise
      {"$KATIL", 1, 300, {{2, 810}, {6, 540}}},          // $KACIRC (mode 2) = $K + $ACIRC, then $nn
      {"$KECIRC", 2, 300, {}},                           // $K noise, $ECIRC silent
      {"$ECIRC", 1, 0, {}},                              // six bytes ending in CIRC: silent
  };
  for (const auto &c : cases) {
    BeginPhonetic("", false);
    PlayUnit(c.name, c.mode, 1.0);
    std::string bytes = laid();
    EXPECT_TRUE(c.noiseFirst == 0 || isNoise(bytes.substr(0, c.noiseFirst))) << c.name;
    EXPECT_EQ(runs(bytes.substr(std::min(c.noiseFirst, bytes.size()))), c.expected) << c.name;
  }
  const DiphoneStats &s = DiphoneStatistics();
  EXPECT_EQ(s.unitsAsked, 6u);
  EXPECT_EQ(s.foundDirectly, 0u);
  EXPECT_EQ(s.noiseBursts, 3u);
}

TEST_F(Concat, SegmentsAreSplitIntoUnits) {
  const struct {
    const char *segment;
    std::vector<std::string> names;
  } cases[] = {
      {"kasa", {"$kasa"}},
      {"stra", {"$s", "$t", "$ra"}},        // two consonants: the first alone
      {"tcha", {"$tcha"}},
      {"nha", {"$nha"}},
      {"kasas", {"$kasa", "$s"}},
      {"karr", {"$ka", "$rr"}},
      {"paw", {"$pa", "$aw"}},
      {"pa~w", {"$paCIRC", "$awTIL"}},      // vowel, glide, then the mark
      {"a^y", {"$ayCIRC"}},
      {"^w", {"$w"}},                       // a mark with no vowel: the glide alone
      {"as", {"$a", "$s"}},
      {"_s", {"_115"}},
      {"_,", {"_44"}},
      {"|", {"_84"}},
  };
  for (const auto &c : cases) {
    std::vector<UnitRequest> requests;
    DryRunPhonetic(std::string("[") + c.segment + "]", true, &requests);
    std::vector<std::string> names;
    for (const UnitRequest &r : requests)
      if (r.depth == 0) names.push_back(r.name);
    EXPECT_EQ(names, c.names) << c.segment;
  }
}

TEST_F(Concat, LengthFactorsOfGlidesAndFinalS) {
  SplitSegment("kaw", 1.0);  // $KA at 0.6 (cut first), then $AW whole but cut
  EXPECT_EQ(runs(laid()), (Runs{{4, 360}, {10, 600}}));
  BeginPhonetic("", false);
  SplitSegment("as", 1.0);  // $A at 0.7, then $S
  EXPECT_EQ(runs(laid()), (Runs{{1, 700}, {7, 500}}));
}

TEST_F(Concat, NextSegmentJoinsPartsAndStopsAtTheEnd) {
  const std::string digits = "0123456789";
  const struct {
    std::string text;
    bool pausesOff;
    std::vector<std::string> segments;
    size_t silence;
  } cases[] = {
      {"[a/b/c]", false, {"abc"}, 0},
      {"[abcdefghi/jk]", false, {"abcdefghi", "jk"}, 0},  // a forced break past 8 bytes
      {"[abcdefgh/jk]", false, {"abcdefghjk"}, 0},
      {"[ /_B/ /_C]", false, {"", "_B", "_C"}, 0},
      {"[ /_,]", false, {"", ""}, COMMA_PAUSE},
      {"[ /_.]", false, {"", ""}, FULL_STOP_PAUSE},
      {"[ /_,]", true, {"", "_,"}, 0},
      {"[_]]", false, {"_]"}, 0},                          // the byte after _ is taken as it is
      {"[a|b]", false, {"_TRACOb"}, 0},
      {"[ab", false, {"ab"}, 0},                           // no closing byte
      {"[a/_", false, {"a"}, 0},                           // a lone _ at the end
      {"[", false, {""}, 0},
      {"[" + digits + "/" + digits + digits + digits + digits + "abc]", false,
       {digits, digits + digits + digits + digits}, 0},  // at most 40 bytes
  };
  for (const auto &c : cases) {
    BeginPhonetic(c.text, c.pausesOff);
    std::vector<std::string> segments;
    while (PhoneticLeft() && segments.size() < 10) segments.push_back(NextSegment());
    EXPECT_EQ(segments, c.segments) << c.text;
    EXPECT_EQ(laid(), std::string(c.silence, '\x80')) << c.text;
  }
}

TEST_F(Concat, LetterRecordings) {
  const struct {
    const char *name;
    bool found;
    Runs expected;
  } cases[] = {
      {"_66", true, {{20, 300}}},
      {"_69", true, {{22, 200}}},  // lower-case riff, a LIST chunk before the data
      {"_68", false, {}},
      {"_71", false, {}},
      {"_72", true, {{23, 50}}},   // only the bytes the file holds
      {"_67", false, {}},
  };
  for (const auto &c : cases) {
    BeginPhonetic("", false);
    EXPECT_EQ(PlayLetterRecording(c.name), c.found) << c.name;
    EXPECT_EQ(runs(laid()), c.expected) << c.name;
  }
}

TEST_F(Concat, UnitsLongerThanAChunkArePlayedInPieces) {
  PlayLetterRecording("_70");  // 70 000 bytes
  PlayDiphone("$BIG", 2, 1.0);  // 65 535 bytes
  FlushOutput();
  EXPECT_EQ(soundsSince(),
            (std::vector<std::string>{"buffer 63956", "buffer 6044", "buffer 63956", "buffer 1579"}));
  EXPECT_EQ(runs(lastPlayed()), (Runs{{13, 1579}}));
}

TEST_F(Concat, AUnitThatWouldFillTheBufferExactlyIsPlayedAfterIt) {
  PlayDiphone("$A", 1, 1.0);
  PlayDiphone("$EXACT", 2, 1.0);  // 1044 + 62 956 = 64 000
  EXPECT_EQ(soundsSince(), (std::vector<std::string>{"buffer 1000"}));
  EXPECT_EQ(runs(laid()), (Runs{{14, 62956}}));
}

TEST_F(Concat, ASampleFileShorterThanTheIndexGivesWhatItHolds) {
  EXPECT_TRUE(PlayDiphone("$SHORT", 2, 1.0));
  EXPECT_EQ(runs(laid()), (Runs{{15, 100}}));
}

TEST_F(Concat, SpeakPhoneticPlaysGroupsWithGapsAndPauses) {
  const struct {
    const char *text;
    int wordGap;
    Runs expected;
  } cases[] = {
      {"[ka][ka]", 100, {{4, 600}, {128, 100}, {4, 600}}},      // no gap after the last group
      {"[ka][ka]", 150, {{4, 600}, {128, 100}, {4, 600}}},      // gaps in whole hundreds
      {"[kA a^]", 100, {{4, 1000}, {2, 500}}},                  // stress ends with its unit
      {"[a^ kA]", 100, {{2, 500}, {4, 1000}}},
      {"[ka][ /_,][ka]", 100, {{4, 600}, {128, 100 + 4000 + 100}, {4, 600}}},
      {"[ /_B]", 100, {{20, 300}}},
      {"[ka", 100, {{4, 600}}},
  };
  for (const auto &c : cases) {
    SetCutSettings(400, 0, c.wordGap);
    size_t mark = soundLog().size();
    SpeakPhonetic(c.text, false);
    std::vector<std::string> log = soundLog();
    ASSERT_EQ(log.size(), mark + 1) << c.text;
    EXPECT_EQ(runs(lastPlayed()), c.expected) << c.text;
  }
  // With the pauses off, the comma is its recording.
  SpeakPhonetic("[ /_,]", true);
  EXPECT_EQ(runs(lastPlayed()), (Runs{{21, 250}}));
}

TEST_F(Concat, SpeakPhoneticNeverReadsPastTheString) {
  for (const char *text : {"[", "[_", "_", "[^w]", "^w", "/", "|", "[ka/", "[ /_", "]]]", "[~", "[A^~^~"}) {
    SpeakPhonetic(text, false);
    SpeakPhonetic(text, true);
  }
  SpeakPhonetic(std::string(3000, '/'), false);
  SpeakPhonetic(std::string("[\0a]", 4), false);
  EXPECT_EQ(OutputFillLevel(), OUTPUT_HEADER_SIZE);
}

TEST_F(Concat, DryRunCountsWhatTheLookupFinds) {
  std::vector<UnitRequest> requests;
  DryRunPhonetic("[kaza ka x ko^][ /_B][ /_C]", false, &requests);
  std::vector<std::tuple<std::string, int, UnitOutcome>> got;
  for (const UnitRequest &r : requests) got.emplace_back(r.name, r.depth, r.outcome);
  using O = UnitOutcome;
  EXPECT_EQ(got, (std::vector<std::tuple<std::string, int, UnitOutcome>>{
                     {"$kaza", 0, O::FallBack}, {"$kaz", 1, O::Found}, {"$a", 1, O::Found},
                     {"$ka", 0, O::Found},      {"$x", 0, O::Noise},
                     {"$koCIRC", 0, O::FallBack}, {"$k", 1, O::Noise}, {"$oCIRC", 1, O::Silent},
                     {"_66", 0, O::Found},      {"_67", 0, O::Silent}}));
  const DiphoneStats &s = DiphoneStatistics();
  EXPECT_EQ(s.unitsAsked, 6u);
  EXPECT_EQ(s.foundDirectly, 2u);
  EXPECT_EQ(s.fallBacks, 2u);
  EXPECT_EQ(s.partsFound, 2u);
  EXPECT_EQ(s.noiseBursts, 2u);
  EXPECT_EQ(s.silentUnits, 2u);
  // Nothing was laid or played.
  EXPECT_EQ(OutputFillLevel(), OUTPUT_HEADER_SIZE);
  EXPECT_TRUE(soundsSince().empty());
}

TEST_F(Concat, TranslatedTextIsSpoken) {
  // Spelled words keep their bytes: b is the recording of code 98.
  std::string phonetic = TranslateText("B,");
  EXPECT_EQ(phonetic, "[ /_b][ /_,]");
  SpeakPhonetic(phonetic, true);
  EXPECT_EQ(runs(lastPlayed()), (Runs{{25, 300}, {128, 100}, {21, 250}}));
}
