// The 23 entry points: phoneme text in, samples out. One voice, one queue of
// pending phonemes and one queue of samples per process.
#include "mbrola.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "mbinterno.h"
#include "mbsintese.h"
#include "mbvoz.h"

struct MbrPhone {
  char name[16];
  float duration;
  std::vector<MbPitchPoint> pitch;
};

namespace {

constexpr double MAX_DURATION_MS = 10000;
constexpr double MAX_PITCH = 1000;
constexpr double MIN_PITCH = 40;
constexpr size_t MAX_PHONE_POINTS = 4096;
// Past these an utterance is spoken without waiting for its "#".
constexpr size_t MAX_PENDING_PHONEMES = 20000;
constexpr double MAX_PENDING_MS = 600000;
constexpr const char *VERSION = "kalevo-mbrola 1.0, MBROLA-compatible diphone synthesizer";

bool voiceLoaded = false;
MbVoz voice;
int errorCode = MBR_ERR_NONE;
std::string errorText;
bool noErrorMode = false;
int outputRate = 0;  // 0: the voice's own
float volumeRatio = 1.0f;

std::string partialLine;
bool skippingLongLine = false;
std::vector<MbFone> pending;
double pendingMs = 0;
std::vector<int16_t> output;
size_t outputRead = 0;
std::vector<MbSpan> lastSpans;
bool parserSet = false;
MbrParser parser;

void setError(int code, const std::string &text) {
  errorCode = code;
  errorText = text;
}

int copyText(const std::string &text, char *buffer, int length) {
  if (!buffer || length <= 0) return 0;
  size_t n = std::min(text.size(), size_t(length - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return int(n);
}

int currentRate() { return outputRate > 0 ? outputRate : int(voice.sampleRate); }

void clearQueues() {
  partialLine.clear();
  skippingLongLine = false;
  pending.clear();
  pendingMs = 0;
  output.clear();
  outputRead = 0;
}

// A plain decimal: [+-]digits[.digits]. Locale-free on purpose.
bool parseNumber(const char *text, size_t length, double &value) {
  size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  double result = 0;
  size_t digits = 0;
  while (i < length && text[i] >= '0' && text[i] <= '9') result = result * 10 + (text[i++] - '0'), ++digits;
  if (i < length && text[i] == '.') {
    ++i;
    double scale = 0.1;
    while (i < length && text[i] >= '0' && text[i] <= '9') result += (text[i++] - '0') * scale, scale /= 10, ++digits;
  }
  if (digits == 0 || i != length) return false;
  value = negative ? -result : result;
  return true;
}

void render() {
  if (pending.empty()) return;
  std::vector<float> samples;
  mbRender(voice, pending, samples, lastSpans);
  int rate = currentRate();
  if (rate != int(voice.sampleRate)) {
    std::vector<float> resampled;
    mbResample(samples, int(voice.sampleRate), rate, resampled);
    samples.swap(resampled);
    double scale = double(rate) / voice.sampleRate;
    for (MbSpan &s : lastSpans) {
      int64_t end = std::llround(double(s.start + s.length) * scale);
      s.start = std::llround(double(s.start) * scale);
      s.length = end - s.start;
      s.join = std::llround(double(s.join) * scale);
    }
  }
  pending.clear();
  pendingMs = 0;
  if (outputRead > 0 && outputRead == output.size()) output.clear(), outputRead = 0;
  output.reserve(output.size() + samples.size());
  for (float x : samples) {
    float v = std::nearbyint(x * volumeRatio);
    output.push_back(int16_t(std::clamp(v, -32768.0f, 32767.0f)));
  }
}

// Queues one phoneme, after the range checks every source of phonemes gets.
void acceptPhone(const char *name, size_t nameLength, double ms, const std::vector<MbPitchPoint> &points) {
  std::string shown(name, std::min<size_t>(nameLength, 40));
  if (ms > MAX_DURATION_MS) {
    setError(MBR_ERR_RANGE, "duration out of range (above 10000 ms) for phoneme " + shown);
    return;
  }
  for (const MbPitchPoint &p : points)
    if (p.hertz > MAX_PITCH) {
      setError(MBR_ERR_RANGE, "pitch out of range (above 1000 Hz) for phoneme " + shown);
      return;
    }
  int phoneme = mbFindPhoneme(voice, name, nameLength);
  if (phoneme < 0) {
    if (!noErrorMode) {
      setError(MBR_ERR_PHONEME, "unknown phoneme " + shown + " (no diphone for it)");
      return;
    }
    phoneme = voice.silence;
  }
  if (!(ms > 0)) return;  // durations of 0 or less leave the phoneme out
  MbFone fone{phoneme, ms, {}};
  for (MbPitchPoint p : points) {
    if (!(p.hertz > 0)) continue;  // a pitch of 0 or less is no target
    p.hertz = std::max<float>(p.hertz, MIN_PITCH);
    if (!(p.position >= 0)) p.position = 0;  // NaN too
    if (p.position > 100) p.position = 100;
    fone.pitch.push_back(p);
  }
  pending.push_back(std::move(fone));
  pendingMs += ms;
  if (pending.size() >= MAX_PENDING_PHONEMES || pendingMs >= MAX_PENDING_MS) render();
}

void processLine(const char *line, size_t length) {
  const char *end = line + length;
  const char *comment = static_cast<const char *>(std::memchr(line, ';', length));
  if (comment) end = comment;
  std::vector<std::pair<const char *, size_t>> tokens;
  const char *p = line;
  while (p < end) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f')) ++p;
    const char *start = p;
    while (p < end && !(*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f')) ++p;
    if (p > start) tokens.emplace_back(start, size_t(p - start));
  }
  if (tokens.empty()) return;
  const char *name = tokens[0].first;
  size_t nameLength = tokens[0].second;
  std::string shown(name, std::min<size_t>(nameLength, 40));
  if (nameLength == 1 && name[0] == '#') {
    render();
    return;
  }
  if (tokens.size() < 2) {
    setError(MBR_ERR_SYNTAX, "phoneme " + shown + " without a duration");
    return;
  }
  double ms;
  if (!parseNumber(tokens[1].first, tokens[1].second, ms)) {
    setError(MBR_ERR_SYNTAX, "phoneme " + shown + ": duration is not a number");
    return;
  }
  if (tokens.size() % 2 != 0) {
    setError(MBR_ERR_SYNTAX, "phoneme " + shown + ": a pitch position without its frequency");
    return;
  }
  std::vector<MbPitchPoint> points;
  for (size_t i = 2; i + 1 < tokens.size(); i += 2) {
    double position, hertz;
    if (!parseNumber(tokens[i].first, tokens[i].second, position) ||
        !parseNumber(tokens[i + 1].first, tokens[i + 1].second, hertz)) {
      setError(MBR_ERR_SYNTAX, "phoneme " + shown + ": pitch point is not a pair of numbers");
      return;
    }
    points.push_back({float(std::clamp(position, -1.0, 101.0)), float(std::clamp(hertz, -1.0, 1e6))});
  }
  acceptPhone(name, nameLength, ms, points);
}

void pullFromParser() {
  for (int guard = 0; guard < 100000 && outputRead == output.size(); ++guard) {
    MbrPhone *phone = nullptr;
    int r = parser.next_phone ? parser.next_phone(parser.context, &phone) : 0;
    if (r == 1 && phone) {
      acceptPhone(phone->name, std::strlen(phone->name), phone->duration, phone->pitch);
      close_Phone(phone);
    } else if (r == 2) {
      render();
    } else {
      if (phone) close_Phone(phone);
      render();
      return;
    }
  }
}

int initVoice(const uint8_t *data, size_t size, const char *path) {
  close_MBR();
  resetError_MBR();
  std::string why;
  int code = MBR_ERR_VOICE_FORMAT;
  if (path) why = mbLoadVoiceFile(path, voice, code);
  else why = mbLoadVoice(data, size, voice);
  if (!why.empty()) {
    voice = MbVoz();
    setError(code, why);
    return -code;
  }
  voiceLoaded = true;
  return 0;
}

}  // namespace

const std::vector<MbSpan> &mbrolaLastSpans() { return lastSpans; }
const MbVoz *mbrolaVoice() { return voiceLoaded ? &voice : nullptr; }
int mbrolaInitFromMemory(const uint8_t *data, size_t size) { return initVoice(data, size, nullptr); }

extern "C" {

int init_MBR(const char *path) {
  if (!path) {
    close_MBR();
    setError(MBR_ERR_VOICE_OPEN, "no voice file named");
    return -MBR_ERR_VOICE_OPEN;
  }
  return initVoice(nullptr, 0, path);
}

int init_rename_MBR(const char *path, const char *rename, const char *clone) {
  int r = init_MBR(path);
  if (r < 0) return r;
  std::string why = mbRenamePhonemes(voice, rename, false);
  if (why.empty()) why = mbRenamePhonemes(voice, clone, true);
  if (!why.empty()) {
    close_MBR();
    setError(MBR_ERR_ARGUMENT, why);
    return -MBR_ERR_ARGUMENT;
  }
  return 0;
}

int write_MBR(const char *text) {
  if (!voiceLoaded) {
    setError(MBR_ERR_NO_VOICE, "no voice loaded");
    return -MBR_ERR_NO_VOICE;
  }
  if (!text) return 0;
  size_t length = std::strlen(text);
  const char *p = text, *end = text + length;
  while (p < end) {
    const char *newline = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
    const char *pieceEnd = newline ? newline : end;
    if (skippingLongLine) {
      if (newline) skippingLongLine = false;
    } else if (partialLine.size() + size_t(pieceEnd - p) > MBR_MAX_LINE) {
      setError(MBR_ERR_LINE_LENGTH, "phoneme line longer than 1048576 bytes ignored");
      partialLine.clear();
      skippingLongLine = newline == nullptr;
    } else if (newline && partialLine.empty()) {
      processLine(p, size_t(pieceEnd - p));
    } else {
      partialLine.append(p, pieceEnd);
      if (newline) {
        std::string line;
        line.swap(partialLine);
        processLine(line.data(), line.size());
      }
    }
    p = newline ? newline + 1 : end;
  }
  return int(std::min<size_t>(length, 0x7fffffff));
}

int flush_MBR(void) {
  if (!voiceLoaded) {
    setError(MBR_ERR_NO_VOICE, "no voice loaded");
    return -MBR_ERR_NO_VOICE;
  }
  if (!partialLine.empty()) {
    std::string line;
    line.swap(partialLine);
    processLine(line.data(), line.size());
  }
  skippingLongLine = false;
  render();
  return 0;
}

int read_MBR(short *buffer, int n) {
  if (!voiceLoaded) {
    setError(MBR_ERR_NO_VOICE, "no voice loaded");
    return -MBR_ERR_NO_VOICE;
  }
  if (!buffer || n <= 0) return 0;
  if (parserSet && outputRead == output.size()) pullFromParser();
  size_t available = output.size() - outputRead;
  size_t count = std::min(available, size_t(n));
  if (count > 0) std::memcpy(buffer, output.data() + outputRead, count * sizeof(short));
  outputRead += count;
  if (outputRead == output.size()) output.clear(), outputRead = 0;
  return int(count);
}

int readtype_MBR(void *buffer, int n, int type) {
  if (type < MBR_LIN16 || type > MBR_ALAW) {
    setError(MBR_ERR_ARGUMENT, "unknown sample type");
    return -MBR_ERR_ARGUMENT;
  }
  if (type == MBR_LIN16) return read_MBR(static_cast<short *>(buffer), n);
  if (!buffer || n <= 0) return voiceLoaded ? 0 : read_MBR(nullptr, 0);
  std::vector<short> linear(size_t(std::min(n, 1 << 20)));
  int got = read_MBR(linear.data(), int(linear.size()));
  uint8_t *bytes = static_cast<uint8_t *>(buffer);
  for (int i = 0; i < got; ++i) {
    int s = linear[i];
    if (type == MBR_LIN8) {
      bytes[i] = uint8_t((s >> 8) + 128);
    } else if (type == MBR_ULAW) {  // G.711 mu-law
      int sign = s < 0 ? 0x80 : 0;
      int magnitude = std::min(s < 0 ? -s : s, 32635) + 0x84;
      int exponent = 7;
      for (int mask = 0x4000; (magnitude & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
      int mantissa = (magnitude >> (exponent + 3)) & 0x0f;
      bytes[i] = uint8_t(~(sign | exponent << 4 | mantissa));
    } else {  // G.711 A-law
      int sign = s >= 0 ? 0x80 : 0;
      int magnitude = std::min(s < 0 ? -s - 1 : s, 32767) >> 3;
      int code;
      if (magnitude < 32) {
        code = magnitude >> 1;
      } else {
        int exponent = 1;
        while (magnitude >= (32 << exponent) && exponent < 7) ++exponent;
        code = exponent << 4 | ((magnitude >> exponent) & 0x0f);
      }
      bytes[i] = uint8_t((sign | code) ^ 0x55);
    }
  }
  return got;
}

void close_MBR(void) {
  voiceLoaded = false;
  voice = MbVoz();
  clearQueues();
  lastSpans.clear();
}

void reset_MBR(void) {
  clearQueues();
  resetError_MBR();
}

int lastError_MBR(void) { return errorCode; }

int lastErrorStr_MBR(char *buffer, int length) { return copyText(errorText, buffer, length); }

void resetError_MBR(void) {
  errorCode = MBR_ERR_NONE;
  errorText.clear();
}

void setNoError_MBR(int no_error) { noErrorMode = no_error != 0; }

int getNoError_MBR(void) { return noErrorMode ? 1 : 0; }

void setFreq_MBR(int frequency) {
  if (frequency == 0) outputRate = 0;
  else if (frequency >= 4000 && frequency <= 96000) outputRate = frequency;
  else setError(MBR_ERR_ARGUMENT, "output rate out of range (4000..96000 Hz)");
}

int getFreq_MBR(void) { return voiceLoaded ? currentRate() : outputRate; }

void setVolumeRatio_MBR(float ratio) {
  if (ratio >= 0 && ratio <= 100) volumeRatio = ratio;
  else setError(MBR_ERR_ARGUMENT, "volume ratio out of range (0..100)");
}

float getVolumeRatio_MBR(void) { return volumeRatio; }

int getVersion_MBR(char *buffer, int length) { return copyText(VERSION, buffer, length); }

int getDatabaseInfo_MBR(char *buffer, int length, int index) {
  if (!voiceLoaded) return -1;
  std::string text;
  switch (index) {
    case 0: text = voice.name + " (voice format KLMBVOZ1 version 1)"; break;
    case 1:
      text = std::to_string(voice.sampleRate) + " Hz, pitch " + std::to_string(voice.nominalPitch) + " Hz";
      break;
    case 2:
      text = std::to_string(voice.phonemes.size()) + " phonemes, " + std::to_string(voice.diphones.size()) +
             " diphones, " + std::to_string(voice.marks.size()) + " pitch marks, " +
             std::to_string(voice.samples.size()) + " samples";
      break;
    case 3:
      for (auto &entry : voice.names) text += (text.empty() ? "" : " ") + entry.first;
      break;
    default: return -1;
  }
  copyText(text, buffer, length);
  return int(text.size());
}

int setParser_MBR(const MbrParser *source) {
  clearQueues();
  parserSet = source != nullptr;
  if (source) parser = *source;
  return 0;
}

MbrPhone *init_Phone(const char *name, float duration) {
  if (!name || std::strlen(name) >= sizeof(MbrPhone::name)) return nullptr;
  MbrPhone *phone = new MbrPhone();
  std::strcpy(phone->name, name);
  phone->duration = duration;
  return phone;
}

void reset_Phone(MbrPhone *phone) {
  if (phone) phone->pitch.clear();
}

void close_Phone(MbrPhone *phone) { delete phone; }

int appendf0_Phone(MbrPhone *phone, float position, float frequency) {
  if (!phone || phone->pitch.size() >= MAX_PHONE_POINTS) return -1;
  phone->pitch.push_back({position, frequency});
  return int(phone->pitch.size());
}

}  // extern "C"
