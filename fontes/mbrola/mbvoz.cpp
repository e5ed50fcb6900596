// Voice loader. Every count and offset is checked against the file before
// use: the file may be anything.
#include "mbvoz.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "mbrola.h"

namespace {

constexpr char MAGIC[8] = {'K', 'L', 'M', 'B', 'V', 'O', 'Z', '1'};
// The fields make 68 bytes; files written with a 64-byte header (name cut to
// 28 bytes) are told apart by their total size and read too.
constexpr size_t HEADER_FULL = 68;
constexpr size_t HEADER_SHORT = 64;
constexpr uint32_t MAX_PHONEMES = 1024;

uint32_t u32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t u16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

std::string sized(const char *what, uint64_t value) {
  char text[128];
  std::snprintf(text, sizeof text, "%s (%llu)", what, (unsigned long long)value);
  return text;
}

}  // namespace

std::string mbLoadVoice(const uint8_t *data, size_t size, MbVoz &voz) {
  voz = MbVoz();
  if (size < HEADER_SHORT) return sized("not a voice file: too short", size);
  if (std::memcmp(data, MAGIC, sizeof MAGIC) != 0) return "not a voice file: wrong magic (expected KLMBVOZ1)";
  uint32_t version = u32(data + 8);
  if (version != 1) return sized("unsupported voice format version", version);
  uint32_t rate = u32(data + 12), phonemeCount = u32(data + 16), diphoneCount = u32(data + 20);
  uint32_t markCount = u32(data + 24), sampleCount = u32(data + 28);
  uint16_t pitch = u16(data + 32);
  if (rate < 4000 || rate > 96000) return sized("voice sample rate out of range", rate);
  if (pitch < 40 || pitch > 1000) return sized("voice pitch out of range", pitch);
  if (phonemeCount == 0 || phonemeCount > MAX_PHONEMES) return sized("voice phoneme count out of range", phonemeCount);
  if (uint64_t(diphoneCount) != uint64_t(phonemeCount) * phonemeCount)
    return sized("voice diphone count is not the square of its phoneme count", diphoneCount);
  uint64_t body = uint64_t(phonemeCount) * 8 + uint64_t(diphoneCount) * 24 + uint64_t(markCount) * 4 +
                  uint64_t(sampleCount) * 2;
  size_t header;
  if (body + HEADER_FULL == size) header = HEADER_FULL;
  else if (body + HEADER_SHORT == size) header = HEADER_SHORT;
  else return sized("voice file size does not match its counts (truncated or damaged)", size);

  voz.sampleRate = rate;
  voz.nominalPitch = pitch;
  size_t nameLength = header - 36;
  const char *nameField = reinterpret_cast<const char *>(data + 36);
  voz.name.assign(nameField, strnlen(nameField, nameLength));
  for (char c : voz.name)
    if (static_cast<unsigned char>(c) < 32 || c == 127) return "voice name holds control characters";

  const uint8_t *p = data + header;
  voz.phonemes.resize(phonemeCount);
  for (uint32_t i = 0; i < phonemeCount; ++i, p += 8) {
    const char *field = reinterpret_cast<const char *>(p);
    std::string name(field, strnlen(field, 8));
    if (name.empty()) return sized("empty phoneme name at index", i);
    for (char c : name)
      if (static_cast<unsigned char>(c) <= 32 || c == 127 || c == ';' || c == '#')
        return sized("phoneme name with a blank, control or reserved character at index", i);
    voz.phonemes[i] = name;
    voz.names.emplace_back(name, int(i));
    if (name == "_") voz.silence = int(i);
  }
  std::sort(voz.names.begin(), voz.names.end());
  for (size_t i = 1; i < voz.names.size(); ++i)
    if (voz.names[i].first == voz.names[i - 1].first) return "phoneme name given twice: " + voz.names[i].first;
  if (voz.silence < 0) return "voice has no silence phoneme \"_\"";

  voz.diphones.resize(diphoneCount);
  for (uint32_t i = 0; i < diphoneCount; ++i, p += 24) {
    uint32_t left = u16(p), right = u16(p + 2);
    if (left != i / phonemeCount || right != i % phonemeCount)
      return "voice diphone table out of order or missing the pair " + voz.phonemes[i / phonemeCount] + "-" +
             voz.phonemes[i % phonemeCount];
    MbDifone &d = voz.diphones[i];
    d.first = u32(p + 4);
    d.length = u32(p + 8);
    d.boundary = u32(p + 12);
    d.firstMark = u32(p + 16);
    d.markCount = u32(p + 20);
    std::string pair = voz.phonemes[left] + "-" + voz.phonemes[right];
    if (d.length == 0 || uint64_t(d.first) + d.length > sampleCount)
      return "diphone " + pair + ": samples outside the voice's samples";
    if (d.boundary > d.length) return "diphone " + pair + ": boundary beyond its end";
    if (uint64_t(d.firstMark) + d.markCount > markCount) return "diphone " + pair + ": pitch marks outside the table";
  }

  voz.marks.resize(markCount);
  for (uint32_t i = 0; i < markCount; ++i, p += 4) voz.marks[i] = u32(p);
  for (const MbDifone &d : voz.diphones) {
    uint32_t previous = 0;
    for (uint32_t k = 0; k < d.markCount; ++k) {
      uint32_t offset = voz.marks[d.firstMark + k] & ~MB_MARK_VOICED;
      if (offset >= d.length || (k > 0 && offset <= previous)) {
        size_t index = &d - voz.diphones.data();
        return "diphone " + voz.phonemes[index / phonemeCount] + "-" + voz.phonemes[index % phonemeCount] +
               ": pitch marks out of order or beyond the unit";
      }
      previous = offset;
    }
  }

  voz.samples.resize(sampleCount);
  for (uint32_t i = 0; i < sampleCount; ++i, p += 2) voz.samples[i] = int16_t(u16(p));
  return "";
}

