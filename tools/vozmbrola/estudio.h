// eSpeak NG as the recording studio: renders phoneme strings in the pt-br
// voice at one flat pitch and reports where each phoneme starts, at 16 000 Hz.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vozmbrola {

constexpr int kTaxa = 16000;

struct FonemaOuvido {
  std::string nome;   // eSpeak's mnemonic
  size_t inicio = 0;  // first sample
  size_t fim = 0;     // one past the last sample
};

struct Portadora {
  std::vector<float> amostras;       // -1..1 at kTaxa
  std::vector<FonemaOuvido> fonemas;  // pauses and eSpeak's ";" marks left out
};

// Starts eSpeak NG with phoneme events; throws std::runtime_error on failure.
void abrirEstudio();
void fecharEstudio();

// `fonemas` is eSpeak phoneme input without the brackets.
Portadora gravarPortadora(const std::string &fonemas);

}  // namespace vozmbrola
