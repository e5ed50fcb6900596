// Any bytes as text to translate: normalisation, words, exceptions, stress,
// spelling and rules, on a small rule file with contexts and an exception
// whose substitute is longer than the word buffer allows with its suffixes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klregras.h"
#include "kltradutor.h"

namespace {

void writeFile(const std::string &path, const std::string &content) {
  if (FILE *f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    char pattern[] = "/tmp/kalevo-fuzz-XXXXXX";
    std::string dir = mkdtemp(pattern);
    writeFile(dir + "/regras.rgr",
              "(A~)=a~ \n(A)%=A \n#(A)#=a/a\n(A)=a \n(C)+=s\n(C)=k\n(E')=E \n(E)=e \n(I)=i \n(O)=o \n"
              "(QU)+=k\n(R)%=r\n%(R)=rr\n(R)=r\n(S)#=z\n(S)=s\n(U)=u \n(1)=um \n");
    writeFile(dir + "/portug.exc", "taxi=taksi\ncasa=kA'za\nlongo=" + std::string(250, 'o') + "\n=\n");
    LoadRules(dir + "/regras.rgr");
    LoadExceptions(dir + "/portug.exc");
  }
  std::string phonetic = TranslateText(reinterpret_cast<const char *>(data), size);
  // Every word gives whole groups.
  if (!phonetic.empty() && (phonetic.front() != '[' || phonetic.back() != ']')) std::abort();
  if (CurrentWord().size() > TRANSLATOR_WORD_CAPACITY) std::abort();
  return 0;
}
