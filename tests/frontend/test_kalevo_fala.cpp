// kalevo-fala as a player runs it: the text from arguments, a file or
// standard input, in UTF-8 or Windows-1252; -x, -w, and its errors.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <fstream>

#include "support/tempdir.h"

namespace {

std::filesystem::path buildTree() { return std::filesystem::canonical("/proc/self/exe").parent_path().parent_path(); }

struct Outcome {
  int status;
  std::string out, err;
  double seconds;
};

// Runs the command with the build tree's configuration; env goes before it.
Outcome fala(const std::string &arguments, const std::string &env = "KALEVO_DISPLAY=headless",
         const std::string &input = "") {
  TempDir dir;
  dir.write("in.txt", input);
  std::string cmd = "env -u KALEVO_DISPLAY -u KALEVO_AUDIO -u KALEVO_SOUND_LOG KALEVO_SYSDIR=" +
                    (buildTree() / "etc").string() + " " + env + " " + (buildTree() / "bin" / "kalevo-fala").string() +
                    " " + arguments + " <" + dir.file("in.txt") + " >" + dir.file("out.txt") + " 2>" +
                    dir.file("err.txt");
  auto start = std::chrono::steady_clock::now();
  int raw = std::system(cmd.c_str());
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, dir.read("out.txt"), dir.read("err.txt"), seconds};
}

const char *const SENTENCE = "Ol\xc3\xa1! Hoje \xc3\xa9 21 de abril de 2025, e s\xc3\xa3o 15h30.";  // UTF-8

double waveSeconds(const std::string &file) {
  if (file.size() < 44 || file.compare(0, 4, "RIFF") != 0) return -1;
  auto at32 = [&](size_t i) {
    return uint32_t(uint8_t(file[i])) | uint32_t(uint8_t(file[i + 1])) << 8 | uint32_t(uint8_t(file[i + 2])) << 16 |
           uint32_t(uint8_t(file[i + 3])) << 24;
  };
  EXPECT_EQ(at32(40), file.size() - 44);
  return double(at32(40)) / at32(28);
}

}  // namespace

TEST(KalevoFala, ShowsThePiecesOfTheSentence) {
  Outcome r = fala(std::string("-x '") + SENTENCE + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char *line : {"palavras\tOl\xc3\xa1\t[", "sinal\t!\t_33\n", "numero\t21\tvinte e um\n",
                           "numero\t2025\tdois mil e vinte e cinco\n", "sinal\t,\t_44\npausa\t\t150\n",
                           "numero\t15\tquinze\n", "numero\t30\ttrinta\nsinal\t.\t_46\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

TEST(KalevoFala, TextFromArgumentsFileOrInputInEitherCodePage) {
  const std::string expected = fala("-x Ol\xc3\xa1 mundo 7").out;
  ASSERT_NE(expected.find("Ol\xc3\xa1"), std::string::npos) << expected;
  TempDir dir;
  dir.write("cp1252.txt", "Ol\xe1\r\nmundo\n7");
  dir.write("utf8.txt", "\xef\xbb\xbfOl\xc3\xa1 mundo\n7\n");
  EXPECT_EQ(fala("-x -f " + dir.file("cp1252.txt")).out, expected);
  EXPECT_EQ(fala("-x -f " + dir.file("utf8.txt")).out, expected);
  EXPECT_EQ(fala("-x", "KALEVO_DISPLAY=headless", "Ol\xe1 mundo 7").out, expected);
  EXPECT_EQ(fala("-x -- -5").out, "menos\t-\t_MENOS\nnumero\t5\tcinco\n");
}

TEST(KalevoFala, WritesTheSoundToAWaveFile) {
  TempDir dir;
  Outcome r = fala("-w " + dir.file("frase.wav") + std::string(" '") + SENTENCE + "'",
               "KALEVO_SOUND_LOG=" + dir.file("sons.txt"));
  EXPECT_EQ(r.status, 0) << r.err;
  // Words, signs and numbers: a few seconds of speech.
  double seconds = waveSeconds(dir.read("frase.wav"));
  EXPECT_GT(seconds, 2.0);
  EXPECT_LT(seconds, 15.0);
  std::string log = dir.read("sons.txt");
  EXPECT_NE(log.find("letras/_33.wav\n"), std::string::npos) << log;
  EXPECT_NE(log.find("letras/_44.wav\n"), std::string::npos) << log;
}

// With the sound card (SDL's dummy driver here), waits run on the real
// clock: the program ends after the sound, not before it and not never.
TEST(KalevoFala, PlaysOnTheSoundCardInRealTime) {
  TempDir dir;
  Outcome file = fala("-w " + dir.file("um.wav") + " 'um, dois'", "");
  double seconds = waveSeconds(dir.read("um.wav"));
  ASSERT_GT(seconds, 0.3);
  Outcome card = fala("'um, dois'", "SDL_AUDIODRIVER=dummy KALEVO_SOUND_LOG=" + dir.file("sons.txt"));
  EXPECT_EQ(card.status, 0) << card.err;
  EXPECT_GE(card.seconds, seconds);
  EXPECT_NE(dir.read("sons.txt").find("_44.wav"), std::string::npos);
}

TEST(KalevoFala, Errors) {
  struct Case {
    std::string arguments, env;
    int status;
    const char *message;
  };
  const Case cases[] = {
      {"-q x", "", 2, "-q"},
      {"-w", "", 2, "-w"},
      {"-f /nao/existe", "", 1, "/nao/existe"},
      {"-f /etc/hostname texto", "", 2, "-f"},
      {"-w /nao/existe/x.wav oi", "", 1, "/nao/existe/x.wav"},
      {"oi", "KALEVO_DISPLAY=headless KALEVO_SYSDIR=/nao/existe", 1, "Erro de inicializa\xc3\xa7\xc3\xa3o: 1"},
  };
  for (const Case &c : cases) {
    Outcome r = fala(c.arguments, c.env);
    EXPECT_EQ(r.status, c.status) << c.arguments;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
  }
  Outcome help = fala("-h");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Uso: kalevo-fala", 0), 0u) << help.out;
}

// --stages and --pho: the Orvia front end's stages and lines, from the build
// tree's configuration ([ORVIATTS] DIR names the copied data files).
TEST(KalevoFala, OrviaStagesAndLines) {
  Outcome r = fala("--stages 'Ol\xc3\xa1, tudo bem?'");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char *part : {"# texto expandido\nOl\xc3\xa1, tudo bem?\n", "# fichas\n[--]\n[", "]Ol\xc3\xa1\n[,,],\n",
                           "# fichas anotadas\n", "# fonemas\n", "# linhas MBROLA\n", "\n_,\n"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;

  Outcome pho = fala("--pho 'Ol\xc3\xa1, tudo bem?'");
  ASSERT_EQ(pho.status, 0) << pho.err;
  // The synthesizer's lines alone: the stages' last section.
  EXPECT_NE(r.out.find(pho.out), std::string::npos);
  EXPECT_EQ(pho.out.find('#'), std::string::npos);
  EXPECT_NE(pho.out.find(";tudo\n"), std::string::npos) << pho.out;

  Outcome missing = fala("--pho --orvia /nonexistent/orvia casa");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Erro na base de dados de portugu\xc3\xaas"), std::string::npos) << missing.err;
  EXPECT_EQ(fala("--pho -x casa").status, 2);
}
