// Bad voice files and bad phoneme text: an error with a clear message, or a
// sensible output; never a crash.
#include <functional>
#include <random>

#include "apoio.h"

namespace vs = voz_sintetica;

namespace {

void put32At(std::string &file, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) file[at + size_t(i)] = char((v >> (8 * i)) & 0xff);
}
uint32_t get32At(const std::string &file, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(file[at + size_t(i)])) << (8 * i);
  return v;
}
size_t diphoneField(int diphone, int field) { return vs::DIPHONE_TABLE + size_t(diphone) * 24 + size_t(field); }

}  // namespace

TEST(MbrolaVoiceFile, DamagedOrForeignFilesAreRefusedWithAReason) {
  const std::string good = vs::make();
  struct Case {
    const char *what;
    std::function<std::string()> bytes;
    const char *reason;
  };
  std::mt19937 random(7);
  const Case cases[] = {
      {"empty", [] { return std::string(); }, "too short"},
      {"random bytes",
       [&] {
         std::string s(5000, '\0');
         for (char &c : s) c = char(random());
         return s;
       },
       "wrong magic"},
      {"a WAV file", [] { return std::string("RIFF\x24\0\0\0WAVEfmt ", 16) + std::string(100, '\0'); }, "wrong magic"},
      {"cut in the header", [&] { return good.substr(0, 40); }, "too short"},
      {"cut in the diphone table", [&] { return good.substr(0, vs::DIPHONE_TABLE + 30); }, "size does not match"},
      {"cut in the samples", [&] { return good.substr(0, good.size() - 1); }, "size does not match"},
      {"a byte too many", [&] { return good + "x"; }, "size does not match"},
      {"version 2", [&] { std::string s = good; put32At(s, 8, 2); return s; }, "version"},
      {"rate 0", [&] { std::string s = good; put32At(s, 12, 0); return s; }, "rate"},
      {"pitch 0", [&] { std::string s = good; s[32] = s[33] = 0; return s; }, "pitch"},
      {"phoneme count huge", [&] { std::string s = good; put32At(s, 16, 0xffffffffu); return s; }, "phoneme count"},
      {"diphone count short",
       [&] { std::string s = good; put32At(s, 20, vs::COUNT * vs::COUNT - 1); return s; }, "square"},
      {"sample count huge", [&] { std::string s = good; put32At(s, 28, 0x7fffffffu); return s; }, "size does not match"},
      {"pair missing", [&] { std::string s = good; s[diphoneField(5, 2)] = 3; return s; }, "missing the pair a-a"},
      {"samples beyond the end",
       [&] { std::string s = good; put32At(s, diphoneField(6, 4), get32At(s, 28) - 100); return s; }, "samples outside"},
      {"boundary beyond the unit",
       [&] { std::string s = good; put32At(s, diphoneField(3, 12), 5000); return s; }, "boundary"},
      {"marks outside the table",
       [&] { std::string s = good; put32At(s, diphoneField(15, 16), 0xfffffff0u); return s; }, "marks outside"},
      {"marks out of order",
       [&] { std::string s = good; put32At(s, vs::MARK_TABLE + 4 * size_t(get32At(s, diphoneField(5, 16)) + 1), 0x80000001u); return s; },
       "out of order"},
      {"no silence phoneme", [&] { std::string s = good; s[vs::PHONEME_TABLE] = 'x'; return s; }, "no silence"},
      {"a name twice", [&] { std::string s = good; s[vs::PHONEME_TABLE + 8 * 2] = 'a'; return s; }, "given twice"},
      {"a blank in a name", [&] { std::string s = good; s[vs::PHONEME_TABLE + 8 * 1 + 1] = ' '; return s; }, "blank"},
  };
  TempDir dir;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = dir.write("voz", c.bytes());
    int result = init_MBR(path.c_str());
    EXPECT_LT(result, 0);
    EXPECT_EQ(lastError_MBR(), result == -MBR_ERR_VOICE_OPEN ? MBR_ERR_VOICE_OPEN : MBR_ERR_VOICE_FORMAT);
    std::string why = lastErrorText();
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    EXPECT_NE(why.find(path), std::string::npos) << why;
    EXPECT_LT(write_MBR("a 100\n"), 0);
  }

  EXPECT_EQ(init_MBR(dir.file("absent").c_str()), -MBR_ERR_VOICE_OPEN);
  EXPECT_NE(lastErrorText().find("cannot open"), std::string::npos);
  EXPECT_EQ(init_MBR(nullptr), -MBR_ERR_VOICE_OPEN);
  EXPECT_EQ(init_MBR(dir.path.c_str()), -MBR_ERR_VOICE_OPEN);  // a folder

  // Truncated at every table boundary and a few points between.
  for (size_t cut : {size_t(8), size_t(63), size_t(64), size_t(68), vs::DIPHONE_TABLE, vs::MARK_TABLE, good.size() / 2})
    EXPECT_LT(mbrolaInitFromMemory(reinterpret_cast<const uint8_t *>(good.data()), cut), 0) << cut;

  // The header as its stated size, 64 bytes with the name cut to 28, reads too.
  vs::Options shortHeader;
  shortHeader.headerSize = 64;
  EXPECT_EQ(init_MBR(dir.write("curta", vs::make(shortHeader)).c_str()), 0) << lastErrorText();
  EXPECT_EQ(speak("a 100\n").size(), 1600u);
  EXPECT_EQ(init_MBR(dir.write("boa", good).c_str()), 0);
  EXPECT_EQ(lastError_MBR(), 0);
  close_MBR();
}

