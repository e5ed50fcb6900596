// Any bytes as an in-memory wave image: parseWaveBuffer must stay inside
// the image, and playing what it finds must end (null device, virtual clock).
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "klcrt.h"
#include "klwave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool started = false;
  if (!started) {
    started = true;
    setenv("KALEVO_AUDIO", "null", 1);
    setenv("KALEVO_DISPLAY", "headless", 1);
    unsetenv("KALEVO_SOUND_LOG");
    setWaveStopOnKey(false);
  }
  const uint8_t *format = nullptr, *samples = nullptr;
  uint32_t dataLength = 0, totalLength = 0;
  if (parseWaveBuffer(data, size, format, samples, dataLength, totalLength)) {
    if (format < data || format + 16 > data + size || samples < data || totalLength > size ||
        samples + dataLength != data + totalLength)
      std::abort();
  }
  // The switches vary with the input's length, so every path gets its turn.
  setWavePeriodCut(size & 1);
  setWaveFastRate(size & 2);
  playWaveBuffer(data, size);
  while (waveBusy()) waitMessage();
  return 0;
}
