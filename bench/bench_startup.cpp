// Start-up: the time from starting the game's process to the first sample of
// its title prompt handed to the sound card, over 20 starts. The child is the
// game itself (its real start-up); a watcher thread reports the moment the
// sound card got its first block and ends the child.
// Needs a display and a sound server: run it through bench/audio_bench.sh.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "klcrt.h"
#include "klwave.h"
#include "retenza.h"

extern char **environ;

namespace {

int64_t nowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

[[noreturn]] void runChild() {
  std::thread([] {
    for (;;) {
      int64_t first = waveLastBlockStart();
      if (first != 0) {
        std::printf("%lld\n", static_cast<long long>(first));
        std::fflush(stdout);
        _exit(0);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }).detach();
  if (!selectConsoleBackend()) _exit(1);
  bindConsoleStdio();
  runGame();
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1 && std::strcmp(argv[1], "child") == 0) runChild();
  std::vector<double> times;
  for (int i = 0; i < 20; ++i) {
    int out[2];
    if (pipe(out) != 0) return 1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char child[] = "child";
    char *args[] = {argv[0], child, nullptr};
    pid_t pid;
    int64_t started = nowNanoseconds();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, args, environ) != 0) return 1;
    close(out[1]);
    char line[64] = {0};
    ssize_t n = read(out[0], line, sizeof line - 1);
    close(out[0]);
    int status;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    if (n <= 0) {
      std::fprintf(stderr, "the game played nothing (status %d)\n", status);
      return 1;
    }
    times.push_back(static_cast<double>(std::stoll(line) - started) / 1e6);
  }
  std::sort(times.begin(), times.end());
  std::fprintf(stderr, "process start to first sample of the title over %zu starts: median %.1f ms, max %.1f ms\n",
               times.size(), times[times.size() / 2], times.back());
  return 0;
}
