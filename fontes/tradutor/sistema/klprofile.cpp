#include "klprofile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

// A profile larger than this is read only up to here: a configuration file
// is a few kilobytes, and a runaway file must not eat the memory.
constexpr size_t PROFILE_MAX_BYTES = 4 << 20;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool sameName(std::string_view a, const char *b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

std::string resolve(const char *file) {
  if (std::strchr(file, '/') || std::strchr(file, '\\')) {
    std::string path(file);
    for (char &c : path)
      if (c == '\\') c = '/';
    return path;
  }
  std::string dir = systemDirectory();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + file;
}

bool readFile(const std::string &path, std::string &text) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char block[65536];
  size_t n;
  while (text.size() < PROFILE_MAX_BYTES && (n = std::fread(block, 1, sizeof block, f)) > 0)
    text.append(block, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (text.size() > PROFILE_MAX_BYTES) text.resize(PROFILE_MAX_BYTES);
  return ok;
}

// Finds the value of key in section; false when either is missing.
bool findValue(std::string_view text, const char *section, const char *key, std::string_view &value) {
  bool inSection = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name = line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1);
      inSection = sameName(trim(name), section);
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (!sameName(trim(line.substr(0, eq)), key)) continue;
    value = trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return true;
  }
  return false;
}

// A relative KALEVO_SYSDIR means the folder seen from where the program
// started, even while the diphone engine has another folder current.
const std::string initialDirectory = [] {
  char buffer[4096];
  return std::string(::getcwd(buffer, sizeof buffer) ? buffer : ".");
}();

}  // namespace

std::string systemDirectory() {
  const char *dir = std::getenv("KALEVO_SYSDIR");
  std::string s = (dir && *dir) ? dir : "/etc";
  if (s[0] != '/') s = initialDirectory + "/" + s;
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

bool fileExists(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

size_t getProfileString(const char *section, const char *key, const char *def, char *out, size_t size,
                        const char *file) {
  if (!out || size == 0) return 0;
  std::string text;
  std::string_view value = def ? def : "";
  std::string_view found;
  if (section && key && file && readFile(resolve(file), text) && findValue(text, section, key, found))
    value = found;
  size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(out, value.data(), n);
  out[n] = 0;
  return n;
}

std::string profileString(const char *section, const char *key, const char *def, const char *file) {
  char buffer[255];
  size_t n = getProfileString(section, key, def, buffer, sizeof buffer, file);
  return std::string(buffer, n);
}
