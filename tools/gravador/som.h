// Sound handling of the recording generator: everything works on float samples
// in -1..1 and ends as the 8-bit unsigned 11 025 Hz mono the library plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gravador {

using Som = std::vector<float>;

constexpr int kTaxaSaida = 11025;

// 16-bit samples at `taxaEntrada` Hz to float samples at 11 025 Hz.
Som reamostrar(const std::vector<int16_t> &amostras, int taxaEntrada);

// Cuts what lies below `limiar` (a fraction of the peak) at both ends,
// keeping `margemMs` of it, and fades the new edges so they do not click.
Som aparar(const Som &som, float limiar = 0.03f, int margemMs = 8);

// Scales to a common loudness: the RMS of the loud part goes to `alvoRms`
// unless that would push the peak past `tetoPico`.
Som normalizar(const Som &som, float alvoRms = 0.19f, float tetoPico = 0.97f);

Som silencio(int ms);
void juntar(Som &destino, const Som &origem);

// The game's chime: two bright bell tones, the second a fifth above.
Som sintetizarPlim();
// One tongue click, the "tsc" of a disappointed speaker.
Som sintetizarEstalo(uint32_t semente);

std::vector<uint8_t> paraOitoBits(const Som &som);

// The canonical 44-byte RIFF header of 8-bit mono 11 025 Hz PCM.
std::vector<uint8_t> cabecalhoWav(uint32_t bytesDados);

// Writes the header and the samples; throws std::runtime_error when it cannot.
void gravarWav(const std::string &caminho, const std::vector<uint8_t> &amostras);

}  // namespace gravador
