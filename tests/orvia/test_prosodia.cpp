// The prosody file, the phrasing of an utterance, and the timed phoneme
// lines with pitch targets and fillers; also the console's message box,
// which the prosody loader reports through.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "klcodepage.h"
#include "klcrt.h"
#include "klcrt_headless.h"
#include "klcrt_internal.h"
#include "orvia/uttsProsodia.h"
#include "support/tempdir.h"

namespace {

// Everything written to stderr while the object lives.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    saved_ = dup(2);
    int fd = open(dir_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  ~StderrCapture() {
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
  }
  std::string text() {
    std::fflush(stderr);
    return dir_.read("stderr");
  }

 private:
  TempDir dir_;
  int saved_;
};

const std::string DURACAO = "[DURA\xc7\xc3O]\n", CHAVES = "[CHAVES]\n", PROSODIA = "[PROS\xd3" "DIA]\n";

std::string prosodyFile(const std::string &durations, const std::string &keys = "", const std::string &patterns = "") {
  return DURACAO + durations + CHAVES + keys + PROSODIA + patterns;
}

struct Loaded {
  bool ok;
  std::string messages;  // what stderr showed, back in Windows-1252
};

Loaded loadPath(const std::string &path) {
  StderrCapture capture;
  bool ok = LoadProsody(path);
  return {ok, utf8ToCp1252(capture.text())};
}

Loaded loadText(const std::string &content) {
  TempDir dir;
  return loadPath(dir.write("portug.pro", content));
}

// Loads a file that must load without a message.
void load(const std::string &content) {
  Loaded r = loadText(content);
  ASSERT_TRUE(r.ok) << cp1252ToUtf8(r.messages);
  ASSERT_EQ(r.messages, "");
}

// Every ordered pair of the names, one a line.
std::string allPairs(std::initializer_list<const char *> names) {
  std::string s = "; test voice\n";
  for (const char *a : names)
    for (const char *b : names) s += std::string(a) + "-" + b + "\n";
  return s;
}

void loadDiphones(const std::string &content) {
  TempDir dir;
  ASSERT_TRUE(LoadDiphones(dir.write("portug.dfn", content)));
}

std::string joined(const StringList &lines) {
  std::string s;
  for (const std::string &line : lines) s += line + "\n";
  return s;
}

StringList annotate(const std::string &text) { return AssignProsodyValues(MakeTokenList(text)); }

// The duration of the first output line naming the phoneme.
int durationOf(const StringList &lines, const std::string &phoneme) {
  for (const std::string &line : lines)
    if (line.rfind(phoneme + " ", 0) == 0) return std::stoi(line.substr(phoneme.size() + 1));
  ADD_FAILURE() << "no line for " << phoneme << " in\n" << joined(lines);
  return -1;
}

const std::string CASA_DURATIONS = "k=80\na=100\nz=90\n";
const std::string ZERO_SCALE = "TABHERTZ=0,0,0,0,0,0,0,0,0,0\n";
const std::string CASA_SCALE = "HERTZ=200\nTABHERTZ=0,0,0,80,0,100,0,0,120,0\n";

}  // namespace

// --- Loading the prosody file ---

