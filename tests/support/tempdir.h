// A temporary folder for a test, removed with everything in it at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char pattern[] = "/tmp/kalevo-test-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string file(const std::string &name) const { return (path / name).string(); }
  std::string write(const std::string &name, const std::string &content) const {
    std::string p = file(name);
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  std::string read(const std::string &name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

// Sets an environment variable for the life of the object.
struct ScopedEnv {
  std::string name;
  std::string old;
  bool had;
  ScopedEnv(const char *n, const std::string &value) : name(n) {
    const char *o = std::getenv(n);
    had = o != nullptr;
    if (had) old = o;
    setenv(n, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had) setenv(name.c_str(), old.c_str(), 1);
    else unsetenv(name.c_str());
  }
};