TEST(MbrolaVoiceFile, CallsWithoutAVoiceFail) {
  close_MBR();
  short buffer[10];
  EXPECT_EQ(write_MBR("a 100\n"), -MBR_ERR_NO_VOICE);
  EXPECT_EQ(flush_MBR(), -MBR_ERR_NO_VOICE);
  EXPECT_EQ(read_MBR(buffer, 10), -MBR_ERR_NO_VOICE);
  EXPECT_EQ(lastError_MBR(), MBR_ERR_NO_VOICE);
  char text[64];
  EXPECT_EQ(getDatabaseInfo_MBR(text, sizeof text, 0), -1);
  reset_MBR();
  EXPECT_EQ(lastError_MBR(), 0);
}

TEST_F(SyntheticVoice, BadPhonemeLinesGiveAnErrorOrASensibleOutput) {
  const size_t a100 = speak("a 100\n").size();
  const std::vector<short> plainA = speak("a 100\n");
  struct Case {
    std::string text;
    bool noError;
    int error;         // expected lastError_MBR
    long samples;      // expected output length
    bool sameAsPlainA;
  };
  std::string pairs = "a 100";
  while (pairs.size() < 100000) pairs += " 50 140";
  const Case cases[] = {
      {"o 100\na 100\n", false, MBR_ERR_PHONEME, 1600, true},
      {"o 100\na 100\n", true, 0, 3200, false},  // no-error mode: a silence in its place
      {"a\n", false, MBR_ERR_SYNTAX, 0, false},
      {"a x\n", false, MBR_ERR_SYNTAX, 0, false},
      {"a 1e3\n", false, MBR_ERR_SYNTAX, 0, false},
      {"a 100 50\n", false, MBR_ERR_SYNTAX, 0, false},
      {"a 100 50 1OO\n", false, MBR_ERR_SYNTAX, 0, false},
      {"a 99999999999999999999\n", false, MBR_ERR_RANGE, 0, false},
      {"a 10000.5\n", false, MBR_ERR_RANGE, 0, false},
      {"a 100 50 1000.5\n", false, MBR_ERR_RANGE, 0, false},
      {"a 0\na -5\n_ -0.0\n", false, 0, 0, false},  // durations of 0 or less: left out
      {"a 100 50 0\n", false, 0, 1600, true},       // pitches of 0 or less: no target
      {"a 100 50 -140 20 -1\n", false, 0, 1600, true},
      {"a 100 -20 140 300 140\n", false, 0, 1600, false},  // positions kept within 0..100
      {"a 100 50 1\n", false, 0, 1600, false},             // raised to the lowest pitch
      {"a 100 ; a comment\n;only a comment\n\n   \n\t\n", false, 0, 1600, true},
      {"a 100\r\n", false, 0, 1600, true},
      {"a  \t 100\n", false, 0, 1600, true},
      {pairs + "\n", false, 0, 1600, false},
      {std::string(100000, 'x') + " 100\n", false, MBR_ERR_PHONEME, 0, false},
      {"a " + std::string(100000, '1') + "\n", false, MBR_ERR_RANGE, 0, false},
      {"a 100" + std::string(100000, ' ') + "\n", false, 0, 1600, true},
      {std::string(MBR_MAX_LINE + 10, ' ') + "a 100\na 100\n", false, MBR_ERR_LINE_LENGTH, 1600, true},
      {"a 100\n#\n#\na 100", false, 0, 3200, false},
      {std::string("a 100\0i 100\n", 12), false, 0, 1600, true},  // the text ends at its zero
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    reset_MBR();
    setNoError_MBR(c.noError);
    EXPECT_EQ(getNoError_MBR(), c.noError ? 1 : 0);
    std::vector<short> out = speak(c.text);
    EXPECT_EQ(lastError_MBR(), c.error) << lastErrorText();
    if (c.error) {
      EXPECT_FALSE(lastErrorText().empty());
    }
    EXPECT_EQ(long(out.size()), c.samples);
    if (c.sameAsPlainA) {
      EXPECT_EQ(out, plainA);
    }
  }
  setNoError_MBR(0);
  EXPECT_EQ(a100, 1600u);

  // In no-error mode the unknown phoneme is silence.
  reset_MBR();
  setNoError_MBR(1);
  std::vector<short> out = speak("_ 50\no 200\n_ 50\n");
  EXPECT_EQ(out.size(), 4800u);
  for (short s : out) ASSERT_EQ(s, 0);

  // Lines in pieces, and reset throwing away what is pending.
  reset_MBR();
  write_MBR("a 1");
  write_MBR("00\ni");
  EXPECT_EQ(speak(" 100\n").size(), 3200u);
  write_MBR("a 100\n");
  reset_MBR();
  EXPECT_EQ(speak("").size(), 0u);
}

TEST_F(SyntheticVoice, AnyBytesAsPhonemeText) {
  std::mt19937 random(99);
  const char alphabet[] = "a i s _ # ; 0123456789.-+\n\r\t\xff\x01";
  for (int round = 0; round < 300; ++round) {
    std::string text(random() % 400, '\0');
    for (char &c : text) c = round % 2 ? char(random() % 255 + 1) : alphabet[random() % (sizeof alphabet - 1)];
    setNoError_MBR(round % 3 == 0);
    std::vector<short> out = speak(text);
    // At most the 10 s a line may ask for, times the lines.
    EXPECT_LE(out.size(), size_t(160000) * (text.size() / 2 + 1));
    reset_MBR();
  }
}
