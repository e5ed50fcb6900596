#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kldifone.h"
#include "klregras.h"
#include "support/tempdir.h"

namespace {

// One 15-byte index record.
std::string record(const std::string &name, uint16_t length, uint32_t offset, int nameLength = -1) {
  std::string r(15, '?');  // name bytes past the length are ignored
  r[0] = static_cast<char>(nameLength < 0 ? name.size() : nameLength);
  r.replace(1, name.size(), name);
  r[9] = static_cast<char>(length & 0xff);
  r[10] = static_cast<char>(length >> 8);
  for (int i = 0; i < 4; ++i) r[11 + i] = static_cast<char>(offset >> (8 * i));
  return r;
}

std::string currentDirectory() { return std::filesystem::current_path().string(); }

// A system directory whose KALEVO.INI names a letters and a diphone directory
// under a temp folder, with a small database and rule files in them.
class Database : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedEnv sysdir{"KALEVO_SYSDIR", dir.file("sys")};
  std::string samples;

  void SetUp() override {
    dir.write("sys/KALEVO.INI", "[TRADUTOR]\ndirLetras=" + dir.file("letras") + "\nDIRDIFONES=" +
                                    dir.file("difones") + "/\n");
    std::filesystem::create_directories(dir.file("letras"));
    for (int i = 0; i < 600; ++i) samples += static_cast<char>(i * 7);
    writeDatabase("TESTE", record("$A", 3, 0) + record("$AB", 0x102, 300) + record("$B", 2, 598));
    dir.write("difones/regras.rgr", "(A)=a\n");
    dir.write("difones/portug.exc", "casa=KAza\n");
    SetDiphoneDatabaseName("TESTE");
    SetCutSettings(400, 0, 100);
  }
  void TearDown() override { CloseDiphoneEngine(); }

  void writeDatabase(const std::string &name, const std::string &index) {
    dir.write("difones/" + name + ".IND", index);
    dir.write("difones/" + name + ".DIF", samples);
  }
  std::string unit(const char *name, size_t count) {
    const DiphoneIndexRecord *r = FindDiphone(name);
    if (!r) return "missing";
    std::string bytes(count, '\0');
    bytes.resize(ReadDiphoneSamples(*r, count, reinterpret_cast<unsigned char *>(bytes.data())));
    return bytes;
  }
};

}  // namespace

// First in the file: the settings are still as the program starts.
TEST(DiphoneSettings, InitialValuesAndLimits) {
  EXPECT_EQ(DiphoneSettings().databaseName, "DIFONES2");
  EXPECT_EQ(DiphoneSettings().cutLength, 400);
  EXPECT_EQ(DiphoneSettings().keptMinimum, 0);
  EXPECT_EQ(DiphoneSettings().wordGap, 100);
  SetDiphoneDatabaseName("ABCDEFGHIJ");
  EXPECT_EQ(DiphoneSettings().databaseName, "ABCDEFGH");
  SetCutSettings(-5, -1, -100);  // a negative cut would read past a unit
  EXPECT_EQ(DiphoneSettings().cutLength, 0);
  EXPECT_EQ(DiphoneSettings().keptMinimum, 0);
  EXPECT_EQ(DiphoneSettings().wordGap, 0);
  SetCutSettings(300, 50, 150);
  EXPECT_EQ(DiphoneSettings().cutLength, 300);
  EXPECT_EQ(DiphoneSettings().keptMinimum, 50);
  EXPECT_EQ(DiphoneSettings().wordGap, 150);
}

TEST_F(Database, StartReadsTheIndexAndCloseReleases) {
  std::string before = currentDirectory();
  ASSERT_EQ(StartDiphoneEngine(), 0);
  EXPECT_EQ(currentDirectory(), before);
  EXPECT_EQ(DiphoneLettersDirectory(), dir.file("letras") + "\\");
  EXPECT_EQ(DiphoneDirectory(), dir.file("difones") + "/");
  EXPECT_NE(DiphoneOutputBuffer(), nullptr);
  EXPECT_EQ(DiphoneIndexCount(), 3u);
  EXPECT_EQ(unit("$A", 3), samples.substr(0, 3));
  EXPECT_EQ(unit("$AB", 0x102), samples.substr(300, 258));
  EXPECT_EQ(FindDiphone("$AB")->length, 0x102);
  EXPECT_EQ(unit("$B", 10), samples.substr(598));  // the file ends early
  for (const char *absent : {"$", "$AC", "$BA", "", "$a"}) EXPECT_EQ(unit(absent, 1), "missing") << absent;
  ASSERT_NE(FindRule("a", 1), nullptr);
  std::string word = "casas";
  LookUpException(word);
  EXPECT_EQ(word, "KAzas");

  CloseDiphoneEngine();
  EXPECT_EQ(DiphoneOutputBuffer(), nullptr);
  EXPECT_EQ(DiphoneIndexCount(), 0u);
  EXPECT_EQ(FindRule("a", 1), nullptr);
  EXPECT_EQ(ExceptionCount(), 1u);  // the exceptions live to the end of the run
}

