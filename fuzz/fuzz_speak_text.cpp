// Any bytes as a text to speak, on the build tree's configuration and data
// (null device, virtual clock): speakText must end, reading and writing only
// inside its buffers. Odd lengths only show the pieces, even ones speak them.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "klcrt.h"
#include "kldifone.h"
#include "klfala.h"
#include "kltexto.h"

namespace {

void ignorePiece(TextPieceKind, std::string_view, std::string_view) {}

// The build tree is two folders above the program (<build>/bin, <build>/tests).
void startSpeechOnce() {
  setenv("KALEVO_AUDIO", "null", 1);
  setenv("KALEVO_DISPLAY", "headless", 1);
  unsetenv("KALEVO_SOUND_LOG");
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    std::string build(exe, static_cast<size_t>(n));
    build = build.substr(0, build.rfind('/'));
    build = build.substr(0, build.rfind('/'));
    setenv("KALEVO_SYSDIR", (build + "/etc").c_str(), 0);
  }
  if (!selectConsoleBackend()) std::abort();
  loadSpeedSettings(speechSpeedFor(0));
  int result = StartDiphoneEngine();
  CloseDiphoneEngine();
  // Without the data, speakText still runs: its recordings are just missing.
  if (result == 0) startSpeech(0, "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool started = false;
  if (!started) {
    started = true;
    startSpeechOnce();
  }
  setTextPieceListener(size & 1 ? ignorePiece : nullptr);
  speakText(std::string_view(reinterpret_cast<const char *>(data), size));
  setTextPieceListener(nullptr);
  return 0;
}
