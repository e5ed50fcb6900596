#include "kltexto.h"

#include <cstdlib>
#include <string>

#include "klconcat.h"
#include "klcrt.h"
#include "klfala.h"
#include "klnumeros.h"
#include "kltradutor.h"
#include "klwave.h"

namespace {

constexpr size_t CLICK_HEADER_SIZE = 44;
constexpr size_t CLICK_SAMPLES = 256;
constexpr size_t CLICK_NOISE_SAMPLES = 64;
// Numbers of more digits than this are spelled, like those with a hyphen.
constexpr size_t LONGEST_NUMBER = 6;
// The translator is handed at most this much of a run of words at once.
constexpr size_t LONGEST_WORD_RUN = 999;
// From this repeat on, a sign is heard as a click.
constexpr int REPEATS_BEFORE_CLICK = 3;

// A short burst of noise and silence. Its samples are drawn at library start
// from the runtime's generator, before any program seeds it.
uint8_t clickBuffer[CLICK_HEADER_SIZE + CLICK_SAMPLES];

bool drawClickSamples() {
  for (size_t i = 0; i < CLICK_SAMPLES; ++i)
    clickBuffer[CLICK_HEADER_SIZE + i] = static_cast<uint8_t>(i < CLICK_NOISE_SAMPLES ? 128 + std::rand() % 60 : 128);
  return true;
}
const bool clickDrawn = drawClickSamples();

TextPieceListener listener = nullptr;

bool isLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128; }
bool isWordChar(uint8_t c) { return c == ' ' || isLetter(c); }
bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

void waitUntilNotBusy() {
  while (speechBusy()) waitMessage();
}

std::string recordingName(uint8_t c) {
  std::string name(1, '_');
  return name.append(std::to_string(c));
}

void sayChar(uint8_t c) {
  std::string_view piece(reinterpret_cast<const char *>(&c), 1);
  if (listener) listener(TextPieceKind::Char, piece, recordingName(c));
  else speakChar(c);
}

void saySound(TextPieceKind kind, std::string_view piece, const char *name) {
  if (listener) listener(kind, piece, name);
  else playSound(name);
}

void sayNumber(std::string_view digits) {
  int32_t value = 0;
  for (char d : digits) value = value * 10 + (d - '0');
  std::string words = numberToWords(value);
  if (listener) listener(TextPieceKind::Number, digits, words);
  else speakNumberWords(words, false);
}

void sayWords(std::string_view words) {
  std::string phonetic = TranslateText(words.substr(0, LONGEST_WORD_RUN));
  if (listener) listener(TextPieceKind::Words, words, phonetic);
  else SpeakPhonetic(phonetic, false);
}

// The length of the piece at the front of text whose characters pass the test.
template <typename Test>
size_t frontRun(std::string_view text, Test test) {
  size_t n = 0;
  while (n < text.size() && test(static_cast<uint8_t>(text[n]))) ++n;
  return n;
}

}  // namespace

void setTextPieceListener(TextPieceListener l) { listener = l; }

std::string upperCaseLatin1(std::string_view text) {
  std::string upper(text);
  for (char &ch : upper) {
    uint8_t c = static_cast<uint8_t>(ch);
    if ((c >= 'a' && c <= 'z') || c >= 224) ch = static_cast<char>(c - 32);
  }
  return upper;
}

void pauseMs(int milliseconds) {
  if (listener) {
    if (milliseconds >= 50) listener(TextPieceKind::Pause, "", std::to_string(milliseconds / 50 * 50));
    return;
  }
  for (int i = 0; i < milliseconds / 50; ++i)
    if (!keyPressed()) delay(50);
}

void spellOut(std::string_view text) {
  for (char c : text) {
    if (keyPressed()) return;
    sayChar(static_cast<uint8_t>(c));
  }
}