TEST_F(Database, IndexOfAnyLength) {
  // 31 bytes: two records, the last byte ignored; a name length above 8 is
  // cut to the 8 bytes a record holds.
  writeDatabase("TESTE", record("$A", 3, 0) + record("$ABCDEFG", 1, 1, 200) + "x");
  ASSERT_EQ(StartDiphoneEngine(), 0);
  EXPECT_EQ(DiphoneIndexCount(), 2u);
  EXPECT_EQ(unit("$A", 3), samples.substr(0, 3));
  EXPECT_EQ(unit("$ABCDEFG", 1), samples.substr(1, 1));

  writeDatabase("TESTE", "short");
  ASSERT_EQ(StartDiphoneEngine(), 0);
  EXPECT_EQ(DiphoneIndexCount(), 0u);
  EXPECT_EQ(unit("$A", 1), "missing");
}

TEST_F(Database, EmptyNameMeansJustTheExtensions) {
  writeDatabase("", record("$E", 1, 5));
  SetDiphoneDatabaseName("");
  ASSERT_EQ(StartDiphoneEngine(), 0);
  EXPECT_EQ(unit("$E", 1), samples.substr(5, 1));
}

TEST_F(Database, FailuresGiveOneOrTwoAndRestoreTheDirectory) {
  struct Case {
    const char *removed;
    int result;
  } cases[] = {
      {"letras", 1},      {"difones/TESTE.IND", 1}, {"difones/TESTE.DIF", 1},
      {"difones/regras.rgr", 2}, {"difones/portug.exc", 2}, {"difones", 1},
  };
  std::string before = currentDirectory();
  for (const Case &c : cases) {
    std::filesystem::rename(dir.file(c.removed), dir.file(c.removed) + ".away");
    EXPECT_EQ(StartDiphoneEngine(), c.result) << c.removed;
    EXPECT_EQ(currentDirectory(), before) << c.removed;
    if (c.result == 2) {  // a missing portug.exc comes after the rules were loaded
      EXPECT_EQ(FindRule("a", 1) != nullptr, c.removed == std::string("difones/portug.exc"));
    }
    CloseDiphoneEngine();
    EXPECT_EQ(FindRule("a", 1), nullptr);
    std::filesystem::rename(dir.file(c.removed) + ".away", dir.file(c.removed));
  }
  // A sample "file" that is a folder is no sample file.
  std::filesystem::remove(dir.file("difones/TESTE.DIF"));
  std::filesystem::create_directory(dir.file("difones/TESTE.DIF"));
  EXPECT_EQ(StartDiphoneEngine(), 1);
}

TEST_F(Database, DefaultsLiveUnderTheDataRoot) {
  std::filesystem::remove(dir.file("sys/KALEVO.INI"));
  ScopedEnv root("KALEVO_DATADIR", dir.file("root"));
  std::filesystem::create_directories(dir.file("root/zolkar/som/letras"));
  dir.write("root/zolkar/som/difones/DIFONES2.IND", record("$O", 1, 0));
  dir.write("root/zolkar/som/difones/DIFONES2.DIF", "s");
  dir.write("root/zolkar/som/difones/regras.rgr", "(O)=o\n");
  dir.write("root/zolkar/som/difones/portug.exc", "");
  SetDiphoneDatabaseName("DIFONES2");
  ASSERT_EQ(StartDiphoneEngine(), 0);
  EXPECT_EQ(DiphoneLettersDirectory(), "c:\\zolkar\\som\\letras\\");
  EXPECT_EQ(unit("$O", 1), "s");
}
