// Whole games played by a key script in the headless display, checked by the
// screen the game leaves and its exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "retenza.h"
#include "support/tempdir.h"

namespace {

struct GameRun {
  int status = -1;
  std::vector<std::string> screen;  // 25 rows
  std::string errors;
  std::vector<std::string> sounds;  // the sound log
};

// The game beside this test in the build tree: <build>/tests/test_game and
// <build>/bin/retenza.
std::string programPath();

// The build tree's folders: <build>/tests/test_game beside <build>/etc.
std::filesystem::path buildTree() { return std::filesystem::canonical("/proc/self/exe").parent_path().parent_path(); }

// Plays a script with the build tree's configuration and data, and no sound
// device (the null output keeps the virtual clock's pace).
GameRun play(const std::string &script, unsigned seed, const std::string &extraIni = "") {
  TempDir dir;
  std::ifstream buildIni(buildTree() / "etc" / "KALEVO.INI", std::ios::binary);
  std::string ini((std::istreambuf_iterator<char>(buildIni)), std::istreambuf_iterator<char>());
  dir.write("sys/KALEVO.INI", ini + "\n" + extraIni);
  dir.write("script.txt", script);
  std::string cmd = "cd " + dir.path.string() + " && KALEVO_DISPLAY=headless KALEVO_AUDIO=null " +
                    "KALEVO_INPUT=script.txt KALEVO_SCREEN=screen.txt KALEVO_SEED=" + std::to_string(seed) +
                    " KALEVO_SOUND_LOG=sounds.txt KALEVO_SYSDIR=" + dir.file("sys") + " " + programPath() +
                    " 2>errors.txt";
  GameRun run;
  int raw = std::system(cmd.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::istringstream lines(dir.read("screen.txt"));
  for (std::string line; std::getline(lines, line);) run.screen.push_back(line);
  // A missing or short dump compares as blank rows, never out of range.
  if (!run.screen.empty()) run.screen.resize(25);
  run.errors = dir.read("errors.txt");
  std::istringstream sounds(dir.read("sounds.txt"));
  for (std::string line; std::getline(sounds, line);) run.sounds.push_back(line);
  return run;
}

std::string programPath() { return (buildTree() / "bin" / "retenza").string(); }

// The symbols a game at this level will draw with this seed (one game, from
// the start of the generator).
std::string secret(unsigned seed, char level, size_t n) {
  seedRandom(seed);
  std::string s;
  for (size_t i = 0; i < n; ++i) s += nextSymbol(level);
  return s;
}

// The script that answers turns 1..n of a sequence correctly.
std::string answerTurns(const std::string &sequence, size_t n) {
  std::string script;
  for (size_t turn = 1; turn <= n; ++turn) script += "type " + sequence.substr(0, turn) + "\n";
  return script;
}

std::vector<std::string> rows(std::vector<std::string> top) {
  top.resize(25);
  return top;
}

char otherThan(char c) { return c == 'a' ? 'e' : 'a'; }

const char *TITLE = "JOGO DE MEMORIA ZEK";
const char *LEVEL_Q = "Escolha seu nivel de 1 a 9: ";
// Trailing blanks are not in the screen dump.
const char *LEVEL_Q_ROW = "Escolha seu nivel de 1 a 9:";
const char *AGAIN_ROW = "Quer jogar de novo (s/n) ?";
const char *WON = "***** Maravilhoso, explendido, tremendo ! *****";
const char *AGAIN = "Quer jogar de novo (s/n) ? ";
const char *LOST = "Tsc, tsc, tsc, tsc, tsc, errou...";
const char *WAS = "Era apenas o seguinte:";
const char *BYE = "Tchau.";
const char *NANANI = "Nananinanana...";

}  // namespace

TEST(Game, WonAtLevelOne) {
  std::string seq = secret(7, '1', 5);
  GameRun run = play("key 1\n" + answerTurns(seq, 5) + "type n\n", 7);
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.screen, rows({TITLE, "", LEVEL_Q + std::string("1"), seq, WON, "",
                              AGAIN + std::string("n"), BYE}));
}

// The sounds in the order the game plays them: prompts, chimes, the
// sequence's letters and each key typed.
TEST(Game, EverythingShownIsHeardInOrder) {
  std::string seq = secret(7, '1', 5);
  GameRun run = play("key 1\n" + answerTurns(seq, 5) + "type n\n", 7);
  ASSERT_EQ(run.status, 0) << run.errors;
  auto letter = [](char c) { return "_" + std::to_string(static_cast<unsigned char>(c)); };
  std::vector<std::string> expected = {"RZINIC", "RZNIVEL", letter('1')};
  for (size_t turn = 1; turn <= 5; ++turn) {
    expected.push_back("RZPLIM");
    expected.push_back("RZPLIM");
    for (size_t i = 0; i < turn; ++i) expected.push_back(letter(seq[i]));  // shown and said
    for (size_t i = 0; i < turn; ++i) expected.push_back(letter(seq[i]));  // typed back
  }
  for (const char *name : {"RZOK", "RZDENOVO"}) expected.push_back(name);
  expected.push_back(letter('n'));
  expected.push_back("RZTCHAU");
  std::vector<std::string> heard;
  for (const std::string &path : run.sounds) {
    std::string name = std::filesystem::path(path).stem().string();
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    heard.push_back(name);
  }
  EXPECT_EQ(heard, expected);
}

TEST(Game, LostAtTheFirstKeyOfATurn) {
  std::string seq = secret(11, '1', 2);
  char wrong = otherThan(seq[0]);
  GameRun run = play("key 1\n" + answerTurns(seq, 1) + "type " + wrong + "\ntype N\n", 11);
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.screen, rows({TITLE, "", LEVEL_Q + std::string("1"), std::string(1, wrong), "", LOST, WAS,
                              seq, "", AGAIN + std::string("N"), BYE}));
}