TEST(LoadProsody, FailuresAndWarningsShowTheirMessage) {
  const std::string good = "a=95\n";
  struct Case {
    const char *name;
    std::string content;
    bool ok;
    const char *message;  // "" for none
  } cases[] = {
      {"no durations", CHAVES + PROSODIA, false, "Dura\xe7\xe3o dos difones errada ou ausente\n"},
      {"a duration without =", prosodyFile("a 95\n"), false, "Configura\xe7\xe3o da pros\xf3" "dia: fonema errado: a 95\n"},
      {"no key words", DURACAO + good + PROSODIA, false, "Pros\xf3" "dia: palavras chaves ausentes\n"},
      {"a key word without =", prosodyFile(good, "CASA\n"), false,
       "Configura\xe7\xe3o da pros\xf3" "dia: chave errada: CASA\n"},
      {"a one-letter class", prosodyFile(good, "CASA=X\n"), false, "chave errada: CASA=X\n"},
      {"no patterns", DURACAO + good + CHAVES, false, "Pros\xf3" "dia: especifica\xe7\xf5" "es ausentes\n"},
      {"a pattern without =", prosodyFile(good, "", "XX|XX|XX\n"), false, "chave errada: XX|XX|XX\n"},
      {"a value of two digits", prosodyFile(good, "", "XX||=55\n"), false, "chave errada: XX||=55"},
      {"a value with a letter", prosodyFile(good, "", "XX||=5a5\n"), false, "chave errada: XX||=5a5"},
      {"a ? after the first place", prosodyFile(good, "", "XX||=5?5\n"), false, "chave errada: XX||=5?5"},
      {"a duration that is no number", prosodyFile("a=abc\n"), true, "fonema errado: a=abc"},
      {"HERTZ not a number", prosodyFile(good, "", "HERTZ=alto\n"), true, "HERTZ errado: HERTZ=alto"},
      {"TABHERTZ with nine values", prosodyFile(good, "", "TABHERTZ=1,2,3,4,5,6,7,8,9\n"), true,
       "TABHERTZ errado: TABHERTZ=1,2,3,4,5,6,7,8,9"},
      {"TABHERTZ with eleven values", prosodyFile(good, "", "TABHERTZ=1,2,3,4,5,6,7,8,9,10,11\n"), true,
       "TABHERTZ errado"},
      {"TABHERTZ with a fraction", prosodyFile(good, "", "TABHERTZ=1,2,3,4,5.5,6,7,8,9,10\n"), true,
       "TABHERTZ errado"},
      {"a good file", prosodyFile(good, "DE=PR\n", "XX||=583\nHERTZ=200\n"), true, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Loaded r = loadText(c.content);
    EXPECT_EQ(r.ok, c.ok);
    if (*c.message) EXPECT_NE(r.messages.find(c.message), std::string::npos) << cp1252ToUtf8(r.messages);
    else EXPECT_EQ(r.messages, "");
  }
  Loaded r = loadPath("/nonexistent/portug.pro");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages, "Orvia: Configura\xe7\xe3o da pros\xf3" "dia n\xe3o foi achada\n");
}

TEST(LoadProsody, BadNumbersKeepADefaultAndTheLoadGoesOn) {
  Loaded r = loadText(prosodyFile("a=abc\nb=99999999999\nc=-7\n", "",
                                  "TABHERTZ=10,20,30,40,50,60,70,80,90,100\nHERTZ=\nHERTZ=0\n"
                                  "TABHERTZ=1,2,3,4,5,6,7,8,9,x\nTABHERTZ=1,2,3,4,5,6,7,8,9,-1\n"));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(FindDuration("a"), 100);
  EXPECT_EQ(FindDuration("b"), 100);
  EXPECT_EQ(FindDuration("c"), -7);
  EXPECT_EQ(ProsodyHertz(), 230);
  // A bad scale line leaves the good one before it.
  for (int digit = 0; digit < 10; ++digit) EXPECT_EQ(ProsodyScale(digit), 10 * (digit + 1));
  EXPECT_EQ(ProsodyScale(10), 0);
  EXPECT_EQ(ProsodyScale(-1), 0);
}

TEST(LoadProsody, SectionsInAnyOrderCommentsAndLineEnds) {
  const std::string keys = "casa=xx\n";
  const std::string patterns = "HERTZ=180\nTABHERTZ=1,2,3,4,5,6,7,8,9,10\n||=123\n";
  const std::string usual = prosodyFile("a=95\n", keys, patterns);
  const std::string reversed = PROSODIA + patterns + "[CHAVES]  \n" + keys + "  [DURA\xc7\xc3O]\n" + "a=95\n";
  const std::string commented = "; a tuning file\r\n" + PROSODIA + "; patterns\r\n*\r\n\r\n   \r\n" +
                                "HERTZ=180\r\nTABHERTZ=1,2,3,4,5,6,7,8,9,10\r\n||=123\r\n" + DURACAO +
                                "; ms\r\na = 95 \r\n* b=1\r\n[CHAVES]\r\n;x=yy\r\n casa = xx\r\n";
  for (const std::string &file : {usual, reversed, commented}) {
    load(file);
    EXPECT_EQ(FindDuration("a"), 95);
    EXPECT_EQ(FindDuration("b"), 100);  // only in a comment
    EXPECT_EQ(FindKeyWordClass("CASA"), "XX");
    EXPECT_EQ(FindKeyWordClass("x"), "");
    EXPECT_EQ(ProsodyHertz(), 180);
    EXPECT_EQ(ProsodyScale(9), 10);
    EXPECT_EQ(joined(annotate("casa")), "123|\n123|casa\n");
  }
  // A section ends at the next line that starts with "[".
  load(prosodyFile("a=95\n[OUTRA]\nb=50\n"));
  EXPECT_EQ(FindDuration("b"), 100);
}

