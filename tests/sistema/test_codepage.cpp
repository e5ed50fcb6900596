#include <gtest/gtest.h>

#include "klcodepage.h"

TEST(Codepage, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(Codepage, PortugueseTextAndSymbols) {
  EXPECT_EQ(utf8ToCp1252("ação é €"), "a\xE7\xE3o \xE9 \x80");
  EXPECT_EQ(cp1252ToUtf8("n\xEDvel \x93x\x94"), "nível “x”");
}

TEST(Codepage, CharactersWithoutAByteAndMalformedUtf8AreDropped) {
  EXPECT_EQ(utf8ToCp1252("a\xE2\x86\x92" "b"), "ab");                 // U+2192 has no byte
  EXPECT_EQ(utf8ToCp1252("a\xC3" "b\xE2\x82" "c\xF5\x80"), "abc");  // cut and invalid sequences
  EXPECT_EQ(utf8ToCp1252("\xC0\xAF\xED\xA0\x80"), "");              // overlong, surrogate
}
