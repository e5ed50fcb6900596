// Any bytes as Orvia's diphone list, then the timing stage over a phoneme
// list made of the input's lines (word headers, stress and boundary marks,
// pauses and phonemes, as they come), at three speeds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orvia/uttsProsodia.h"
#include "fuzz_arquivo.h"

namespace {

const char PROSODY[] =
    "[DURA\xc7\xc3O]\na=30\nk=102\n_=100\n__=120\n_,=150\nr2=65\nm=65\nz=-5\n"
    "[CHAVES]\n"
    "[PROS\xd3" "DIA]\nHERTZ=180\nTABHERTZ=70,76,82,88,94,100,107,114,121,128\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool prosodyLoaded =
      LoadProsody(fuzzFile("portug.pro", reinterpret_cast<const uint8_t *>(PROSODY), sizeof PROSODY - 1));
  if (!prosodyLoaded) std::abort();

  LoadDiphones(fuzzFile("portug.dfn", data, size));
  StringList phonemes;
  std::string line;
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\n') {
      phonemes.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  phonemes.push_back(line);
  for (double factor : {1.0, 0.6, 2.5}) {
    StringList out = TimeAndPitch(phonemes, factor, factor);
    // Each line comes out once, with at most one filler before it.
    if (out.size() < phonemes.size() || out.size() > 2 * phonemes.size()) std::abort();
  }
  ReleaseDiphones();
  return 0;
}
