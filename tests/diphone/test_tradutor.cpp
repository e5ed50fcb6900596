#include <gtest/gtest.h>

#include <string>

#include "klregras.h"
#include "kltradutor.h"
#include "support/tempdir.h"

namespace {

// The current word after reading and marking a normalised word.
std::string stressed(const std::string &text) {
  size_t pos = 1;
  if (!NextWord(text, pos)) return "(no word)";
  PlaceStress();
  return std::string(CurrentWord());
}

// Loads a rule file and an exception file written here (empty by default).
struct Tables {
  TempDir dir;
  explicit Tables(const std::string &rules = "", const std::string &exceptions = "") {
    EXPECT_TRUE(LoadRules(dir.write("regras.rgr", rules)));
    EXPECT_TRUE(LoadExceptions(dir.write("portug.exc", exceptions)));
  }
  ~Tables() { ReleaseRules(); }
};

}  // namespace

TEST(PlaceStress, MarksTheStressedVowel) {
  const struct {
    const char *word, *marked;
  } cases[] = {
      {"casa", "cAsa"},     {"casas", "cAsas"},   {"falam", "fAlam"},       {"batom", "batOm"},
      {"cantar", "cantAr"}, {"urubu", "urubU"},   {"jardim", "jardIm"},     {"sal", "sAl"},
      {"ali", "alI"},       {"saia", "sAia"},     {"rainha", "raInha"},     {"seguia", "seguIa"},
      {"aqui", "aqUi"},     {"uruguai", "uruguaI"}, {"robot", "rObot"},
      // Unmarked: the stress would fall on the first byte; one vowel without
      // a final l; accent marks carry the stress themselves.
      {"isto", "isto"},     {"mar", "mar"},       {"pa", "pa"},             {"cafe'", "cafe'"},
      {"l'eau", "l'eau"},
      // Upper-case input is read lower-cased first.
      {"CASA", "cAsa"},
  };
  for (const auto &c : cases) EXPECT_EQ(stressed(c.word), c.marked) << c.word;
}

TEST(NormaliseText, LettersAccentsAndUnmappedBytes) {
  const struct {
    const char *in, *out;
  } cases[] = {
      {"show", "shou"},
      {"yoga", "ioga"},
      {"Wagner", "uagner"},
      {"a y b", "a y b"},        // no letter beside it: kept
      {"d'agua", "dagua"},
      {"D'Agua", "DAgua"},
      {"l'eau", "l'eau"},
      {"'a", "'a"},
      {"\xE7", "ss"},
      {"\x87", "ss"},            // the DOS cedilla
      {"\xF1", "nh"},
      {"\xFC", "u"},
      {"\x81", "u\""},
      {"\xE3o", "a~o"},
      {"\xC9", "e'"},
      {"\x98", "y-"},
      {"a\tb", "a \x01 b"},
      {"\x9B", " \x01 "},
      {"\xA7", "\xA7"},
      {"\xAB", "\xAA"},
  };
  for (const auto &c : cases) EXPECT_EQ(NormaliseText(c.in), c.out) << c.in;
  // A NUL is a byte like any other below 32.
  EXPECT_EQ(NormaliseText(std::string("a\0b", 3)), "a \x01 b");
}

TEST(NextWord, CutsAtBlanksAndNonLetters) {
  std::string text = "   Casa,  o'  1\x01 ";
  std::vector<std::string> words;
  std::vector<int> vowels;
  for (size_t pos = 1; NextWord(text, pos);) {
    words.emplace_back(CurrentWord());
    vowels.push_back(CurrentWordVowels());
  }
  EXPECT_EQ(words, (std::vector<std::string>{"casa", ",", "o'", "1", "\x01"}));
  EXPECT_EQ(vowels, (std::vector<int>{2, 0, 1, 0, 0}));
}

TEST(NextWord, LongRunsAreReadAsSeveralWords) {
  std::string text(600, 'b');
  std::vector<size_t> sizes;
  for (size_t pos = 1; NextWord(text, pos);) sizes.push_back(CurrentWord().size());
  EXPECT_EQ(sizes, (std::vector<size_t>{256, 256, 88}));

  // The cut would fall between a vowel and its accent mark: the vowel goes
  // with the mark into the next word, which keeps its accent flag.
  text = std::string(255, 'b') + "e'o";
  size_t pos = 1;
  ASSERT_TRUE(NextWord(text, pos));
  EXPECT_EQ(CurrentWord().size(), 255u);
  EXPECT_FALSE(CurrentWordAccented());
  ASSERT_TRUE(NextWord(text, pos));
  EXPECT_EQ(CurrentWord(), "e'o");
  EXPECT_TRUE(CurrentWordAccented());
  EXPECT_FALSE(NextWord(text, pos));
}

TEST(TranslateText, DefaultSegmentsAndSpelling) {
  Tables tables;
  const struct {
    const char *in, *out;
  } cases[] = {
      {"ab", "[ /_A/ /_B]"},
      {"  ab   ab ", "[ /_A/ /_B][ /_A/ /_B]"},
      {"rs", "[ /_r][ /_s]"},               // consonants only: spelled
      {"\t", "[ /_\x01]"},
      {"a\x9B", "[ /_A][ /_\x01]"},
      {"y", "[ /_y]"},
      {"7", "[ /_7]"},
      {"", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(TranslateText(c.in), c.out) << c.in;
}

TEST(TranslateText, RulesCarryTheStressMark) {
  Tables tables("(A)=a \n(C)=k\n(S)=z\n(QU)=k\n(E)=e \n(I)=i \n(T)=t\n(K)=k\n(X)=ks\n",
                "taxi=taksi\nta'xi=taksi\n");
  EXPECT_EQ(TranslateText("casa"), "[k/A /z/a ]");
  // The mark only counts at the focus's first byte: aqUi's u lies inside QU.
  EXPECT_EQ(TranslateText("aqui"), "[a /k/i ]");
  // The substitute has no accents, but the word as read had one: no stress.
  EXPECT_EQ(TranslateText("t\xE1xi"), "[t/a /k/z/i ]");
  EXPECT_EQ(TranslateText("taxi"), "[t/a /k/z/I ]");
  // A letter without a rule gets its default segment (one vowel, no final l:
  // no stress).
  EXPECT_EQ(TranslateText("cab"), "[k/a / /_B]");
}
