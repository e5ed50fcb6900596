// What the library knows beyond its C interface, for its tests, fuzz
// targets and the command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mbrola.h"  // ours, beside this file, whatever else is on the include path
#include "mbsintese.h"

// Where each phoneme of the last synthesised utterance landed, in samples at
// the output rate, counted from that utterance's first sample. Phonemes left
// out (duration <= 0) have no entry.
const std::vector<MbSpan> &mbrolaLastSpans();

// The loaded voice, or nullptr.
const MbVoz *mbrolaVoice();

// init_MBR from bytes in memory instead of a file.
int mbrolaInitFromMemory(const uint8_t *data, size_t size);
