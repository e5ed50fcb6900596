#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "klregras.h"
#include "support/tempdir.h"

namespace {

// The replacement of the rule FindRule picks, or "none".
std::string chosen(const std::string &word, int pos) {
  const LetterRule *rule = FindRule(word, pos);
  return rule ? std::string(rule->replacement.view()) : "none";
}

std::vector<std::string> orviaList(unsigned char key) {
  std::vector<std::string> replacements;
  for (const LetterRule *rule = FirstOrviaRule(key); rule; rule = rule->next)
    replacements.emplace_back(rule->replacement.view());
  return replacements;
}

class Rules : public ::testing::Test {
 protected:
  TempDir dir;
  void loadRules(const std::string &text) { ASSERT_TRUE(LoadRules(dir.write("regras.rgr", text))); }
  void loadExceptions(const std::string &text) {
    ASSERT_TRUE(LoadExceptions(dir.write("portug.exc", text)));
  }
  void TearDown() override {
    ReleaseRules();
    ReleaseOrviaRules();
    ClearOrviaExceptions();
  }
};

}  // namespace

TEST_F(Rules, LinesSplitIntoCappedFields) {
  ASSERT_TRUE(LoadOrviaRules(dir.write("portug.nrl",
                                       "LLLLLLL(BCDEFGH)RRRRRRR=123456789012345678901234|comment\n"
                                       "(C)=  x  \r\n"
                                       "(D)abc\n"
                                       "xy(E\n"
                                       "(F)=a|b=c\n"
                                       ";(G)=comment line\n"
                                       "(G)=g\n"
                                       "no parenthesis at all\n"
                                       "\n"
                                       "()=empty focus\n"
                                       "(\x1f)=below the keys\n"
                                       "(\xff)=top key\r")));
  const LetterRule *b = FirstOrviaRule('B');
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->left.view(), "LLLLL");
  EXPECT_EQ(b->focus.view(), "BCDEF");
  EXPECT_EQ(b->right.view(), "RRRRR");
  EXPECT_EQ(b->replacement.view(), "12345678901234567890");
  EXPECT_EQ(orviaList('C'), std::vector<std::string>{"  x  "});
  EXPECT_EQ(FirstOrviaRule('D')->right.view(), "abc");
  EXPECT_EQ(orviaList('D'), std::vector<std::string>{""});
  EXPECT_EQ(FirstOrviaRule('E')->left.view(), "xy");
  EXPECT_EQ(orviaList('F'), std::vector<std::string>{"a"});
  EXPECT_EQ(orviaList('G'), std::vector<std::string>{"g"});
  EXPECT_EQ(orviaList(0xff), std::vector<std::string>{"top key"});
  for (int key : {int('n'), int('('), int(')'), 0x1f, 0}) EXPECT_EQ(FirstOrviaRule(key), nullptr) << key;

  // The translator's loader: 11-byte replacements, and ';' is a left context.
  loadRules("(A)=123456789012345\n;(B)=semicolon\n(\xc1)=no list\n(a)=no list\n");
  EXPECT_EQ(chosen("a", 1), "12345678901");
  EXPECT_EQ(chosen(";b", 2), "semicolon");
  EXPECT_EQ(chosen("\xc1", 1), "none");
}

