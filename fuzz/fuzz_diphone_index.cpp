// Any bytes as the diphone index (and as the sample file): the engine's
// start, a lookup of every record's name and of a few others, reading the
// units, and the close.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kldifone.h"

namespace {

bool writeFile(const std::string &path, const void *data, size_t size) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static std::string dir;
  if (dir.empty()) {
    char pattern[] = "/tmp/kalevo-fuzz-XXXXXX";
    dir = mkdtemp(pattern);
    setenv("KALEVO_SYSDIR", dir.c_str(), 1);
    std::string ini = "[TRADUTOR]\ndirLetras=" + dir + "\nDIRDIFONES=" + dir + "\n";
    writeFile(dir + "/KALEVO.INI", ini.data(), ini.size());
    writeFile(dir + "/regras.rgr", "(A)=a\n", 6);
    writeFile(dir + "/portug.exc", "casa=kaza\n", 10);
    SetDiphoneDatabaseName("FUZZ");
  }
  if (!writeFile(dir + "/FUZZ.IND", data, size) || !writeFile(dir + "/FUZZ.DIF", data, size)) return 0;

  if (StartDiphoneEngine() == 0) {
    if (DiphoneIndexCount() != size / DIPHONE_INDEX_RECORD_SIZE) std::abort();
    std::vector<unsigned char> unit(65536);
    for (size_t i = 0; i < DiphoneIndexCount(); ++i) {
      std::string name(reinterpret_cast<const char *>(data) + i * 15 + 1, data[i * 15] < 8 ? data[i * 15] : 8);
      if (const DiphoneIndexRecord *record = FindDiphone(name)) {
        if (record->nameView() != name) std::abort();
        if (ReadDiphoneSamples(*record, record->length, unit.data()) > record->length) std::abort();
      }
    }
    for (const char *name : {"", "$", "$A", "$ZZZZZZZ", "\xff\xff\xff\xff\xff\xff\xff\xff"}) FindDiphone(name);
  }
  CloseDiphoneEngine();
  return 0;
}
