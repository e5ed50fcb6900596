// The fuzz input as a file for a loader: one temporary folder for the run,
// the file written again for every input. "" when it cannot be written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string fuzzFile(const std::string &name, const uint8_t *data, size_t size) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/kalevo-fuzz-XXXXXX";
    const char *made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp");
  }();
  std::string path = folder + "/" + name;
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return "";
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return path;
}