TEST_F(Rules, ContextSymbols) {
  struct Case {
    const char *rule, *word;
    int pos;
    bool matches;
  } cases[] = {
      // focus
      {"(A~)=x", "a~", 1, true},
      {"(Ab)=x", "ab", 1, false},
      {"(AB)=x", "a", 1, false},
      {"(A)=x", "bAb", 2, true},
      // right context
      {"(A)#=x", "bai", 2, true},
      {"(A)#=x", "ba'", 2, true},
      {"(A)#=x", "bab", 2, false},
      {"(A)#=x", "ba", 2, false},
      {"(A)#B=x", "baieb", 2, true},
      {"(A)#%=x", "baie", 2, true},
      {"(A)%=x", "ba", 2, true},
      {"(A)%=x", "bab", 2, false},
      {"(A)&%=x", "bal", 2, true},
      {"(A)&=x", "baz", 2, true},
      {"(A)&=x", "baL", 2, false},
      {"(A)&=x", "bat", 2, false},
      {"(A)*T=x", "bat", 2, true},
      {"(A)*=x", "baR", 2, true},
      {"(A)*=x", "bar", 2, false},
      {"(A)*=x", "bal", 2, false},
      {"(A)*=x", "bae", 2, false},
      {"(A)*=x", "ba", 2, false},
      {"(A)+%=x", "bae", 2, true},
      {"(A)+%=x", "bai'", 2, true},
      {"(A)+X=x", "baex", 2, true},
      {"(A)+=x", "bao", 2, false},
      {"(A)[=x", "ba", 2, true},
      {"(A)[T=x", "bat", 2, true},
      {"(A)[=x", "bah", 2, false},
      {"(A)[=x", "bae", 2, false},
      {"(A)\\%=x", "bas", 2, true},
      {"(A)\\%=x", "ba", 2, true},
      {"(A)\\T=x", "bat", 2, true},
      {"(A)\\%=x", "bat", 2, false},
      {"(A)T=x", "bat", 2, true},
      {"(A)t=x", "bat", 2, false},
      {"(A)]_|=x", "ba]_|", 2, true},
      {"(A)]=x", "bao", 2, false},
      // left context
      {"#(A)=x", "ia", 2, true},
      {"#(A)=x", "i'a", 3, true},
      {"#(A)=x", "ba", 2, false},
      {"#(A)=x", "a", 1, false},
      {"X#(A)=x", "xiea", 4, true},
      {"%#(A)=x", "iea", 3, true},
      {"%(A)=x", "a", 1, true},
      {"%(A)=x", "ba", 2, false},
      {"X](A)=x", "xoa", 3, true},
      {"X](A)=x", "xo'a", 4, true},
      {"](A)=x", "e'a", 3, false},
      {"](A)=x", "'a", 2, false},
      {"](A)=x", "a", 1, false},
      {"%_(A)=x", "a", 1, true},
      {"X_(A)=x", "xea", 3, true},
      {"X_(A)=x", "xe~a", 4, true},
      {"_(A)=x", "ba", 2, false},
      {"|(A)=x", "na", 2, true},
      {"|(A)=x", "sa", 2, true},
      {"|(A)=x", "Na", 2, false},
      {"|(A)=x", "a", 1, false},
      {"B(A)=x", "ba", 2, true},
      {"b(A)=x", "ba", 2, false},
      {"&*+[\\(A)=x", "&*+[\\a", 6, true},
      {"+(A)=x", "ea", 2, false},
      {"[(A)=x", "ba", 2, false},
  };
  for (const Case &c : cases) {
    loadRules(std::string(c.rule) + "\n");
    EXPECT_EQ(chosen(c.word, c.pos) == "x", c.matches) << c.rule << " on " << c.word << " at " << c.pos;
  }
}

TEST_F(Rules, KeysAndOrder) {
  loadRules("(A)%=final\n(A)=any\n(A)B=hidden\n(B)=b\n");
  EXPECT_EQ(chosen("ba", 2), "final");
  EXPECT_EQ(chosen("ab", 1), "any");  // first match wins, the later rule is hidden
  EXPECT_EQ(chosen("B", 1), "b");
  for (const char *word : {"{", "\x1f", "\xe1", "~"}) EXPECT_EQ(chosen(word, 1), "none") << word;
  EXPECT_EQ(chosen("ab", 0), "none");
  EXPECT_EQ(chosen("ab", 3), "none");
  ReleaseRules();
  EXPECT_EQ(chosen("ba", 2), "none");
}

