// klwave: the wave player. Plays PCM sound from RIFF wave files and RIFF
// wave images in memory, streamed to the sound device in up to four queued
// blocks of at most 65534 bytes from a pool allocated once.
//
// Everything runs on the console's thread: the device's done notices
// (message 957) are handled by blockDone only while that thread processes
// messages (waveBusy, stopWave, delay and the console's waits).
//
// The output is chosen by KALEVO_AUDIO at first use: "sdl" (the sound card;
// the default, except with the headless display, whose virtual clock cannot
// wait for a real device: there "null" is), "null" (no sound; blocks end
// after their play time), "capture:FILE" (like null, and everything played is
// appended to FILE as 16-bit mono 22050 Hz WAV).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t WAVE_BLOCK_SIZE = 65534;
constexpr unsigned WAVE_BLOCK_COUNT = 4;

// Plays a RIFF wave file and waits for its end. 0: played (or nothing, for a
// waiting key with stopOnKey on, or an empty data chunk); -1: the file cannot
// be opened, is not a RIFF wave with "fmt " right after the RIFF header, or
// ended early; another value: the device-open error (low 16 bits).
int playWaveFile(const char *path);

// Queues the samples of a RIFF wave image of size bytes and returns at once;
// callers wait with waveBusy. An invalid image plays nothing.
void playWaveBuffer(const uint8_t *image, size_t size);

// Finds the format record and the data chunk of a RIFF wave image of size
// bytes, never looking past its end. totalLength is the data end's offset
// from the image start. A data chunk longer than the image is cut to it.
bool parseWaveBuffer(const uint8_t *image, size_t size, const uint8_t *&format, const uint8_t *&data,
                     uint32_t &dataLength, uint32_t &totalLength);

// Queues length bytes of samples; returns 0, or the device-open error (low
// 16 bits), once the last block is queued. The samples are not changed.
int playPcm(const uint8_t *data, uint32_t length, uint32_t rate, uint16_t bits, uint16_t channels);

// True while blocks are queued; closes an idle device.
bool waveBusy();
// Stops the sound, discards what is queued and closes the device.
void stopWave();
// The done-notice handler (message 957), registered with the console.
void blockDone(uintptr_t device, uintptr_t block);

// Drops about every other pitch period of mono speech, in place; 16-bit
// samples become 8-bit unsigned first. Returns the new length in bytes.
uint32_t cutPeriods(uint8_t *bytes, uint32_t n, uint16_t bits, uint32_t rate);

// The switches.
void setWaveStopOnKey(bool on);   // a waiting key stops the sound (initially on)
void setWaveFastRate(bool on);    // the device runs at 1.5 times the rate (initially off)
void setWavePeriodCut(bool on);   // mono speech goes through cutPeriods (initially off)
bool waveStopOnKey();
bool waveFastRate();
bool wavePeriodCut();

// What the player is doing, for tests and tools.
struct WaveStatus {
  unsigned queuedCount;      // blocks handed to the device and not yet returned
  bool deviceOpen;
  unsigned deviceOpens;      // successful openings since the start
  uint32_t rate;             // the device format (all 0 before the first open)
  uint16_t bits, channels;
};
WaveStatus waveStatus();

// When the sound card's callback last began handing a block over, in
// nanoseconds of std::chrono::steady_clock (0 before the first); for the
// latency benchmarks.
int64_t waveLastBlockStart();

// The sound log (KALEVO_SOUND_LOG=FILE): one line a sound started, flushed.
void logSoundStarted(const char *line);
void logToneStarted(unsigned frequency);  // "tone F"
