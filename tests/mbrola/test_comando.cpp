// The mbrola command run as eSpeak NG runs it, through pipes, and as a
// program by itself; and the shared library as a program loads it.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "apoio.h"

namespace {

struct Child {
  pid_t pid = -1;
  int in = -1, out = -1;
};

Child spawn(const std::vector<std::string> &args) {
  int toChild[2], fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[1]);
    close(fromChild[0]);
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  return {pid, toChild[1], fromChild[0]};
}

// Reads n bytes, waiting at most 10 s in all.
std::string readExactly(int fd, size_t n) {
  std::string got;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[65536];
    ssize_t r = read(fd, buffer, std::min(sizeof buffer, n - got.size()));
    if (r <= 0) break;
    got.append(buffer, size_t(r));
  }
  return got;
}

bool nothingToRead(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 50) == 0;
}

// The state letter of /proc/PID/stat, as eSpeak NG reads it.
char processState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() ? text[close + 2] : '?';
}

bool waitSleeping(pid_t pid) {
  for (int i = 0; i < 500; ++i) {
    if (processState(pid) == 'S') return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void send(int fd, const std::string &text) { ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size())); }

std::string asBytes(const std::vector<short> &samples) {
  return std::string(reinterpret_cast<const char *>(samples.data()), samples.size() * 2);
}

uint32_t le32(const std::string &s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(s[at + size_t(i)])) << (8 * i);
  return v;
}

struct Outcome {
  int status;
  std::string out, err;
};

Outcome run(const TempDir &dir, std::vector<std::string> args, const std::string &input) {
  std::string in = dir.write("stdin", input), out = dir.file("stdout"), err = dir.file("stderr");
  std::string command;
  for (const std::string &a : args) command += "'" + a + "' ";
  command += "< '" + in + "' > '" + out + "' 2> '" + err + "'";
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.read("stdout"), dir.read("stderr")};
}

}  // namespace