TEST_F(Rules, KeySplitIntoTwoBlocks) {
  const std::string text = "(A)%=first\n(B)=b\n(A)=second\n";
  loadRules(text);
  EXPECT_EQ(chosen("ab", 1), "none");  // the second A block hangs off B's list
  EXPECT_EQ(chosen("b", 1), "b");
  // Orvia's loader joins each rule to its own key's list.
  ASSERT_TRUE(LoadOrviaRules(dir.write("portug.nrl", text)));
  EXPECT_EQ(orviaList('A'), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(orviaList('B'), std::vector<std::string>{"b"});
}

TEST_F(Rules, UnreadableFilesFail) {
  std::filesystem::create_directory(dir.file("folder"));
  for (const std::string &path : {dir.file("absent"), dir.file("folder")}) {
    EXPECT_FALSE(LoadRules(path)) << path;
    EXPECT_FALSE(LoadExceptions(path)) << path;
    EXPECT_FALSE(LoadOrviaRules(path)) << path;
    EXPECT_FALSE(LoadOrviaExceptions(path)) << path;
  }
}

TEST_F(Rules, ExceptionLinesAndLookup) {
  loadExceptions("casa=KAza\n"
                 "dia=DIa|comment\r\n"
                 "\n"
                 "\r\n"
                 "mesm=wrong\n"
                 "semigual\n"
                 "a=b=c|d\n"
                 " com= blanks \n"
                 "=empty\n"
                 "ma\xe7\xe3=massa~\n");
  EXPECT_EQ(ExceptionCount(), 8u);
  struct Case {
    const char *word, *result;
  } cases[] = {
      {"casa", "KAza"},     {"casas", "KAzas"},  {"casam", "KAzam"},     {"casasms", "KAzasms"},
      {"dia", "DIa"},       {"dias", "DIas"},    {"mesmos", "mesmos"},   {"semigual", "semigual"},
      {"semigual|", ""},    {"a", "b=c"},        {" com", " blanks "},   {"com", "com"},
      {"ms", "ms"},         {"ma\xe7\xe3s", "massa~s"}, {"Casa", "Casa"}, {"cas", "cas"},
  };
  for (const Case &c : cases) {
    std::string word = c.word;
    LookUpException(word);
    EXPECT_EQ(word, c.result) << c.word;
  }
}

TEST_F(Rules, ExceptionEdges) {
  // Lines are read up to 255 bytes; the rest is skipped, and a line that
  // fills all 255 bytes still splits within them.
  std::string word(200, 'w');
  std::string longLine = word + "=" + std::string(99, 's') + "|x";
  std::string fullLine = std::string(200, 'f') + "=" + std::string(54, 'g');
  std::string noEquals(300, 'n');
  loadExceptions("x=1\nx=2\nb=0\nx=3\nc=0\n" + longLine + "\n" + fullLine + "\n" + noEquals + "\nz=last\n");
  std::string lookup = word;
  ASSERT_TRUE(LookUpException(lookup));
  EXPECT_EQ(lookup, std::string(54, 's'));
  lookup = std::string(200, 'f');
  ASSERT_TRUE(LookUpException(lookup));
  EXPECT_EQ(lookup, std::string(54, 'g'));
  lookup = std::string(255, 'n') + "|";
  EXPECT_TRUE(LookUpException(lookup));
  EXPECT_EQ(lookup, "");
  lookup = "z";
  EXPECT_TRUE(LookUpException(lookup));
  EXPECT_EQ(lookup, "last");
  lookup = "x";
  LookUpException(lookup);
  EXPECT_EQ(lookup, "1");  // of equal words, the first in the file

  // 15 001 entries: the first 15 000 are kept.
  std::string text;
  for (int i = 1; i <= 15001; ++i) text += "p" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  loadExceptions(text);
  EXPECT_EQ(ExceptionCount(), 15000u);
  for (int i : {1, 7777, 15000, 15001}) {
    std::string w = "p" + std::to_string(i);
    EXPECT_EQ(LookUpException(w), i <= 15000) << i;
  }

  // Loading rules empties the exception list; a failed load leaves it empty.
  loadRules("(A)=a\n");
  EXPECT_EQ(ExceptionCount(), 0u);
  loadExceptions("x=1\n");
  EXPECT_FALSE(LoadExceptions(dir.file("absent.exc")));
  EXPECT_EQ(ExceptionCount(), 0u);
}

TEST_F(Rules, OrviaExceptionsAreUpperCasedAndKeptApart) {
  loadExceptions("casa=kaza\n");
  ASSERT_TRUE(LoadOrviaExceptions(dir.write("orvia.exc", "casa=kaza\nma\xe7\xe3=mass\xe3\n\xff\x9a=x\n")));
  ASSERT_TRUE(LoadOrviaRules(dir.write("portug.nrl", "(A)=a\n")));
  EXPECT_EQ(OrviaExceptionCount(), 3u);  // loading Orvia's rules leaves its exceptions
  EXPECT_EQ(ExceptionCount(), 1u);
  struct Case {
    const char *word, *result;
  } cases[] = {
      {"CASAS", "KAZAS"}, {"CASAMS", "KAZAMS"}, {"casas", "casas"}, {"CASAs", "CASAs"},
      {"MA\xc7\xc3", "MASS\xc3"}, {"\x9f\x8a", "X"}, {"SM", "SM"},
  };
  for (const Case &c : cases) {
    std::string word = c.word;
    LookUpOrviaException(word);
    EXPECT_EQ(word, c.result) << c.word;
  }
  std::string word = "casas";
  LookUpException(word);
  EXPECT_EQ(word, "kazas");
  ClearOrviaExceptions();
  EXPECT_EQ(OrviaExceptionCount(), 0u);
}

TEST(AnsiUpperCase, Windows1252Letters) {
  const unsigned char pairs[][2] = {{'a', 'A'},   {'z', 'Z'},   {'A', 'A'},   {'{', '{'},   {0xe7, 0xc7},
                                    {0xe3, 0xc3}, {0xfe, 0xde}, {0xf7, 0xf7}, {0xff, 0x9f}, {0x9a, 0x8a},
                                    {0x9c, 0x8c}, {0x9e, 0x8e}, {0xdf, 0xdf}, {0xb5, 0xb5}};
  for (const auto &p : pairs) EXPECT_EQ(AnsiUpperCase(p[0]), p[1]) << int(p[0]);
}
