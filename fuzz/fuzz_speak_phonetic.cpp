// Any bytes as a phonetic string: the engine speaks it (to the null sound
// device, on the headless clock) and runs its dry lookup, over a tiny
// database whose sample file is shorter than its index says and a letters
// folder with one good and one broken recording. The first byte chooses
// whether the punctuation pauses are on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klconcat.h"
#include "klcrt.h"
#include "kldifone.h"

namespace {

void writeFile(const std::string &path, const std::string &content) {
  if (FILE *f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
}

std::string record(const std::string &name, uint16_t length, uint32_t offset) {
  std::string r(15, '\0');
  r[0] = static_cast<char>(name.size());
  r.replace(1, name.size(), name);
  r[9] = static_cast<char>(length & 0xff);
  r[10] = static_cast<char>(length >> 8);
  for (int i = 0; i < 4; ++i) r[11 + i] = static_cast<char>(offset >> (8 * i));
  return r;
}

std::string le32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

bool start() {
  char pattern[] = "/tmp/kalevo-fuzz-XXXXXX";
  std::string dir = mkdtemp(pattern);
  setenv("KALEVO_SYSDIR", dir.c_str(), 1);
  setenv("KALEVO_DISPLAY", "headless", 0);
  setenv("KALEVO_AUDIO", "null", 1);
  writeFile(dir + "/KALEVO.INI", "[TRADUTOR]\ndirLetras=" + dir + "\nDIRDIFONES=" + dir + "\n");
  writeFile(dir + "/regras.rgr", "");
  writeFile(dir + "/portug.exc", "");
  // Sorted by name; $KA and $NN point past the end of the 3000-byte sample file.
  writeFile(dir + "/FUZZ.IND", record("$A", 1000, 0) + record("$ACIRC", 60000, 1000) + record("$KA", 65535, 2000) +
                                   record("$NN", 500, 4000000000u) + record("$S", 300, 2500));
  writeFile(dir + "/FUZZ.DIF", std::string(3000, '\x40'));
  std::string fmt = "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(11025) + le32(11025) +
                    std::string("\x01\x00\x08\x00", 4);
  writeFile(dir + "/_66.wav", "RIFF" + le32(36 + 500) + "WAVE" + fmt + "data" + le32(500) + std::string(500, 'x'));
  writeFile(dir + "/_44.wav", "RIFF" + le32(36) + "WAVE" + fmt + "data" + le32(0xFFFFFFFFu) + "short");
  SetDiphoneDatabaseName("FUZZ");
  SetCutSettings(400, 0, 150);
  return selectConsoleBackend() && StartDiphoneEngine() == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = start();
  if (!ready) std::abort();
  bool pausesOff = size > 0 && (data[0] & 1);
  std::string phonetic(reinterpret_cast<const char *>(data), size);
  SpeakPhonetic(phonetic, pausesOff);
  if (OutputFillLevel() != OUTPUT_HEADER_SIZE) std::abort();
  DryRunPhonetic(phonetic, pausesOff);
  return 0;
}
