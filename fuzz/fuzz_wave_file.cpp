// Any bytes as a RIFF wave file for playWaveFile: the parser must not read
// past its buffer or hang, and the player must come back idle (null device,
// virtual clock).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klcrt.h"
#include "klwave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static std::string path;
  if (path.empty()) {
    setenv("KALEVO_AUDIO", "null", 1);
    setenv("KALEVO_DISPLAY", "headless", 1);
    unsetenv("KALEVO_SOUND_LOG");
    setWaveStopOnKey(false);
    char pattern[] = "/tmp/kalevo-fuzz-wave-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0) std::abort();
    path = pattern;
    std::atexit([] { std::remove(path.c_str()); });
  }
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  setWavePeriodCut(size & 1);
  setWaveFastRate(size & 2);
  int result = playWaveFile(path.c_str());
  if (result < -1 || waveStatus().queuedCount != 0 || waveStatus().deviceOpen) std::abort();
  return 0;
}