TEST(LoadProsody, DurationNamesAreCutAndKeepTheirCase) {
  load(prosodyFile("  ee = 40\nEe=41\nrrr=70\n__=300\n_,=150\nee=99\n"));
  EXPECT_EQ(FindDuration("ee"), 40);  // the first of two entries
  EXPECT_EQ(FindDuration("Ee"), 41);
  EXPECT_EQ(FindDuration("EE"), 100);
  EXPECT_EQ(FindDuration("rr"), 70);
  EXPECT_EQ(FindDuration("rrr"), 100);
  EXPECT_EQ(FindDuration("__"), 300);
  EXPECT_EQ(FindDuration("_,"), 150);
}

TEST(LoadProsody, KeyWordsAreUpperCasedSortedAndFoundByBisection) {
  std::string keys = "  porque = pq \nn\xe3o=ng\nDE=PR\nde=CO\n";
  for (int i = 299; i >= 0; --i) keys += "W" + std::to_string(i) + "=K" + std::to_string(i % 10) + "\n";
  load(prosodyFile("a=1\n", keys));
  EXPECT_EQ(FindKeyWordClass("porque"), "PQ");
  EXPECT_EQ(FindKeyWordClass("PorQue"), "PQ");
  EXPECT_EQ(FindKeyWordClass("N\xc3O"), "NG");  // accented letters upper-cased too
  EXPECT_EQ(FindKeyWordClass("n\xe3o"), "NG");
  EXPECT_EQ(FindKeyWordClass("de"), "PR");      // the first in the file of two
  for (int i = 0; i < 300; i += 7) EXPECT_EQ(FindKeyWordClass("w" + std::to_string(i)), "K" + std::to_string(i % 10));
  EXPECT_EQ(FindKeyWordClass("W300"), "");
  EXPECT_EQ(FindKeyWordClass("PORQU"), "");
  EXPECT_EQ(FindKeyWordClass(""), "");
  // A longer class is cut to two characters.
  load(prosodyFile("a=1\n", "casa=subst\n"));
  EXPECT_EQ(FindKeyWordClass("casa"), "SU");
}

TEST(LoadProsody, EntriesPastATableAreIgnoredWithOneMessage) {
  std::string durations, keys, patterns;
  // Two-character names: A0 to J9 fill the table, K0 and K1 are past it.
  auto name = [](size_t i) { return std::string{static_cast<char>('A' + i / 10), static_cast<char>('0' + i % 10)}; };
  for (size_t i = 0; i <= DURATION_CAPACITY + 1; ++i) durations += name(i) + "=" + std::to_string(i) + "\n";
  for (size_t i = 0; i <= KEY_WORD_CAPACITY + 1; ++i) keys += "K" + std::to_string(i) + "=KK\n";
  for (size_t i = 0; i < PATTERN_CAPACITY; ++i) patterns += "ZZ||=111\n";
  patterns += "||=222\nHERTZ=99\n";
  Loaded r = loadText(prosodyFile(durations, keys, patterns));
  ASSERT_TRUE(r.ok);
  const std::string message = "Configura\xe7\xe3o da pros\xf3" "dia: entradas demais, ignoradas a partir de: ";
  EXPECT_NE(r.messages.find(message + "K0=100\n"), std::string::npos) << cp1252ToUtf8(r.messages);
  EXPECT_NE(r.messages.find(message + "K1000=KK\n"), std::string::npos);
  EXPECT_NE(r.messages.find(message + "||=222\n"), std::string::npos);
  EXPECT_EQ(r.messages.find("K1="), std::string::npos);  // once a table
  EXPECT_EQ(FindDuration("J9"), 99);
  EXPECT_EQ(FindDuration("K0"), 100);
  EXPECT_EQ(FindDuration("K1"), 100);
  EXPECT_EQ(FindKeyWordClass("K999"), "KK");
  EXPECT_EQ(FindKeyWordClass("K1000"), "");
  EXPECT_EQ(joined(annotate("")), "555|\n");  // the pattern past the table is not used
  EXPECT_EQ(ProsodyHertz(), 99);             // settings still count
}

TEST(LoadProsody, EveryLoadStartsFromEmptyTablesButKeepsTheScale) {
  load(prosodyFile("a=50\n", "CASA=AR\n", "HERTZ=150\nTABHERTZ=1,2,3,4,5,6,7,8,9,10\n||=999\n"));
  load(prosodyFile("b=60\n"));
  EXPECT_EQ(FindDuration("a"), 100);
  EXPECT_EQ(FindKeyWordClass("casa"), "");
  EXPECT_EQ(ProsodyHertz(), 230);
  EXPECT_EQ(ProsodyScale(5), 6);
  EXPECT_EQ(joined(annotate("")), "555|\n");
}

