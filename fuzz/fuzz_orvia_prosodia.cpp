// Any bytes as Orvia's prosody file: the loader (whose messages go to
// stderr), then the phrasing of a fixed sentence and of the input as text.
// A load that failed half-way leaves partly filled tables, which phrasing
// must still take.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "orvia/uttsProsodia.h"
#include "fuzz_arquivo.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void phrase(std::string_view text) {
  StringList tokens = MakeTokenList(text);
  StringList annotated = AssignProsodyValues(tokens);
  if (annotated.size() != tokens.size() || tokens.empty() || tokens[0] != "[--]") std::abort();
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string &t = tokens[i], &a = annotated[i];
    if (t.size() < 4 || t[0] != '[' || t[3] != ']') std::abort();
    // The layout the transcription reads: three digits, "|", the token.
    if (a.size() < 4 || !isDigit(a[0]) || !isDigit(a[1]) || !isDigit(a[2]) || a[3] != '|') std::abort();
    if (a.compare(4, std::string::npos, t, 4, std::string::npos) != 0) std::abort();
    std::string klass = FindKeyWordClass(t.substr(4));
    if (!klass.empty() && klass.size() != 2) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string file = fuzzFile("portug.pro", data, size);
  if (file.empty()) return 0;

  LoadProsody(file);
  phrase("Ol\xe1, tudo bem? N\xe3o sei... Quem \xe9 voc\xea; o que (diz)!");
  phrase(std::string_view(reinterpret_cast<const char *>(data), size));
  return 0;
}
