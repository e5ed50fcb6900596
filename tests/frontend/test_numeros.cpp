// Numbers from recordings: the words of a number, the file bases of the
// words, and the words heard as one image made of their recordings.
#include <gtest/gtest.h>

#include <map>

#include "klnumeros.h"
#include "speech_rig.h"

namespace {

struct Words {
  int32_t number;
  const char *words;
};

}  // namespace

TEST(NumberWords, EveryExampleAndTheScales) {
  const Words cases[] = {
      {0, "zero"},
      {7, "sete"},
      {16, "dezesseis"},
      {17, "dezessete"},
      {40, "quarenta"},
      {100, "cem"},
      {101, "cento e um"},
      {110, "cento e dez"},
      {115, "cento e quinze"},
      {120, "cento e vinte"},
      {121, "cento e vinte e um"},
      {200, "duzentos"},
      {1000, "mil "},
      {1001, "mil e um"},
      {1100, "mil e cem"},
      {1234, "mil e duzentos e trinta e quatro"},
      {2000, "dois mil "},
      {7717, "sete mil e setecentos e dezessete"},
      {21345, "vinte e um mil e trezentos e quarenta e cinco"},
      {100000, "cem mil "},
      {999999, "novecentos e noventa e nove mil e novecentos e noventa e nove"},
      {1000000, "um milh\xe3o "},
      {1234567, "um milh\xe3o duzentos e trinta e quatro mil e quinhentos e sessenta e sete"},
      {1000100, "um milh\xe3o e cem"},
      {2000000, "dois milh\xf5" "es "},
      {1000000000, "um bilh\xe3o "},
      {2147483647,
       "dois bilh\xf5" "es cento e quarenta e sete milh\xf5" "es quatrocentos e oitenta e tres mil e "
       "seiscentos e quarenta e sete"},
      // One thousand is "mil" after the millions too, not "um mil".
      {1001000, "um milh\xe3o e mil "},
      {3001005, "tres milh\xf5" "es mil e cinco"},
      {-15, "menos quinze"},
      {-2147483647 - 1,
       "menos dois bilh\xf5" "es cento e quarenta e sete milh\xf5" "es quatrocentos e oitenta e tres mil e "
       "seiscentos e quarenta e oito"},
  };
  for (const Words &c : cases) EXPECT_EQ(numberToWords(c.number), c.words) << c.number;
}

TEST(NumberWords, GroupsAndTheirScaleWords) {
  EXPECT_EQ(groupToWords("000"), "");
  EXPECT_EQ(groupToWords("010"), "dez");
  EXPECT_EQ(groupToWords("909"), "novecentos e nove");
  EXPECT_EQ(groupToWords("12"), "");   // not three digits
  EXPECT_EQ(groupToWords("1a2"), "");
  const std::string digits = "001002000001345";
  EXPECT_EQ(scaledGroupWords(digits, 0), "um trilh\xe3o ");
  EXPECT_EQ(scaledGroupWords(digits, 1), "dois bilh\xf5" "es ");
  EXPECT_EQ(scaledGroupWords(digits, 2), "");
  EXPECT_EQ(scaledGroupWords(digits, 3), "um mil ");
  EXPECT_EQ(scaledGroupWords(digits, 4), "trezentos e quarenta e cinco");
  EXPECT_EQ(scaledGroupWords(digits, 5), "");
  EXPECT_EQ(scaledGroupWords("123", 4), "");
}

TEST(NumberWords, FileBasesOfTheWords) {
  const std::pair<const char *, const char *> cases[] = {
      {"um", "_um"},           {"quatorze", "_quatorz"},   {"dezesseis", "_dezesse"},
      {"dezessete", "_dezeset"}, {"cinquenta", "_cinquen"}, {"quatrocentos", "_quatroc"},
      {"trilh\xf5" "es", "_trilhoe"}, {"milh\xe3o", "_milhao"}, {"milh\xf5" "es", "_milhoes"},
      {"e", "_e"},
  };
  for (auto [word, base] : cases) EXPECT_EQ(numberWordFileBase(word), base) << word;
}

// Every word a number can have is among the recordings the build makes.
TEST(NumberWords, TheBuildRecordsEveryWord) {
  std::filesystem::path letters = rig::buildTree() / "share/zolkar/som/letras";
  const int32_t numbers[] = {1,    2,    3,    4,    5,     6,     7,     8,         9,          10,
                             11,   12,   13,   14,   15,    16,    17,    18,        19,         20,
                             30,   40,   50,   60,   70,    80,    90,    100,       101,        200,
                             300,  400,  500,  600,  700,   800,   900,   1000,      2000,       1000000,
                             2000000, 1000000000, 2000000000};
  for (int32_t n : numbers) {
    std::istringstream words(numberToWords(n));
    for (std::string word; words >> word;)
      EXPECT_TRUE(std::filesystem::exists(letters / (numberWordFileBase(word) + ".wav"))) << n << " " << word;
  }
  for (const char *feminine : {"_uma", "_duas", "_zero", "_MENOS"})
    EXPECT_TRUE(std::filesystem::exists(letters / (std::string(feminine) + ".wav"))) << feminine;
}