// --- Phrasing ---

TEST(Phrasing, TokensOfASentence) {
  load(prosodyFile("a=1\n"));
  StringList tokens = MakeTokenList("Ol\xe1, tudo bem?");
  EXPECT_EQ(joined(tokens), "[--]\n[XX]Ol\xe1\n[,,],\n[XX]tudo\n[XX]bem\n[??]?\n[--]\n");
  EXPECT_EQ(joined(AssignProsodyValues(tokens)), "555|\n555|Ol\xe1\n555|,\n555|tudo\n555|bem\n555|?\n555|\n");
  EXPECT_EQ(joined(MakeTokenList("Sim...")), "[--]\n[XX]Sim\n[.-].\n[--]\n");

  struct Case {
    std::string text, tokens;
  } cases[] = {
      {"", "[--]\n"},
      {"   ", "[--]\n"},
      {"a.b", "[--]\n[XX]a\n[..].\n[--]\n[XX]b\n"},
      {"Ah! Oi", "[--]\n[XX]Ah\n[!!]!\n[--]\n[XX]Oi\n"},
      {"x..", "[--]\n[XX]x\n[.-].\n[--]\n"},
      {"..", "[--]\n[.-].\n[--]\n"},
      {"\xc7\xe3o\xfc \xe8", "[--]\n[XX]\xc7\xe3o\xfc\n[\xe8\xe8]\xe8\n"},  // e grave is not a letter here
      {"dois-2", "[--]\n[XX]dois\n[--]-\n[22]2\n"},
      {std::string("a\0b", 3), std::string("[--]\n[XX]a\n[\0\0]\0\n[XX]b\n", 23)},
  };
  for (const Case &c : cases) EXPECT_EQ(joined(MakeTokenList(c.text)), c.tokens) << c.text;
}

TEST(Phrasing, NextTokenMovesThePosition) {
  size_t position = 1;
  bool symbol = false;
  const std::string text = "  ab ...c";
  EXPECT_EQ(NextToken(text, position, symbol), "ab");
  EXPECT_FALSE(symbol);
  EXPECT_EQ(position, 5u);
  EXPECT_EQ(NextToken(text, position, symbol), ".-");
  EXPECT_TRUE(symbol);
  EXPECT_EQ(position, 9u);
  EXPECT_EQ(NextToken(text, position, symbol), "c");
  EXPECT_EQ(NextToken(text, position, symbol), "");
  position = 400;  // far past the end
  EXPECT_EQ(NextToken(text, position, symbol), "");
}

TEST(Phrasing, KeyWordClassesAndPatternsChooseTheValues) {
  load(prosodyFile("a=1\n", "o=ar\nque=qu\n",
                   "|--|=555\n"
                   "XX|XX|?\?=?85\n"
                   "||?\?=583\n"
                   "|AR|=444\n"
                   "XXX||=111\n"  // a field of three characters never matches
                   "--|XX|=583\n"
                   "||=?62\n"));
  EXPECT_EQ(joined(MakeTokenList("O que, gato?")), "[--]\n[AR]O\n[QU]que\n[,,],\n[XX]gato\n[??]?\n[--]\n");
  EXPECT_EQ(joined(annotate("O que, gato?")), "555|\n444|O\n462|que\n262|,\n583|gato\n362|?\n555|\n");
  // ?85 after 583 becomes 385.
  EXPECT_EQ(joined(annotate("gato bom?")), "555|\n583|gato\n385|bom\n562|?\n555|\n");
  EXPECT_EQ(joined(annotate("gato bom")), "555|\n583|gato\n362|bom\n");
}

TEST(Phrasing, APatternOfEmptyFieldsMatchesEveryToken) {
  load(prosodyFile("a=1\n", "", "||=?19\n|XX|=222\n"));
  // "?" on the first line takes "5".
  EXPECT_EQ(joined(annotate("a, b.")), "519|\n919|a\n919|,\n919|b\n919|.\n919|\n");
}

// --- Durations, pitch targets, fillers ---

