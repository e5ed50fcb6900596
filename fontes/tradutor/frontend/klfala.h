// The speech front end's operations: start-up and shut-down, recordings by
// sound name, characters from their letter recordings, keys read and spoken.
#pragma once

#include <cstdint>
#include <string>

// Starts speech for the calling program. A speed below 1 takes VELOCIDADE
// from the configuration; soundDirectory is where playSound finds the
// program's own recordings. Ends the program when speech cannot start.
void startSpeech(int speed, const std::string &soundDirectory);

// Lets pending speech finish, then stops and releases everything.
void endSpeech();

// Whether a key press cuts a recording short.
void setStopOnKey(bool stop);

// The speed startSpeech uses for a requested one: below 1, VELOCIDADE of
// section TRADUTOR (a parse error goes unnoticed); outside 1 to 5, 3.
int speechSpeedFor(int requested);

// Reads the per-speed keys of section SINTETIZADOR (suffix = the speed) and
// hands them on: database name and cut settings to the diphone engine, two
// switches to the wave player, the three pauses to the text speaker.
void loadSpeedSettings(int speed);

// The pauses loaded by loadSpeedSettings (0 before).
struct SpeechPauses {
  int pointPause, commaPause, colonPause;  // ms
};
const SpeechPauses &speechPauses();

// Plays a wave image from memory and waits for its end.
void playBufferAndWait(const uint8_t *image, size_t size);

// Whether a stop was asked since the current text began (set by stopSpeech).
bool speechStopRequested();
void clearSpeechStopRequest();

// Plays the recording of a sound name and returns when it has ended.
void playSound(const std::string &name);

// Plays the letter recording of one character.
void speakChar(uint8_t c);

// Waits for a key, stops speech, speaks the key and returns it.
uint8_t readKeySpoken();

// False at once (after stopping speech) when a key is waiting; otherwise
// whether sound is still playing.
bool speechBusy();

// Stops what is sounding and wakes the console's message wait.
void stopSpeech();

// Waits, once, for speech started earlier to end.
void waitPending();

// The directories set by startSpeech (each ends in a separator unless empty).
const std::string &speechSoundDirectory();
const std::string &speechLettersDirectory();

// The speed chosen by startSpeech (1 to 5).
int speechSpeed();
