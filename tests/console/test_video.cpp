// Video settings from KALEVO.INI in the system directory: defaults, absent
// against empty keys, the colour map list and the derived font size.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "klcrt_internal.h"

namespace {

namespace fs = std::filesystem;

class Video : public ::testing::Test {
 protected:
  fs::path dir;

  void SetUp() override {
    dir = fs::temp_directory_path() / ("kalevo-video-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    setenv("KALEVO_SYSDIR", dir.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Writes KALEVO.INI with the given lines and reads the settings.
  VideoSettings read(const std::string &ini, int workWidth = 1024, int workHeight = 734) {
    std::ofstream(dir / "KALEVO.INI", std::ios::binary) << ini;
    VideoSettings s{};
    readVideoSettings(s, workWidth, workHeight);
    return s;
  }
  static std::string map(const VideoSettings &s) {
    std::string out;
    for (uint8_t v : s.colourMap) out += (out.empty() ? "" : ",") + std::to_string(v);
    return out;
  }
};

const std::string IDENTITY = "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15";

void expectDefaults(const VideoSettings &s) {
  EXPECT_EQ(s.attribute, 15);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(s.colourMap[i], i);
  EXPECT_TRUE(s.coloursChangeable);
  EXPECT_FALSE(s.blitScroll);
  EXPECT_EQ(s.brailleMode, 0);
  EXPECT_EQ(s.magnifier, 2);
  EXPECT_EQ(s.fontFace, "Lucida Console");
  EXPECT_EQ(s.fontWidth, 13);
  EXPECT_EQ(s.fontHeight, 28);
  EXPECT_EQ(s.fontWeight, 700);
  EXPECT_FALSE(s.maximised);
}

TEST_F(Video, NoFileOrNoSectionGivesDefaults) {
  VideoSettings s{};
  readVideoSettings(s, 1024, 734);
  expectDefaults(s);
  expectDefaults(read("[KALEVO]\nCORLETRA=3\n[OUTRA]\nAMPLIF=5\n"));
}

TEST_F(Video, EmptyValuesKeepBuiltInValues) {
  VideoSettings s = read(
      "[VIDEO]\nTABCORES=\nCORESFIXAS=\nLENTO=\nCORFUNDO=\nCORLETRA=\nAMPLIF=\nFONTE=\n"
      "LARGURALETRA=\nALTURALETRA=\nPESOLETRA=\nCANTOTELA=\n[BRAILLE]\nMODO=\n",
      1280, 994);
  EXPECT_EQ(s.attribute, 7);  // CORLETRA empty: 7, not the default 15
  EXPECT_EQ(map(s), IDENTITY);
  EXPECT_TRUE(s.coloursChangeable);
  EXPECT_FALSE(s.blitScroll);
  EXPECT_EQ(s.brailleMode, 0);
  EXPECT_EQ(s.magnifier, 2);
  EXPECT_EQ(s.fontFace, "");
  EXPECT_EQ(s.fontWidth, 16);
  EXPECT_EQ(s.fontHeight, 37);
  EXPECT_EQ(s.fontWeight, 0);
  EXPECT_FALSE(s.maximised);
}

struct SettingCase {
  const char *ini;
  std::function<bool(const VideoSettings &)> holds;
  const char *what;
};

TEST_F(Video, ValuesParse) {
  using S = const VideoSettings &;
  const SettingCase cases[] = {
      {"[VIDEO]\nCORFUNDO=1\nCORLETRA=14", [](S s) { return s.attribute == 30; }, "yellow on blue"},
      {"[VIDEO]\nCORLETRA=20", [](S s) { return s.attribute == 20; }, "text colour spills into background"},
      {"[VIDEO]\nCORFUNDO=17\nCORLETRA=1", [](S s) { return s.attribute == 17; }, "kept to 8 bits"},
      {"[VIDEO]\nCORFUNDO=2x\nCORLETRA=abc", [](S s) { return s.attribute == 32; }, "leading numbers"},
      {"[VIDEO]\nCORFUNDO=$A\nCORLETRA=0x0C", [](S s) { return s.attribute == 0xAC; }, "hexadecimal"},
      {"[video]\ncorletra=9", [](S s) { return s.attribute == 9; }, "names in any case"},
      {"[VIDEO]\nCORESFIXAS=S", [](S s) { return !s.coloursChangeable; }, "colours fixed"},
      {"[VIDEO]\nCORESFIXAS=sim", [](S s) { return !s.coloursChangeable; }, "colours fixed, lower case"},
      {"[VIDEO]\nCORESFIXAS=NAO", [](S s) { return s.coloursChangeable; }, "colours changeable"},
      {"[VIDEO]\nCORESFIXAS=Yes", [](S s) { return s.coloursChangeable; }, "only S means yes"},
      {"[VIDEO]\nLENTO=s", [](S s) { return s.blitScroll; }, "blit scrolling"},
      {"[VIDEO]\nCANTOTELA=NAO", [](S s) { return s.maximised; }, "maximised"},
      {"[VIDEO]\nCANTOTELA=SIM", [](S s) { return !s.maximised; }, "normal size"},
      {"[VIDEO]\nCANTOTELA=s", [](S s) { return !s.maximised; }, "normal size, lower case"},
      {"[BRAILLE]\nMODO=2", [](S s) { return s.brailleMode == 2; }, "mode 2"},
      {"[BRAILLE]\nMODO=3", [](S s) { return s.brailleMode == 3; }, "mode 3 (made 1 later)"},
      {"[BRAILLE]\nMODO=N", [](S s) { return s.brailleMode == 2; }, "letters count by code"},
      {"[BRAILLE]\nMODO=S", [](S s) { return s.brailleMode == 3; }, "S is 3"},
      {"[BRAILLE]\nMODO=12", [](S s) { return s.brailleMode == 1; }, "first character only"},
      {"[VIDEO]\nMODO=2", [](S s) { return s.brailleMode == 0; }, "MODO belongs to BRAILLE"},
      {"[VIDEO]\nAMPLIF=4", [](S s) { return s.magnifier == 4; }, "factor 4"},
      {"[VIDEO]\nAMPLIF=8", [](S s) { return s.magnifier == 0; }, "8 gives 0"},
      {"[VIDEO]\nAMPLIF=9", [](S s) { return s.magnifier == 1; }, "9 gives 1"},
      {"[VIDEO]\nAMPLIF=35", [](S s) { return s.magnifier == 3; }, "one character read"},
      {"[VIDEO]\nFONTE=Courier New", [](S s) { return s.fontFace == "Courier New"; }, "face"},
      {"[VIDEO]\nFONTE=" "0123456789012345678901234567890123456789012345678901234567890123456789012345678999",
       [](S s) { return s.fontFace.size() == 79; }, "value cut to 79 characters"},
      {"[VIDEO]\nLARGURALETRA=10", [](S s) { return s.fontWidth == 10 && s.fontHeight == 28; },
       "width given, height derived"},
      {"[VIDEO]\nALTURALETRA=20px", [](S s) { return s.fontWidth == 13 && s.fontHeight == 20; },
       "height given, width derived"},
      {"[VIDEO]\nLARGURALETRA=abc", [](S s) { return s.fontWidth == 0; }, "no digits: 0"},
      {"[VIDEO]\nALTURALETRA=99999999999999999999999", [](S s) { return s.fontHeight == 32767; },
       "huge size kept in range"},
      {"[VIDEO]\nPESOLETRA=400", [](S s) { return s.fontWeight == 400; }, "weight"},
  };
  for (const SettingCase &c : cases) EXPECT_TRUE(c.holds(read(c.ini))) << c.what << ": " << c.ini;
}

TEST_F(Video, ColourMapList) {
  struct MapCase {
    const char *value;
    std::string map;
  };
  const MapCase cases[] = {
      {"15,14", "15,14,2,3,4,5,6,7,8,9,10,11,12,13,14,15"},
      {"1,0", "1,0,2,3,4,5,6,7,8,9,10,11,12,13,14,15"},
      // A blank makes an item unclean: it is stored, then the list ends.
      {"5, 6, 7", "5,6,2,3,4,5,6,7,8,9,10,11,12,13,14,15"},
      {"5 ,6", "5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15"},
      {"$F,0x0E,-1,300,+9,X10,3a,9", "15,14,255,44,9,16,3,7,8,9,10,11,12,13,14,15"},
      {"3,,7", "3,0,2,3,4,5,6,7,8,9,10,11,12,13,14,15"},
      {"15,14,", "15,14,0,3,4,5,6,7,8,9,10,11,12,13,14,15"},
      {"7,abc,5", "7,0,2,3,4,5,6,7,8,9,10,11,12,13,14,15"},
      {"7,x,5", "7,0,2,3,4,5,6,7,8,9,10,11,12,13,14,15"},
      {"9,8,7,6,5,4,3,2,1,0,9,8,7,6,5,4,3,2,1", "9,8,7,6,5,4,3,2,1,0,9,8,7,6,5,4"},
      {"16,200", "16,200,2,3,4,5,6,7,8,9,10,11,12,13,14,15"},
  };
  for (const MapCase &c : cases) EXPECT_EQ(map(read(std::string("[VIDEO]\nTABCORES=") + c.value)), c.map) << c.value;
}

TEST_F(Video, FontSizeFromWorkArea) {
  struct AreaCase {
    int w, h, fontWidth, fontHeight;
  };
  const AreaCase cases[] = {
      {1024, 734, 13, 28}, {1280, 994, 16, 37}, {800, 570, 10, 21}, {1023, 733, 12, 27}, {0, 0, 0, 0},
  };
  for (const AreaCase &c : cases) {
    VideoSettings s = read("", c.w, c.h);
    EXPECT_EQ(s.fontWidth, c.fontWidth) << c.w;
    EXPECT_EQ(s.fontHeight, c.fontHeight) << c.h;
  }
}

TEST_F(Video, AppliedToConsole) {
  VideoSettings s = read("[VIDEO]\nTABCORES=15,14\nCORESFIXAS=S\nLENTO=S\nCORFUNDO=1\nAMPLIF=4\nCANTOTELA=N\n");
  applyVideoSettings(s);
  EXPECT_EQ(console.attribute, 0x1F);
  EXPECT_EQ(console.colourMap[0], 15);
  EXPECT_EQ(console.colourMap[2], 2);
  EXPECT_FALSE(console.coloursChangeable);
  EXPECT_TRUE(console.blitScroll);
  EXPECT_EQ(console.magnifierFactor, 4);
  EXPECT_TRUE(console.maximised);
  // Colour 0 now draws white, colour 1 yellow.
  EXPECT_EQ(screenColour(0).b, 255);
  EXPECT_EQ(screenColour(1).b, 0);
  EXPECT_EQ(screenColour(1).r, 255);
}

}  // namespace
