#include "difones.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <stdexcept>

namespace gravador {

std::vector<Unidade> lerUnidades(const std::string &caminho) {
  std::ifstream f(caminho);
  if (!f) throw std::runtime_error("cannot read " + caminho);
  std::vector<Unidade> lista;
  std::set<std::string> vistos;
  std::string linha;
  for (int n = 1; std::getline(f, linha); ++n) {
    if (!linha.empty() && linha.back() == '\r') linha.pop_back();
    size_t i = linha.find_first_not_of(" \t");
    if (i == std::string::npos || linha[i] == '#') continue;
    size_t fimNome = linha.find_first_of(" \t", i);
    std::string nome = linha.substr(i, fimNome == std::string::npos ? std::string::npos : fimNome - i);
    std::string texto;
    if (fimNome != std::string::npos) {
      size_t t = linha.find_first_not_of(" \t", fimNome);
      if (t != std::string::npos) texto = linha.substr(t);
    }
    auto erro = [&](const std::string &porque) {
      return std::runtime_error(caminho + ":" + std::to_string(n) + ": " + porque);
    };
    if (nome.size() > 8) throw erro("unit name longer than 8 bytes");
    for (char &c : nome) {
      if (static_cast<unsigned char>(c) < 33 || static_cast<unsigned char>(c) > 126)
        throw erro("unit name must be printable ASCII");
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (texto.empty()) throw erro("unit without text");
    if (!vistos.insert(nome).second) throw erro("unit " + nome + " listed twice");
    lista.push_back({nome, texto});
  }
  return lista;
}

void gravarBanco(const std::string &base, std::vector<UnidadeGravada> unidades) {
  // Byte order with unsigned bytes and a prefix first: what std::string gives.
  std::sort(unidades.begin(), unidades.end(),
            [](const UnidadeGravada &a, const UnidadeGravada &b) { return a.nome < b.nome; });
  std::ofstream ind(base + ".IND", std::ios::binary | std::ios::trunc);
  std::ofstream dif(base + ".DIF", std::ios::binary | std::ios::trunc);
  uint32_t deslocamento = 0;
  for (const auto &u : unidades) {
    if (u.amostras.size() > 0xFFFF) throw std::runtime_error("unit " + u.nome + " is longer than 65535 samples");
    uint8_t reg[15] = {};
    reg[0] = static_cast<uint8_t>(u.nome.size());
    std::copy(u.nome.begin(), u.nome.end(), reg + 1);
    uint16_t tam = static_cast<uint16_t>(u.amostras.size());
    reg[9] = static_cast<uint8_t>(tam);
    reg[10] = static_cast<uint8_t>(tam >> 8);
    for (int i = 0; i < 4; ++i) reg[11 + i] = static_cast<uint8_t>(deslocamento >> (8 * i));
    ind.write(reinterpret_cast<const char *>(reg), 15);
    dif.write(reinterpret_cast<const char *>(u.amostras.data()), static_cast<std::streamsize>(u.amostras.size()));
    deslocamento += tam;
  }
  if (!ind || !dif) throw std::runtime_error("cannot write " + base + ".IND/.DIF");
}

}  // namespace gravador
