#include <gtest/gtest.h>

#include <string>

#include "klprofile.h"
#include "support/tempdir.h"

TEST(Profile, NamesMatchWithoutCaseAndValuesAreTrimmed) {
  TempDir dir;
  std::string ini = dir.write("a.ini",
                              "; comment\r\n[Video]\r\n  CorLetra =  14  \r\nFONTE=\"Lucida Console\"\r\n"
                              "[other]\r\nCORLETRA=3\r\n");
  EXPECT_EQ(profileString("VIDEO", "corletra", "x", ini.c_str()), "14");
  EXPECT_EQ(profileString("video", "FONTE", "x", ini.c_str()), "Lucida Console");
  EXPECT_EQ(profileString("OTHER", "CORLETRA", "x", ini.c_str()), "3");
  EXPECT_EQ(profileString("VIDEO", "MISSING", "dflt", ini.c_str()), "dflt");
  EXPECT_EQ(profileString("NOSECTION", "CORLETRA", "dflt", ini.c_str()), "dflt");
}

TEST(Profile, PresentButEmptyIsNotTheDefault) {
  TempDir dir;
  std::string ini = dir.write("a.ini", "[VIDEO]\nCORLETRA=\n");
  EXPECT_EQ(profileString("VIDEO", "CORLETRA", "\x01", ini.c_str()), "");
  EXPECT_EQ(profileString("VIDEO", "CORFUNDO", "\x01", ini.c_str()), "\x01");
}

TEST(Profile, ValuesAreCutToTheBuffer) {
  TempDir dir;
  std::string ini = dir.write("a.ini", "[S]\nK=" + std::string(100000, 'v') + "\n");
  EXPECT_EQ(profileString("S", "K", "", ini.c_str()), std::string(254, 'v'));
  char small[4];
  EXPECT_EQ(getProfileString("S", "K", "", small, sizeof small, ini.c_str()), 3u);
  EXPECT_STREQ(small, "vvv");
}

TEST(Profile, BareNameIsLookedUpInTheSystemDirectory) {
  TempDir dir;
  dir.write("KALEVO.INI", "[TRADUTOR]\nDIRLETRAS=/x/letras\n");
  ScopedEnv sysdir("KALEVO_SYSDIR", dir.path.string() + "/");
  EXPECT_EQ(systemDirectory(), dir.path.string());
  EXPECT_EQ(profileString("TRADUTOR", "DIRLETRAS", "", "KALEVO.INI"), "/x/letras");
}

TEST(Profile, BrokenFilesGiveTheDefault) {
  TempDir dir;
  std::string noSections = dir.write("nosec.ini", "K=1\nL=2\n");
  std::string garbage = dir.write("garbage.ini", std::string("\0\xff[\n=\n]]]=\r\r\x80", 14));
  std::filesystem::create_directory(dir.file("folder.ini"));
  for (const std::string &file : {noSections, garbage, dir.file("folder.ini"), dir.file("absent.ini")})
    EXPECT_EQ(profileString("S", "K", "d", file.c_str()), "d") << file;
}
