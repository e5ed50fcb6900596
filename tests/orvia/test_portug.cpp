// Stress finder, rule matcher, word transcription and the cross-word link.
#include <gtest/gtest.h>

#include "orvia/uttsPortug.h"
#include "orvia/uttsTonica.h"
#include "support/tempdir.h"

namespace {

TEST(OrviaStress, FindsTheStressedVowel) {
  const struct {
    const char *word;
    int position;
  } cases[] = {
      {"casa", 2},     {"caf\xe9", 4},  {"jardim", 5},  {"homem", 2},      {"falar", 4},
      {"aqui", 4},     {"continua", 7}, {"seguem", 2},  {"l\xe1pis", 2},   {"lapis", 4},
      {"psst", 0},     {"CASA", 2},     {"\xe1rvore", 1}, {"\xc1RVORES", 1},  // accent wins over the ending
      {"p\xe3ozinho", 2},  // rightmost accented vowel
      {"", 0},         {"s", 0},        {"quase", 3},   {"guerra", 3},     {"tatu", 4},
      {"cantam", 2},   {"papel", 4},   {"ruim", 3},
  };
  for (const auto &c : cases) EXPECT_EQ(FindStressPosition(c.word), c.position) << c.word;
}

TEST(OrviaStress, ShortAndFunctionWordsAreUnstressed) {
  for (const char *w : {"", "A", "DE", "POR", "DAS", "DOS", "COM", "N\xc3O", "SIM"})
    EXPECT_TRUE(IsUnstressedWord(w)) << w;
  for (const char *w : {"DOSE", "CASA", "com", "UMA"}) EXPECT_FALSE(IsUnstressedWord(w)) << w;
}

// Each case loads one rule (then a catch-all) and asks whether it applies to
// X at the position.
TEST(OrviaRules, ContextSymbols) {
  const struct {
    const char *rule;
    const char *word;
    int position;
    bool applies;
  } cases[] = {
      {"%(X)=y", "XA", 1, true},      {"%(X)=y", "AX", 2, false},
      {"#(X)=y", "AX", 2, true},      {"#(X)=y", "BX", 2, false},     {"#(X)=y", "X", 1, false},
      {"##(X)=y", "AEX", 3, true},    {"##(X)=y", "BEX", 3, false},
      {"](X)=y", "\xd3X", 2, true},   {"](X)=y", "EX", 2, false},
      {"_(X)=y", "X", 1, true},       {"_(X)=y", "\xc3X", 2, true},   {"_(X)=y", "BX", 2, false},
      {"|(X)=y", "NX", 2, true},      {"|(X)=y", "LX", 2, false},
      {"%B(X)=y", "BX", 2, true},     {"%B(X)=y", "ABX", 3, false},   {"B(X)=y", "bX", 2, true},
      {"(X)#=y", "XA", 1, true},      {"(X)#=y", "XB", 1, false},     {"(X)#=y", "X", 1, false},
      {"(X)%=y", "X", 1, true},       {"(X)%=y", "XA", 1, false},
      {"(X)&=y", "XL", 1, true},      {"(X)&=y", "XT", 1, false},
      {"(X)*=y", "XT", 1, true},      {"(X)*=y", "XR", 1, false},     {"(X)*=y", "XA", 1, false},
      {"(X)*T=y", "XT", 1, true},     // * does not move
      {"(X)+=y", "X\xc9", 1, true},   {"(X)+=y", "XA", 1, false},
      {"(X)[=y", "X", 1, true},       {"(X)[=y", "XT", 1, true},      {"(X)[=y", "XH", 1, false},
      {"(X)[=y", "XA", 1, false},
      {"(X)\\A=y", "XSA", 1, true},   {"(X)\\A=y", "XA", 1, true},    {"(X)\\A=y", "XB", 1, false},
      {"(XY)=y", "XY", 1, true},      {"(XY)=y", "X", 1, false},      {"(X)Y=y", "Xy", 1, true},
  };
  TempDir dir;
  for (const auto &c : cases) {
    std::string file = dir.write("r.nrl", std::string(c.rule) + "\n(X)=n\n");
    ASSERT_TRUE(LoadOrviaRules(file));
    const LetterRule *rule = FindOrviaRule(c.word, c.position);
    ASSERT_NE(rule, nullptr) << c.rule;
    EXPECT_EQ(rule->replacement.view() == "y", c.applies) << c.rule << " on " << c.word;
  }
  // A position outside the word, or a control byte, has no rule.
  EXPECT_EQ(FindOrviaRule("X", 0), nullptr);
  EXPECT_EQ(FindOrviaRule("X", 2), nullptr);
  EXPECT_EQ(FindOrviaRule("\x01", 1), nullptr);
}

struct Transcription : ::testing::Test {
  TempDir dir;
  void SetUp() override {
    ClearOrviaExceptions();
    ASSERT_TRUE(LoadOrviaRules(dir.write("r.nrl",
        ";test rules\n"
        "(CH)=x\n(C)=k\n(A)=a\n(\xc1)=a\n(S)#=\xa8z\n(S)%=s2\n(S)=s\n(R)%=r2\n(R)=\xa8r\n"
        "(M)%=m\n(M)=\xa8m\n(O)%=w\n(O)=o\n(Z)=\xa8z\n(U)=u\n(L)%=w\n(L)=\xa8l\n(H)=\n"
        "(X)=k&s\n(Q)=abcdefghijklmn\n(\xc9)=ee\n(F)=\xa8" "f\n(E)=e\n")));
    ASSERT_TRUE(LoadOrviaExceptions(dir.write("e.exc", "xa=casa\n")));
  }
};

TEST_F(Transcription, WordLinesWithStressMark) {
  const struct {
    const char *word;
    int stress;
    StringList lines;
  } cases[] = {
      {"CASA", 2, {"k", ">a", "\xa8z", "a", ""}},
      {"CASA", 0, {"k", "a", "\xa8z", "a", ""}},
      {"A", 1, {">a", ""}},
      {"X", 1, {">k", "s", ""}},             // & splits a replacement into lines
      {"AX", 2, {"a", ">k", "s", ""}},
      {"CHA", 2, {"x", ">a", ""}},            // a two-letter focus is consumed whole
      {"HA", 1, {">a", ""}},                  // an empty replacement writes nothing, not even the mark
      {"A1A", 2, {"a", ">a", ""}},            // a letter without a rule is skipped
      {"Q", 0, {"abcdefghijk", ""}},          // only the first eleven bytes are used
  };
  for (const auto &c : cases) {
    StringList out;
    TranscribeWord(c.word, c.stress, out);
    EXPECT_EQ(out, c.lines) << c.word;
  }
}

TEST_F(Transcription, TokensPausesAndExceptions) {
  const struct {
    StringList tokens;
    StringList phonemes;
  } cases[] = {
      {{"vvv|"}, {";vvv|", "__", "", "__"}},
      {{"vvv|,"}, {";vvv|,", "_,", "__"}},
      {{"555| "}, {";555| ", "__"}},
      {{"583|casa"}, {";583|casa", "k", ">a", "\xa8z", "a", "", "__"}},
      {{"555|caf\xe9"}, {";555|caf\xe9", "k", "a", "\xa8" "f", ">ee", "", "__"}},
      {{"555|com"}, {";555|com", "k", "o", "m", "", "__"}},  // unstressed function word
      {{"555|xas"}, {";555|xas", "k", ">a", "\xa8z", "a", "s2", "", "__"}},  // exception with S suffix
      {{"555|?", "555|", "555|!"}, {";555|?", "_?", ";555|", "__", "", ";555|!", "_!", "__"}},
      {{"55"}, {";55", "__", "", "__"}},
  };
  for (const auto &c : cases) EXPECT_EQ(TranscribeTokens(c.tokens), c.phonemes) << c.tokens[0];
}

TEST(OrviaLink, FinalR2AndS2BeforeAVowel) {
  const struct {
    const char *last;
    const char *nextFirst;
    const char *expected;
  } cases[] = {
      {"r2", "\xa8" "a", "r"}, {"s2", "\xa8" "a", "z"}, {"r2", "a", "r"}, {"s2", "y", "z"},
      {"r2", ">a", "r2"},      {"s2", "k", "s2"},       {"r2", "A", "r2"}, {"m", "a", "m"},
      {"r2", "\xa8", "r2"},
  };
  for (const auto &c : cases) {
    StringList list = {";555|mar", "m", ">a", c.last, "", ";555|azul", c.nextFirst, "z", ">u", "w", "", "__"};
    LinkWords(list);
    EXPECT_EQ(list[3], c.expected) << c.last << " " << c.nextFirst;
  }
  // The whole pass from tokens: "mar azul" links, "mar" at the end does not.
  StringList headerOnly = {";555|x", "", ";555|y"};
  LinkWords(headerOnly);  // too short to hold a linked pair
  EXPECT_EQ(headerOnly, (StringList{";555|x", "", ";555|y"}));
}

}  // namespace
