// The wave player's queueing model: the block pool, the device's life, the
// file and image parsers, and pitch-period cutting. The audio output itself
// is behind klwave_device.h.
#include "klwave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "klcrt.h"
#include "klwave_device.h"

namespace {

// A slot's block header: what the device is given.
struct WaveBlock {
  uint8_t *data;
  uint32_t length;
  unsigned slot;  // 1 to 4
};

struct WavePlayer {
  bool stopOnKey = true;
  bool fastRate = false;
  bool periodCut = false;

  const WaveDevice *device = nullptr;  // chosen at first use
  bool deviceOpen = false;
  uintptr_t deviceHandle = 0;
  uint32_t rate = 0;  // the device format
  uint16_t bits = 0, channels = 0;
  unsigned deviceOpens = 0;

  unsigned queuedCount = 0;
  unsigned lastSlot = 0;
  WaveBlock headers[WAVE_BLOCK_COUNT + 1] = {};  // indexed by slot number
};

// constinit: the library-start hook below runs in another file's turn of
// dynamic initialization, which must not reset the state afterwards.
constinit WavePlayer player;

// The pool and the read buffer: static, so nothing is allocated while playing.
uint8_t slotData[WAVE_BLOCK_COUNT][WAVE_BLOCK_SIZE];
uint8_t readBuffer[WAVE_BLOCK_SIZE];

FILE *soundLog = nullptr;
bool soundLogChecked = false;

const WaveDevice &waveDevice() {
  if (player.device) return *player.device;
  const char *name = std::getenv("KALEVO_AUDIO");
  const char *display = std::getenv("KALEVO_DISPLAY");
  bool headless = display && std::strcmp(display, "headless") == 0;
  if (!name || !*name) {
    player.device = headless ? &nullWaveDevice : &sdlWaveDevice;
  } else if (std::strcmp(name, "sdl") == 0) {
    player.device = &sdlWaveDevice;
  } else if (std::strcmp(name, "null") == 0) {
    player.device = &nullWaveDevice;
  } else if (std::strncmp(name, "capture:", 8) == 0 && name[8]) {
    player.device = startWaveCapture(name + 8) ? &captureWaveDevice : &nullWaveDevice;
  } else {
    std::fprintf(stderr,
                 "KALEVO_AUDIO must be \"sdl\", \"null\" or \"capture:FILE\", not \"%s\": "
                 "playing without sound.\n",
                 name);
    player.device = &nullWaveDevice;
  }
  return *player.device;
}

// Library start: a capture file exists (empty) even if nothing is ever played.
struct WaveLibraryStart {
  WaveLibraryStart() {
    const char *name = std::getenv("KALEVO_AUDIO");
    if (name && std::strncmp(name, "capture:", 8) == 0 && name[8]) waveDevice();
  }
} waveLibraryStart;

uint16_t le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

bool sameTag(const uint8_t *p, const char *tag) {
  for (int i = 0; i < 4; ++i) {
    uint8_t a = p[i], b = static_cast<uint8_t>(tag[i]);
    if (a >= 'A' && a <= 'Z') a = static_cast<uint8_t>(a + 32);
    if (b >= 'A' && b <= 'Z') b = static_cast<uint8_t>(b + 32);
    if (a != b) return false;
  }
  return true;
}

bool keyWaitingStops() { return player.stopOnKey && keyPressed(); }

int openDevice() {
  if (player.deviceOpen) return 0;
  const WaveDevice &device = waveDevice();
  pumpAllMessages();  // the notices go to the console: it must be running
  registerWaveDoneHandler(blockDone);
  int result = WAVE_ALLOCATED;
  for (int attempt = 1; attempt <= 100; ++attempt) {
    uintptr_t handle = 0;
    result = device.open(player.rate, player.bits, player.channels, handle);
    if (result == WAVE_OK) {
      player.deviceOpen = true;
      player.deviceHandle = handle;
      ++player.deviceOpens;
      break;
    }
    if (result != WAVE_ALLOCATED) break;
    delay(100);
  }
  return result;
}

int setFormat(uint32_t rate, uint16_t bits, uint16_t channels) {
  if (rate != player.rate || bits != player.bits || channels != player.channels) {
    // Sleep between tests rather than spin: the notices are messages, and a
    // virtual clock only moves while the program waits.
    while (waveBusy()) waitMessage();
  }
  player.rate = rate;
  player.bits = bits;
  player.channels = channels;
  return openDevice();
}

bool queueBlock(const uint8_t *data, uint32_t n, bool cut, uint16_t dataBits, uint32_t rate) {
  for (int tries = 0; player.queuedCount >= WAVE_BLOCK_COUNT && tries < 40; ++tries) {
    pumpAllMessages();
    delay(50);
  }
  if (player.queuedCount >= WAVE_BLOCK_COUNT || !player.deviceOpen) return false;

  ++player.queuedCount;
  unsigned slot = player.lastSlot % WAVE_BLOCK_COUNT + 1;
  player.lastSlot = slot;
  uint8_t *block = slotData[slot - 1];

  std::memcpy(block, data, n);
  uint32_t m = cut ? cutPeriods(block, n, dataBits, rate) : n;

  // Short blocks go out as 256 bytes; the rest of the slot is the format's
  // silence, not whatever an earlier sound left there.
  uint32_t length = m < 256 ? 256 : m;
  if (m < 256) std::memset(block + m, player.bits == 8 ? 128 : 0, 256 - m);
  // Every sound ends on silence; a full block may have more data after it.
  if (player.bits == 8 && player.channels == 1 && m != WAVE_BLOCK_SIZE && m > 0) block[m - 1] = 128;

  WaveBlock &header = player.headers[slot];
  header = WaveBlock{block, length, slot};
  if (!waveDevice().write(header.data, header.length, header.slot)) {
    // Dropped: no notice will come for it, so it must not stay counted.
    --player.queuedCount;
    return false;
  }
  return true;
}

// Standard output is the console; what it holds goes out first.
void writeMessage(const char *text) { std::cout << text << std::flush; }

// Reads until count bytes or the end of the file; returns the bytes read.
size_t readFully(int fd, uint8_t *into, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t r = ::read(fd, into + done, count - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  return done;
}

// Reads over count bytes; false when the file ends first.
bool skipFully(int fd, uint64_t count) {
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0 || static_cast<uint64_t>(st.st_size) < static_cast<uint64_t>(at) ||
        count > static_cast<uint64_t>(st.st_size) - static_cast<uint64_t>(at))
      return false;
    return ::lseek(fd, static_cast<off_t>(count), SEEK_CUR) >= 0;
  }
  while (count > 0) {
    size_t piece = count < WAVE_BLOCK_SIZE ? static_cast<size_t>(count) : WAVE_BLOCK_SIZE;
    if (readFully(fd, readBuffer, piece) != piece) return false;
    count -= piece;
  }
  return true;
}

