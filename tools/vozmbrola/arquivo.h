// Writes the voice file of our MBROLA-compatible synthesizer
// (layout in fontes/mbrola/VOZ.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vozmbrola {

struct Unidade {
  std::vector<float> amostras;   // -1..1, from the middle of the left phoneme to the middle of the right one
  uint32_t fronteira = 0;        // where the right phoneme begins
  std::vector<uint32_t> marcas;  // offsets within the unit, kVozeada on pulses
};

// `unidades` holds every ordered pair, left phoneme major, in the inventory's
// order. Throws std::runtime_error when the file cannot be written.
void escreverVoz(const std::string &caminho, const std::string &nome, int alturaNominal,
                 const std::vector<Unidade> &unidades);

}  // namespace vozmbrola
