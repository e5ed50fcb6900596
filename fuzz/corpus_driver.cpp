// Runs a fuzz target over every file of the folders (or files) named on the
// command line, and over a few thousand pseudo-random inputs, so that the
// targets run in every build, not only under libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static void runFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

int main(int argc, char **argv) {
  size_t files = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (auto &entry : std::filesystem::recursive_directory_iterator(p))
        if (entry.is_regular_file()) runFile(entry.path()), ++files;
    } else if (std::filesystem::is_regular_file(p)) {
      runFile(p), ++files;
    }
  }
  std::mt19937 gen(12345);
  std::vector<uint8_t> bytes;
  for (int round = 0; round < 2000; ++round) {
    bytes.resize(gen() % 512);
    for (auto &b : bytes) b = static_cast<uint8_t>(gen());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%zu corpus files and 2000 random inputs ran\n", files);
  return 0;
}
