// Any bytes as a voice file for our synthesizer. The loader must refuse what
// is inconsistent; whatever it accepts must then speak without reading past
// its samples.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mbinterno.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (mbrolaInitFromMemory(data, size) < 0) {
    char text[256];
    if (lastErrorStr_MBR(text, sizeof text) <= 0) std::abort();  // a refusal always says why
    return 0;
  }
  const MbVoz *voice = mbrolaVoice();
  std::string text;
  for (size_t i = 0; i < voice->phonemes.size() && i < 6; ++i)
    text += voice->phonemes[i] + (i % 2 ? " 40 50 90\n" : " 70 0 300 100 60\n");
  text += "#\n";
  write_MBR(text.c_str());
  short buffer[4096];
  while (read_MBR(buffer, 4096) > 0) {
  }
  close_MBR();
  return 0;
}
