#include "arquivo.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include "estudio.h"
#include "fonemas.h"

namespace vozmbrola {

namespace {

void u16(std::string &s, uint32_t v) {
  s += static_cast<char>(v & 0xff);
  s += static_cast<char>((v >> 8) & 0xff);
}
void u32(std::string &s, uint32_t v) {
  u16(s, v & 0xffff);
  u16(s, v >> 16);
}
void fixo(std::string &s, std::string_view texto, size_t largura) {
  std::string campo(texto.substr(0, largura));
  campo.resize(largura, '\0');
  s += campo;
}

}  // namespace

void escreverVoz(const std::string &caminho, const std::string &nome, int alturaNominal,
                 const std::vector<Unidade> &unidades) {
  const size_t n = kFonemas.size();
  if (unidades.size() != n * n) throw std::runtime_error("the voice lacks diphones");
  uint32_t totalMarcas = 0, totalAmostras = 0;
  for (const Unidade &u : unidades) {
    totalMarcas += static_cast<uint32_t>(u.marcas.size());
    totalAmostras += static_cast<uint32_t>(u.amostras.size());
  }

  // The header's fields, the name whole, make 68 bytes.
  std::string s;
  s += "KLMBVOZ1";
  u32(s, 1);
  u32(s, kTaxa);
  u32(s, static_cast<uint32_t>(n));
  u32(s, static_cast<uint32_t>(unidades.size()));
  u32(s, totalMarcas);
  u32(s, totalAmostras);
  u16(s, static_cast<uint32_t>(alturaNominal));
  u16(s, 0);
  fixo(s, nome, 32);
  for (const Fonema &f : kFonemas) fixo(s, f.nome, 8);

  uint32_t amostra = 0, marca = 0;
  for (size_t i = 0; i < unidades.size(); ++i) {
    const Unidade &u = unidades[i];
    u16(s, static_cast<uint32_t>(i / n));
    u16(s, static_cast<uint32_t>(i % n));
    u32(s, amostra);
    u32(s, static_cast<uint32_t>(u.amostras.size()));
    u32(s, u.fronteira);
    u32(s, marca);
    u32(s, static_cast<uint32_t>(u.marcas.size()));
    amostra += static_cast<uint32_t>(u.amostras.size());
    marca += static_cast<uint32_t>(u.marcas.size());
  }
  for (const Unidade &u : unidades)
    for (uint32_t m : u.marcas) u32(s, m);
  for (const Unidade &u : unidades)
    for (float v : u.amostras)
      u16(s, static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767))));

  std::ofstream saida(caminho, std::ios::binary | std::ios::trunc);
  saida.write(s.data(), static_cast<std::streamsize>(s.size()));
  if (!saida.flush()) throw std::runtime_error("cannot write " + caminho);
}

}  // namespace vozmbrola