class Timing : public ::testing::Test {
 protected:
  void SetUp() override {
    load(prosodyFile(CASA_DURATIONS + "__=300\n_,=150\n_=70\n", "", CASA_SCALE));
    loadDiphones(allPairs({"_", "k", "a", "z", "e", "s"}));
    TimeAndPitch({""}, 1.0, 1.0);  // no phoneme left over from an earlier utterance
  }
  void TearDown() override { ReleaseDiphones(); }
};

TEST_F(Timing, CasaGetsItsDurationsAndThreeTargets) {
  StringList out = TimeAndPitch({";583|casa", "k", ">a", "z", "a", ""}, 1.0, 1.0);
  EXPECT_EQ(joined(out), ";casa\nk 80 50 200\na 145 80 240\nz 130\na 145 50 160\n\n");
  // The pitch factor scales every target.
  out = TimeAndPitch({";583|casa", "k", ">a", "z", "a", ""}, 1.0, 1.5);
  EXPECT_EQ(joined(out), ";casa\nk 80 50 300\na 145 80 360\nz 130\na 145 50 240\n\n");
}

TEST_F(Timing, TargetsOfWordsWithoutStressOrStressedFirst) {
  // No stress mark: only the first digit's target.
  EXPECT_EQ(joined(TimeAndPitch({";583|de", "k", "a", ""}, 1.0, 1.0)), ";de\nk 80 50 200\na 100\n\n");
  // Stressed first phoneme: no first-digit target.
  EXPECT_EQ(joined(TimeAndPitch({";583|az", ">a", "z", ""}, 1.0, 1.0)), ";az\na 145 80 240\nz 130 50 160\n\n");
  // A digit of level 0, or no digit at all, gives no target but moves on.
  EXPECT_EQ(joined(TimeAndPitch({";4x3|casa", "k", ">a", "z", "a", ""}, 1.0, 1.0)),
            ";casa\nk 80\na 145\nz 130\na 145 50 160\n\n");
}

TEST_F(Timing, NoScaleMeansNoTargets) {
  // A file without TABHERTZ keeps the scale it finds: all zeros here.
  load(prosodyFile(CASA_DURATIONS, "", ZERO_SCALE));
  load(prosodyFile(CASA_DURATIONS));
  EXPECT_EQ(joined(TimeAndPitch({";583|casa", "k", ">a", "z", "a", ""}, 1.0, 1.0)),
            ";casa\nk 80\na 145\nz 130\na 145\n\n");
}

TEST_F(Timing, LongWordsAreShortenedBeforeTheirStress) {
  const std::string twelve = "abcdefghijkl", thirteen = "abcdefghijklm";
  for (const auto &[word, percent] : {std::pair{std::string("abcdefgh"), 100}, std::pair{twelve, 90},
                                      std::pair{thirteen, 80}}) {
    SCOPED_TRACE(word);
    StringList out = TimeAndPitch({";555|" + word, "k", "z", ">a", "z", "a", ""}, 1.0, 1.0);
    EXPECT_EQ(durationOf(out, "k"), 80 * percent / 100);
    EXPECT_EQ(out[2], "z " + std::to_string(90 * percent / 100));
    EXPECT_EQ(out[3], "a 145 80 200");  // from the stress on, no shortening
    EXPECT_EQ(out[4], "z 130");
  }
}

TEST_F(Timing, PausesAndTheDurationFactor) {
  struct Case {
    std::string line, expected;
    double factor;
  } cases[] = {
      {"_", "_ 100", 1.0},     {"_ 30", "_ 30", 1.0},   {"_   30  ", "_ 30", 1.0}, {"__", "_ 300", 1.0},
      {"_,", "_ 150", 1.0},    {"_?", "_ 100", 1.0},    {"_ abc", "_ 70", 1.0},    {"_ ", "_ 70", 1.0},
      {"_ -20", "_ -20", 1.0}, {"_", "_ 60", 0.6},      {"_ 30", "_ 18", 0.6},     {"a", "a 60", 0.6},
      {">a", "a 87", 0.6},     {"k", "k 40", 0.5},
  };
  for (const Case &c : cases) {
    StringList out = TimeAndPitch({";000|x", c.line, ""}, c.factor, 1.0);
    ASSERT_EQ(out.size(), 3u) << c.line << "\n" << joined(out);
    EXPECT_EQ(out[1], c.expected) << c.line;
  }
  // Factors far out of range come out clamped, never undefined.
  EXPECT_EQ(TimeAndPitch({";000|x", "a", ""}, 1e300, 1.0)[1], "a " + std::to_string(INT64_MAX / 100));
  EXPECT_EQ(TimeAndPitch({";000|x", "a", ""}, std::nan(""), 1.0)[1], "a 0");
}

