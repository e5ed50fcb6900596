// The Orvia data files as installed: they load, the rules read Portuguese as
// the voice expects it, and the diphone list is the voice's own.
#include <gtest/gtest.h>

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
  for (const char *letter : {"A", "B", "C", "\xc7", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P", "Q",
                             "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "\xc1", "\xc2", "\xc3", "\xc9", "\xca", "\xcd",
                             "\xd3", "\xd4", "\xd5", "\xda", "\xdc"})
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

// \xa8 is the syllable mark, > the stress mark.
TEST_F(OrviaData, WordsAsTheVoiceSaysThem) {
  ASSERT_TRUE(loaded) << loadError;
  const struct {
    const char *text;
    const char *lines;
  } cases[] = {
      // nasal vowels and diphthongs
      {"campo", "\xa8k >an \xa8p w"},
      {"cantam", "\xa8k >an \xa8t @"},
      {"m\xe3" "e", "\xa8m >an y"},
      {"p\xe3" "es", "\xa8p >an y s2"},
      {"ontem", ">on \xa8t en"},
      {"cama", "\xa8k >an \xa8m a"},
      {"cant\xe1vamos", "\xa8k an \xa8t >a \xa8v a \xa8m w s2"},
      {"n\xe3o", "\xa8n @"},
      // coda r and s
      {"mar", "\xa8m >a r2"},
      {"porta", "\xa8p >oo r \xa8t a"},
      {"casas", "\xa8k >a \xa8z a s2"},
      {"mesmo", "\xa8m >e z \xa8m w"},
      {"sexta", "\xa8s >e s2 \xa8t a"},
      // lh, nh
      {"filho", "\xa8" "f >i \xa8lh w"},
      {"banho", "\xa8" "b >an \xa8nh w"},
      // final e and o, and the word e
      {"gente", "\xa8j >en \xa8t y"},
      {"livros", "\xa8l >i \xa8v r w s2"},
      {"e", "i"},
      // x, ç
      {"caixa", "\xa8k >a y \xa8x a"},
      {"exemplo", "e \xa8z >en \xa8p l w"},
      {"t\xe1xi", "\xa8t >a k \xa8s i"},
      {"cabe\xe7" "a", "\xa8k a \xa8" "b >e \xa8s a"},
      // qu, gu
      {"quase", "\xa8k w >a \xa8z y"},
      {"aqui", "a \xa8k >i"},
      {"guerra", "\xa8g >ee \xa8rr a"},
      {"\xe1gua", ">a \xa8g w a"},
      // r
      {"rato", "\xa8rr >a \xa8t w"},
      {"honra", ">on \xa8rr a"},
      {"caro", "\xa8k >a \xa8r w"},
      {"prato", "\xa8p r >a \xa8t w"},
      // a glide after an accented syllable; the exception list
      {"hist\xf3ria", "i s2 \xa8t >oo \xa8r y a"},
      {"pode", "\xa8p >oo \xa8" "d y"},
      {"muito", "\xa8m w >in \xa8t w"},
      // a final r or s before a vowel links to it
      {"mar azul", "\xa8m >a r | a \xa8z >u w"},
      {"mar calmo", "\xa8m >a r2 | \xa8k >a w \xa8m w"},
      {"mais amigos", "\xa8m >a y z | a \xa8m >i \xa8g w s2"},
  };
  for (const auto &c : cases) EXPECT_EQ(transcribe(c.text), c.lines) << c.text;
}

// The timing stage looks each pair of phonemes up in portug.dfn: it must list
// the voice's units, no more and no fewer.
TEST_F(OrviaData, DiphoneListIsTheVoicesUnits) {
  Voice voice = readVoice();
  ASSERT_FALSE(voice.units.empty()) << KALEVO_VOZ_MBROLA;
  auto nameChar = [](char c) { return c == '2' || c == '@' || c == '_' || std::isalpha(static_cast<unsigned char>(c)); };
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
