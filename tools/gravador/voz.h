// One eSpeak NG instance with the Brazilian Portuguese voice, used
// synchronously: each call returns the whole utterance at 11 025 Hz.
#pragma once

#include <string>

#include "som.h"

namespace gravador {

struct Entonacao {
  int velocidade = 175;  // words a minute
  int altura = 50;       // base pitch, 0..100
  int variacao = 50;     // pitch range, 0..100
};

class Voz {
 public:
  Voz();  // throws std::runtime_error when eSpeak or the voice is missing
  ~Voz();
  Voz(const Voz &) = delete;
  Voz &operator=(const Voz &) = delete;

  // `texto` is UTF-8; a part between [[ and ]] is read as eSpeak phonemes.
  Som falar(const std::string &texto, const Entonacao &entonacao);

 private:
  int taxa_;
};

}  // namespace gravador
