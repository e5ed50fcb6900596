// The devices that only pretend to play: "null" and "capture:FILE".
//
// Blocks play one after the other, each for its play time on the console's
// clock (virtual in the headless display). Like a sound card, the device
// works on one block at a time: the done notice of the block playing is on
// its way; the next block's is posted when that one has been taken back. A
// reset posts the notice of every queued block at once; the notice already
// on its way then comes for a block no longer queued and is stale. Each
// block carries a ticket, unique for the run, so the two cannot be confused.
//
// The capture device appends what was really played (all of a finished
// block, the part played so far of a reset one) to its WAV file, converted
// to 16-bit mono 22050 Hz, and rewrites the header's lengths after every
// append, so the file is valid whenever the program ends.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "klcrt.h"
#include "klwave.h"
#include "klwave_device.h"

namespace {

enum : uint32_t { CAPTURE_RATE = 22050, CAPTURE_HEADER = 44 };

struct PretendBlock {
  const uint8_t *data;
  uint32_t length;
  uint32_t played;  // bytes heard: all of them unless a reset cut the block
  uintptr_t ticket;
  uint64_t start, end;  // console clock, ms
  uint32_t rate;
  uint16_t bits, channels;
};

struct PretendDevice {
  bool open = false;
  bool capturing = false;
  uintptr_t handle = 0, lastHandle = 0;
  uint32_t rate = 0;
  uint16_t bits = 0, channels = 0;
  PretendBlock ring[WAVE_BLOCK_COUNT] = {};
  unsigned head = 0, count = 0;
  uint64_t freeAt = 0;  // when the last queued block ends
  uintptr_t lastTicket = 0;
};

// constinit: the player's library start may open the capture file before
// this file's dynamic initialization would run.
constinit PretendDevice pretend;

// The capture file and its linear resampler, which runs across the blocks
// of one opening.
struct Capture {
  int fd = -1;
  uint32_t dataBytes = 0;
  bool writeFailed = false;
  bool havePrevious = false;
  int32_t previous = 0;  // the last frame of the previous block (index -1)
  int64_t position = 0;  // next output's source position, in 1/22050 frames
  int16_t out[65536] = {};  // large writes: a long text is hundreds of megabytes
  unsigned outCount = 0;
};

constinit Capture capture;

void putLe32(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16), p[3] = static_cast<uint8_t>(v >> 24);
}

bool writeAt(const void *bytes, size_t count, uint64_t offset) {
  const uint8_t *p = static_cast<const uint8_t *>(bytes);
  while (count > 0) {
    ssize_t r = ::pwrite(capture.fd, p, count, static_cast<off_t>(offset));
    if (r <= 0) {
      if (!capture.writeFailed) std::fprintf(stderr, "KALEVO_AUDIO: the capture file cannot be written.\n");
      capture.writeFailed = true;
      return false;
    }
    p += r, count -= static_cast<size_t>(r), offset += static_cast<uint64_t>(r);
  }
  return true;
}

void writeCaptureLengths() {
  uint8_t length[4];
  putLe32(length, 36 + capture.dataBytes);
  writeAt(length, 4, 4);
  putLe32(length, capture.dataBytes);
  writeAt(length, 4, 40);
}

void flushCapture() {
  // A WAV file cannot say more than 4 GB; what would not fit is dropped.
  uint64_t bytes = capture.outCount * 2ull;
  if (!capture.writeFailed && capture.dataBytes + bytes <= UINT32_MAX - CAPTURE_HEADER &&
      writeAt(capture.out, bytes, CAPTURE_HEADER + capture.dataBytes))
    capture.dataBytes += static_cast<uint32_t>(bytes);
  capture.outCount = 0;
}

int32_t frameAt(const PretendBlock &b, uint32_t frame) {
  if (b.bits == 8) {
    const uint8_t *p = b.data + frame * b.channels;
    int32_t left = (p[0] - 128) * 256;
    return b.channels == 2 ? (left + (p[1] - 128) * 256) / 2 : left;
  }
  const uint8_t *p = b.data + frame * 2u * b.channels;
  int32_t left = static_cast<int16_t>(p[0] | p[1] << 8);
  if (b.channels == 1) return left;
  return (left + static_cast<int16_t>(p[2] | p[3] << 8)) / 2;
}