// The wave format fields the player uses; a record shorter than 16 bytes
// does not have them.
struct WaveFormat {
  uint16_t channels;
  uint32_t rate;
  uint16_t bits;
};

WaveFormat formatFields(const uint8_t *record) { return {le16(record + 2), le32(record + 4), le16(record + 14)}; }

enum : uint32_t { FORMAT_FIELDS_LENGTH = 16 };

// playWaveFile's parse: leaves the file at the data and gives its length.
bool readWaveHeader(int fd, WaveFormat &format, uint32_t &dataLength) {
  uint8_t head[12];
  if (readFully(fd, head, 12) != 12 || !sameTag(head, "RIFF")) return false;
  uint8_t chunk[8];
  if (readFully(fd, chunk, 8) != 8 || !sameTag(chunk, "fmt ")) return false;
  uint32_t formatLength = le32(chunk + 4);
  if (formatLength < FORMAT_FIELDS_LENGTH) return false;
  // Only the fields are kept; a longer record is read over, not into the buffer.
  if (readFully(fd, readBuffer, FORMAT_FIELDS_LENGTH) != FORMAT_FIELDS_LENGTH) return false;
  format = formatFields(readBuffer);
  if (!skipFully(fd, formatLength - FORMAT_FIELDS_LENGTH)) return false;
  for (;;) {
    if (readFully(fd, chunk, 8) != 8) return false;
    if (sameTag(chunk, "data")) {
      dataLength = le32(chunk + 4);
      return true;
    }
    if (!skipFully(fd, le32(chunk + 4))) return false;
  }
}