std::string mbLoadVoiceFile(const char *path, MbVoz &voz, int &code) {
  code = MBR_ERR_VOICE_OPEN;
  if (!path || !*path) return "no voice file named";
  FILE *f = std::fopen(path, "rb");
  if (!f) return std::string("cannot open voice file ") + path + ": " + std::strerror(errno);
  // Read whole into a buffer that is not zeroed first: fresh pages are
  // what loading costs. The size is only a hint; read on until the end.
  size_t capacity = 65536, used = 0;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long size = std::ftell(f);
    if (size > 0 && size < (1L << 31)) capacity = size_t(size) + 1;
    std::rewind(f);
  }
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[capacity]);
  for (;;) {
    if (used == capacity) {
      if (capacity > (size_t(1) << 31)) break;  // larger than any voice can be
      std::unique_ptr<uint8_t[]> larger(new uint8_t[capacity * 2]);
      std::memcpy(larger.get(), bytes.get(), used);
      bytes.swap(larger);
      capacity *= 2;
    }
    size_t got = std::fread(bytes.get() + used, 1, capacity - used, f);
    if (got == 0) break;
    used += got;
  }
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) return std::string("cannot read voice file ") + path;
  code = MBR_ERR_VOICE_FORMAT;
  std::string why = mbLoadVoice(bytes.get(), used, voz);
  if (!why.empty()) return std::string(path) + ": " + why;
  return "";
}

int mbFindPhoneme(const MbVoz &voz, const char *name, size_t length) {
  std::string key(name, length);
  auto it = std::lower_bound(voz.names.begin(), voz.names.end(), key,
                             [](const std::pair<std::string, int> &e, const std::string &k) { return e.first < k; });
  if (it == voz.names.end() || it->first != key) return -1;
  return it->second;
}

std::string mbRenamePhonemes(MbVoz &voz, const char *pairs, bool clone) {
  if (!pairs) return "";
  std::vector<std::string> words;
  const char *p = pairs;
  while (*p) {
    while (*p && std::strchr(" \t\r\n", *p)) ++p;
    const char *start = p;
    while (*p && !std::strchr(" \t\r\n", *p)) ++p;
    if (p > start) words.emplace_back(start, p);
  }
  if (words.size() % 2) return std::string(clone ? "clone" : "rename") + " list has an unpaired name";
  for (size_t i = 0; i < words.size(); i += 2) {
    const std::string &from = words[i], &to = words[i + 1];
    if (to.find_first_of(";#") != std::string::npos) return "reserved character in the new name " + to;
    auto it = std::find_if(voz.names.begin(), voz.names.end(), [&](auto &e) { return e.first == from; });
    if (it == voz.names.end()) return "cannot rename or clone unknown phoneme " + from;
    int index = it->second;
    if (!clone) voz.names.erase(it);
    auto old = std::find_if(voz.names.begin(), voz.names.end(), [&](auto &e) { return e.first == to; });
    if (old != voz.names.end()) voz.names.erase(old);  // the new name wins
    voz.names.emplace_back(to, index);
    std::sort(voz.names.begin(), voz.names.end());
  }
  return "";
}