void putCaptured(int32_t value) {
  capture.out[capture.outCount++] = static_cast<int16_t>(value);
  if (capture.outCount == sizeof capture.out / sizeof capture.out[0]) flushCapture();
}

// The library's own sound (8-bit mono at 11025 Hz) doubles exactly: each
// frame, then the point halfway to the next. The same values as the general
// loop below, without its divisions per sample.
void appendDoubled(const PretendBlock &b, uint32_t frames) {
  const uint8_t *d = b.data;
  int32_t a = (d[0] - 128) * 256;
  if (capture.position < 0) putCaptured(capture.previous + (a - capture.previous) / 2);
  for (uint32_t i = 0; i + 1 < frames; ++i) {
    int32_t next = (d[i + 1] - 128) * 256;
    putCaptured(a);
    putCaptured(a + (next - a) / 2);
    a = next;
  }
  putCaptured(a);
  capture.position = -static_cast<int64_t>(CAPTURE_RATE / 2);
  capture.previous = a;
}

// Appends the first bytes of a block, resampled to 22050 Hz.
void appendToCapture(const PretendBlock &b, uint32_t bytes) {
  uint32_t frameBytes = b.channels * (b.bits / 8u);
  uint32_t frames = bytes / frameBytes;
  if (capture.fd < 0 || frames == 0) return;
  if (!capture.havePrevious) {
    capture.havePrevious = true;
    capture.previous = frameAt(b, 0);
    capture.position = 0;
  }
  if (b.bits == 8 && b.channels == 1 && b.rate * 2 == CAPTURE_RATE &&
      (capture.position == 0 || capture.position == -static_cast<int64_t>(CAPTURE_RATE / 2))) {
    appendDoubled(b, frames);
    flushCapture();
    writeCaptureLengths();
    return;
  }
  for (;;) {
    int64_t i = capture.position >= 0 ? capture.position / CAPTURE_RATE : -1;
    int64_t fraction = capture.position - i * CAPTURE_RATE;
    if (i >= frames || (fraction != 0 && i + 1 >= frames)) break;
    int32_t a = i < 0 ? capture.previous : frameAt(b, static_cast<uint32_t>(i));
    int32_t value = a;
    if (fraction != 0) value = a + static_cast<int32_t>((frameAt(b, static_cast<uint32_t>(i + 1)) - a) * fraction / CAPTURE_RATE);
    capture.out[capture.outCount++] = static_cast<int16_t>(value);
    if (capture.outCount == sizeof capture.out / sizeof capture.out[0]) flushCapture();
    capture.position += b.rate;
  }
  capture.position -= static_cast<int64_t>(frames) * CAPTURE_RATE;
  capture.previous = frameAt(b, frames - 1);
  flushCapture();
  writeCaptureLengths();
}

uint64_t playTime(uint32_t bytes, uint32_t rate, uint16_t bits, uint16_t channels) {
  uint64_t perSecond = static_cast<uint64_t>(rate) * channels * (bits / 8u);
  return (static_cast<uint64_t>(bytes) * 1000 + perSecond - 1) / perSecond;
}

// Sends the notice of the block now at the head, when it is due.
void postHeadNotice() {
  const PretendBlock &b = pretend.ring[pretend.head];
  uint64_t now = consoleClock();
  if (b.end <= now) postConsoleMessage(MSG_WAVE_DONE, pretend.handle, b.ticket);
  else postConsoleMessageAfter(static_cast<unsigned>(b.end - now), MSG_WAVE_DONE, pretend.handle, b.ticket);
}

