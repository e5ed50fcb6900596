// mbrola [-e] [-v VOLUME] VOICE INPUT OUTPUT
// Reads phoneme lines from INPUT ("-": standard input) and writes a WAV file,
// or with OUTPUT "-" or "-.wav" a stream on standard output the way eSpeak NG
// drives it: the first "#" is answered with one 44-byte WAV header, each
// later "#" with the raw 16-bit samples of everything written before it.
// SIGUSR1 throws away whatever is pending. When idle the program sits in a
// read of its input, which is how eSpeak NG tells that a request is done.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mbrola.h"

namespace {

volatile sig_atomic_t cancelRequested = 0;

void onCancel(int) { cancelRequested = 1; }

struct Options {
  bool noError = false;
  float volume = 1.0f;
  const char *voice = nullptr;
  const char *input = nullptr;
  const char *output = nullptr;
};

int inputFd = 0;
int outputFd = 1;
bool streaming = false;     // standard output, eSpeak NG's way
bool headerWritten = false;
uint64_t dataBytes = 0;

void usage() {
  std::fprintf(stderr,
               "usage: mbrola [-e] [-v VOLUME] VOICE INPUT OUTPUT\n"
               "  INPUT   phoneme file, or - for standard input\n"
               "  OUTPUT  WAV file, or - / -.wav for a stream on standard output\n"
               "  -e      unknown phonemes are spoken as silence, errors are not fatal\n"
               "  -v      volume ratio (1.0: as recorded)\n");
}

bool parseVolume(const char *text, float &volume) {
  char *end = nullptr;
  double v = std::strtod(text, &end);  // the command runs in the C locale
  if (!end || *end || end == text || !(v >= 0) || v > 100) return false;
  volume = float(v);
  return true;
}

void put32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

void makeHeader(uint8_t *h, uint32_t rate, uint32_t dataSize, uint32_t riffSize) {
  std::memcpy(h, "RIFF", 4);
  put32(h + 4, riffSize);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put32(h + 16, 16);
  h[20] = 1, h[21] = 0;  // PCM
  h[22] = 1, h[23] = 0;  // one channel
  put32(h + 24, rate);
  put32(h + 28, rate * 2);
  h[32] = 2, h[33] = 0;
  h[34] = 16, h[35] = 0;
  std::memcpy(h + 36, "data", 4);
  put32(h + 40, dataSize);
}

// Writes everything; false when the reader went away or the disk failed.
// A cancel in the middle stops the rest but keeps the stream on whole samples.
bool writeAll(const uint8_t *data, size_t size, bool cancellable) {
  size_t done = 0;
  while (done < size) {
    if (cancellable && cancelRequested && done % 2 == 0) return true;
    ssize_t n = write(outputFd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

bool writeHeaderOnce() {
  if (headerWritten) return true;
  headerWritten = true;
  uint8_t h[44];
  if (streaming) makeHeader(h, uint32_t(getFreq_MBR()), 0x7fffffff, 0x7fffffff);
  else makeHeader(h, uint32_t(getFreq_MBR()), 0, 36);
  return writeAll(h, sizeof h, false);
}

bool drainSamples() {
  static std::vector<short> samples(16000);
  int n;
  while ((n = read_MBR(samples.data(), int(samples.size()))) > 0) {
    if (cancelRequested) continue;  // read on to empty the queue
    if (!writeAll(reinterpret_cast<const uint8_t *>(samples.data()), size_t(n) * 2, true)) return false;
    dataBytes += uint64_t(n) * 2;
  }
  return true;
}

void cancelPending(std::string &partial) {
  cancelRequested = 0;
  reset_MBR();
  partial.clear();
}

// Reports an error of the library; true when the program must stop.
bool reportError(const Options &options) {
  if (lastError_MBR() == MBR_ERR_NONE) return false;
  char text[512];
  lastErrorStr_MBR(text, sizeof text);
  std::fprintf(stderr, "mbrola: %s\n", text);
  resetError_MBR();
  return !options.noError;
}

bool isFlushLine(const std::string &line) {
  size_t end = line.find(';');
  if (end == std::string::npos) end = line.size();
  size_t first = line.find_first_not_of(" \t\r\n", 0);
  if (first == std::string::npos || first >= end) return false;
  if (line[first] != '#') return false;
  size_t rest = line.find_first_not_of(" \t\r\n", first + 1);
  return rest == std::string::npos || rest >= end;
}

void finishFile() {
  if (streaming) return;
  uint8_t h[44];
  uint32_t data = dataBytes > 0xffffffffu - 36 ? 0xffffffffu - 36 : uint32_t(dataBytes);
  makeHeader(h, uint32_t(getFreq_MBR()), data, data + 36);
  if (pwrite(outputFd, h, sizeof h, 0) != ssize_t(sizeof h)) std::fprintf(stderr, "mbrola: cannot finish the WAV file\n");
}

}  // namespace

int main(int argc, char **argv) {
  Options options;
  std::vector<const char *> positional;
  for (int i = 1; i < argc; ++i) {
    const char *a = argv[i];
    if (std::strcmp(a, "-e") == 0) {
      options.noError = true;
    } else if (std::strcmp(a, "-v") == 0 || std::strncmp(a, "-v", 2) == 0) {
      const char *value = a[2] ? a + 2 : (i + 1 < argc ? argv[++i] : nullptr);
      if (!value || !parseVolume(value, options.volume)) {
        std::fprintf(stderr, "mbrola: bad volume ratio\n");
        return 2;
      }
    } else if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
      usage();
      return 0;
    } else if (a[0] == '-' && a[1] != 0 && std::strcmp(a, "-.wav") != 0) {
      std::fprintf(stderr, "mbrola: unknown option %s\n", a);
      usage();
      return 2;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 3) {
    usage();
    return 2;
  }
  options.voice = positional[0];
  options.input = positional[1];
  options.output = positional[2];

  struct sigaction action {};
  action.sa_handler = onCancel;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked read must wake up
  sigaction(SIGUSR1, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (init_MBR(options.voice) < 0) {
    char text[512];
    lastErrorStr_MBR(text, sizeof text);
    std::fprintf(stderr, "mbrola: %s\n", text);
    return 1;
  }
  setNoError_MBR(options.noError ? 1 : 0);
  setVolumeRatio_MBR(options.volume);

  if (std::strcmp(options.input, "-") != 0) {
    inputFd = open(options.input, O_RDONLY | O_CLOEXEC);
    if (inputFd < 0) {
      std::fprintf(stderr, "mbrola: cannot open %s: %s\n", options.input, std::strerror(errno));
      return 1;
    }
  }
  streaming = std::strcmp(options.output, "-") == 0 || std::strcmp(options.output, "-.wav") == 0;
  if (!streaming) {
    outputFd = open(options.output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (outputFd < 0) {
      std::fprintf(stderr, "mbrola: cannot create %s: %s\n", options.output, std::strerror(errno));
      return 1;
    }
    if (!writeHeaderOnce()) {
      std::fprintf(stderr, "mbrola: cannot write %s\n", options.output);
      return 1;
    }
  }

  std::string partial;
  char chunk[8192];
  for (;;) {
    ssize_t got = read(inputFd, chunk, sizeof chunk);
    if (cancelRequested) cancelPending(partial);
    if (got < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "mbrola: cannot read the phonemes: %s\n", std::strerror(errno));
      return 1;
    }
    if (got == 0) break;
    const char *p = chunk, *end = chunk + got;
    while (p < end) {
      const char *newline = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
      if (!newline) {
        if (partial.size() < MBR_MAX_LINE + 2) partial.append(p, end);
        break;
      }
      partial.append(p, newline + 1);
      p = newline + 1;
      std::string line;
      line.swap(partial);
      write_MBR(line.c_str());
      if (reportError(options)) return 1;
      if (isFlushLine(line)) {
        if (!writeHeaderOnce() || !drainSamples()) return streaming ? 0 : 1;
      }
      if (cancelRequested) {
        cancelPending(partial);
        break;  // the rest of this chunk came before the cancel
      }
    }
  }
  if (!partial.empty()) write_MBR(partial.c_str());
  flush_MBR();
  if (reportError(options)) return 1;
  if (!writeHeaderOnce() || !drainSamples()) return streaming ? 0 : 1;
  finishFile();
  if (!streaming) close(outputFd);
  return 0;
}