TEST_F(SyntheticVoice, CommandSpeaksThroughPipesTheWayESpeakDrivesIt) {
  const std::string utterance = "_ 50\na 100 50 150\ni 60\n_ 50\n";
  const std::string expected = asBytes(speak(utterance));
  ASSERT_EQ(expected.size(), 2u * 4160);

  signal(SIGPIPE, SIG_IGN);
  Child child = spawn({MBROLA_COMANDO, "-e", "-v", "1.0", voicePath, "-", "-.wav"});
  ASSERT_GT(child.pid, 0);

  send(child.in, "#\n");
  std::string header = readExactly(child.out, 44);
  ASSERT_EQ(header.size(), 44u);
  EXPECT_EQ(header.substr(0, 4), "RIFF");
  EXPECT_EQ(header.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(le32(header, 24), 16000u);
  EXPECT_EQ(header[34], 16);
  EXPECT_EQ(header.substr(36, 4), "data");
  ASSERT_TRUE(waitSleeping(child.pid));
  EXPECT_TRUE(nothingToRead(child.out));

  // Each "#" answers with the samples of what came before it, and no more.
  for (int round = 0; round < 2; ++round) {
    send(child.in, utterance + "#\n");
    EXPECT_EQ(readExactly(child.out, expected.size()), expected);
    ASSERT_TRUE(waitSleeping(child.pid));
    EXPECT_TRUE(nothingToRead(child.out));
  }

  // SIGUSR1 throws away what is pending.
  send(child.in, "a 500\ni 500\n");
  ASSERT_TRUE(waitSleeping(child.pid));
  kill(child.pid, SIGUSR1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(waitSleeping(child.pid));
  send(child.in, utterance + "#\n");
  EXPECT_EQ(readExactly(child.out, expected.size()), expected);
  ASSERT_TRUE(waitSleeping(child.pid));
  EXPECT_TRUE(nothingToRead(child.out));

  // With -e an unknown phoneme is silence.
  send(child.in, "o 100\n#\n");
  EXPECT_EQ(readExactly(child.out, 3200), std::string(3200, '\0'));

  close(child.in);
  int status = 0;
  waitpid(child.pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(child.out);
}

TEST_F(SyntheticVoice, CommandWritesWaveFilesAndReportsErrors) {
  const std::string utterance = "_ 50\na 100 50 150\n; a comment\ns 70\n#\ni 60\n_ 50\n";
  const std::string expected = asBytes(speak(utterance));

  for (const char *input : {"file", "-"}) {
    SCOPED_TRACE(input);
    std::string phonemes = dir.write("in.pho", utterance);
    std::string wav = dir.file("out.wav");
    Outcome r = run(dir, {MBROLA_COMANDO, voicePath, input == std::string("-") ? "-" : phonemes, wav}, utterance);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string file = dir.read("out.wav");
    ASSERT_EQ(file.size(), 44 + expected.size());
    EXPECT_EQ(le32(file, 4), 36 + expected.size());
    EXPECT_EQ(le32(file, 40), expected.size());
    EXPECT_EQ(file.substr(44), expected);
  }

  // Volume 2 doubles the samples.
  Outcome loud = run(dir, {MBROLA_COMANDO, "-v", "2", voicePath, "-", "-"}, "a 100\n");
  std::vector<short> plain = speak("a 100\n");
  ASSERT_EQ(loud.out.size(), 44 + plain.size() * 2);
  for (size_t n = 0; n < plain.size(); ++n) {
    short s;
    std::memcpy(&s, loud.out.data() + 44 + 2 * n, 2);
    ASSERT_NEAR(s, std::clamp(plain[n] * 2, -32768, 32767), 1);
  }

  struct Case {
    std::vector<std::string> args;
    const char *input;
    int status;
    const char *message;
  };
  std::string notAVoice = dir.write("not-a-voice", "RIFF....WAVEfmt " + std::string(100, 'x'));
  const Case cases[] = {
      {{MBROLA_COMANDO, voicePath, "-", "-"}, "a 100\no 100\n#\n", 1, "unknown phoneme o"},
      {{MBROLA_COMANDO, voicePath, "-", "-"}, "a 100 x 5\n", 1, "not a pair of numbers"},
      {{MBROLA_COMANDO, "-e", voicePath, "-", "-"}, "a 100 x 5\na 100\n", 0, "not a pair of numbers"},
      {{MBROLA_COMANDO, notAVoice, "-", "-"}, "", 1, "wrong magic"},
      {{MBROLA_COMANDO, dir.file("absent"), "-", "-"}, "", 1, "cannot open"},
      {{MBROLA_COMANDO, voicePath, dir.file("absent.pho"), "-"}, "", 1, "cannot open"},
      {{MBROLA_COMANDO, voicePath, "-"}, "", 2, "usage"},
      {{MBROLA_COMANDO, "-v", "loud", voicePath, "-", "-"}, "", 2, "volume"},
      {{MBROLA_COMANDO, "-x", voicePath, "-", "-"}, "", 2, "unknown option"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.input);
    SCOPED_TRACE(c.args[1]);
    Outcome r = run(dir, c.args, c.input);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

TEST_F(SyntheticVoice, SharedLibraryExportsTheEntryPointsOnly) {
  void *library = dlopen(MBROLA_BIBLIOTECA, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const char *names[] = {"init_MBR", "init_rename_MBR", "write_MBR", "flush_MBR", "read_MBR", "readtype_MBR",
                         "close_MBR", "reset_MBR", "lastError_MBR", "lastErrorStr_MBR", "setNoError_MBR",
                         "getNoError_MBR", "setFreq_MBR", "getFreq_MBR", "setVolumeRatio_MBR",
                         "getVolumeRatio_MBR", "getVersion_MBR", "getDatabaseInfo_MBR", "setParser_MBR",
                         "init_Phone", "reset_Phone", "close_Phone", "appendf0_Phone", "resetError_MBR"};
  for (const char *name : names) EXPECT_NE(dlsym(library, name), nullptr) << name;
  for (const char *name : {"_Z15mbrolaLastSpansv", "_Z11mbLoadVoicePKhmR5MbVoz", "_Z8mbRenderRK5MbVozRKSt6vectorI6MbFoneSaIS3_EERS2_IfSaIfEERS2_I6MbSpanSaIS9_EE"})
    EXPECT_EQ(dlsym(library, name), nullptr) << name;

  // The library on its own speaks like the code linked into this test.
  auto init = reinterpret_cast<int (*)(const char *)>(dlsym(library, "init_MBR"));
  auto write = reinterpret_cast<int (*)(const char *)>(dlsym(library, "write_MBR"));
  auto read = reinterpret_cast<int (*)(short *, int)>(dlsym(library, "read_MBR"));
  auto close = reinterpret_cast<void (*)()>(dlsym(library, "close_MBR"));
  ASSERT_EQ(init(voicePath.c_str()), 0);
  write("_ 20\na 100 50 130\n#\n");
  std::vector<short> out(4000);
  out.resize(size_t(read(out.data(), 4000)));
  EXPECT_EQ(out, speak("_ 20\na 100 50 130\n"));
  close();
  dlclose(library);
}
