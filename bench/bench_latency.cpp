// Key to sound: the time from a key-down event to the first sample of the
// key's letter recording being handed to the sound card, over 200 keys.
// Needs a display and a sound server: run it through bench/audio_bench.sh.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "klcrt.h"
#include "klfala.h"
#include "klwave.h"

namespace {

int64_t nowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A key as the window system gives it: down, its text, up.
void pushKey(char c) {
  SDL_Event down{}, text{}, up{};
  down.type = SDL_KEYDOWN;
  down.key.state = SDL_PRESSED;
  down.key.keysym.sym = c;
  down.key.keysym.scancode = SDL_GetScancodeFromKey(c);
  up = down;
  up.type = SDL_KEYUP;
  up.key.state = SDL_RELEASED;
  text.type = SDL_TEXTINPUT;
  text.text.text[0] = c;
  SDL_PushEvent(&down);
  SDL_PushEvent(&text);
  SDL_PushEvent(&up);
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  size_t at = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[at];
}

}  // namespace

int main() {
  if (!selectConsoleBackend()) return 1;
  bindConsoleStdio();
  startSpeech(0, "");
  setStopOnKey(false);
  const char *keys = "aeioubcdfg0123456789";
  std::vector<double> latencies;
  int silent = 0;
  for (int i = 0; i < 200; ++i) {
    char c = keys[i % std::strlen(keys)];
    int64_t before = waveLastBlockStart();
    int64_t pressed = nowNanoseconds();
    pushKey(c);
    readKeySpoken();  // returns once the letter has been heard
    int64_t first = waveLastBlockStart();
    if (first == before) {
      ++silent;
      continue;
    }
    latencies.push_back(static_cast<double>(first - pressed) / 1e6);
  }
  if (latencies.empty()) {
    std::fprintf(stderr, "no key was heard: is there a sound device?\n");
    return 1;
  }
  std::fprintf(stderr, "key to first sample over %zu keys (%d silent): median %.2f ms, p99 %.2f ms, max %.2f ms\n",
               latencies.size(), silent, percentile(latencies, 0.5), percentile(latencies, 0.99),
               percentile(latencies, 1.0));
  endSpeech();
  closeConsole();
}
