// The Orvia text normalisation: numbers, ordinals, abbreviations, spelled
// words and symbol names, on small abbreviation files written by the tests
// and on the installed one.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "orvia/uttsPreproc.h"
#include "support/tempdir.h"

namespace {

struct ExpandCase {
  std::string text;
  std::string expected;
};

// Every byte ExpandText may write when no abbreviation is expanded: letters,
// hyphens, blanks and the kept punctuation.
bool isOutputByte(unsigned char c) {
  static const std::string accented = "\xc0\xc1\xc2\xc3\xc7\xc9\xca\xcc\xcd\xd1\xd3\xd4\xd5\xd9\xda\xdc";
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c >= 0xC0 && accented.find(static_cast<char>(c & ~0x20)) != std::string::npos) return true;
  return std::string(" -!(),.:;?").find(static_cast<char>(c)) != std::string::npos;
}

std::string badBytes(const std::string &text) {
  std::string bad;
  for (unsigned char c : text)
    if (!isOutputByte(c)) bad += std::to_string(c) + " ";
  return bad;
}

class ExpandTextTest : public ::testing::Test {
 protected:
  TempDir dir;
  void SetUp() override {
    ASSERT_TRUE(LoadAbbreviations(dir.write("fixture.abr",
                                            "; abbreviations for the tests\n"
                                            "DR=doutor\n"
                                            "etc=etc\xe9tera\n"
                                            "km=quil\xf4metros\n")));
  }
};

TEST_F(ExpandTextTest, Cases) {
  const std::vector<ExpandCase> cases = {
      // Cardinals, with the trailing blank after every number.
      {"123", "cento e vinte e tr\xeas "},
      {"1.000.000 de", "um milh\xe3o   de"},
      {"1.000", "mil  "},
      {"1.001.000", "um milh\xe3o e mil  "},
      {"1.234,56", "mil e duzentos e trinta e quatro v\xedrgula cinq\xfc" "enta e seis "},
      {"50%", "cinq\xfc" "enta  porcento "},
      {"3x", "tr\xeas xis"},
      // Decimals: a point that is not a thousands point is read.
      {"3,5", "tr\xeas v\xedrgula cinco "},
      {"3.14", "tr\xeas ponto quatorze "},
      {"2.5000", "dois ponto cinco mil  "},
      {"1.2.3", "um ponto dois ponto tr\xeas "},
      // Leading zeros.
      {"007", "zero zero sete "},
      {"00", "zero zero "},
      // Sixteen digits: fifteen, then one more number.
      {"1234567890123456",
       "cento e vinte e tr\xeas trilh\xf5" "es quatrocentos e cinq\xfc" "enta e seis bilh\xf5" "es setecentos e "
       "oitenta e nove milh\xf5" "es doze mil e trezentos e quarenta e cinco seis "},
      {"1.000.000.000.000", "um trilh\xe3o  "},
      // Minus, hyphens between blanks, digit strings with hyphens.
      {"-5", "menos cinco "},
      {"- 5", " tra\xe7o  cinco "},
      {"sim - n\xe3o", "sim , n\xe3o"},
      {"10-12-2003", " um zero tra\xe7o um dois tra\xe7o dois zero zero tr\xeas "},
      {"5-", " cinco tra\xe7o "},
      {"-5-3", "menos  cinco tra\xe7o tr\xeas "},
      // Ordinals: the leading zeros are not read with them.
      {"1\xba", "primeiro "},
      {"1\xaa", "primeira "},
      {"2o.", "segundo "},
      {"3as.", "terceiras "},
      {"70\xaa", "septuag\xe9sima "},
      {"01\xba", "primeiro "},
      {"21\xba lugar", "vig\xe9simo primeiro  lugar"},
      {"2000\xba", "dois mil  "},
      {"2000os.", "dois mil  "},
      // Abbreviations need the full stop and a blank after it.
      {"Dr. Silva", "doutor Silva"},
      {"dr. Silva", "doutor Silva"},
      {"Sr. Silva", "\xe9sse\xe9rre. Silva"},
      {"etc. e", "etc\xe9tera e"},
      {"etc.", "etc."},
      {"5 km. Depois", "cinco  quil\xf4metros Depois"},
      {"5 km", "cinco  c\xe1\xeame"},
      // Words without vowels are spelled; hyphens go with the word.
      {"BH", "b\xea" "ag\xe1"},
      {"CD", " s\xea d\xea"},
      {"B-H", "b\xeatra\xe7o" "ag\xe1"},
      {"guarda-chuva", "guarda-chuva"},
      {"\xc7\xf1", "C\xea cedilhaN com til"},
      {"a\xe7\xe3o", "a\xe7\xe3o"},
      // Points and ellipses.
      {"fim.doc", "fim ponto doc"},
      {"Fim...", "Fim... "},
      {"a.b", "a ponto b\xea"},
      {"....", "... ."},
      {".....", "...  ponto ."},
      {"Oi! (sim), n\xe3o: ok; e?", "Oi! (sim), n\xe3o: ok; e?"},
      // Symbols get their names between blanks; unnamed ones only the blanks.
      {"a&b", "a \xe9 comercial b\xea"},
      {"x\x01\x7fy", "xis    \xedpsilon"},
      {"\xa0\xdd\xfd\xde", "        "},
      {"\xe1gua\xa7", "\xe1gua par\xe1grafo "},
      // Line breaks and tabs part the words on either side.
      {"sim\tn\xe3o\r\nfim", "sim n\xe3o  fim"},
      // A text of one character is its name.
      {"7", "s\xe9te"},
      {"?", "interroga\xe7\xe3o"},
      {"x", "xis"},
      {"C", " s\xea"},
      {"-", "tra\xe7o"},
      {"\xe9", "\xc9 agudo"},
      {"\x01", ""},
      {"", ""},
  };
  for (const ExpandCase &c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    EXPECT_EQ(ExpandText(c.text), c.expected);
  }
}

