// Speech start-up: speeds, per-speed settings, and the failure path.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "kldifone.h"
#include "klfala.h"
#include "klwave.h"
#include "support/tempdir.h"

namespace {

std::filesystem::path buildTree() { return std::filesystem::canonical("/proc/self/exe").parent_path().parent_path(); }

class SpeedSettings : public ::testing::Test {
 protected:
  TempDir sys;
  ScopedEnv sysdir{"KALEVO_SYSDIR", sys.path.string()};
  void ini(const std::string &text) { sys.write("KALEVO.INI", text); }
};

}  // namespace

TEST_F(SpeedSettings, SpeedComesFromTheCallerOrVelocidade) {
  struct Case {
    const char *velocidade;
    int requested, speed;
  };
  const Case cases[] = {
      {"2", 0, 2}, {"7", 0, 3}, {"abc", 0, 3}, {"2x", 0, 2}, {"", 0, 3}, {"-1", -5, 3}, {"4", 2, 2}, {"1", 6, 3},
  };
  for (const Case &c : cases) {
    ini(std::string("[TRADUTOR]\nVELOCIDADE=") + c.velocidade + "\n");
    EXPECT_EQ(speechSpeedFor(c.requested), c.speed) << c.velocidade << " " << c.requested;
  }
}

TEST_F(SpeedSettings, PerSpeedKeysAndTheirDefaults) {
  ini("[SINTETIZADOR]\nDIFONES2=ABCDEFGHIJ\nCORTEFON2=12x\nSOBRAFON2=30\nINTERPAL2=7y\n"
      "CORTAFALA2=Sim\nRAPIDINHO2=nao\nPAUSAPONTO2=\nPAUSAVIRG2=99\nPAUSADOISPONTOS2=12x\n"
      "DIFONES3=OTHER\nPAUSAVIRG3=1\n");
  loadSpeedSettings(2);
  EXPECT_EQ(DiphoneSettings().databaseName, "ABCDEFGH");
  EXPECT_EQ(DiphoneSettings().cutLength, 12);   // parse error unnoticed
  EXPECT_EQ(DiphoneSettings().keptMinimum, 30);
  EXPECT_EQ(DiphoneSettings().wordGap, 0);      // parse error noticed: default
  EXPECT_TRUE(wavePeriodCut());
  EXPECT_FALSE(waveFastRate());
  EXPECT_EQ(speechPauses().pointPause, 250);   // empty counts as not a number
  EXPECT_EQ(speechPauses().commaPause, 99);
  EXPECT_EQ(speechPauses().colonPause, 200);
  loadSpeedSettings(4);  // nothing for speed 4: every default
  EXPECT_EQ(DiphoneSettings().databaseName, "");
  EXPECT_EQ(DiphoneSettings().cutLength, 0);
  EXPECT_FALSE(wavePeriodCut());
  EXPECT_EQ(speechPauses().commaPause, 150);
  setWavePeriodCut(false);
}

namespace {

struct Outcome {
  int status;
  std::string screen;
};

// Runs the game with the build tree's configuration, one key's line replaced.
Outcome startGame(const std::string &key, const std::string &value, const std::string &script) {
  TempDir dir;
  std::ifstream buildIni(buildTree() / "etc" / "KALEVO.INI", std::ios::binary);
  std::string ini((std::istreambuf_iterator<char>(buildIni)), std::istreambuf_iterator<char>());
  size_t at = ini.find("\n" + key + "=");
  if (at == std::string::npos) ADD_FAILURE() << key << " is not in the build's KALEVO.INI";
  else ini.replace(at + 1, ini.find('\n', at + 1) - at - 1, key + "=" + value);
  dir.write("sys/KALEVO.INI", ini);
  dir.write("keys.txt", script);
  std::string cmd = "cd " + dir.path.string() +
                    " && KALEVO_DISPLAY=headless KALEVO_AUDIO=null KALEVO_INPUT=keys.txt KALEVO_SCREEN=screen.txt "
                    "KALEVO_SYSDIR=" + dir.file("sys") + " " + (buildTree() / "bin" / "retenza").string() +
                    " 2>/dev/null";
  int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.read("screen.txt")};
}

}  // namespace

TEST(SpeechStartUp, FailureIsReportedAndWaitsForEnter) {
  // An unknown database: 1. Before any prompt; Enter ends the program.
  Outcome missing = startGame("DIFONES3", "NOPE", "type x\nkey Return\nkey 1\n");
  EXPECT_EQ(missing.status, 0);
  EXPECT_EQ(missing.screen.substr(0, missing.screen.find("\n\n\n")),
            "Erro de inicialização: 1\nBanco de dados de voz: NOPE\nx");
  // No exception list where the rules are: 2.
  TempDir difones;
  for (const char *f : {"KLVOZ.IND", "KLVOZ.DIF", "regras.rgr"})
    std::filesystem::copy_file(buildTree() / "share/zolkar/som/difones" / f, difones.path / f);
  Outcome noExceptions = startGame("DIRDIFONES", difones.path.string(), "key Return\n");
  EXPECT_EQ(noExceptions.status, 0);
  EXPECT_EQ(noExceptions.screen.substr(0, noExceptions.screen.find("\n\n\n")),
            "Erro de inicialização: 2\nBanco de dados de voz: KLVOZ");
}
