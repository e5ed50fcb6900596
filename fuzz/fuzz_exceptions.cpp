// Any bytes as an exception file: loading, then looking up words, one of
// them taken from the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klregras.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static std::string file;
  if (file.empty()) {
    char pattern[] = "/tmp/kalevo-fuzz-XXXXXX";
    file = std::string(mkdtemp(pattern)) + "/portug.exc";
  }
  FILE *f = std::fopen(file.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  if (!LoadExceptions(file)) return 0;
  if (ExceptionCount() > EXCEPTION_CAPACITY) std::abort();
  std::string fromInput(reinterpret_cast<const char *>(data), size < 20 ? size : 20);
  while (!fromInput.empty() && fromInput.back() == '\n') fromInput.pop_back();
  for (std::string word : {fromInput, std::string("casas"), std::string("ms"), std::string("m"), std::string("a")})
    LookUpException(word);
  return 0;
}
