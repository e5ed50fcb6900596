// Speaking text: the pieces a text is cut into, heard through the sound log
// (a recording's path, or "buffer N" for an image of N samples), the pauses
// on the virtual clock, the repeat click and keys that stop speech.
#include <gtest/gtest.h>

#include "klnumeros.h"
#include "kltexto.h"
#include "speech_rig.h"

namespace {

constexpr size_t LETTER_SAMPLES = 10;

class TextSpeech : public rig::Speaking {
 protected:
  void SetUp() override {
    static bool recorded = false;
    if (!recorded) {
      recorded = true;
      for (int c = 0; c < 256; ++c) rig::record("_" + std::to_string(c), LETTER_SAMPLES, 100);
      rig::record("_zero", 50, 100);
      rig::record("_MENOS", 60, 100);
      for (const char *w : {"_cem", "_mil", "_cinco", "_um", "_dois", "_tres", "_quatro", "_sete", "_e"})
        rig::record(w, 300, 100);
    }
    Speaking::SetUp();
  }

  // The sound log since the test began, recordings by their base name:
  // "_44" for the comma's, "buffer 600", or "buffer" alone for the image of
  // a word piece, whose length is the diphone engine's business.
  std::vector<std::string> heardPieces(bool exactBuffers = true) {
    std::vector<std::string> out;
    const std::string prefix = rig::letters() + "/";
    for (const std::string &line : soundsSince()) {
      if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size(), line.size() - prefix.size() - 4));
      else if (!exactBuffers && line.rfind("buffer ", 0) == 0) out.push_back("buffer");
      else out.push_back(line);
    }
    return out;
  }

  // Virtual milliseconds a call takes.
  template <typename Call>
  uint64_t millisecondsOf(Call call) {
    uint64_t before = consoleClock();
    call();
    return consoleClock() - before;
  }
};

std::vector<std::string> letters(const std::string &text) {
  std::vector<std::string> out;
  for (unsigned char c : text) out.push_back("_" + std::to_string(c));
  return out;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST_F(TextSpeech, NumbersZerosAndHyphens) {
  struct Case {
    const char *text;
    std::vector<std::string> heard;
  };
  const Case cases[] = {
      {"007", {"_zero", "_zero", "buffer 300"}},
      {"100000", {"buffer 600"}},                    // six digits: cem mil, one number
      {"1234567", letters("1234567")},               // seven digits are spelled
      {"12-34", letters("12-34")},                   // so are digits with a hyphen
      {"-5", {"_MENOS", "buffer 300"}},
      {"5-", letters("5-")},
      {"1\t2 3", {"buffer 300", "buffer 300", "buffer 300"}},  // blanks are not heard
      {"1001", {"buffer 900"}},                      // mil e um
  };
  for (const Case &c : cases) {
    logMark = rig::soundLog().size();
    speakText(c.text);
    EXPECT_EQ(heardPieces(), c.heard) << c.text;
  }
}

TEST_F(TextSpeech, WordsSignsAndTheirExceptions) {
  struct Case {
    const char *text;
    std::vector<std::string> heard;
  };
  const Case cases[] = {
      {"www", letters("www")},
      {"WwW.", letters("WwW.")},
      {" www ", letters("www")},                             // the blanks around are not spelled
      {"wwww", {"buffer"}},                                  // only three w are spelled
      {"guarda-chuva", {"buffer", "buffer"}},                // two words, the hyphen silent
      {"bem - mal", {"buffer", "_45", "buffer"}},            // a hyphen between blanks is heard
      {"a://b", std::vector<std::string>{"buffer"} + letters("://") + std::vector<std::string>{"buffer"}},
      {"x@y", {"buffer", "_64", "buffer"}},
      {"\x01", {"_1"}},                                      // control characters have recordings too
  };
  for (const Case &c : cases) {
    logMark = rig::soundLog().size();
    speakText(c.text);
    EXPECT_EQ(heardPieces(false), c.heard) << c.text;
  }
}

TEST_F(TextSpeech, FromTheFifthSignInARowAClick) {
  setWavePeriodCut(true);
  speakText("*******");
  EXPECT_EQ(heardPieces(), letters("****") + std::vector<std::string>(3, "buffer 256"));
  EXPECT_TRUE(wavePeriodCut());  // turned off for the click only
  setWavePeriodCut(false);

  // A hyphen is heard with its click; another sign starts afresh.
  logMark = rig::soundLog().size();
  speakText("------ ...... ?");
  const std::vector<std::string> click = {"buffer 256"};
  EXPECT_EQ(heardPieces(), letters("----") + click + letters("-") + click + letters("-") + letters("....") + click +
                               click + letters("?"));
}

TEST_F(TextSpeech, PunctuationPausesDependOnWhatFollows) {
  uint64_t plain = millisecondsOf([] { speakPunctuation("?x"); });
  struct Case {
    const char *text;
    uint64_t pause;
  };
  const Case cases[] = {
      {", ", 300}, {",x", 0},  {". ", 400}, {".x", 0}, {"- ", 300}, {"-x", 0},
      {":x", 200}, {";", 200}, {"( ", 200}, {")", 200}, {"? ", 0},
  };
  for (const Case &c : cases) EXPECT_EQ(millisecondsOf([&] { speakPunctuation(c.text); }) - plain, c.pause) << c.text;
  // In a text: a comma followed by a letter gets no pause.
  uint64_t joined = millisecondsOf([] { speakText("1,2"); });
  uint64_t apart = millisecondsOf([] { speakText("1, 2"); });
  EXPECT_EQ(apart - joined, 300u);
  EXPECT_EQ(millisecondsOf([] { pauseMs(149); }), 100u);  // whole steps of 50 ms
}

TEST_F(TextSpeech, AKeyStopsSpeechAndStaysQueued) {
  // A key already waiting: nothing is heard.
  headlessInject(rig::charEvent('k'));
  speakText("1 2 3 abc");
  EXPECT_TRUE(heardPieces().empty());
  EXPECT_TRUE(keyPressed());
  EXPECT_EQ(millisecondsOf([] { pauseMs(5000); }), 0u);
  EXPECT_EQ(readKey(), 'k');

  // A key during the third number: the rest of the text is left unspoken.
  const char *text = "1 2 3 4 5 1 2 3 4 5";
  uint64_t whole = millisecondsOf([&] { speakText(text); });
  size_t all = heardPieces().size();
  logMark = rig::soundLog().size();
  headlessPostAt(consoleClock() + whole / 4, rig::charEvent('q'));
  uint64_t cut = millisecondsOf([&] { speakText(text); });
  EXPECT_LT(cut, whole / 2);
  EXPECT_GE(heardPieces().size(), 1u);
  EXPECT_LT(heardPieces().size(), all / 2);
  EXPECT_TRUE(speechStopRequested());
  EXPECT_TRUE(keyPressed());
  EXPECT_EQ(readKey(), 'q');
}

TEST_F(TextSpeech, EveryByteIsSafe) {
  std::string all;
  for (int c = 255; c >= 0; --c) all += static_cast<char>(c);
  speakText(all);
  speakText("");
  speakText(std::string(3000, 'a') + std::string(3000, '9'));
  EXPECT_FALSE(heardPieces().empty());
}