// cutPeriods' peak: the first greatest byte of [from, to]. A range with no
// byte above 0 gives its first position, so the reading always moves on.
int64_t peakIn(const uint8_t *bytes, int64_t from, int64_t to) {
  int64_t at = from;
  uint8_t best = 0;
  for (int64_t i = from; i <= to; ++i) {
    if (bytes[i] > best) {
      best = bytes[i];
      at = i;
    }
  }
  return at;
}

}  // namespace

// ------------------------------------------------------------------ playing

int playPcm(const uint8_t *data, uint32_t length, uint32_t rate, uint16_t bits, uint16_t channels) {
  if (player.fastRate) {
    uint64_t fast = static_cast<uint64_t>(rate) * 3 / 2;
    rate = fast > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(fast);
  }
  uint16_t deviceBits = (player.periodCut && channels == 1 && bits == 16) ? 8 : bits;
  int opened = setFormat(rate, deviceBits, channels);
  if (opened != 0) return opened & 0xFFFF;

  bool cut = player.periodCut && channels == 1;
  while (length > 0) {
    while (player.queuedCount >= WAVE_BLOCK_COUNT) {
      if (keyWaitingStops()) {
        stopWave();
        return 0;
      }
      delay(10);
    }
    if (keyWaitingStops()) {
      stopWave();
      return 0;
    }
    uint32_t n = length < WAVE_BLOCK_SIZE ? length : WAVE_BLOCK_SIZE;
    queueBlock(data, n, cut, bits, rate);
    data += n;
    length -= n;
  }
  return 0;
}

void blockDone(uintptr_t device, uintptr_t block) {
  // No device was ever opened: the notice is not the player's.
  if (block == 0 || !player.device) return;
  int result = player.device->unprepare(device, block);
  if (result == WAVE_NOTICE_STALE) return;
  if (result != WAVE_OK) {
    switch (result) {
      case WAVE_INVALID_HANDLE: writeMessage("Specified device handle is invalid."); break;
      case WAVE_NO_DRIVER: writeMessage("No device driver is present."); break;
      case WAVE_NO_MEMORY: writeMessage("Unable to allocate or lock memory."); break;
      case WAVE_STILL_PLAYING: writeMessage("The data block pointed to by the pwh parameter is still in queue"); break;
      default: break;
    }
    uint8_t line[CONSOLE_LINE_CAPACITY];
    readLine(line);
  }
  if (player.queuedCount > 0) --player.queuedCount;
}

bool waveBusy() {
  pumpAllMessages();
  if (keyWaitingStops() || player.queuedCount == 0) stopWave();
  return player.queuedCount != 0;
}

void stopWave() {
  if (player.deviceOpen) {
    const WaveDevice &device = waveDevice();
    if (player.queuedCount > 0) device.reset();
    pumpAllMessages();
    device.close();
    pumpAllMessages();
  }
  player.deviceOpen = false;
  player.deviceHandle = 0;
}

int playWaveFile(const char *path) {
  if (keyWaitingStops()) return 0;
  logSoundStarted(path);
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;

  int result = -1;
  WaveFormat format{};
  uint32_t remaining = 0;
  if (readWaveHeader(fd, format, remaining)) {
    result = 0;
    while (remaining > 0) {
      result = -1;
      // The last piece is kept above 256 bytes, the device's shortest block.
      uint32_t piece = (remaining > WAVE_BLOCK_SIZE && remaining < WAVE_BLOCK_SIZE + 256) ? WAVE_BLOCK_SIZE - 256
                       : remaining < WAVE_BLOCK_SIZE                                     ? remaining
                                                                                         : WAVE_BLOCK_SIZE;
      size_t got = readFully(fd, readBuffer, piece);
      if (got == 0) break;
      remaining -= static_cast<uint32_t>(got);
      result = playPcm(readBuffer, static_cast<uint32_t>(got), format.rate, format.bits, format.channels);
      if (result != 0 || keyWaitingStops()) break;
    }
  }
  ::close(fd);
  while (waveBusy()) waitMessage();
  return result;
}

