// The voice's phoneme inventory: our MBROLA-style names, in the order of the
// voice file's phoneme table, and the eSpeak NG pt-br phoneme that sounds each.
#pragma once

#include <array>
#include <string_view>

namespace vozmbrola {

struct Fonema {
  std::string_view nome;    // as the phoneme lines name it
  std::string_view espeak;  // eSpeak mnemonic inside [[ ]]; empty for the silence
  bool vogal;
};

inline constexpr std::array<Fonema, 38> kFonemas{{
    {"a", "a", true},    {"e", "e", true},    {"ee", "E", true},  {"i", "i", true},
    {"o", "o", true},    {"oo", "O", true},   {"u", "u", true},
    {"@", "&", true},  // the reduced [ɐ]; eSpeak's mb-br4 table also sends "@" for the nucleus of "ão"
    {"an", "&~", true},  {"en", "e~", true},  {"in", "i~", true}, {"on", "o~", true},
    {"un", "u~", true},
    {"w", "w", false},   {"y", "j", false},
    {"p", "p", false},   {"b", "b", false},   {"t", "t", false},  {"d", "d", false},
    {"k", "k", false},   {"g", "g", false},   {"f", "f", false},  {"v", "v", false},
    {"s", "s", false},   {"z", "z", false},   {"x", "S", false},  {"j", "Z", false},
    {"m", "m", false},   {"n", "n", false},   {"nh", "n^", false}, {"l", "l", false},
    {"lh", "l^", false},
    {"r", "*", false},    // the tap, as in "caro"
    {"rr", "x", false},   // the strong r, as in "carro"
    {"r2", "r", false},   // what eSpeak says at the end of a syllable, as in "mar"
    {"s2", "s", false},   // pt-br's syllable-final s is [s]
    {"h", "h", false},
    {"_", "", false},
}};

inline constexpr int kSilencio = 37;

}  // namespace vozmbrola
