// The sound card, through SDL's audio device.
//
// The device is opened in the data's own format (8-bit unsigned or 16-bit
// signed, mono or stereo, the data's rate) with a buffer of at most 512
// frames, so that a key stops the sound at once. Opening an audio stream
// costs tens of milliseconds, so a close only pauses the device; it is
// opened again only when the format changes.
//
// The audio callback pulls from a ring of the queued blocks (the player's
// pool slots, never copied) and posts the done notice of each block it has
// used up. The ring is shared with the callback under SDL's device lock.
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "klcrt.h"
#include "klwave.h"
#include "klwave_device.h"

namespace {

struct QueuedBlock {
  const uint8_t *data;
  uint32_t length;
  uint32_t used;
  unsigned slot;
};

struct SdlOutput {
  bool audioStarted = false, audioFailed = false;
  SDL_AudioDeviceID device = 0;
  uint32_t rate = 0;
  uint16_t bits = 0, channels = 0;
  uint8_t silence = 0;
  uint32_t frameBytes = 1;
  // Shared with the callback.
  QueuedBlock ring[WAVE_BLOCK_COUNT] = {};
  unsigned head = 0, count = 0;
};

constinit SdlOutput out;

// When the callback last began handing a block to the card.
std::atomic<int64_t> blockStartNanoseconds{0};

void SDLCALL pullBlocks(void *, Uint8 *stream, int length) {
  uint32_t wanted = length > 0 ? static_cast<uint32_t>(length) : 0;
  uint32_t at = 0;
  while (at < wanted && out.count > 0) {
    QueuedBlock &b = out.ring[out.head];
    if (b.used == 0)
      blockStartNanoseconds.store(
          std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
              .count(),
          std::memory_order_relaxed);
    uint32_t piece = b.length - b.used;
    if (piece > wanted - at) piece = wanted - at;
    std::memcpy(stream + at, b.data + b.used, piece);
    at += piece;
    b.used += piece;
    if (b.used == b.length) {
      postConsoleMessage(MSG_WAVE_DONE, out.device, b.slot);
      out.head = (out.head + 1) % WAVE_BLOCK_COUNT;
      --out.count;
    }
  }
  std::memset(stream + at, out.silence, wanted - at);
}

int sdlOpen(uint32_t rate, uint16_t bits, uint16_t channels, uintptr_t &handle) {
  if (!waveFormatPlayable(rate, bits, channels)) return WAVE_BAD_FORMAT;
  if (out.device && rate == out.rate && bits == out.bits && channels == out.channels) {
    handle = out.device;
    return WAVE_OK;
  }
  if (out.audioFailed) return WAVE_NO_DEVICE;
  if (!out.audioStarted) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      out.audioFailed = true;  // no sound output: every sound is skipped
      return WAVE_NO_DEVICE;
    }
    out.audioStarted = true;
  }
  if (out.device) {
    SDL_CloseAudioDevice(out.device);
    out.device = 0;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = static_cast<int>(rate);
  want.format = bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  want.channels = static_cast<Uint8>(channels);
  want.samples = rate <= 24000 ? 128 : 512;  // about 10 ms
  want.callback = pullBlocks;
  // SDL converts if the card wants another format; the buffer size is ours.
  SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!device) return WAVE_NO_DEVICE;
  out.device = device;
  out.rate = rate, out.bits = bits, out.channels = channels;
  out.silence = bits == 8 ? 128 : 0;
  out.frameBytes = channels * (bits / 8u);
  out.head = out.count = 0;
  handle = device;
  return WAVE_OK;
}

bool sdlWrite(const uint8_t *data, uint32_t length, unsigned slot) {
  if (!out.device) return false;
  SDL_LockAudioDevice(out.device);
  bool accepted = out.count < WAVE_BLOCK_COUNT;
  if (accepted) {
    // Only whole frames, or every later block would be out of step.
    out.ring[(out.head + out.count) % WAVE_BLOCK_COUNT] = {data, length - length % out.frameBytes, 0, slot};
    ++out.count;
  }
  SDL_UnlockAudioDevice(out.device);
  if (accepted) SDL_PauseAudioDevice(out.device, 0);
  return accepted;
}

// Every block gets exactly one notice, from the callback or from a reset.
int sdlUnprepare(uintptr_t, uintptr_t) { return WAVE_OK; }

void sdlReset() {
  if (!out.device) return;
  SDL_LockAudioDevice(out.device);
  for (; out.count > 0; --out.count) {
    postConsoleMessage(MSG_WAVE_DONE, out.device, out.ring[out.head].slot);
    out.head = (out.head + 1) % WAVE_BLOCK_COUNT;
  }
  SDL_UnlockAudioDevice(out.device);
  SDL_PauseAudioDevice(out.device, 1);
}

// What was already handed to the card still plays out.
void sdlClose() {
  if (out.device) SDL_PauseAudioDevice(out.device, 1);
}

}  // namespace

int64_t waveLastBlockStart() { return blockStartNanoseconds.load(std::memory_order_relaxed); }

const WaveDevice sdlWaveDevice = {"sdl", sdlOpen, sdlWrite, sdlUnprepare, sdlReset, sdlClose};