namespace {

// Made-up number words: each its own sample value and length.
const std::map<std::string, std::pair<size_t, uint8_t>> WORDS = {
    {"_sete", {300, 40}},    {"_mil", {400, 50}},   {"_e", {100, 60}},     {"_setecen", {500, 70}},
    {"_dezeset", {600, 80}}, {"_dezesse", {600, 90}}, {"_vinte", {300, 100}}, {"_um", {200, 110}},
    {"_uma", {250, 120}},    {"_trinta", {300, 130}}, {"_dois", {200, 140}}, {"_duas", {220, 150}},
    {"_duzento", {300, 160}},
};

class NumberSpeech : public rig::Speaking {
 protected:
  void SetUp() override {
    for (const auto &[base, shape] : WORDS) rig::record(base, shape.first, shape.second);
    Speaking::SetUp();
  }

  // What a list of recordings sounds like when joined.
  static std::vector<int16_t> plateausOf(std::initializer_list<const char *> bases) {
    std::vector<int16_t> out;
    for (const char *b : bases) out.push_back(rig::heard(WORDS.at(b).second));
    return out;
  }
  static std::string bufferOf(std::initializer_list<const char *> bases) {
    size_t n = 0;
    for (const char *b : bases) n += WORDS.at(b).first;
    return "buffer " + std::to_string(n);
  }
};

}  // namespace

TEST_F(NumberSpeech, TheRecordingsAreJoinedIntoOneImage) {
  speakNumberWords(numberToWords(7717), false);
  EXPECT_EQ(soundsSince(), std::vector<std::string>{bufferOf({"_sete", "_mil", "_e", "_setecen", "_e", "_dezeset"})});
  EXPECT_EQ(plateausSince(), plateausOf({"_sete", "_mil", "_e", "_setecen", "_e", "_dezeset"}));
}

TEST_F(NumberSpeech, SixteenAndSeventeenHaveTheirOwnRecordings) {
  speakNumberWords(numberToWords(16), false);
  speakNumberWords(numberToWords(17), false);
  EXPECT_EQ(plateausSince(), plateausOf({"_dezesse", "_dezeset"}));
}

TEST_F(NumberSpeech, FeminineEndings) {
  struct Case {
    int32_t number;
    std::vector<int16_t> heard;
  };
  const Case cases[] = {
      {1, plateausOf({"_uma"})},
      {21, plateausOf({"_vinte", "_e", "_uma"})},
      {32, plateausOf({"_trinta", "_e", "_duas"})},
      {201, plateausOf({"_duzento", "_e", "_uma"})},
      {2000, plateausOf({"_dois", "_mil"})},  // only the last word changes
  };
  for (const Case &c : cases) {
    captureMark = rig::captured().size();
    speakNumberWords(numberToWords(c.number), true);
    EXPECT_EQ(plateausSince(), c.heard) << c.number;
  }
  captureMark = rig::captured().size();
  speakNumberWords(numberToWords(21), false);
  EXPECT_EQ(plateausSince(), plateausOf({"_vinte", "_e", "_um"}));
}

TEST_F(NumberSpeech, MissingAndMalformedRecordingsAreSkipped) {
  rig::dir().write("letras/_oito.wav", "RIFF");            // shorter than a header
  rig::dir().write("letras/_seis.wav", std::string(44, 'x'));  // a header and nothing more
  std::filesystem::create_directories(rig::letters() + "/_quatro.wav");  // not a file
  speakNumberWords("oito seis quatro sete quinze sete", false);  // quinze is not recorded here
  EXPECT_EQ(soundsSince(), std::vector<std::string>{bufferOf({"_sete", "_sete"})});
}

TEST_F(NumberSpeech, LongWordsArePlayedInPartsThatFit) {
  rig::record("_novecen", 12000, 30);
  rig::record("_noventa", 11000, 20);
  rig::record("_nove", 9000, 10);
  speakNumberWords(numberToWords(999999), false);
  // novecentos e noventa e nove mil | e novecentos e noventa | e nove
  // novecentos e noventa e | nove mil e novecentos e | noventa e nove: a
  // part is played when the next recording would not fit.
  EXPECT_EQ(soundsSince(), (std::vector<std::string>{"buffer 23200", "buffer 21600", "buffer 20100"}));
  EXPECT_EQ(plateausSince(), (std::vector<int16_t>{rig::heard(30), rig::heard(60), rig::heard(20), rig::heard(60),
                                                   rig::heard(10), rig::heard(50), rig::heard(60), rig::heard(30),
                                                   rig::heard(60), rig::heard(20), rig::heard(60), rig::heard(10)}));
}

TEST_F(NumberSpeech, ARecordingLongerThanTheImageIsPlayedOnItsOwn) {
  rig::record("_milhao", 70000, 35);
  speakNumberWords("sete milh\xe3o e", false);
  EXPECT_EQ(soundsSince(),
            (std::vector<std::string>{"buffer 300", "buffer 30000", "buffer 30000", "buffer 10100"}));
  EXPECT_EQ(plateausSince(), (std::vector<int16_t>{rig::heard(40), rig::heard(35), rig::heard(60)}));
}
