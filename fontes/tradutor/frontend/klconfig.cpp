#include "klconfig.h"

#include <unistd.h>

#include <climits>
#include <string>

#include "klprofile.h"

namespace {

std::string startDir;
bool startDirTaken = false;

// The library takes its start directory before the program's own code runs.
struct StartDirectoryAtLoad {
  StartDirectoryAtLoad() { noteStartDirectory(); }
} startDirectoryAtLoad;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void noteStartDirectory() {
  char buffer[4096];
  startDir = ::getcwd(buffer, sizeof buffer) ? buffer : ".";
  if (startDir.size() > 1 && isSeparator(startDir.back())) startDir.pop_back();
  startDirTaken = true;
}

const std::string &startDirectory() {
  if (!startDirTaken) noteStartDirectory();
  return startDir;
}

std::string configFileName() {
  std::string dir = systemDirectory();
  if (dir.empty() || !isSeparator(dir.back())) dir += '/';
  if (fileExists(dir + "KALEVO.INI")) return "KALEVO.INI";
  return startDirectory() + "/KALEVO.INI";
}

std::string configValue(const std::string &section, const std::string &key) {
  std::string file = configFileName();
  const char *sectionName = section.empty() ? "KALEVO" : section.c_str();
  std::string value = profileString(sectionName, key.c_str(), "", file.c_str());

  // '@' at the start, or '@' before a separator, stands for the program
  // directory. The inserted directory is never scanned again, so a program
  // directory that itself holds "@\" cannot make the expansion endless.
  size_t scanFrom = 0;
  while (!value.empty()) {
    size_t at;
    if (scanFrom == 0 && value[0] == '@') {
      at = 0;
    } else {
      at = std::string::npos;
      for (size_t i = scanFrom; i + 1 < value.size(); ++i)
        if (value[i] == '@' && isSeparator(value[i + 1])) {
          at = i;
          break;
        }
      if (at == std::string::npos) break;
    }
    std::string program = profileString("KALEVO", "PGMKALEVO", "", file.c_str());
    if (program.empty() || program[0] == '@') program = startDirectory();
    value.replace(at, 1, program);
    scanFrom = at + program.size();
    if (scanFrom == 0) scanFrom = 1;
  }
  return value;
}

long configInteger(const std::string &value, bool *ok) {
  size_t i = 0, n = value.size();
  while (i < n && value[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  int base = 10;
  if (i < n && value[i] == '$') {
    base = 16, ++i;
  } else if (i < n && (value[i] == 'x' || value[i] == 'X')) {
    base = 16, ++i;
  } else if (i + 1 < n && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'X')) {
    base = 16, i += 2;
  }
  long result = 0;
  size_t digits = 0;
  for (; i < n; ++i, ++digits) {
    int d = digitValue(value[i]);
    if (d < 0 || d >= base) break;
    // Keep to the range of a 32-bit integer; larger values saturate.
    if (result <= (INT_MAX - d) / base) result = result * base + d;
    else result = INT_MAX;
  }
  if (ok) *ok = digits > 0 && i == n;
  return negative ? -result : result;
}

bool configYes(const std::string &value) {
  if (value.empty()) return false;
  char c = value[0];
  return !(c == 'N' || c == 'n');
}