TEST_F(Timing, BoundaryMarkEndsTheStressUnlessItFollowsTheMark) {
  EXPECT_EQ(joined(TimeAndPitch({";555|casa", "k", ">a", "\xa8z", "a", ""}, 1.0, 1.0)),
            ";casa\nk 80 50 200\na 145 80 200\nz 90\na 100 50 200\n\n");
  EXPECT_EQ(joined(TimeAndPitch({";555|casa", "k", ">\xa8" "a", "z", ""}, 1.0, 1.0)),
            ";casa\nk 80 50 200\na 145 80 200\nz 130 50 200\n\n");
}

TEST_F(Timing, FillersWhereTheVoiceLacksADiphone) {
  load(prosodyFile(CASA_DURATIONS, "", ZERO_SCALE));  // no pitch targets
  loadDiphones("_-_\n_-k\n_-m\nk-r2\nr2-_\nm-y\n_-a\n_-o\ny-o\n");
  // r2-a is missing, r2-_ is there: a pause.
  EXPECT_EQ(joined(TimeAndPitch({"k", "r2", "a"}, 1.0, 1.0)), "k 80\nr2 100\n_ 50\na 100\n");
  // m-o is missing, m-y is there: a glide.
  EXPECT_EQ(joined(TimeAndPitch({"m", "o"}, 1.0, 1.0)), "m 100\ny 50\no 100\n");
  // Neither: a pause; the filler comes before the phoneme it joins.
  EXPECT_EQ(joined(TimeAndPitch({"k", "o"}, 1.0, 1.0)), "k 80\n_ 50\no 100\n");
  // A comment line right after a pause is checked as pause to pause.
  loadDiphones("_-k\nk-_\n");
  EXPECT_EQ(joined(TimeAndPitch({"_", ";555|k", "k", "_"}, 1.0, 1.0)), "_ 50\n_ 100\n_ 50\n;k\nk 80\n_ 100\n");
  // The next utterance starts from a pause, and its first line is checked
  // against the phoneme the last one ended on (a, with no closing line).
  EXPECT_EQ(joined(TimeAndPitch({"a"}, 1.0, 1.0)), "_ 50\na 100\n");
  EXPECT_EQ(joined(TimeAndPitch({";555|a"}, 1.0, 1.0)), "_ 50\n;a\n");
  EXPECT_EQ(joined(TimeAndPitch({""}, 1.0, 1.0)), "\n");
  EXPECT_EQ(joined(TimeAndPitch({";555|a"}, 1.0, 1.0)), ";a\n");
  // Without a diphone list every joint gets its pause.
  ReleaseDiphones();
  EXPECT_EQ(joined(TimeAndPitch({"", "k", "a"}, 1.0, 1.0)), "\n_ 50\nk 80\n_ 50\na 100\n");
}

TEST(Diphones, FileLinesBecomeNamePairsFoundWithoutCase) {
  load(prosodyFile("a=10\nb=10\nE=10\ns=10\nr2=10\n", "", ZERO_SCALE));
  // A phoneme joins without a filler exactly when the list holds the pair
  // (and _-x for the first one).
  auto joins = [](const std::string &a, const std::string &b) {
    StringList out = TimeAndPitch({a, b}, 1.0, 1.0);
    return out.size() == 2;
  };
  loadDiphones(
      "  _-a\t\r\n"
      "a  b  extra\n"
      "! b-a\n"
      "* a-a\n"
      "; a-E\n"
      "\n"
      "_-E\n"
      "e-S\n"
      "_ r2\n"
      "r2=s extra\n"
      "-b\n"
      "\xe9-a\n"
      "s\n");
  EXPECT_TRUE(joins("a", "b"));
  EXPECT_FALSE(joins("a", "a"));
  EXPECT_FALSE(joins("a", "E"));
  EXPECT_TRUE(joins("E", "s"));  // e-S, whatever the case
  EXPECT_TRUE(joins("r2", "s"));
  StringList out = TimeAndPitch({"b", "a"}, 1.0, 1.0);  // "! b-a" was dropped; _-b was never there
  EXPECT_EQ(joined(out), "_ 50\nb 10\n_ 50\na 10\n");
  TempDir dir;
  EXPECT_FALSE(LoadDiphones(dir.file("absent.dfn")));
  EXPECT_FALSE(joins("a", "b"));  // the list stays empty
  EXPECT_FALSE(LoadDiphones(dir.path.string()));  // a folder cannot be read
  ReleaseDiphones();
}