// Numbers, hyphens and points in long runs end, and leave only words.
TEST(ExpandTextRobustness, LongRunsAndEveryByte) {
  ASSERT_FALSE(LoadAbbreviations("/nonexistent/kalevo.abr"));
  std::string everyByte;
  for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
  std::string hyphenDigits;
  for (int i = 0; i < 5000; ++i) hyphenDigits += "1-";
  const std::vector<std::string> texts = {
      std::string(10000, '9'), std::string(10000, '0'), std::string(10000, '-'), std::string(10000, '.'),
      hyphenDigits,            everyByte,               everyByte + everyByte + "1.000.000,5\xaa",
      std::string(9999, '0') + "1\xba",
  };
  for (const std::string &text : texts) {
    SCOPED_TRACE("text of " + std::to_string(text.size()) + " bytes starting with " + std::to_string(text[0]));
    std::string words = ExpandText(text);
    EXPECT_FALSE(words.empty());
    EXPECT_EQ(badBytes(words), "");
  }
  // 10000 nines: 666 numbers of fifteen digits, then one of ten.
  std::string fifteenNines = ExpandText(std::string(15, '9'));
  std::string nines = ExpandText(std::string(10000, '9'));
  EXPECT_EQ(nines.size(), 666 * fifteenNines.size() + ExpandText(std::string(10, '9')).size());
  EXPECT_EQ(ExpandText(std::string(10000, '0')).size(), 10000 * std::string("zero ").size());
}

TEST(CharName, TableAndRanges) {
  EXPECT_EQ(CharName(' '), "espa\xe7o");
  EXPECT_EQ(CharName('\\'), "barra invertida");
  EXPECT_EQ(CharName('~'), "til");
  EXPECT_EQ(CharName('c'), " s\xea");
  EXPECT_EQ(CharName('J'), "j\xf3ta");
  EXPECT_EQ(CharName('j'), "jota");
  EXPECT_EQ(CharName(0xA1), "exclama\xe7\xe3o reversa");
  EXPECT_EQ(CharName(0xDC), "U com trema");
  // The lower-case letters from 225 take the capital's name; 224 and the
  // codes whose capitals have no name have none.
  EXPECT_EQ(CharName(0xE1), "A agudo");
  EXPECT_EQ(CharName(0xFC), "U com trema");
  for (int c : {0, 9, 31, 127, 128, 160, 221, 224, 253, 255}) {
    SCOPED_TRACE(c);
    EXPECT_EQ(CharName(static_cast<unsigned char>(c)), "");
  }
  // Names are made of letters and blanks only, so a spelled word or a
  // symbol's name never brings back a byte that needs normalising.
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    std::string name = CharName(static_cast<unsigned char>(c));
    EXPECT_EQ(name.empty(), c < 32 || (c > 126 && c < 161) || (c > 220 && c < 225) || c > 252);
    EXPECT_EQ(badBytes(name), "");
    EXPECT_EQ(name.find_first_of("-!(),.:;?"), std::string::npos);
  }
}

