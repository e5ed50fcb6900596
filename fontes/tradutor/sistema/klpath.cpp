#include "klpath.h"

#include <cstdlib>

#ifndef KALEVO_DATADIR
#define KALEVO_DATADIR "/usr/local/share"
#endif

namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string dataDirectory() {
  const char *env = std::getenv("KALEVO_DATADIR");
  std::string dir = env && *env ? env : KALEVO_DATADIR;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string nativePath(const std::string &windowsPath) {
  std::string path = windowsPath;
  for (char &c : path)
    if (c == '\\') c = '/';
  if (path.size() >= 3 && isAsciiLetter(path[0]) && path[1] == ':' && path[2] == '/') {
    std::string root = dataDirectory();
    if (root == "/") root.clear();  // the rest of the path brings its own /
    return root + path.substr(2);
  }
  return path;
}
