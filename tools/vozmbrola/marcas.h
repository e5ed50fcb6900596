// Pitch marks: glottal pulses in voiced stretches, fixed 10 ms analysis
// points elsewhere, as the voice file stores them.
#pragma once

#include <cstdint>
#include <vector>

namespace vozmbrola {

constexpr uint32_t kVozeada = 0x80000000u;  // top bit of a mark: a glottal pulse
constexpr int kPassoSurdo = 160;            // 10 ms at 16 000 Hz

// The period, in samples, that dominates a voiced recording (a sustained
// vowel), searched between 70 and 400 Hz; 0 when nothing is voiced.
int periodoDominante(const std::vector<float> &x);

// Absolute mark positions, increasing, each with kVozeada when voiced.
// `periodo` is the voice's one period: the search stays near it.
std::vector<uint32_t> marcarPulsos(const std::vector<float> &x, int periodo);

}  // namespace vozmbrola