// --- The installed prosody file ---

TEST(InstalledProsody, LoadsCleanlyAndShapesSentences) {
  Loaded r = loadPath(KALEVO_ORVIA_DADOS "/portug.pro");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.messages, "");
  EXPECT_GT(ProsodyHertz(), 100);
  for (int digit = 0; digit < 10; ++digit) EXPECT_GT(ProsodyScale(digit), 0) << digit;
  for (int digit = 1; digit < 10; ++digit) EXPECT_GT(ProsodyScale(digit), ProsodyScale(digit - 1));
  for (const char *name : {"a", "e", "ee", "i", "o", "oo", "u", "@", "an", "en", "in", "on", "un", "w", "y", "p", "b",
                           "t", "d", "k", "g", "f", "v", "s", "z", "x", "j", "m", "n", "nh", "l", "lh", "r", "rr",
                           "r2", "s2", "h", "_", "__", "_,", "_.", "_?", "_!", "_;", "_:", "_(", "_)"}) {
    EXPECT_GE(FindDuration(name), 15) << name;
    EXPECT_LE(FindDuration(name), 400) << name;
  }
  EXPECT_GT(FindDuration("_.") + FindDuration("__"), FindDuration("_,"));
  EXPECT_EQ(FindKeyWordClass("o"), "AR");
  EXPECT_EQ(FindKeyWordClass("de"), "PR");
  EXPECT_EQ(FindKeyWordClass("e"), "CO");
  EXPECT_EQ(FindKeyWordClass("quem"), "QU");
  EXPECT_EQ(FindKeyWordClass("N\xc3O"), "NG");
  auto valueOf = [](const std::string &text, const std::string &word) {
    for (const std::string &line : annotate(text))
      if (line.substr(4) == word) return line.substr(0, 3);
    return std::string();
  };
  auto falls = [](const std::string &v) { return v[2] < v[1]; };
  auto rises = [](const std::string &v) { return v[2] > v[1]; };
  EXPECT_TRUE(falls(valueOf("Ele comprou um carro novo.", "novo")));
  EXPECT_TRUE(rises(valueOf("Voc\xea comprou um carro novo?", "novo")));
  EXPECT_TRUE(rises(valueOf("Comprei um carro, mas vendi.", "carro")));
  EXPECT_TRUE(falls(valueOf("Comprei um carro, mas vendi.", "vendi")));
  for (const char *word : {"um", "de", "e"}) {
    std::string v = valueOf(std::string("pedra ") + word + " casa", word);
    EXPECT_TRUE(v[1] == v[2] && v[0] == v[1]) << word << " " << v;  // flat
  }
}

// --- The console's message box ---

TEST(MessageBox, HeadlessWritesTheTextToStderrOnly) {
  ASSERT_TRUE(selectConsoleBackend());
  writeText("\r\n", 2);  // the window is open
  headlessInject([] {
    ConsoleEvent e;
    e.kind = ConsoleEventKind::Char;
    e.code = 'q';
    return e;
  }());
  uint64_t drawn = headlessStats().drawCalls;
  static bool spoken = false;
  setMessageBoxSpeaker([](const std::string &) { spoken = true; });
  StderrCapture capture;
  showMessageBox("Pros\xf3" "dia", "A dura\xe7\xe3o\x1b[2J \x81" "errada");
  showMessageBox(nullptr, "");
  // UTF-8 for the terminal, with no control byte reaching it.
  EXPECT_EQ(capture.text(), cp1252ToUtf8("Pros\xf3" "dia: A dura\xe7\xe3o?[2J ?errada\n\n"));
  EXPECT_EQ(headlessStats().drawCalls, drawn);
  EXPECT_FALSE(spoken);  // no box, nothing to say: the text is on stderr
  setMessageBoxSpeaker(nullptr);
  ASSERT_TRUE(keyPressed());  // the key stays for the game
  EXPECT_EQ(readKey(), 'q');
}

