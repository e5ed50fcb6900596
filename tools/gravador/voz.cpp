#include "voz.h"

#include <espeak-ng/speak_lib.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace gravador {

namespace {
// eSpeak hands the samples to a plain function; synthesis is synchronous,
// so one buffer for the utterance in progress is enough.
std::vector<int16_t> *destino = nullptr;

int recebe(short *amostras, int quantas, espeak_EVENT *) {
  if (amostras && destino) destino->insert(destino->end(), amostras, amostras + quantas);
  return 0;
}
}  // namespace

Voz::Voz() {
  taxa_ = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
  if (taxa_ <= 0) throw std::runtime_error("eSpeak NG could not start (is espeak-ng-data installed?)");
  espeak_SetSynthCallback(recebe);
  if (espeak_SetVoiceByName("pt-br") != EE_OK)
    throw std::runtime_error("eSpeak NG has no pt-br voice");
}

Voz::~Voz() { espeak_Terminate(); }

Som Voz::falar(const std::string &texto, const Entonacao &e) {
  espeak_SetParameter(espeakRATE, e.velocidade, 0);
  espeak_SetParameter(espeakPITCH, e.altura, 0);
  espeak_SetParameter(espeakRANGE, e.variacao, 0);
  std::vector<int16_t> amostras;
  destino = &amostras;
  espeak_ERROR r = espeak_Synth(texto.c_str(), texto.size() + 1, 0, POS_CHARACTER, 0,
                                espeakCHARS_UTF8 | espeakPHONEMES, nullptr, nullptr);
  destino = nullptr;
  if (r != EE_OK) throw std::runtime_error("eSpeak NG failed on \"" + texto + "\"");
  return reamostrar(amostras, taxa_);
}

}  // namespace gravador
