// The diphone database: a list of units read from a text file, each rendered
// by the voice, written as the sorted index (.IND) and the raw samples (.DIF).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gravador {

struct Unidade {
  std::string nome;   // 1..8 bytes, stored upper case
  std::string texto;  // eSpeak input that renders it
};

// Lines "NAME text...": blank lines and lines starting with # are skipped.
// Throws std::runtime_error naming the line when a name is unusable.
std::vector<Unidade> lerUnidades(const std::string &caminho);

struct UnidadeGravada {
  std::string nome;
  std::vector<uint8_t> amostras;
};

// Sorts by name in byte order and writes base + ".IND" and base + ".DIF".
void gravarBanco(const std::string &base, std::vector<UnidadeGravada> unidades);

}  // namespace gravador
