#include "estudio.h"

#include <espeak-ng/speak_lib.h>
#include <samplerate.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace vozmbrola {

namespace {

int taxaEspeak = 0;
// Synthesis is synchronous: the callback fills the utterance in progress.
std::vector<int16_t> bruto;
struct Marco {
  std::string nome;
  size_t amostra;
};
std::vector<Marco> marcos;

int recebe(short *amostras, int quantas, espeak_EVENT *eventos) {
  for (espeak_EVENT *e = eventos; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type != espeakEVENT_PHONEME) continue;
    // `sample` is the exact position; audio_position (ms) backs it up.
    size_t pos = e->sample > 0 ? static_cast<size_t>(e->sample)
                               : static_cast<size_t>(e->audio_position) * taxaEspeak / 1000;
    marcos.push_back({std::string(e->id.string, strnlen(e->id.string, sizeof e->id.string)), pos});
  }
  if (amostras && quantas > 0) bruto.insert(bruto.end(), amostras, amostras + quantas);
  return 0;
}

bool pausa(const std::string &n) { return n.empty() || n[0] == '_'; }

}  // namespace

void abrirEstudio() {
  taxaEspeak = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                 espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
  if (taxaEspeak <= 0) throw std::runtime_error("eSpeak NG could not start (is espeak-ng-data installed?)");
  espeak_SetSynthCallback(recebe);
  // The f1 variant: a woman's voice near the pitches our clients ask for,
  // with little flutter and no echo that would smear across the cuts.
  if (espeak_SetVoiceByName("pt-br+f1") != EE_OK && espeak_SetVoiceByName("pt-br") != EE_OK)
    throw std::runtime_error("eSpeak NG has no pt-br voice");
  espeak_SetParameter(espeakRATE, 140, 0);
  espeak_SetParameter(espeakPITCH, 50, 0);
  espeak_SetParameter(espeakRANGE, 0, 0);  // monotone: every unit at one pitch
  espeak_SetParameter(espeakVOLUME, 100, 0);
}

void fecharEstudio() { espeak_Terminate(); }

Portadora gravarPortadora(const std::string &fonemas) {
  bruto.clear();
  marcos.clear();
  std::string texto = "[[" + fonemas + "]]";
  if (espeak_Synth(texto.c_str(), texto.size() + 1, 0, POS_CHARACTER, 0,
                   espeakCHARS_UTF8 | espeakPHONEMES, nullptr, nullptr) != EE_OK)
    throw std::runtime_error("eSpeak NG failed on " + texto);

  Portadora p;
  std::vector<float> entrada(bruto.size());
  src_short_to_float_array(bruto.data(), entrada.data(), static_cast<int>(bruto.size()));
  double razao = static_cast<double>(kTaxa) / taxaEspeak;
  p.amostras.resize(static_cast<size_t>(std::ceil(entrada.size() * razao)) + 16);
  SRC_DATA d{};
  d.data_in = entrada.data();
  d.input_frames = static_cast<long>(entrada.size());
  d.data_out = p.amostras.data();
  d.output_frames = static_cast<long>(p.amostras.size());
  d.src_ratio = razao;
  if (int erro = src_simple(&d, SRC_SINC_MEDIUM_QUALITY, 1))
    throw std::runtime_error(std::string("libsamplerate: ") + src_strerror(erro));
  p.amostras.resize(static_cast<size_t>(d.output_frames_gen));

  auto emSaida = [&](size_t a) { return std::min(p.amostras.size(), static_cast<size_t>(std::lround(a * razao))); };
  for (size_t i = 0; i < marcos.size(); ++i) {
    const Marco &m = marcos[i];
    size_t fim = i + 1 < marcos.size() ? marcos[i + 1].amostra : bruto.size();
    if (m.nome == ";") {  // palatal mark after i: part of the phoneme before it
      if (!p.fonemas.empty()) p.fonemas.back().fim = emSaida(fim);
      continue;
    }
    if (pausa(m.nome)) continue;
    p.fonemas.push_back({m.nome, emSaida(m.amostra), emSaida(fim)});
  }
  return p;
}

}  // namespace vozmbrola
