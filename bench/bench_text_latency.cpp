// The time from calling speakText on a long text to its first sample handed
// to the sound card, over 20 calls: a watcher sees the first block go to the
// card and "presses a key", which stops the text. Run it through
// bench/fala_bench.sh (it needs a display and a sound server).
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "klcodepage.h"
#include "klcrt.h"
#include "klfala.h"
#include "kltexto.h"
#include "klwave.h"

namespace {

int64_t nowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::atomic<int64_t> calledAt{0}, heardAt{0};

void watch() {
  for (;;) {
    int64_t called = calledAt.load();
    if (called != 0 && heardAt.load() == 0) {
      int64_t first = waveLastBlockStart();
      if (first >= called) {
        heardAt = first;
        SDL_Event key{};
        key.type = SDL_TEXTINPUT;
        key.text.text[0] = ' ';
        SDL_PushEvent(&key);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_text_latency TEXT_FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string text =
      utf8ToCp1252(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  if (!selectConsoleBackend()) return 1;
  bindConsoleStdio();
  startSpeech(0, "");
  std::thread(watch).detach();
  std::vector<double> latencies;
  for (int i = 0; i < 20; ++i) {
    heardAt = 0;
    int64_t called = nowNanoseconds();
    calledAt = called;
    speakText(text);  // returns when the key stops it
    int64_t heard = heardAt.load();
    calledAt = 0;
    if (heard != 0) latencies.push_back(static_cast<double>(heard - called) / 1e6);
    while (keyPressed()) readKey();
    stopSpeech();
  }
  if (latencies.empty()) {
    std::fprintf(stderr, "nothing was heard: is there a sound device?\n");
    return 1;
  }
  double first = latencies.front();
  std::sort(latencies.begin(), latencies.end());
  std::printf("speakText call to first sample, %zu words' text, %zu calls: first %.2f ms, median %.2f ms, "
              "max %.2f ms\n",
              static_cast<size_t>(std::count(text.begin(), text.end(), ' ')), latencies.size(),
              first, latencies[latencies.size() / 2], latencies.back());
  endSpeech();
  closeConsole();
}