namespace {

// Runs in a child process: the SDL display on SDL's dummy driver, a box over
// the window, a player who types a key and then Enter. Exits 0 when all
// went as it should, another code at the first thing that did not.
[[noreturn]] void runSdlMessageBox() {
  setenv("KALEVO_DISPLAY", "sdl", 1);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (!selectConsoleBackend()) std::exit(2);
  writeText("abc", 3);
  static uintptr_t waveDone = 0;
  registerWaveDoneHandler([](uintptr_t device, uintptr_t) { waveDone = device; });
  SDL_Window *window = nullptr;
  for (Uint32 id = 1; id < 256 && !window; ++id) window = SDL_GetWindowFromID(id);
  if (!window) std::exit(3);
  const CellMetrics m = console.metrics;
  // Inside the box's first text row, on the blank after its left edge:
  // "Texto da caixa" makes an 18-cell box at column 31, row 11.
  const int x = 32 * m.cellWidth + m.cellWidth / 2, y = 12 * m.cellHeight + m.cellHeight / 2;
  SDL_Surface *s = SDL_GetWindowSurface(window);
  if (!s || x >= s->w || y >= s->h) std::exit(9);
  auto pixel = [&] {
    Uint32 v = 0;
    std::memcpy(&v, static_cast<uint8_t *>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel,
                s->format->BytesPerPixel);
    Rgb c{};
    SDL_GetRGB(v, s->format, &c.r, &c.g, &c.b);
    return c;
  };
  auto same = [](Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
  const Rgb boxColour = screenColour(1), below = screenColour(console.attrs[12 * SCREEN_COLS + 32] >> 4);
  if (same(boxColour, below)) std::exit(4);
  postConsoleMessage(MSG_WAVE_DONE, 7, 8);
  static std::atomic<bool> boxSeen{false};
  std::thread player([&] {
    for (int i = 0; i < 300 && !boxSeen; ++i) {
      boxSeen = same(pixel(), boxColour);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_X;
    e.key.keysym.sym = 'x';
    SDL_PushEvent(&e);
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, "x", sizeof e.text.text);
    SDL_PushEvent(&e);
    SDL_zero(e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    e.key.keysym.sym = SDLK_RETURN;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
  });
  static std::string spoken;
  setMessageBoxSpeaker([](const std::string &text) { spoken = text; });
  showMessageBox("Orvia", "Texto da caixa");
  player.join();
  if (!boxSeen) std::exit(5);
  if (spoken != "Orvia. Texto da caixa") std::exit(10);
  pumpAllMessages();
  if (!same(pixel(), below)) std::exit(6);
  if (console.queueCount != 0) std::exit(7);  // the box took the keys
  if (waveDone != 7) std::exit(8);            // the posted message waited for the game
  std::exit(0);
}

void pushKey(SDL_Scancode scancode, SDL_Keycode sym, const char *text) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = scancode;
  e.key.keysym.sym = sym;
  SDL_PushEvent(&e);
  if (text) {
    SDL_Event t;
    SDL_zero(t);
    t.type = SDL_TEXTINPUT;
    SDL_strlcpy(t.text.text, text, sizeof t.text.text);
    SDL_PushEvent(&t);
  }
  e.type = SDL_KEYUP;
  SDL_PushEvent(&e);
}

// A spoken box that the player closes with Enter while it is being said:
// no second Enter is needed, and the key that waited for the game before the
// box is still there after it.
[[noreturn]] void runSpokenBoxClosedDuringSpeech() {
  setenv("KALEVO_DISPLAY", "sdl", 1);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (!selectConsoleBackend()) std::exit(2);
  writeText("abc", 3);
  pushKey(SDL_SCANCODE_G, 'g', "g");
  pumpAllMessages();
  if (console.queueCount != 1) std::exit(3);
  static bool heardWithKeysAside = false;
  setMessageBoxSpeaker([](const std::string &) {
    heardWithKeysAside = console.queueCount == 0;
    pushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, nullptr);
    pumpAllMessages();  // what the speech's waits do
  });
  static std::atomic<bool> returned{false}, waited{false};
  std::thread watchdog([] {
    for (int i = 0; i < 300 && !returned; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!returned) {
      waited = true;
      pushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, nullptr);
    }
  });
  showMessageBox("Orvia", "Texto da caixa");
  returned = true;
  watchdog.join();
  if (!heardWithKeysAside) std::exit(4);
  if (waited) std::exit(5);
  if (console.queueCount != 1 || console.queue[0] != 'g') std::exit(6);
  std::exit(0);
}

}  // namespace

TEST(MessageBox, EnterDuringTheSpeechClosesTheBox) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(runSpokenBoxClosedDuringSpeech(), ::testing::ExitedWithCode(0), "Orvia: Texto da caixa");
}

TEST(MessageBox, SdlDrawsABoxThatEnterClosesAndRepaintsBelow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(runSdlMessageBox(), ::testing::ExitedWithCode(0), "Orvia: Texto da caixa");
}