void speakPunctuation(std::string_view text) {
  if (text.empty() || keyPressed()) return;
  if (!listener) waitUntilNotBusy();
  uint8_t sign = static_cast<uint8_t>(text[0]);
  sayChar(sign);
  bool spaceFollows = text.size() > 1 && text[1] == ' ';
  const SpeechPauses &pauses = speechPauses();
  switch (sign) {
    case '(': case ')': case ':': case ';':
      pauseMs(pauses.colonPause);
      break;
    case ',': case '-':
      if (spaceFollows) pauseMs(pauses.commaPause);
      break;
    case '.':
      if (spaceFollows) pauseMs(pauses.pointPause);
      break;
    default:
      break;
  }
}

void playClick() {
  if (listener) {
    listener(TextPieceKind::Click, "", "clique");
    return;
  }
  waitPending();
  bool periodCut = wavePeriodCut();
  setWavePeriodCut(false);  // the click is noise, not speech with periods
  writeWaveHeader(clickBuffer, CLICK_SAMPLES);
  playWaveBuffer(clickBuffer, sizeof clickBuffer);
  waitUntilNotBusy();
  setWavePeriodCut(periodCut);
}

void speakText(std::string_view original) {
  // No speech server in this build: the text is always spoken here.
  std::string buffer(original);
  buffer += ' ';
  std::string_view text = buffer;
  uint8_t lastSign = ' ';
  int repeats = 0;
  clearSpeechStopRequest();
  while (!speechStopRequested() && !text.empty()) {
    if (keyPressed()) {
      stopSpeech();
      return;
    }
    while (!text.empty() && text[0] == '0') {
      saySound(TextPieceKind::Zero, "0", "_zero");
      text.remove_prefix(1);
    }
    uint8_t first = text.empty() ? ' ' : static_cast<uint8_t>(text[0]);

    if (first >= '1' && first <= '9') {
      size_t n = frontRun(text, [](uint8_t c) { return isDigit(c) || c == '-'; });
      std::string_view number = text.substr(0, n);
      if (number.find('-') != std::string_view::npos || n > LONGEST_NUMBER) spellOut(number);
      else sayNumber(number);
      text.remove_prefix(n);
    } else if (!text.empty() && isWordChar(first)) {
      size_t n = frontRun(text, isWordChar);
      std::string_view words = text.substr(0, n);
      // The piece takes the blanks around a word with it (there is always
      // one at the end), so "www" is looked for without them.
      size_t from = words.find_first_not_of(' ');
      std::string_view bare;
      if (from != std::string_view::npos) bare = words.substr(from, words.find_last_not_of(' ') + 1 - from);
      if (upperCaseLatin1(bare) == "WWW") spellOut(bare);
      else sayWords(words);
      text.remove_prefix(n);
      // A hyphen inside a word is silent.
      if (text.size() >= 2 && text[0] == '-' && isLetter(static_cast<uint8_t>(text[1]))) text.remove_prefix(1);
    } else {
      uint8_t c = first;
      if (c == lastSign) {
        if (++repeats > REPEATS_BEFORE_CLICK) {
          playClick();
          c = ' ';
        }
      } else {
        repeats = 0;
        lastSign = c;
      }
      if (!text.empty() && text[0] == '-') {
        uint8_t next = text.size() > 2 ? static_cast<uint8_t>(text[1]) : ' ';
        if (next == ' ' || next == '-') speakPunctuation(text);
        else if (isDigit(next)) saySound(TextPieceKind::Minus, "-", "_MENOS");
        else sayChar('-');
      } else if (text.substr(0, 3) == "://") {
        spellOut(text.substr(0, 1));
      } else if (c == '(' || c == ')' || c == ',' || c == '.' || c == ':' || c == ';') {
        speakPunctuation(text);
      } else if (c == ' ' || c == '\t') {
        // blanks between pieces are not heard
      } else if (!keyPressed()) {
        sayChar(c);
      }
      if (!text.empty()) text.remove_prefix(1);
    }
  }
}
