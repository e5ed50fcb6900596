// Diphone synthesis by pitch-synchronous overlap-add.
#pragma once

#include <cstdint>
#include <vector>

#include "mbvoz.h"

struct MbPitchPoint {
  float position;  // percent of the phoneme, 0..100
  float hertz;     // > 0
};

struct MbFone {
  int phoneme;     // index in the voice
  double ms;       // > 0
  std::vector<MbPitchPoint> pitch;
};

// Where a phoneme landed in the output, in samples at the voice's rate.
struct MbSpan {
  int64_t start;
  int64_t length;
  int64_t join;  // where its first diphone hands over to the second
};

// Renders an utterance (phonemes with positive durations) at the voice's
// rate, silence assumed before and after. out is replaced; its length is the
// sum of the durations, rounded once.
void mbRender(const MbVoz &voz, const std::vector<MbFone> &fones, std::vector<float> &out,
              std::vector<MbSpan> &spans);

// Resamples from rateIn to rateOut (band-limited; the length scales).
void mbResample(const std::vector<float> &in, int rateIn, int rateOut, std::vector<float> &out);