bool parseWaveBuffer(const uint8_t *image, size_t size, const uint8_t *&format, const uint8_t *&data,
                     uint32_t &dataLength, uint32_t &totalLength) {
  if (!image || size < 20 || !sameTag(image, "RIFF") || !sameTag(image + 12, "fmt ")) return false;
  uint64_t formatLength = le32(image + 16);
  if (formatLength < FORMAT_FIELDS_LENGTH || 20 + formatLength > size) return false;
  // Offsets stay within 32 bits: an image is never longer than its RIFF can say.
  uint64_t limit = size < UINT32_MAX ? size : UINT32_MAX;
  uint64_t at = 20 + formatLength;
  while (at + 8 <= limit) {
    uint64_t length = le32(image + at + 4);
    if (sameTag(image + at, "data")) {
      if (length > limit - (at + 8)) length = limit - (at + 8);
      format = image + 20;
      data = image + at + 8;
      dataLength = static_cast<uint32_t>(length);
      totalLength = static_cast<uint32_t>(at + 8 + length);
      return true;
    }
    at += 8 + length;
  }
  return false;
}

void playWaveBuffer(const uint8_t *image, size_t size) {
  const uint8_t *format = nullptr, *data = nullptr;
  uint32_t dataLength = 0, totalLength = 0;
  if (!parseWaveBuffer(image, size, format, data, dataLength, totalLength)) return;
  char line[32];
  std::snprintf(line, sizeof line, "buffer %u", static_cast<unsigned>(dataLength));
  logSoundStarted(line);
  WaveFormat f = formatFields(format);
  playPcm(data, dataLength, f.rate, f.bits, f.channels);
}

// ------------------------------------------------------------ period cutting

uint32_t cutPeriods(uint8_t *bytes, uint32_t n, uint16_t bits, uint32_t rate) {
  if (bits == 16) {
    n /= 2;
    for (uint32_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(bytes[2 * i + 1] ^ 0x80);
  }
  if (n < 1000) return n;

  int64_t start = 800, step = 320, window = 200;
  if (rate == 11025) start = 200, step = 80, window = 50;
  const int64_t last = static_cast<int64_t>(n) - 1;
  int64_t p = peakIn(bytes, start, start + step + window < last ? start + step + window : last);
  int64_t readAt = p, writeAt = p;
  while (static_cast<int64_t>(n) - 2 * (step + window) > readAt) {
    int64_t p1 = peakIn(bytes, readAt + step, readAt + step + window);
    int64_t p2 = peakIn(bytes, p1 + step, p1 + step + window);
    int64_t count = p2 - p1 + 1;
    std::memmove(bytes + writeAt, bytes + p1, static_cast<size_t>(count));
    writeAt += count;
    readAt = p2;
  }
  while (writeAt < static_cast<int64_t>(n) && readAt < static_cast<int64_t>(n) &&
         (bytes[writeAt] > 148 || bytes[writeAt] < 108)) {
    bytes[writeAt++] = bytes[readAt++];
  }
  return static_cast<uint32_t>(writeAt);
}

// ------------------------------------------------------------------ switches

void setWaveStopOnKey(bool on) { player.stopOnKey = on; }
void setWaveFastRate(bool on) { player.fastRate = on; }
void setWavePeriodCut(bool on) { player.periodCut = on; }
bool waveStopOnKey() { return player.stopOnKey; }
bool waveFastRate() { return player.fastRate; }
bool wavePeriodCut() { return player.periodCut; }

WaveStatus waveStatus() {
  return {player.queuedCount, player.deviceOpen, player.deviceOpens, player.rate, player.bits, player.channels};
}

// ------------------------------------------------------------------ sound log

void logSoundStarted(const char *line) {
  if (!soundLogChecked) {
    soundLogChecked = true;
    const char *path = std::getenv("KALEVO_SOUND_LOG");
    if (path && *path) {
      soundLog = std::fopen(path, "w");
      if (!soundLog) std::fprintf(stderr, "KALEVO_SOUND_LOG: cannot write %s\n", path);
    }
  }
  if (!soundLog) return;
  std::fputs(line, soundLog);
  std::fputc('\n', soundLog);
  std::fflush(soundLog);
}

void logToneStarted(unsigned frequency) {
  char line[24];
  std::snprintf(line, sizeof line, "tone %u", frequency);
  logSoundStarted(line);
}
