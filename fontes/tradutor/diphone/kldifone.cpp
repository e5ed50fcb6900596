#include "kldifone.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "klpath.h"
#include "klprofile.h"
#include "klregras.h"

namespace {

// The profile API reads directories into 81-byte buffers: 80 bytes are kept.
constexpr size_t DIRECTORY_CAPACITY = 81;

DiphoneEngineSettings settings;
std::string lettersDirectory;
std::string diphoneDirectory;
std::vector<DiphoneIndexRecord> diphoneIndex;
FILE *sampleFile = nullptr;
std::unique_ptr<unsigned char[]> outputBuffer;

void addSeparator(std::string &dir) {
  if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) dir += '\\';
}

std::string readDirectory(const char *key, const char *def) {
  char value[DIRECTORY_CAPACITY];
  getProfileString("TRADUTOR", key, def, value, sizeof value, "KALEVO.INI");
  return value;
}

// Makes dir current (drives do not exist here, so there is no drive step).
// Without a way back to the old directory, only checks that dir could be
// made current.
bool makeCurrent(const std::string &dir, bool canReturn) {
  std::string path = nativePath(dir);
  if (canReturn) return chdir(path.c_str()) == 0;
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

void closeSampleFile() {
  if (sampleFile) std::fclose(sampleFile);
  sampleFile = nullptr;
}

uint32_t littleEndian(const unsigned char *bytes, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// Reads the whole index; a trailing partial record is ignored. False when
// the file cannot be opened or read, or does not fit in memory.
bool readIndex(const std::string &path) {
  FILE *file = std::fopen(nativePath(path).c_str(), "rb");
  if (!file) return false;
  bool ok = true;
  try {
    std::vector<unsigned char> bytes;
    unsigned char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + n);
    ok = !std::ferror(file);
    size_t count = bytes.size() / DIPHONE_INDEX_RECORD_SIZE;
    diphoneIndex.resize(count);
    for (size_t i = 0; i < count; ++i) {
      const unsigned char *raw = &bytes[i * DIPHONE_INDEX_RECORD_SIZE];
      DiphoneIndexRecord &record = diphoneIndex[i];
      record.nameLength = raw[0] < DIPHONE_NAME_CAPACITY ? raw[0] : DIPHONE_NAME_CAPACITY;
      for (size_t k = 0; k < DIPHONE_NAME_CAPACITY; ++k) record.name[k] = static_cast<char>(raw[1 + k]);
      record.length = static_cast<uint16_t>(littleEndian(raw + 9, 2));
      record.offset = littleEndian(raw + 11, 4);
    }
  } catch (const std::bad_alloc &) {
    ok = false;
  }
  std::fclose(file);
  if (!ok) diphoneIndex.clear();
  return ok;
}

// The steps that need the directories current; the caller restores the
// current directory.
bool openDatabaseFiles(bool canReturn) {
  lettersDirectory = readDirectory("dirLetras", "c:\\zolkar\\som\\letras");
  if (!makeCurrent(lettersDirectory, canReturn)) return false;
  addSeparator(lettersDirectory);

  diphoneDirectory = readDirectory("DIRDIFONES", "c:\\zolkar\\som\\difones");
  if (!makeCurrent(diphoneDirectory, canReturn)) return false;
  addSeparator(diphoneDirectory);

  std::string base = diphoneDirectory + settings.databaseName;
  if (!readIndex(base + ".IND")) return false;
  sampleFile = std::fopen(nativePath(base + ".DIF").c_str(), "rb");
  struct stat info;
  if (sampleFile && (fstat(fileno(sampleFile), &info) != 0 || S_ISDIR(info.st_mode))) closeSampleFile();
  return sampleFile != nullptr;
}

}  // namespace

const DiphoneEngineSettings &DiphoneSettings() { return settings; }

void SetDiphoneDatabaseName(std::string_view name) {
  settings.databaseName = std::string(name.substr(0, DIPHONE_NAME_CAPACITY));
}

void SetCutSettings(int cutLength, int keptMinimum, int wordGap) {
  settings.cutLength = cutLength < 0 ? 0 : cutLength;
  settings.keptMinimum = keptMinimum < 0 ? 0 : keptMinimum;
  settings.wordGap = wordGap < 0 ? 0 : wordGap;
}

bool OpenDiphoneDatabase() {
  // A second open replaces the first instead of leaking it.
  diphoneIndex.clear();
  closeSampleFile();
  int startDirectory = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  bool ok = openDatabaseFiles(startDirectory >= 0);
  if (startDirectory >= 0) {
    if (fchdir(startDirectory) != 0) {
      // Nothing better to do: the start directory vanished meanwhile.
    }
    close(startDirectory);
  }
  return ok;
}

int StartDiphoneEngine() {
  if (!OpenDiphoneDatabase()) return 1;
  if (!LoadRules(diphoneDirectory + "regras.rgr")) return 2;
  if (!LoadExceptions(diphoneDirectory + "portug.exc")) return 2;
  if (!outputBuffer) outputBuffer = std::make_unique<unsigned char[]>(DIPHONE_OUTPUT_BUFFER_SIZE);
  return 0;
}

void CloseDiphoneEngine() {
  outputBuffer.reset();
  ReleaseRules();
  closeSampleFile();
  diphoneIndex.clear();
  diphoneIndex.shrink_to_fit();
}

const std::string &DiphoneLettersDirectory() { return lettersDirectory; }
const std::string &DiphoneDirectory() { return diphoneDirectory; }

size_t DiphoneIndexCount() { return diphoneIndex.size(); }

const DiphoneIndexRecord *FindDiphone(std::string_view name) {
  long low = 0, high = static_cast<long>(diphoneIndex.size()) - 1;
  while (low <= high) {
    long middle = (low + high) / 2;
    int order = name.compare(diphoneIndex[middle].nameView());
    if (order == 0) return &diphoneIndex[middle];
    if (order > 0) low = middle + 1;
    else high = middle - 1;
  }
  return nullptr;
}

size_t ReadDiphoneSamples(const DiphoneIndexRecord &record, size_t count, unsigned char *out) {
  if (!sampleFile || count == 0) return 0;
  if (fseeko(sampleFile, static_cast<off_t>(record.offset), SEEK_SET) != 0) return 0;
  size_t n = std::fread(out, 1, count, sampleFile);
  std::clearerr(sampleFile);
  return n;
}

unsigned char *DiphoneOutputBuffer() { return outputBuffer.get(); }
