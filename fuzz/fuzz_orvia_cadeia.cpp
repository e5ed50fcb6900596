// Any bytes as an utterance through the whole Orvia front end with the real
// data files: every line that reaches the synthesizer must be a comment, an
// empty line, or a phoneme of the voice with a duration and pitch pairs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "orvia/uttsCadeia.h"

namespace {

const std::set<std::string> INVENTORY = {
    "a", "e", "ee", "i", "o", "oo", "u", "@", "an", "en", "in", "on", "un", "w", "y", "p", "b", "t", "d",
    "k", "g", "f", "v", "s", "z", "x", "j", "m", "n", "nh", "l", "lh", "r", "rr", "r2", "s2", "h", "_"};

bool isInteger(const std::string &s) {
  size_t i = s.size() > 1 && s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

void check(const std::string &line) {
  if (line.empty() || line[0] == ';') return;
  std::istringstream in(line);
  std::string name, number;
  in >> name;
  if (!INVENTORY.count(name)) {
    std::fprintf(stderr, "unknown phoneme in line \"%s\"\n", line.c_str());
    std::abort();
  }
  int numbers = 0;
  while (in >> number) {
    if (!isInteger(number)) {
      std::fprintf(stderr, "bad number in line \"%s\"\n", line.c_str());
      std::abort();
    }
    ++numbers;
  }
  if (numbers % 2 != 1) {
    std::fprintf(stderr, "no duration or half a pitch pair in line \"%s\"\n", line.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool loaded = [] {
    std::string error;
    if (!LoadOrviaData(KALEVO_ORVIA_DADOS, "portug", error)) {
      std::fprintf(stderr, "%s: %s\n", KALEVO_ORVIA_DADOS, error.c_str());
      std::abort();
    }
    return true;
  }();
  (void)loaded;
  OrviaStages stages = RunOrviaStages(std::string(reinterpret_cast<const char *>(data), size));
  for (const std::string &line : stages.lines) check(line);
  return 0;
}
