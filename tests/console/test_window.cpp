// The console window's life, waits and message handling, in the headless
// display. The window is made once a process, so cases that need a fresh one
// (or end the program) run in a child process.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "klcrt.h"
#include "klcrt_headless.h"
#include "klcrt_internal.h"
#include "support/tempdir.h"

namespace {

ConsoleEvent charEvent(uint8_t c) {
  ConsoleEvent e;
  e.kind = ConsoleEventKind::Char;
  e.code = c;
  return e;
}

ConsoleEvent pointerEvent(ConsoleEventKind kind, int x, int y) {
  ConsoleEvent e;
  e.kind = kind;
  e.x = x;
  e.y = y;
  return e;
}

std::string row(int y) {
  std::string s(reinterpret_cast<const char *>(console.chars + y * SCREEN_COLS), SCREEN_COLS);
  return s.substr(0, s.find_last_not_of(' ') + 1);
}

void typeAll(const char *text) {
  for (const char *p = text; *p; ++p) headlessInject(charEvent(static_cast<uint8_t>(*p)));
}

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(selectConsoleBackend());
    writeText("\r\n", 2);  // a fresh row, and the window exists
    while (keyPressed()) readKey();
  }
};

}  // namespace

TEST(WindowCreation, TheFirstOperationCreatesTheWindow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  void (*firsts[])() = {[] { writeChar('x'); }, [] { keyPressed(); }, [] { setTextBackground(1); },
                        [] { clearToLineEnd(); }, [] { delay(0); }};
  for (auto first : firsts) {
    EXPECT_EXIT(
        {
          selectConsoleBackend();
          bool before = console.created;
          first();
          std::exit(!before && console.created && headlessStats().windowsCreated == 1 ? 7 : 8);
        },
        ::testing::ExitedWithCode(7), "");
  }
}

TEST(WindowCreation, BackgroundColourFollowsTheSettings) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir sys;
  ScopedEnv sysdir("KALEVO_SYSDIR", sys.path.string());
  // Changeable colours: the background nibble is replaced, kept to 8 bits.
  EXPECT_EXIT(
      {
        selectConsoleBackend();
        setTextBackground(1);
        bool blue = console.attribute == 0x1F;
        setTextBackground(16);
        std::exit(blue && console.attribute == 0x0F ? 7 : 8);
      },
      ::testing::ExitedWithCode(7), "");
  // Fixed colours: nothing changes.
  sys.write("KALEVO.INI", "[VIDEO]\nCORESFIXAS=s\nCORFUNDO=1\nCORLETRA=14\n");
  EXPECT_EXIT(
      {
        selectConsoleBackend();
        setTextBackground(4);
        std::exit(console.attribute == 30 ? 7 : 8);
      },
      ::testing::ExitedWithCode(7), "");
}

TEST(WindowCreation, StartingInBrailleModeTwoSoundsItsTwoTones) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir sys;
  ScopedEnv sysdir("KALEVO_SYSDIR", sys.path.string());
  sys.write("KALEVO.INI", "[BRAILLE]\nMODO=2\n");
  EXPECT_EXIT(
      {
        selectConsoleBackend();
        keyPressed();
        std::exit(console.brailleMode == 2 && headlessStats().tonesStarted == 2 && consoleClock() == 400 &&
                          !headlessStats().tonePlaying
                      ? 7
                      : 8);
      },
      ::testing::ExitedWithCode(7), "");
}

TEST(WindowEnd, CloseAndQuitAndBreak) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        selectConsoleBackend();
        typeAll("abc");
        keyPressed();
        closeConsole();
      },
      ::testing::ExitedWithCode(0), "");
  struct Case {
    ConsoleEventKind kind;
    uint8_t code;
    bool ctrl;
    int status;
  };
  const Case cases[] = {
      {ConsoleEventKind::Close, 0, false, 0},
      {ConsoleEventKind::Quit, 0, false, 255},
      {ConsoleEventKind::KeyDown, VK_CANCEL, true, 255},
  };
  for (const Case &c : cases) {
    EXPECT_EXIT(
        {
          selectConsoleBackend();
          keyPressed();
          ConsoleEvent e;
          e.kind = c.kind;
          e.code = c.code;
          e.ctrl = c.ctrl;
          headlessPostAt(consoleClock() + 50, e);
          readKey();  // ends inside the wait
          std::exit(9);
        },
        ::testing::ExitedWithCode(c.status), "");
  }
}

