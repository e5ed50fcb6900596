// Any bytes as an exception file: loading, then looking up words, one of
// them taken from the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klregras.h"
#include "fuzz_arquivo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file = fuzzFile("portug.exc", data, size);
  if (file.empty()) return 0;

  if (!LoadExceptions(file)) return 0;
  if (ExceptionCount() > EXCEPTION_CAPACITY) std::abort();
  std::string fromInput(reinterpret_cast<const char *>(data), size < 20 ? size : 20);
  while (!fromInput.empty() && fromInput.back() == '\n') fromInput.pop_back();
  for (std::string word : {fromInput, std::string("casas"), std::string("ms"), std::string("m"), std::string("a")})
    LookUpException(word);
  return 0;
}