int pretendOpen(uint32_t rate, uint16_t bits, uint16_t channels, uintptr_t &handle, bool capturing) {
  if (!waveFormatPlayable(rate, bits, channels)) return WAVE_BAD_FORMAT;
  pretend.open = true;
  pretend.capturing = capturing;
  pretend.rate = rate, pretend.bits = bits, pretend.channels = channels;
  pretend.handle = handle = ++pretend.lastHandle;
  capture.havePrevious = false;
  return WAVE_OK;
}

int nullOpen(uint32_t rate, uint16_t bits, uint16_t channels, uintptr_t &handle) {
  return pretendOpen(rate, bits, channels, handle, false);
}

int captureOpen(uint32_t rate, uint16_t bits, uint16_t channels, uintptr_t &handle) {
  return pretendOpen(rate, bits, channels, handle, true);
}

bool pretendWrite(const uint8_t *data, uint32_t length, unsigned slot) {
  (void)slot;
  if (!pretend.open || pretend.count >= WAVE_BLOCK_COUNT) return false;
  // Only whole frames are played.
  length -= length % (pretend.channels * (pretend.bits / 8u));
  uint64_t now = consoleClock();
  PretendBlock &b = pretend.ring[(pretend.head + pretend.count) % WAVE_BLOCK_COUNT];
  b.data = data;
  b.length = b.played = length;
  b.ticket = ++pretend.lastTicket;
  b.start = pretend.freeAt > now ? pretend.freeAt : now;
  b.end = b.start + playTime(length, pretend.rate, pretend.bits, pretend.channels);
  b.rate = pretend.rate, b.bits = pretend.bits, b.channels = pretend.channels;
  pretend.freeAt = b.end;
  if (++pretend.count == 1) postHeadNotice();
  return true;
}

int pretendUnprepare(uintptr_t handle, uintptr_t block) {
  (void)handle;
  if (pretend.count == 0 || pretend.ring[pretend.head].ticket != block) return WAVE_NOTICE_STALE;
  const PretendBlock &b = pretend.ring[pretend.head];
  if (pretend.capturing) appendToCapture(b, b.played);
  pretend.head = (pretend.head + 1) % WAVE_BLOCK_COUNT;
  if (--pretend.count > 0) postHeadNotice();
  return WAVE_OK;
}

void pretendReset() {
  uint64_t now = consoleClock();
  for (unsigned k = 0; k < pretend.count; ++k) {
    PretendBlock &b = pretend.ring[(pretend.head + k) % WAVE_BLOCK_COUNT];
    uint32_t frameBytes = b.channels * (b.bits / 8u);
    if (now <= b.start) b.played = 0;
    else if (now < b.end)
      b.played = static_cast<uint32_t>((now - b.start) * b.length / (b.end - b.start)) / frameBytes * frameBytes;
    if (b.start > now) b.start = now;
    if (b.end > now) b.end = now;
  }
  pretend.freeAt = now;
  if (pretend.count > 0) postHeadNotice();
}

void pretendClose() { pretend.open = false; }

}  // namespace

bool startWaveCapture(const char *path) {
  if (capture.fd >= 0) return true;
  capture.fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (capture.fd < 0) {
    std::fprintf(stderr, "KALEVO_AUDIO: cannot write the capture file %s: playing without sound.\n", path);
    return false;
  }
  uint8_t header[CAPTURE_HEADER] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                    16,  0,   0,   0,   1, 0, 1, 0, 0,   0,   0,   0,   0,   0,   0,   0,
                                    2,   0,   16,  0,   'd', 'a', 't', 'a', 0, 0, 0, 0};
  putLe32(header + 24, CAPTURE_RATE);
  putLe32(header + 28, CAPTURE_RATE * 2);
  capture.dataBytes = 0;
  writeAt(header, sizeof header, 0);
  writeCaptureLengths();
  return true;
}

const WaveDevice nullWaveDevice = {"null", nullOpen, pretendWrite, pretendUnprepare, pretendReset, pretendClose};
const WaveDevice captureWaveDevice = {"capture", captureOpen, pretendWrite, pretendUnprepare, pretendReset,
                                      pretendClose};
