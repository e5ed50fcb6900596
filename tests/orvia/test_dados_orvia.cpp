// The Orvia data files as installed: they load, the rules read Portuguese as
// the voice expects it, and the diphone list is the voice's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "klregras.h"
#include "orvia/uttsCadeia.h"
#include "orvia/uttsPortug.h"

namespace {

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t u32(const std::string &b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 | static_cast<uint8_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t u16(const std::string &b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

// The voice's phoneme names and its units as "left-right", read from the
// header, the phoneme table and the diphone table (fontes/mbrola/VOZ.md).
struct Voice {
  std::vector<std::string> phonemes;
  std::set<std::string> units;
};

Voice readVoice() {
  Voice v;
  std::string b = readFile(KALEVO_VOZ_MBROLA);
  if (b.size() < 68 || b.compare(0, 8, "KLMBVOZ1") != 0) return v;
  uint32_t phonemeCount = u32(b, 16), diphoneCount = u32(b, 20);
  size_t table = 68, diphones = table + size_t(phonemeCount) * 8;
  if (diphones + size_t(diphoneCount) * 24 > b.size()) return v;
  for (uint32_t i = 0; i < phonemeCount; ++i) v.phonemes.push_back(b.substr(table + i * 8, 8).c_str());
  for (uint32_t i = 0; i < diphoneCount; ++i) {
    uint16_t l = u16(b, diphones + i * 24), r = u16(b, diphones + i * 24 + 2);
    if (l < phonemeCount && r < phonemeCount) v.units.insert(v.phonemes[l] + "-" + v.phonemes[r]);
  }
  return v;
}

class OrviaData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    loaded = LoadOrviaData(KALEVO_ORVIA_DADOS, "portug", error);
    loadError = error;
  }
  static bool loaded;
  static std::string loadError;
};
bool OrviaData::loaded = false;
std::string OrviaData::loadError;

TEST_F(OrviaData, AllFiveFilesLoad) {
  EXPECT_TRUE(loaded) << loadError;
  EXPECT_GT(OrviaExceptionCount(), 0u);
}

// Every phoneme a rule can write is one the voice has, so the timing stage
// never needs a filler for a name it does not know; and no replacement is
// cut short by the 11 bytes the transcription reads.
TEST_F(OrviaData, RulesWriteOnlyTheVoicesPhonemes) {
  ASSERT_TRUE(loaded) << loadError;
  Voice voice = readVoice();
  ASSERT_FALSE(voice.phonemes.empty()) << KALEVO_VOZ_MBROLA;
  std::set<std::string> names(voice.phonemes.begin(), voice.phonemes.end());
  size_t rules = 0;
  for (int key = 32; key < 256; ++key)
    for (const LetterRule *r = FirstOrviaRule(static_cast<unsigned char>(key)); r; r = r->next) {
      ++rules;
      std::string text(r->replacement.view());
      EXPECT_LE(text.size(), 11u) << "rule for " << std::string(r->focus.view());
      EXPECT_FALSE(r->focus.empty());
      std::istringstream parts(text);
      for (std::string name; std::getline(parts, name, '&');) {
        if (!name.empty() && name[0] == BOUNDARY_MARK) name.erase(0, 1);
        EXPECT_TRUE(names.count(name)) << "\"" << name << "\" in the rule for " << std::string(r->focus.view());
      }
    }
  EXPECT_GT(rules, 100u);
  for (const char *letter :
       {"A", "B",    "C",    "\xc7", "D",    "E",    "F",    "G",    "H",    "I",    "J",    "K",   "L",
        "M", "N",    "O",    "P",    "Q",    "R",    "S",    "T",    "U",    "V",    "W",    "X",   "Y",
        "Z", "\xc1", "\xc2", "\xc3", "\xc9", "\xca", "\xcd", "\xd3", "\xd4", "\xd5", "\xda", "\xdc"})
    EXPECT_NE(FirstOrviaRule(static_cast<unsigned char>(letter[0])), nullptr) << letter;
}

// The phoneme lines of a few words, stress and syllable marks included; words
// are separated by " | ". Each call is one utterance, so the cross-word link
// runs over it.
std::string transcribe(const std::string &text) {
  StringList tokens;
  std::istringstream words(text);
  for (std::string w; words >> w;) tokens.push_back("555|" + w);
  std::string out;
  for (const std::string &line : TranscribeTokens(tokens)) {
    if (line.empty() || line == "__") continue;
    if (line[0] == ';') {
      if (!out.empty()) out += " |";
      continue;
    }
    out += (out.empty() ? "" : " ") + line;
  }
  return out;
}

// Words that show each rule family, as the voice expects them (> is the stress
// mark).
TEST_F(OrviaData, WordsAsTheVoiceSaysThem) {
  ASSERT_TRUE(loaded) << loadError;
  // clang-format off
  const struct {
    const char *text;
    const char *lines;  // ^ is the syllable mark
  } cases[] = {
      // nasal vowels and diphthongs
      {"campo", "^k >an ^p w"},
      {"cantam", "^k >an ^t @"},
      {"m\xe3" "e", "^m >an y"},
      {"p\xe3" "es", "^p >an y s2"},
      {"ontem", ">on ^t en"},
      {"cama", "^k >an ^m a"},
      {"cant\xe1vamos", "^k an ^t >a ^v a ^m w s2"},
      {"n\xe3o", "^n @"},
      // coda r and s
      {"mar", "^m >a r2"},
      {"porta", "^p >oo r ^t a"},
      {"casas", "^k >a ^z a s2"},
      {"mesmo", "^m >e z ^m w"},
      {"sexta", "^s >e s2 ^t a"},
      // lh, nh
      {"filho", "^f >i ^lh w"},
      {"banho", "^b >an ^nh w"},
      // final e and o, and the word e
      {"gente", "^j >en ^t y"},
      {"livros", "^l >i ^v r w s2"},
      {"e", "i"},
      // x, c cedilla
      {"caixa", "^k >a y ^x a"},
      {"exemplo", "e ^z >en ^p l w"},
      {"t\xe1xi", "^t >a k ^s i"},
      {"cabe\xe7" "a", "^k a ^b >e ^s a"},
      // qu, gu
      {"quase", "^k w >a ^z y"},
      {"aqui", "a ^k >i"},
      {"guerra", "^g >ee ^rr a"},
      {"\xe1gua", ">a ^g w a"},
      // r
      {"rato", "^rr >a ^t w"},
      {"honra", ">on ^rr a"},
      {"caro", "^k >a ^r w"},
      {"prato", "^p r >a ^t w"},
      // a glide after an accented syllable; the exception list
      {"hist\xf3ria", "i s2 ^t >oo ^r y a"},
      {"pode", "^p >oo ^d y"},
      {"muito", "^m w >in ^t w"},
      // a final r or s before a vowel links to it
      {"mar azul", "^m >a r | a ^z >u w"},
      {"mar calmo", "^m >a r2 | ^k >a w ^m w"},
      {"mais amigos", "^m >a y z | a ^m >i ^g w s2"},
  };
  // clang-format on
  for (const auto &c : cases) {
    std::string lines = c.lines;
    std::replace(lines.begin(), lines.end(), '^', BOUNDARY_MARK);
    EXPECT_EQ(transcribe(c.text), lines) << c.text;
  }
}

// The timing stage looks each pair of phonemes up in portug.dfn: it must list
// the voice's units, no more and no fewer.
TEST_F(OrviaData, DiphoneListIsTheVoicesUnits) {
  Voice voice = readVoice();
  ASSERT_FALSE(voice.units.empty()) << KALEVO_VOZ_MBROLA;
  auto nameChar = [](char c) {
    return c == '2' || c == '@' || c == '_' || std::isalpha(static_cast<unsigned char>(c));
  };
  std::set<std::string> listed;
  size_t lines = 0;
  std::istringstream in(readFile(std::string(KALEVO_ORVIA_DADOS) + "/portug.dfn"));
  for (std::string line; std::getline(in, line);) {
    size_t a = line.find_first_not_of(" \t\r"), b = line.find_last_not_of(" \t\r");
    if (a == std::string::npos) continue;
    line = line.substr(a, b - a + 1);
    if (std::strchr("!*;", line[0])) continue;
    size_t i = 0;
    while (i < line.size() && nameChar(line[i])) ++i;
    std::string first = line.substr(0, i);
    if (i < line.size()) ++i;
    while (i < line.size() && !nameChar(line[i])) ++i;
    size_t j = i;
    while (j < line.size() && nameChar(line[j])) ++j;
    listed.insert(first + "-" + line.substr(i, j - i));
    ++lines;
  }
  EXPECT_EQ(lines, listed.size()) << "a unit is listed twice";
  EXPECT_EQ(listed, voice.units);
}

}  // namespace
