#include "klfala.h"

#include <iostream>
#include <string>

#include "kldifone.h"
#include "klconfig.h"
#include "klcrt.h"
#include "klpath.h"
#include "klprofile.h"
#include "kltexto.h"
#include "klwave.h"

namespace {

std::string soundDirectory;
std::string lettersDirectory;
bool pendingFlag = true;
bool stopRequested = false;
int speed = 3;
SpeechPauses pauses = {0, 0, 0};

const char *const LINE_END = "\r\n";

void addSeparator(std::string &dir) {
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
}

// Sleeps until the next window message between tests of speechBusy.
void waitUntilNotBusy() {
  while (speechBusy()) waitMessage();
}

std::string speedKey(const char *name) { return name + std::to_string(speed); }

// An integer whose parse error is noticed: a value that is not wholly a
// number (an empty one too) gives the default.
int noticedInteger(const char *name, int fallback) {
  bool ok = false;
  long value = configInteger(configValue("SINTETIZADOR", speedKey(name)), &ok);
  return ok ? static_cast<int>(value) : fallback;
}

// An integer whose parse error goes unnoticed: what was read so far counts.
int unnoticedInteger(const char *name) {
  return static_cast<int>(configInteger(configValue("SINTETIZADOR", speedKey(name))));
}

void playRecording(const std::string &windowsPath) { playWaveFile(nativePath(windowsPath).c_str()); }

}  // namespace

void loadSpeedSettings(int requested) {
  speed = requested;
  std::string database = configValue("SINTETIZADOR", speedKey("DIFONES"));
  SetDiphoneDatabaseName(database.substr(0, 8));
  SetCutSettings(unnoticedInteger("CORTEFON"), noticedInteger("SOBRAFON", 0), noticedInteger("INTERPAL", 0));
  setWavePeriodCut(configYes(configValue("SINTETIZADOR", speedKey("CORTAFALA"))));
  setWaveFastRate(configYes(configValue("SINTETIZADOR", speedKey("RAPIDINHO"))));
  pauses.pointPause = noticedInteger("PAUSAPONTO", 250);
  pauses.commaPause = noticedInteger("PAUSAVIRG", 150);
  pauses.colonPause = noticedInteger("PAUSADOISPONTOS", 200);
}

int speechSpeedFor(int requested) {
  if (requested < 1) requested = static_cast<int>(configInteger(configValue("TRADUTOR", "VELOCIDADE")));
  if (requested < 1 || requested > 5) requested = 3;
  return requested;
}

void startSpeech(int requested, const std::string &directory) {
  loadSpeedSettings(speechSpeedFor(requested));

  int result = StartDiphoneEngine();
  if (result != 0) {
    std::cout << "Erro de inicializa\xe7\xe3o: " << result << LINE_END;
    std::cout << "Banco de dados de voz: " << DiphoneSettings().databaseName << LINE_END;
    CloseDiphoneEngine();
    uint8_t line[CONSOLE_LINE_CAPACITY];
    readLine(line);
    closeConsole();
  }

  setMessageBoxSpeaker([](const std::string &text) { speakText(text); });
  soundDirectory = directory;
  addSeparator(soundDirectory);
  lettersDirectory = profileString("TRADUTOR", "DIRLETRAS", "c:\\zolkar\\som\\letras\\", "KALEVO.INI");
  addSeparator(lettersDirectory);
}

void endSpeech() {
  setMessageBoxSpeaker(nullptr);
  waitUntilNotBusy();
  stopSpeech();
  CloseDiphoneEngine();
}

void setStopOnKey(bool stop) { setWaveStopOnKey(stop); }

void waitPending() {
  if (!pendingFlag) return;
  waitUntilNotBusy();
  pendingFlag = false;
}

void playSound(const std::string &name) {
  waitPending();
  if (!name.empty() && name[0] == '_') playRecording(lettersDirectory + name + ".wav");
  else playRecording(soundDirectory + name + ".wav");
}

void speakChar(uint8_t c) {
  waitPending();
  // The directory and the underscore together are limited to 145 characters.
  std::string base = DiphoneLettersDirectory() + "_";
  if (base.size() > 145) base.resize(145);
  playRecording(base + std::to_string(c) + ".wav");
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
  return waveBusy();
}

void stopSpeech() {
  stopWave();
  stopRequested = true;
  postConsoleMessage(MSG_SPEECH_STOP, 0, 0);
}

void playBufferAndWait(const uint8_t *image, size_t size) {
  waitPending();
  playWaveBuffer(image, size);
  waitUntilNotBusy();
}

const SpeechPauses &speechPauses() { return pauses; }
bool speechStopRequested() { return stopRequested; }
void clearSpeechStopRequest() { stopRequested = false; }
const std::string &speechSoundDirectory() { return soundDirectory; }
const std::string &speechLettersDirectory() { return lettersDirectory; }
int speechSpeed() { return speed; }
