// The narrow interface between the wave player's queueing model (klwave.cpp)
// and an audio output. One file a backend: klwave_sdl.cpp (the sound card),
// klwave_null.cpp (the null and capture devices, which only pretend to play).
//
// A device plays the blocks it is given one after the other, in order, and
// reports each finished block with a done notice: window message 957 posted
// to the console, param1 = the device handle, param2 = the block's id. The
// player's blockDone hands both back to unprepare.
#pragma once

#include <cstddef>
#include <cstdint>

// Results of open and unprepare, the waveform-audio codes the player knows.
enum : int {
  WAVE_OK = 0,
  WAVE_NO_DEVICE = 2,        // MMSYSERR_BADDEVICEID: no sound output at all
  WAVE_ALLOCATED = 4,        // MMSYSERR_ALLOCATED: busy elsewhere, worth retrying
  WAVE_INVALID_HANDLE = 5,   // MMSYSERR_INVALHANDLE
  WAVE_NO_DRIVER = 6,        // MMSYSERR_NODRIVER
  WAVE_NO_MEMORY = 7,        // MMSYSERR_NOMEM
  WAVE_BAD_FORMAT = 32,      // WAVERR_BADFORMAT
  WAVE_STILL_PLAYING = 33,   // WAVERR_STILLPLAYING
  // unprepare only: a second notice for a block already returned (a reset
  // returns blocks at once; the notice the device had on its way still comes).
  WAVE_NOTICE_STALE = -1,
};

struct WaveDevice {
  const char *name;
  // Opens the output in the data's own format; handle identifies this
  // opening in the notices. Returns WAVE_OK or an error code.
  int (*open)(uint32_t rate, uint16_t bits, uint16_t channels, uintptr_t &handle);
  // Queues a block; data stays valid until its done notice has been handled.
  // False when the device refuses it (no notice will come).
  bool (*write)(const uint8_t *data, uint32_t length, unsigned slot);
  // Takes back a block named by a done notice (see WAVE_NOTICE_STALE).
  int (*unprepare)(uintptr_t handle, uintptr_t block);
  // Discards the queued blocks; each still gets its done notice, posted at once.
  void (*reset)();
  void (*close)();
};

extern const WaveDevice sdlWaveDevice;
extern const WaveDevice nullWaveDevice;
extern const WaveDevice captureWaveDevice;

// The capture device's file (from KALEVO_AUDIO=capture:FILE); false when it
// cannot be written (a message is then on stderr).
bool startWaveCapture(const char *path);

// Sanity bounds of a playable format, the same for every backend.
inline bool waveFormatPlayable(uint32_t rate, uint16_t bits, uint16_t channels) {
  return rate >= 1000 && rate <= 384000 && (bits == 8 || bits == 16) && (channels == 1 || channels == 2);
}