TEST(Game, EnterAndFunctionKeysAreWrongAnswersNotEchoed) {
  std::string seq = secret(3, '2', 1);
  // Enter: spoken, not written, wrong.
  GameRun enter = play("key 2\nkey Return\ntype n\n", 3);
  EXPECT_EQ(enter.status, 0) << enter.errors;
  EXPECT_EQ(enter.screen, rows({TITLE, "", LEVEL_Q + std::string("2"), "", "", LOST, WAS, seq, "",
                                AGAIN + std::string("n"), BYE}));
  // F5 queues 0, 63: the 0 is the wrong key, the 63 is flushed before the
  // play-again question, which then reads the next key.
  GameRun function = play("key 2\nkey F5\ntype n\n", 3);
  EXPECT_EQ(function.status, 0) << function.errors;
  EXPECT_EQ(function.screen, enter.screen);
}

TEST(Game, PlayAgainAnswers) {
  std::string seq = secret(5, '1', 1);
  std::string lose = "key 1\ntype " + std::string(1, otherThan(seq[0])) + "\n";
  std::vector<std::string> lostGame = {TITLE, "", LEVEL_Q + std::string("1"),
                                       std::string(1, otherThan(seq[0])), "", LOST, WAS, seq, ""};
  // s and S play again (a new level question; Escape there ends without Tchau).
  for (const char *again : {"s", "S"}) {
    GameRun run = play(lose + "type " + again + "\nkey Escape\n", 5);
    EXPECT_EQ(run.status, 0) << run.errors;
    std::vector<std::string> expected = lostGame;
    expected.push_back(AGAIN + std::string(again));
    expected.push_back("");
    expected.push_back(LEVEL_Q_ROW);
    EXPECT_EQ(run.screen, rows(expected)) << again;
  }
  // Another key, Escape (written but invisible) and a function key end it.
  struct Case {
    const char *key;
    std::string row;
    bool lineEnd;
  };
  const Case others[] = {
      {"type x", AGAIN + std::string("x"), true},
      {"key Escape", AGAIN_ROW, true},
      {"key F1", AGAIN + std::string(BYE), false},
      // Ctrl+T is code 20: not written, and no line end follows.
      {"key T ctrl", AGAIN + std::string(BYE), false},
      // Ctrl+U is 21: written (invisible) with its line end.
      {"key U ctrl", AGAIN_ROW, true},
  };
  for (const Case &c : others) {
    GameRun run = play(lose + c.key + "\n", 5);
    EXPECT_EQ(run.status, 0) << run.errors;
    std::vector<std::string> expected = lostGame;
    expected.push_back(c.row);
    if (c.lineEnd) expected.push_back(BYE);
    EXPECT_EQ(run.screen, rows(expected)) << c.key;
  }
}

TEST(Game, LevelQuestionRefusesZeroAndLeavesOnEscape) {
  GameRun run = play("type 0\nkey F2\nkey Escape\n", 1);
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.screen, rows({TITLE, "", LEVEL_Q + std::string("0"), NANANI, LEVEL_Q_ROW, NANANI, LEVEL_Q_ROW}));
}

TEST(Game, CodeTwentyIsEchoedInATurn) {
  // Ctrl+T (20) is written, but the screen ignores the control code: the row
  // stays empty. The same at 19 (Ctrl+S) is not even written.
  std::string seq = secret(9, '1', 1);
  GameRun run = play("key 1\nkey T ctrl\ntype n\n", 9);
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.screen[3], "");
  EXPECT_EQ(run.screen[5], LOST);
}

TEST(Game, ScriptRunningOutClosesTheWindow) {
  GameRun run = play("key 1\n", 2);
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.screen[2], LEVEL_Q + std::string("1"));
}

TEST(Game, CtrlBreakEndsWith255) {
  GameRun run = play("key Cancel ctrl\n", 2);
  ASSERT_EQ(run.status, 255);
  EXPECT_EQ(run.screen[2], LEVEL_Q_ROW);
}

TEST(Game, UnknownScriptLineStopsBeforeTheStart) {
  GameRun run = play("key 1\njump around\n", 2);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("line 2"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("jump around"), std::string::npos) << run.errors;
  EXPECT_TRUE(run.screen.empty());
}

TEST(Symbols, EachLevelDrawsFromItsAlphabets) {
  const std::string vowels = GAME_VOWELS, digits = GAME_DIGITS, consonants = GAME_CONSONANTS,
                    punctuation = GAME_PUNCTUATION;
  EXPECT_EQ(punctuation.size(), 32u);
  const std::string allowed[9] = {vowels,
                                  digits,
                                  vowels + digits,
                                  vowels + consonants,
                                  digits + consonants,
                                  vowels + digits + consonants,
                                  digits + punctuation,
                                  vowels + punctuation,
                                  vowels + consonants + "012345678" + punctuation};
  seedRandom(42);
  for (int level = 0; level < 9; ++level) {
    std::set<char> seen;
    for (int i = 0; i < 20000; ++i) seen.insert(nextSymbol(static_cast<char>('1' + level)));
    // Every allowed symbol comes up, and nothing else does.
    EXPECT_EQ(seen, std::set<char>(allowed[level].begin(), allowed[level].end())) << "level " << level + 1;
  }
  EXPECT_EQ(nextSymbol('0'), ' ');
  EXPECT_EQ(nextSymbol('x'), ' ');
}

TEST(Symbols, RandomBelowIsUniform) {
  seedRandom(1);
  int counts[3] = {0, 0, 0};
  for (int i = 0; i < 30000; ++i) ++counts[randomBelow(3)];
  for (int c : counts) EXPECT_NEAR(c, 10000, 400);
}
