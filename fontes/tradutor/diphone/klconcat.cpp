#include "klconcat.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "klcrt.h"
#include "kldifone.h"
#include "klfala.h"
#include "klpath.h"

namespace {

// A chunk holds at most this many samples; longer units and recordings are
// laid in pieces of this size, each played before the next goes in.
constexpr size_t LARGEST_PIECE = DIPHONE_OUTPUT_BUFFER_SIZE - OUTPUT_HEADER_SIZE;
// Fall-backs always shorten a name or end in a short one; this only guards.
constexpr int DEEPEST_FALL_BACK = 40;

// A string of at most Capacity bytes; bytes beyond are dropped.
template <size_t Capacity>
struct Text {
  char bytes[Capacity];
  size_t length = 0;
  Text() = default;
  explicit Text(std::string_view s) { add(s); }
  void add(char c) {
    if (length < Capacity) bytes[length++] = c;
  }
  void add(std::string_view s) {
    for (char c : s) add(c);
  }
  std::string_view view() const { return {bytes, length}; }
};
using Name = Text<UNIT_NAME_CAPACITY>;

// The string being spoken and the reader's place in it.
std::string phonetic;
size_t cursor = 1;
int stressMode = 1;
bool pausesAreOff = false;

size_t fillLevel = OUTPUT_HEADER_SIZE;
bool dryRun = false;
std::vector<UnitRequest> *requestLog = nullptr;

DiphoneStats stats{};
// Dry runs: whether "_<code>" is a usable recording (-1: not looked at yet).
std::array<signed char, 256> letterKnown = [] {
  std::array<signed char, 256> a{};
  a.fill(-1);
  return a;
}();

// Letter recordings are read here before they go into the output buffer.
unsigned char letterPiece[LARGEST_PIECE];

uint32_t noiseState = 0x2545F491u;

bool isUpperVowel(unsigned char c) { return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U'; }
bool isGlideCapable(unsigned char c) {
  return std::string_view("AEIOUaeiouwy").find(static_cast<char>(c)) != std::string_view::npos;
}
bool isSplitConsonant(unsigned char c) {
  return std::string_view("bcdfgjklmnpqrstvxz").find(static_cast<char>(c)) != std::string_view::npos;
}
char upperAscii(unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); }
bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

void putLe(unsigned char *p, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

void writeHeader(unsigned char *b, uint32_t dataSize) {
  std::memcpy(b, "RIFF", 4);
  putLe(b + 4, dataSize + 36, 4);
  std::memcpy(b + 8, "WAVEfmt ", 8);
  putLe(b + 16, 16, 4);
  putLe(b + 20, 1, 2);      // PCM
  putLe(b + 22, 1, 2);      // mono
  putLe(b + 24, 11025, 4);
  putLe(b + 28, 11025, 4);  // bytes a second
  putLe(b + 32, 1, 2);      // block alignment
  putLe(b + 34, 8, 2);      // bits
  std::memcpy(b + 36, "data", 4);
  putLe(b + 40, dataSize, 4);
}

bool sameNoCase(const unsigned char *bytes, const char *id) {
  for (int i = 0; i < 4; ++i)
    if (upperAscii(bytes[i]) != upperAscii(static_cast<unsigned char>(id[i]))) return false;
  return true;
}

// Skips count bytes; false when the file holds fewer.
bool skipBytes(FILE *file, uint32_t count) {
  struct stat info;
  off_t here = ftello(file);
  if (here < 0 || fstat(fileno(file), &info) != 0) return false;
  if (static_cast<uint64_t>(here) + count > static_cast<uint64_t>(info.st_size)) return false;
  return fseeko(file, static_cast<off_t>(count), SEEK_CUR) == 0;
}

// Where the next bytes go, or null when nothing is to be laid.
unsigned char *room(size_t bytes) {
  if (dryRun) return nullptr;
  EnsureRoom(bytes);
  unsigned char *buffer = DiphoneOutputBuffer();
  return buffer ? buffer + fillLevel : nullptr;
}

void note(size_t entry, UnitOutcome outcome) {
  if (requestLog && entry < requestLog->size()) (*requestLog)[entry].outcome = outcome;
}

void playUnitAt(std::string_view name, int mode, double factor, int depth);

void playParts(std::string_view first, int firstMode, double firstFactor, std::string_view second, int secondMode,
               double secondFactor, int depth) {
  ++stats.fallBacks;
  playUnitAt(first, firstMode, firstFactor, depth + 1);
  playUnitAt(second, secondMode, secondFactor, depth + 1);
}

void playUnitAt(std::string_view wanted, int mode, double factor, int depth) {
  Name name(wanted);
  std::string_view n = name.view();
  size_t entry = requestLog ? requestLog->size() : 0;
  if (requestLog) requestLog->push_back({std::string(n), depth, UnitOutcome::Silent});
  if (depth == 0) ++stats.unitsAsked;

  bool found = !n.empty() && n[0] == '_' ? PlayLetterRecording(n) : PlayDiphone(n, mode, factor);
  if (found) {
    ++(depth == 0 ? stats.foundDirectly : stats.partsFound);
    note(entry, UnitOutcome::Found);
    return;
  }
  if (n.size() <= 2) {
    AppendNoise();
    note(entry, UnitOutcome::Noise);
    return;
  }
  if (depth >= DEEPEST_FALL_BACK) {
    ++stats.silentUnits;
    return;
  }
  unsigned char last = static_cast<unsigned char>(n.back());
  if (isGlideCapable(last)) {
    note(entry, UnitOutcome::FallBack);
    Name vowel("$");
    vowel.add(static_cast<char>(last));
    playParts(n.substr(0, n.size() - 1), mode, FALL_BACK_FACTOR * factor, vowel.view(), mode, factor, depth);
  } else if (endsWith(n, "CIRC") && n.size() > 6) {
    note(entry, UnitOutcome::FallBack);
    Name vowel("$");
    vowel.add(n.substr(n.size() - 5));
    playParts(n.substr(0, n.size() - 5), mode, FALL_BACK_FACTOR * factor, vowel.view(), mode, factor, depth);
  } else if (endsWith(n, "TIL")) {
    note(entry, UnitOutcome::FallBack);
    std::string_view base = n.substr(0, n.size() - 3);
    unsigned char b = base.empty() ? 0 : static_cast<unsigned char>(upperAscii(base.back()));
    if (b == 'I' || b == 'U') {
      playParts(base, mode, FALL_BACK_FACTOR * factor, "$nn", 1, FALL_BACK_FACTOR, depth);
    } else {
      // No tilde unit: the circumflex vowel, then the nasal tail.
      Name open(base);
      open.add("CIRC");
      playParts(open.view(), 2, FALL_BACK_FACTOR * factor, "$nn", 1, FALL_BACK_FACTOR, depth);
    }
  } else {
    ++stats.silentUnits;
  }
}

void speak(std::string_view text, bool pausesOff) {
  BeginPhonetic(text, pausesOff);
  while (PhoneticLeft()) {
    std::string segment = NextSegment();
    SplitSegment(segment, WHOLE_UNIT);
    if (PhoneticLeft() && phonetic[cursor - 2] != ' ') AppendSilence(DiphoneSettings().wordGap);
  }
  FlushOutput();
}

}  // namespace

void SpeakPhonetic(std::string_view text, bool pausesOff) {
  if (!DiphoneOutputBuffer()) return;
  speak(text, pausesOff);
}

const DiphoneStats &DiphoneStatistics() { return stats; }

void ResetDiphoneStats() {
  stats = {};
  letterKnown.fill(-1);
}

void DryRunPhonetic(std::string_view text, bool pausesOff, std::vector<UnitRequest> *requests) {
  dryRun = true;
  requestLog = requests;
  speak(text, pausesOff);
  requestLog = nullptr;
  dryRun = false;
}

void BeginPhonetic(std::string_view text, bool pausesOff) {
  phonetic.assign(text);
  cursor = 1;
  stressMode = 1;
  pausesAreOff = pausesOff;
  fillLevel = OUTPUT_HEADER_SIZE;
}

bool PhoneticLeft() { return cursor <= phonetic.size(); }
size_t PhoneticCursor() { return cursor; }
int PhoneticStressMode() { return stressMode; }

std::string NextSegment() {
  // The reader never looks past the string's end, whatever the string holds.
  auto byteAt = [](size_t p) { return p <= phonetic.size() ? phonetic[p - 1] : '\0'; };
  if (PhoneticLeft() && byteAt(cursor) == '[') {
    stressMode = 1;
    ++cursor;
  }
  Text<SEGMENT_CAPACITY> segment;
  while (PhoneticLeft() && byteAt(cursor) != ' ' && byteAt(cursor) != ']') {
    char c = byteAt(cursor);
    if (c == '/') {
      if (segment.length > 8) break;  // long enough: a forced break
    } else if (c == '_') {
      ++cursor;
      if (!PhoneticLeft()) break;  // a lone _ at the end names nothing
      segment.add('_');
      segment.add(byteAt(cursor));
    } else if (c == '|') {
      segment = Text<SEGMENT_CAPACITY>("_TRACO");
    } else {
      segment.add(c);
    }
    ++cursor;
  }
  if (PhoneticLeft()) ++cursor;

  std::string_view s = segment.view();
  if (!pausesAreOff && s.size() == 2 && s[0] == '_') {
    int pause = 0;
    switch (s[1]) {
      case ',': pause = COMMA_PAUSE; break;
      case '.': pause = FULL_STOP_PAUSE; break;
      case ';': pause = SEMICOLON_PAUSE; break;
      case ':': pause = COLON_PAUSE; break;
    }
    if (pause) {
      AppendSilence(pause);
      return {};
    }
  }
  return std::string(s);
}

void SplitSegment(std::string_view u, double f) {
  size_t L = u.size();
  if (L == 0) return;
  if (L == 1) {
    EmitUnit(u, f);
    return;
  }
  // Byte i of u, 1-based.
  auto b = [u](size_t i) { return static_cast<unsigned char>(u[i - 1]); };
  if (L > 2) {
    std::string_view pair = u.substr(0, 2);
    if (isSplitConsonant(b(1)) && isSplitConsonant(b(2)) && pair != "dj" && pair != "nh" && pair != "rr" &&
        pair != "ks" && u.substr(0, 3) != "tch") {
      EmitUnit(u.substr(0, 1), WHOLE_UNIT);
      SplitSegment(u.substr(1), f);
      return;
    }
    if (endsWith(u, "rr")) {
      SplitSegment(u.substr(0, L - 2), f);
      EmitUnit("rr", f);
      return;
    }
    if (isSplitConsonant(b(L))) {
      SplitSegment(u.substr(0, L - 1), f);
      EmitUnit(u.substr(L - 1), f);
      return;
    }
  }
  if (b(L) == 'w' || b(L) == 'y') {
    unsigned char mark = b(L - 1);
    if (L > 2 && isGlideCapable(mark)) {
      SplitSegment(u.substr(0, L - 1), BEFORE_GLIDE_FACTOR);
      EmitUnit(u.substr(L - 2), f);
      return;
    }
    if ((mark == '^' || mark == '~') && L > 3) {
      Text<SEGMENT_CAPACITY> before(u.substr(0, L - 2));
      before.add('^');  // the vowel before a nasal glide is played closed
      SplitSegment(before.view(), BEFORE_GLIDE_FACTOR);
      const char unit[3] = {u[L - 3], u[L - 1], u[L - 2]};
      EmitUnit({unit, 3}, f);
      return;
    }
    if ((mark == '^' || mark == '~') && L == 3) {
      const char unit[3] = {u[0], u[2], u[1]};
      EmitUnit({unit, 3}, f);
      return;
    }
    if ((mark == '^' || mark == '~') && L == 2) {
      // A mark with no vowel to carry it: the glide alone.
      EmitUnit(u.substr(1), f);
      return;
    }
  }
  if (b(L) == 's' && u != "_s") {
    SplitSegment(u.substr(0, L - 1), BEFORE_FINAL_S_FACTOR);
    EmitUnit("s", f);
    return;
  }
  EmitUnit(u, f);
}

void EmitUnit(std::string_view unit, double f) {
  std::string_view u = unit.substr(0, UNIT_NAME_CAPACITY);
  if (u.empty()) return;
  if (u[0] == '_') {
    if (u.size() < 2) {
      ++stats.silentUnits;  // "_" with no byte after it names no recording
      return;
    }
    Name name("_");
    name.add(std::to_string(static_cast<unsigned char>(u[1])));
    PlayUnit(name.view(), stressMode, f);
    return;
  }
  Name name("$");
  bool stressed = false;
  for (char c : u) {
    if (isUpperVowel(static_cast<unsigned char>(c))) {
      stressMode = 2;
      stressed = true;
      name.add(c);
    } else if (c == '^' || c == '~') {
      name.add(c == '^' ? "CIRC" : "TIL");
      PlayUnit(name.view(), stressMode, f);
      name = Name("$");
    } else {
      name.add(c);
    }
  }
  if (name.length > 1) PlayUnit(name.view(), stressMode, f);
  if (stressed) stressMode = 0;
}

void PlayUnit(std::string_view name, int mode, double factor) { playUnitAt(name, mode, factor, 0); }

bool PlayDiphone(std::string_view name, int mode, double factor) {
  Name key;
  for (char c : name.substr(0, UNIT_NAME_CAPACITY)) key.add(upperAscii(static_cast<unsigned char>(c)));
  const DiphoneIndexRecord *record = FindDiphone(key.view());
  if (!record) return false;

  const DiphoneEngineSettings &settings = DiphoneSettings();
  long len = record->length;
  if (mode != 2 && key.length > 2) {
    len -= settings.cutLength;
    if (len < settings.keptMinimum) len = std::min<long>(record->length, settings.keptMinimum);
  }
  if (len < 0) len = 0;
  double f = std::clamp(factor, 0.0, 1.0);
  // Truncated, with a little slack so that 0.7 x 1000 stays 700 in binary.
  size_t n = static_cast<size_t>(static_cast<double>(len) * f + 1e-6);
  if (n == 0) {
    ++stats.cutToNothing;
    return true;
  }
  if (dryRun) return true;

  // Laid in pieces, so that a unit longer than a chunk still fits; a sample
  // file shorter than the index says gives only the bytes it holds.
  DiphoneIndexRecord piece = *record;
  for (size_t done = 0; done < n;) {
    size_t want = std::min(n - done, LARGEST_PIECE);
    unsigned char *to = room(want);
    if (!to) break;
    size_t got = ReadDiphoneSamples(piece, want, to);
    fillLevel += got;
    done += got;
    if (got < want || static_cast<uint64_t>(piece.offset) + got > UINT32_MAX) break;
    piece.offset += static_cast<uint32_t>(got);
  }
  return true;
}

uint32_t ReadWaveDataSize(FILE *file) {
  unsigned char header[12];
  if (!file || std::fread(header, 1, 12, file) != 12 || !sameNoCase(header, "RIFF")) return 0;
  unsigned char chunk[8];
  if (std::fread(chunk, 1, 8, file) != 8 || std::memcmp(chunk, "fmt ", 4) != 0) return 0;
  if (!skipBytes(file, static_cast<uint32_t>(chunk[4] | chunk[5] << 8 | chunk[6] << 16 | uint32_t(chunk[7]) << 24)))
    return 0;
  for (;;) {
    if (std::fread(chunk, 1, 8, file) != 8) return 0;
    uint32_t size = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | uint32_t(chunk[7]) << 24;
    if (sameNoCase(chunk, "data")) return size;
    if (!skipBytes(file, size)) return 0;
  }
}

bool PlayLetterRecording(std::string_view name) {
  std::string_view n = name.substr(0, UNIT_NAME_CAPACITY);
  // Dry runs look at each recording "_<code>" once.
  int code = -1;
  if (dryRun && n.size() >= 2 && n.size() <= 4 && n[0] == '_' && (n.size() == 2 || n[1] != '0')) {
    code = 0;
    for (char c : n.substr(1)) code = c >= '0' && c <= '9' && code >= 0 ? code * 10 + (c - '0') : -1;
    if (code > 255) code = -1;
    if (code >= 0 && letterKnown[code] >= 0) return letterKnown[code] == 1;
  }

  FILE *file = std::fopen(nativePath(DiphoneLettersDirectory() + std::string(n) + ".wav").c_str(), "rb");
  if (!file) {
    if (code >= 0) letterKnown[code] = 0;
    return false;
  }
  struct stat info;
  uint32_t size = fstat(fileno(file), &info) == 0 && !S_ISDIR(info.st_mode) ? ReadWaveDataSize(file) : 0;
  if (code >= 0) letterKnown[code] = size > 0;
  // The whole data chunk is played, however long, as far as the file holds it.
  for (uint32_t left = size; left > 0 && !dryRun;) {
    size_t got = std::fread(letterPiece, 1, std::min<size_t>(left, LARGEST_PIECE), file);
    if (got == 0) break;
    if (unsigned char *to = room(got)) {
      std::memcpy(to, letterPiece, got);
      fillLevel += got;
    }
    left -= static_cast<uint32_t>(got);
  }
  std::fclose(file);
  return size > 0;
}

void AppendSilence(int bytes) {
  for (int i = 0; i < bytes / SILENCE_BLOCK; ++i) {
    if (unsigned char *to = room(SILENCE_BLOCK)) {
      std::memset(to, 128, SILENCE_BLOCK);
      fillLevel += SILENCE_BLOCK;
    }
  }
}

void AppendNoise() {
  ++stats.noiseBursts;
  unsigned char *to = room(NOISE_LENGTH);
  if (!to) return;
  for (int i = 0; i < NOISE_LENGTH; ++i) {
    noiseState = noiseState * 1103515245u + 12345u;  // a private generator: the game's random sequence stays its own
    to[i] = static_cast<unsigned char>(88 + (noiseState >> 16) % 80);
  }
  fillLevel += NOISE_LENGTH;
}

void EnsureRoom(size_t bytes) {
  if (dryRun || fillLevel + bytes < DIPHONE_OUTPUT_BUFFER_SIZE) return;
  FlushOutput();
  while (speechBusy()) waitMessage();
}

void FlushOutput() {
  unsigned char *buffer = DiphoneOutputBuffer();
  if (dryRun || !buffer || fillLevel <= OUTPUT_HEADER_SIZE) {
    fillLevel = OUTPUT_HEADER_SIZE;
    return;
  }
  writeHeader(buffer, static_cast<uint32_t>(fillLevel - OUTPUT_HEADER_SIZE));
  playBufferAndWait(buffer, fillLevel);
  fillLevel = OUTPUT_HEADER_SIZE;
}

size_t OutputFillLevel() { return fillLevel; }
