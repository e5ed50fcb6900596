#include "klfala.h"

#include "klconfig.h"
#include "klcrt.h"
#include "klprofile.h"

namespace {

std::string soundDirectory;
std::string lettersDirectory;
bool pendingFlag = true;
bool stopRequested = false;
bool stopOnKey = true;
int speed = 3;

void addSeparator(std::string &dir) {
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
}

// Sleeps until the next window message between tests of speechBusy.
void waitUntilNotBusy() {
  while (speechBusy()) waitMessage();
}

}  // namespace

void startSpeech(int requested, const std::string &directory) {
  if (requested < 1) requested = static_cast<int>(configInteger(configValue("TRADUTOR", "VELOCIDADE")));
  if (requested < 1 || requested > 5) requested = 3;
  speed = requested;
  soundDirectory = directory;
  addSeparator(soundDirectory);
  lettersDirectory = profileString("TRADUTOR", "DIRLETRAS", "c:\\zolkar\\som\\letras\\", "KALEVO.INI");
  addSeparator(lettersDirectory);
}

void endSpeech() {
  waitUntilNotBusy();
  stopSpeech();
}

void setStopOnKey(bool stop) { stopOnKey = stop; }

void waitPending() {
  if (!pendingFlag) return;
  waitUntilNotBusy();
  pendingFlag = false;
}

void playSound(const std::string &name) {
  waitPending();
  (void)name;  // no wave player in this build: nothing to hear
}

void speakChar(uint8_t c) {
  waitPending();
  (void)c;
}

uint8_t readKeySpoken() {
  uint8_t key = readKey();
  stopSpeech();
  speakChar(key);
  return key;
}

bool speechBusy() {
  if (keyPressed()) {
    stopSpeech();
    return false;
  }
  return false;
}

void stopSpeech() {
  stopRequested = true;
  postConsoleMessage(MSG_SPEECH_STOP, 0, 0);
}

const std::string &speechSoundDirectory() { return soundDirectory; }
const std::string &speechLettersDirectory() { return lettersDirectory; }
int speechSpeed() { return speed; }
