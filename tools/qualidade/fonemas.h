// A common phoneme alphabet for comparing the diphone translator's phonetic
// strings with eSpeak NG's phonemes (espeak-ng -x): both are read into the
// same tokens and the same allophonic details are evened out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qualidade {

// One phoneme: a vowel a e E i o O u (E, O open; glides are i and u) with a
// nasal flag, or a consonant p b t d k g f v s z S Z m n ny l ly r R tS dZ.
// Anything unknown keeps its byte after a '?'.
struct Fonema {
  std::string s;
  bool nasal = false;
  bool operator==(const Fonema &o) const { return s == o.s && nasal == o.nasal; }
};
using Fonemas = std::vector<Fonema>;

// A word group of the translator ("[ k/A/ z/a]") in the notation of
// dados/README.md.
Fonemas deNotacao(std::string_view fonetica);

// One word of `espeak-ng -v pt-br -q -x`.
Fonemas deEspeak(std::string_view fonemas);

// Edit distance between the two sequences.
size_t distancia(const Fonemas &a, const Fonemas &b);

std::string texto(const Fonemas &f);

}  // namespace qualidade
