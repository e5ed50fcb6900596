// Any bytes as phoneme text for our synthesizer, on the small synthetic voice
// written once to a temporary file: the parser and the synthesis must not
// crash, hang or read past a buffer, and output only what was asked for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "mbinterno.h"
#include "voz_sintetica.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = false;
  if (!ready) {
    char pattern[] = "/tmp/kalevo-fuzz-mbrola-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0) std::abort();
    std::string voice = voz_sintetica::make();
    if (write(fd, voice.data(), voice.size()) != ssize_t(voice.size())) std::abort();
    close(fd);
    if (init_MBR(pattern) != 0) std::abort();
    std::remove(pattern);
    ready = true;
  }
  if (size == 0 || size > 512) return 0;
  // The first byte picks the mode, the rate and the volume.
  uint8_t mode = data[0];
  setNoError_MBR(mode & 1);
  static const int rates[] = {0, 0, 8000, 22050};
  setFreq_MBR(rates[(mode >> 1) & 3]);
  setVolumeRatio_MBR((mode & 8) ? 3.0f : 1.0f);
  // The rest in two writes, cut where the second byte says.
  std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  size_t cut = size > 1 ? data[1] % (text.size() + 1) : 0;
  write_MBR(text.substr(0, cut).c_str());
  write_MBR(text.substr(cut).c_str());
  lastError_MBR();
  flush_MBR();
  short buffer[4096];
  int type = (mode >> 4) & 3;
  while (readtype_MBR(buffer, 4096, type) > 0) {
  }
  reset_MBR();
  return 0;
}