TEST(OrdinalWords, Values) {
  struct Case {
    Gender gender;
    int64_t value;
    std::string expected;
  };
  const Gender M = Gender::Masculine, F = Gender::Feminine;
  const std::vector<Case> cases = {
      {M, 0, "zero"},
      {F, 0, "zero"},
      {M, 1, "primeiro"},
      {F, 1, "primeira"},
      {M, 7, "s\xe9timo"},
      {M, 10, "d\xe9" "cimo"},
      {F, 21, "vig\xe9sima primeira"},
      {M, 100, "cent\xe9simo"},
      {F, 305, "tricent\xe9sima quinta"},
      {M, 1000, "mil\xe9simo"},
      {M, 1010, "mil\xe9simo d\xe9" "cimo"},
      {F, 1999, "mil\xe9sima nongent\xe9sima nonag\xe9sima nona"},
      {M, 2000, "dois mil "},
      {F, 2001, "dois mil e um"},
      {M, 999999999999999,
       "novecentos e noventa e nove trilh\xf5" "es novecentos e noventa e nove bilh\xf5" "es novecentos e noventa "
       "e nove milh\xf5" "es novecentos e noventa e nove mil e novecentos e noventa e nove"},
      {M, 1000000000000000, ""},
      {M, -1, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(OrdinalWords(c.gender, c.value), c.expected);
  }
}

TEST(ReadNumberAndWord, MovePastWhatTheyRead) {
  ASSERT_FALSE(LoadAbbreviations("/nonexistent/kalevo.abr"));
  size_t p = 3;
  EXPECT_EQ(ReadNumber("ab12c", p), "doze");
  EXPECT_EQ(p, 5u);
  p = 1;
  EXPECT_EQ(ReadNumber("1.000.0001", p), "mil ");
  EXPECT_EQ(p, 6u);  // the second point is not a thousands point
  p = 1;
  std::string fifteenDigits = ExpandText("123456789012345");  // the words and a blank
  EXPECT_EQ(ReadNumber("1234567890123456", p), fifteenDigits.substr(0, fifteenDigits.size() - 1));
  EXPECT_EQ(p, 16u);
  p = 2;
  EXPECT_EQ(ReadNumber("x5as.y", p), "quintas");
  EXPECT_EQ(p, 6u);
  p = 1;
  EXPECT_EQ(ReadNumber("a1", p), "");  // not at a digit: nothing read
  EXPECT_EQ(p, 1u);
  p = 9;
  EXPECT_EQ(ReadNumber("1", p), "");
  EXPECT_EQ(p, 9u);

  p = 3;
  EXPECT_EQ(ReadWord("o BH-x.", p), "b\xea" "ag\xe1tra\xe7oxis");
  EXPECT_EQ(p, 7u);
  p = 1;
  EXPECT_EQ(ReadWord("bem-vindo!", p), "bem-vindo");
  EXPECT_EQ(p, 10u);
  p = 1;
  EXPECT_EQ(ReadWord("1a", p), "");
  EXPECT_EQ(p, 1u);
  p = 0;
  EXPECT_EQ(ReadWord("a", p), "");
  EXPECT_EQ(p, 0u);
}

TEST(LoadAbbreviations, FileFormat) {
  TempDir dir;
  std::string longExpansion(1200, 'x');
  std::string path = dir.write("a.abr",
                               "; comment=ignored\n"
                               "\n"
                               "   \t \r\n"
                               "  ; indented comment\n"
                               "  dr \t=\t doutor  da silva \r\n"
                               "no equals sign here\n"
                               "=orphan\n"
                               "empty=\n"
                               "\x01\x02\xe1rea=\xe1rea grande\x03\n"
                               "dr=second doctor\n"
                               "long=   " + longExpansion + "\n"
                               "mac=old\rline=endings\r"
                               "last=no line feed");
  ASSERT_TRUE(LoadAbbreviations(path));
  EXPECT_EQ(AbbreviationCount(), 10u);
  EXPECT_EQ(FindAbbreviation("DR"), "doutor  da silva");
  EXPECT_EQ(FindAbbreviation("dR"), "doutor  da silva");  // the first of equal keys
  EXPECT_EQ(FindAbbreviation("\xc1rea"), "\xe1rea grande");
  EXPECT_EQ(FindAbbreviation("\xe1REA"), "\xe1rea grande");
  EXPECT_EQ(FindAbbreviation("long"), std::string(ABBREVIATION_EXPANSION_CAPACITY - 3, 'x'));
  EXPECT_EQ(FindAbbreviation("mac"), "old");
  EXPECT_EQ(FindAbbreviation("line"), "endings");
  EXPECT_EQ(FindAbbreviation("last"), "no line feed");
  // Lines without a key never match, not even an empty word.
  EXPECT_EQ(FindAbbreviation(""), "");
  EXPECT_EQ(FindAbbreviation("no equals sign here"), "");
  EXPECT_EQ(FindAbbreviation("orphan"), "");
  EXPECT_EQ(FindAbbreviation("empty"), "");
  EXPECT_EQ(FindAbbreviation("comment"), "");
  EXPECT_EQ(FindAbbreviation("d"), "");
  EXPECT_EQ(FindAbbreviation("drs"), "");
  EXPECT_EQ(ExpandText("empty. x"), "empty. xis");

  // A file that is missing or cannot be read empties the table.
  EXPECT_FALSE(LoadAbbreviations(dir.file("missing.abr")));
  EXPECT_EQ(AbbreviationCount(), 0u);
  EXPECT_EQ(FindAbbreviation("dr"), "");
  ASSERT_TRUE(LoadAbbreviations(path));
  EXPECT_FALSE(LoadAbbreviations(dir.path.string()));
  EXPECT_EQ(AbbreviationCount(), 0u);

  ASSERT_TRUE(LoadAbbreviations(dir.write("empty.abr", "")));
  EXPECT_EQ(AbbreviationCount(), 0u);
}

TEST(LoadAbbreviations, KeepsTheFirstEntriesUpToCapacity) {
  TempDir dir;
  std::ostringstream file;
  for (size_t i = 0; i < ABBREVIATION_CAPACITY + 100; ++i) {
    file << "; entry " << i << "\n";
    file << "k" << i << "=expansion " << i << "\n";
  }
  ASSERT_TRUE(LoadAbbreviations(dir.write("big.abr", file.str())));
  EXPECT_EQ(AbbreviationCount(), ABBREVIATION_CAPACITY);
  EXPECT_EQ(FindAbbreviation("K0"), "expansion 0");
  EXPECT_EQ(FindAbbreviation("k1999"), "expansion 1999");
  EXPECT_EQ(FindAbbreviation("k2000"), "");
  EXPECT_EQ(FindAbbreviation("k2099"), "");
}

// The installed file: every key can be found (letters only, none shadowed by
// an earlier equal key) and gives its own expansion.
TEST(InstalledAbbreviations, LoadAndExpand) {
  const std::string path = KALEVO_ORVIA_DADOS "/portug.abr";
  ASSERT_TRUE(LoadAbbreviations(path));
  EXPECT_GE(AbbreviationCount(), 60u);
  EXPECT_EQ(ExpandText("Sr. Silva"), "senhor Silva");
  EXPECT_EQ(ExpandText("Profa. Ana, av. Brasil"), "professora Ana, avenida Brasil");

  std::ifstream in(path, std::ios::binary);
  size_t entries = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == ';') continue;
    ++entries;
    size_t equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    std::string key = line.substr(0, equals), expansion = line.substr(equals + 1);
    SCOPED_TRACE(key);
    EXPECT_EQ(FindAbbreviation(key), expansion);
    size_t p = 1;
    EXPECT_EQ(ReadWord(key + ". ", p).size(), key.size()) << "not a word of letters alone";
    EXPECT_EQ(ExpandText(key + ". x"), expansion + " xis");
  }
  EXPECT_EQ(entries, AbbreviationCount());
}

}  // namespace
