// What the generator records: the name of every key code, the game's prompts
// and the number words, with the file names the library looks for.
#pragma once

#include <string>
#include <vector>

namespace gravador {

struct NomeDeCodigo {
  std::string texto;  // UTF-8, as eSpeak should read it
  bool maiuscula;     // a capital letter: spoken higher, so it is told apart by ear
};

// A name for each byte 0..255; never empty.
NomeDeCodigo nomeDoCodigo(int codigo);

struct Aviso {
  std::string nome;   // sound name, the file is nome + ".wav"
  std::string texto;  // what is spoken; empty for the synthesized chime
};
const std::vector<Aviso> &avisos();

struct PalavraDeNumero {
  std::string palavra;  // as the number reader writes it (UTF-8)
  std::string fala;     // as eSpeak should read it
};
// Every word the number reader can produce, the feminine forms included.
const std::vector<PalavraDeNumero> &palavrasDeNumero();

// File base of a number word: "_" + the word with ã/õ as a/o, cut to 8 bytes,
// dezessete first shortened so it does not collide with dezesseis.
std::string baseDePalavra(const std::string &palavra);

}  // namespace gravador