TEST(WindowEnd, ScreenIsDumpedAtTheEnd) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs this test anew, so it names the file by its parent.
  auto dumpPath = [](pid_t parent) { return "/tmp/kalevo-screen-" + std::to_string(parent) + ".txt"; };
  EXPECT_EXIT(
      {
        setenv("KALEVO_SCREEN", dumpPath(getppid()).c_str(), 1);
        selectConsoleBackend();
        writeText("ol\xe1  \r\nmundo", 12);
        closeConsole();
      },
      ::testing::ExitedWithCode(0), "");
  std::ifstream in(dumpPath(getpid()));
  std::string dump((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(dumpPath(getpid()).c_str());
  EXPECT_EQ(dump, "olá\nmundo\n" + std::string(23, '\n'));
}

TEST_F(Window, ReadLineEditsAndEchoes) {
  typeAll("abc\bd\r");
  uint8_t line[CONSOLE_LINE_CAPACITY];
  size_t n = readLine(line);
  ASSERT_EQ(n, 5u);
  EXPECT_EQ(std::memcmp(line, "abd\r\n", 5), 0);
  EXPECT_EQ(row(console.cursorY - 1), "abd");
  EXPECT_EQ(console.cursorX, 0);
}

TEST_F(Window, ReadLineKeepsAtMost126Characters) {
  std::string keys(200, 'k');
  keys += '\x00';  // the first code of a two-code key is ignored...
  keys += ';';     // ...and its second code, a shown one, taken as a character
  keys += '\r';
  // One key a millisecond: the queue holds 64.
  uint64_t at = consoleClock();
  for (unsigned char c : keys) headlessPostAt(++at, charEvent(c));
  uint8_t line[CONSOLE_LINE_CAPACITY];
  EXPECT_EQ(readLine(line), 128u);
  EXPECT_EQ(line[125], 'k');
  EXPECT_EQ(line[126], 13);
  EXPECT_EQ(line[127], 10);
}

TEST_F(Window, StandardOutputShowsAtOnce) {
  bindConsoleStdio();
  std::cout << "abc";
  EXPECT_EQ(row(console.cursorY), "abc");
  std::cout << "\rxy";
  EXPECT_EQ(row(console.cursorY), "xyc");
}

TEST_F(Window, DelayProcessesWhatArrivedMeanwhile) {
  uint64_t start = consoleClock();
  ConsoleEvent key = charEvent('q');
  headlessPostAt(start + 100, key);
  delay(0);
  EXPECT_EQ(console.queueCount, 0);
  delay(150);
  EXPECT_EQ(consoleClock(), start + 150);
  EXPECT_EQ(console.queueCount, 1);
  EXPECT_EQ(readKey(), 'q');
}

namespace {
bool caretSeenDuringWait = false;
int caretXSeen = -1, caretYSeen = -1;
void noteCaret(uintptr_t, uintptr_t) {
  caretSeenDuringWait = headlessStats().caretVisible;
  caretXSeen = headlessStats().caretX;
  caretYSeen = headlessStats().caretY;
}
}  // namespace

TEST_F(Window, CaretShowsUnderTheCursorWhileAKeyIsAwaited) {
  writeText("abc", 3);
  registerWaveDoneHandler(noteCaret);
  ConsoleEvent done;
  done.kind = ConsoleEventKind::User;
  done.message = MSG_WAVE_DONE;
  headlessPostAt(consoleClock() + 10, done);
  headlessPostAt(consoleClock() + 20, charEvent('k'));
  EXPECT_EQ(readKey(), 'k');
  registerWaveDoneHandler(nullptr);
  EXPECT_TRUE(caretSeenDuringWait);
  EXPECT_EQ(caretXSeen, 3 * console.metrics.cellWidth);
  EXPECT_EQ(caretYSeen, console.cursorY * console.metrics.cellHeight + console.metrics.ascent);
  EXPECT_FALSE(headlessStats().caretVisible);
}

TEST_F(Window, MagnifierFollowsThePointer) {
  const int k = console.magnifierFactor;
  ASSERT_EQ(k, 2);
  const CellMetrics &m = console.metrics;
  headlessInject(pointerEvent(ConsoleEventKind::RightDown, 100, 50));
  keyPressed();
  EXPECT_TRUE(headlessStats().magnifying);
  const int *src = headlessStats().magnifierSource;
  EXPECT_EQ(src[0], 50);
  EXPECT_EQ(src[1], 25);
  EXPECT_EQ(src[2], m.outerWidth / 2);
  EXPECT_EQ(src[3], m.outerHeight / 2);
  headlessInject(pointerEvent(ConsoleEventKind::PointerMove, 1, 3));
  keyPressed();
  EXPECT_EQ(src[0], 1);
  EXPECT_EQ(src[1], 2);
  unsigned invalidations = headlessStats().invalidations;
  headlessInject(pointerEvent(ConsoleEventKind::RightUp, 1, 3));
  keyPressed();
  EXPECT_FALSE(headlessStats().magnifying);
  EXPECT_EQ(headlessStats().invalidations, invalidations + 1);
}

TEST_F(Window, TonesPlayTheirWaveInALoopUntilStopped) {
  startTone(800);
  EXPECT_TRUE(headlessStats().tonePlaying);
  EXPECT_EQ(headlessStats().toneBytes, console.toneSize);
  EXPECT_GT(console.toneSize, 44u);
  startTone(0);  // refused: a tone needs 1 Hz or more
  EXPECT_TRUE(headlessStats().tonePlaying);
  stopTone();
  EXPECT_FALSE(headlessStats().tonePlaying);
  EXPECT_EQ(console.toneBuffer, nullptr);
}
