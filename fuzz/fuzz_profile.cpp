// Any bytes as KALEVO.INI: the profile reader, the configuration lookup with
// its macros, and the video settings read from the same file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "klconfig.h"
#include "klcrt_internal.h"
#include "klprofile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static std::string dir;
  if (dir.empty()) {
    char pattern[] = "/tmp/kalevo-fuzz-XXXXXX";
    dir = mkdtemp(pattern);
    setenv("KALEVO_SYSDIR", dir.c_str(), 1);
  }
  std::string file = dir + "/KALEVO.INI";
  FILE *f = std::fopen(file.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  static const char *const KEYS[][2] = {
      {"KALEVO", "PGMKALEVO"}, {"RETENZA", "DIRRETENZA"}, {"", "X"},          {"VIDEO", "TABCORES"},
      {"TRADUTOR", "VELOCIDADE"}, {"SINTETIZADOR", "DIFONES3"},
  };
  for (const auto &k : KEYS) {
    std::string v = configValue(k[0], k[1]);
    configInteger(v);
    configYes(v);
  }
  char small[2];
  getProfileString("VIDEO", "AMPLIF", "2", small, sizeof small, "KALEVO.INI");
  VideoSettings settings;
  readVideoSettings(settings, 1024, 734);
  return 0;
}
