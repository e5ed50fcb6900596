#include <gtest/gtest.h>

#include <unistd.h>

#include "klconfig.h"
#include "klprofile.h"
#include "support/tempdir.h"

namespace {

// A system directory and a start directory, each with or without a KALEVO.INI.
class ConfigLookup : public ::testing::Test {
 protected:
  TempDir sys, start;
  ScopedEnv sysdir{"KALEVO_SYSDIR", sys.path.string()};
  std::string oldCwd = std::filesystem::current_path().string();

  void SetUp() override {
    std::filesystem::current_path(start.path);
    noteStartDirectory();
  }
  void TearDown() override {
    std::filesystem::current_path(oldCwd);
    noteStartDirectory();
  }
};

}  // namespace

TEST_F(ConfigLookup, SystemDirectoryFileWinsForEveryKey) {
  sys.write("KALEVO.INI", "[RETENZA]\nDIRRETENZA=sys\n");
  start.write("KALEVO.INI", "[RETENZA]\nDIRRETENZA=start\n[KALEVO]\nX=only-start\n");
  EXPECT_EQ(configValue("RETENZA", "DIRRETENZA"), "sys");
  EXPECT_EQ(configValue("", "X"), "");
}

TEST_F(ConfigLookup, StartDirectoryFileWhenTheSystemHasNone) {
  start.write("KALEVO.INI", "[TRADUTOR]\nVELOCIDADE=2\nDIRLETRAS=/start/letras\n");
  EXPECT_EQ(startDirectory(), start.path.string());
  EXPECT_EQ(configValue("tradutor", "velocidade"), "2");
  // Readers of the bare file name still read only the system directory.
  EXPECT_EQ(profileString("TRADUTOR", "DIRLETRAS", "dflt", "KALEVO.INI"), "dflt");
}

TEST_F(ConfigLookup, EmptySectionMeansKalevoAndMissingGivesEmpty) {
  sys.write("KALEVO.INI", "[KALEVO]\nVOZ=x\n");
  EXPECT_EQ(configValue("", "VOZ"), "x");
  EXPECT_EQ(configValue("", "NADA"), "");
  EXPECT_EQ(configValue("NADA", "VOZ"), "");
}

TEST_F(ConfigLookup, NoFileAnywhereGivesEmpty) { EXPECT_EQ(configValue("RETENZA", "DIRRETENZA"), ""); }

TEST_F(ConfigLookup, ProgramDirectoryMacro) {
  struct Case {
    const char *pgm;  // nullptr: no PGMKALEVO key
    const char *value;
    std::string expected;
  };
  const std::string s = start.path.string();
  const Case cases[] = {
      {"d:\\prog", "@\\som\\jogo", "d:\\prog\\som\\jogo"},
      {"d:\\prog", "@/som/jogo", "d:\\prog/som/jogo"},
      {"d:\\prog", "x:\\a@\\b", "x:\\ad:\\prog\\b"},
      {"d:\\prog", "a@b", "a@b"},
      {nullptr, "@\\som", s + "\\som"},
      {"", "@\\som", s + "\\som"},
      {"@\\loop", "@\\som", s + "\\som"},
      // A program directory that holds "@\" itself must not expand forever.
      {"c:\\a@\\b", "@\\x", "c:\\a@\\b\\x"},
      {"c:\\a@\\b", "p@\\q@\\r", "pc:\\a@\\b\\qc:\\a@\\b\\r"},
  };
  for (const Case &c : cases) {
    std::string ini = "[RETENZA]\nDIRRETENZA=" + std::string(c.value) + "\n";
    if (c.pgm) ini += "[KALEVO]\nPGMKALEVO=" + std::string(c.pgm) + "\n";
    sys.write("KALEVO.INI", ini);
    EXPECT_EQ(configValue("RETENZA", "DIRRETENZA"), c.expected) << c.value;
  }
}

TEST(ConfigValues, IntegerConvention) {
  struct Case {
    const char *text;
    long value;
    bool ok;
  };
  const Case cases[] = {
      {"12", 12, true},   {"  -5", -5, true},  {"+7", 7, true},    {"12x", 12, false},
      {"", 0, false},     {"abc", 0, false},   {"$1F", 31, true},  {"0x10", 16, true},
      {"X10", 16, true},  {"x", 0, false},     {"2x", 2, false},   {"99999999999", 2147483647, true},
  };
  for (const Case &c : cases) {
    bool ok = !c.ok;
    EXPECT_EQ(configInteger(c.text, &ok), c.value) << c.text;
    EXPECT_EQ(ok, c.ok) << c.text;
  }
}

TEST(ConfigValues, YesNoConvention) {
  EXPECT_TRUE(configYes("S"));
  EXPECT_TRUE(configYes("sim"));
  EXPECT_TRUE(configYes("1"));
  EXPECT_FALSE(configYes(""));
  EXPECT_FALSE(configYes("N"));
  EXPECT_FALSE(configYes("nao"));
}
