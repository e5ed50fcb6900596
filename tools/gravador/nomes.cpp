#include "nomes.h"

#include <stdexcept>

namespace gravador {

namespace {

// Names of codes 32..126, as the text reader names them.
const char *const kAscii[95] = {
    "espaço", "exclamação", "aspas", "sustenido", "cifrão", "porcento", "é comercial",
    "apóstrofo", "abre parênteses", "fecha parênteses", "asterisco", "mais", "vírgula",
    "traço", "ponto", "barra", "zéro", "um", "dois", "três", "quatro", "cinco", "seis",
    "séte", "oito", "nóve", "dois pontos", "ponto e vírgula", "menor que", "igual",
    "maior que", "interrogação", "arrôba", "a", "bê", " sê", " dê", "é", "éfe", "jê",
    "agá", "i", "jóta", "cá", "éle", "ême", "êne", "ó", "pê", "quê", "érre", "ésse", "tê",
    "u", "vê", "dábliu", "xis", "ípsilon", "zê", "abre colchete", "barra invertida",
    "fecha colchete", "circunflexo", "sublinhado", "crase", "a", "bê", " sê", " dê", "é",
    "éfe", "jê", "agá", "i", "jota", "cá", "éle", "ême", "ene", "ó", "pê", "quê", "érre",
    "ésse", "tê", "u", "vê", "dábliu", "xis", "ípsilon", "zê", "abre chave",
    "barra vertical", "fecha chave", "til"};

// Names of codes 161..220.
const char *const kLatin1[60] = {
    "exclamação reversa", "centavos de dólar", "libras", "símbolo de moeda", "iene",
    "barra interrompida", "parágrafo", "trema", "copyright", "ordinal feminino",
    "Aspas esquerdas", "negação", "hífen", "Marca registrada", "mácron", "grau",
    "mais ou menos", "elevado ao quadrado", "elevado ao cubo", "acento agudo", "mi", "pi",
    "ponto no meio", "cedilha", "expoente um", "ordinal masculino", "aspas direitas",
    "um quarto", "um meio", "três quartos", "interrogação reversa", "A grave", "A agudo",
    "A circunflexo", "A com til", "A com trema", "A bola", "A É", "Cê cedilha", "É grave",
    "É agudo", "É circunflexo", "É com trema", "I grave", "I agudo", "I circunflexo",
    "I com trema", "Dê cortado", "N com til", "Ó grave", "Ó agudo", "Ó circunflexo",
    "Ó com til", "Ó tremado", "vezes", "Ó cortado", "U grave", "U agudo", "U circunflexo",
    "U com trema"};

// Windows-1252 characters of 128..160 and the Latin-1 letters the table
// above leaves out. The undefined codes are named by number.
const char *const kWindows[33] = {
    "euro", "código cento e vinte e nove", "aspa baixa", "florim", "aspas baixas",
    "reticências", "adaga", "adaga dupla", "circunflexo", "por mil", "ésse com caron",
    "aspa angular esquerda", "Ó É", "código cento e quarenta e um", "zê com caron",
    "código cento e quarenta e três", "código cento e quarenta e quatro",
    "aspa simples esquerda", "aspa simples direita", "aspas esquerdas", "aspas direitas",
    "marcador", "travessão", "travessão longo", "til", "marca comercial", "ésse com caron",
    "aspa angular direita", "ó é", "código cento e cinquenta e sete", "zê com caron",
    "ípsilon com trema", "espaço"};

// Capitals among 128..160: Š Œ Ž Ÿ.
bool maiusculaWindows(int c) { return c == 138 || c == 140 || c == 142 || c == 159; }

std::string semBrancoInicial(const char *s) {
  std::string t(s);
  while (!t.empty() && t.front() == ' ') t.erase(t.begin());
  return t;
}

// eSpeak spells a lone accented letter by its own name ("é agudo"); the
// vowel alone is wanted.
std::string paraFala(std::string t) {
  if (t == "é") return "[['E]]";
  return t;
}

std::string nomeDeLetraPequena(int c) { return semBrancoInicial(kAscii[c - 32]); }

}  // namespace

NomeDeCodigo nomeDoCodigo(int c) {
  if (c < 0 || c > 255) throw std::out_of_range("key code");
  if (c >= 32 && c <= 126)
    return {paraFala(semBrancoInicial(kAscii[c - 32])), c >= 'A' && c <= 'Z'};
  if (c >= 161 && c <= 220) return {semBrancoInicial(kLatin1[c - 161]), c >= 192 && c != 215};
  if (c >= 128 && c <= 160) return {kWindows[c - 128], maiusculaWindows(c)};
  switch (c) {
    case 0: return {"função", false};  // first code of a function, cursor or editing key
    case 8: return {"apagar", false};
    case 9: return {"tab", false};
    case 10: return {"contról enter", false};
    case 13: return {"enter", false};
    case 27: return {"esc", false};
    case 28: return {"contról barra invertida", false};
    case 29: return {"contról fecha colchete", false};
    case 30: return {"contról circunflexo", false};
    case 31: return {"contról sublinhado", false};
    case 127: return {"apagar palavra", false};  // Ctrl+Backspace
    case 221: return {"Ípsilon agudo", true};
    case 222: return {"thorn", true};
    case 223: return {"ésse alemão", false};
    case 224: return {"a grave", false};
    case 247: return {"dividido", false};
    case 253: return {"ípsilon agudo", false};
    case 254: return {"thorn", false};
    case 255: return {"ípsilon com trema", false};
    default: break;
  }
  if (c >= 1 && c <= 26) return {"contról " + nomeDeLetraPequena('a' + c - 1), false};
  // 225..254: small accented letters share the capital's name, spoken low.
  return {semBrancoInicial(kLatin1[c - 32 - 161]), false};
}

const std::vector<Aviso> &avisos() {
  static const std::vector<Aviso> lista = {
      {"RZINIC", "Jogo de memória Zék"},
      {"RZNIVEL", "Escolha seu nível de 1 a 9"},
      {"RZERROU", "errou..."},  // after the tongue clicks
      {"RZOK", "Maravilhoso, esplêndido, tremendo!"},
      {"RZDENOVO", "Quer jogar de novo? Ésse ou ene?"},
      {"RZNANANI", "Nananinanana..."},
      {"RZERA", "Era apenas o seguinte:"},
      {"RZTCHAU", "Tchau."},
      {"RZPLIM", ""},
  };
  return lista;
}

const std::vector<PalavraDeNumero> &palavrasDeNumero() {
  static const std::vector<PalavraDeNumero> lista = {
      {"zero", "zero"}, {"um", "um"}, {"dois", "dois"}, {"tres", "três"},
      {"quatro", "quatro"}, {"cinco", "cinco"}, {"seis", "seis"}, {"sete", "sete"},
      {"oito", "oito"}, {"nove", "nove"}, {"dez", "déz"}, {"onze", "onze"},
      {"doze", "doze"}, {"treze", "treze"}, {"quatorze", "quatorze"},
      {"quinze", "quinze"}, {"dezesseis", "dezesseis"}, {"dezessete", "dezessete"},
      {"dezoito", "dezoito"}, {"dezenove", "dezenove"}, {"vinte", "vinte"},
      {"trinta", "trinta"}, {"quarenta", "quarenta"}, {"cinquenta", "cinquenta"},
      {"sessenta", "sessenta"}, {"setenta", "setenta"}, {"oitenta", "oitenta"},
      {"noventa", "noventa"}, {"cem", "cem"}, {"cento", "cento"},
      {"duzentos", "duzentos"}, {"trezentos", "trezentos"},
      {"quatrocentos", "quatrocentos"}, {"quinhentos", "quinhentos"},
      {"seiscentos", "seiscentos"}, {"setecentos", "setecentos"},
      {"oitocentos", "oitocentos"}, {"novecentos", "novecentos"},
      {"trilhão", "trilhão"}, {"bilhão", "bilhão"}, {"milhão", "milhão"},
      {"mil", "mil"}, {"trilhões", "trilhões"}, {"bilhões", "bilhões"},
      {"milhões", "milhões"},
      {"e", "i"},  // the joiner is said unstressed, like i
      {"uma", "uma"}, {"duas", "duas"},
  };
  return lista;
}

std::string baseDePalavra(const std::string &palavra) {
  std::string s;
  for (size_t i = 0; i < palavra.size(); ++i) {
    // ã and õ in UTF-8: C3 A3 and C3 B5.
    if (static_cast<unsigned char>(palavra[i]) == 0xC3 && i + 1 < palavra.size()) {
      unsigned char b = static_cast<unsigned char>(palavra[i + 1]);
      if (b == 0xA3 || b == 0xB5) {
        s += b == 0xA3 ? 'a' : 'o';
        ++i;
        continue;
      }
    }
    s += palavra[i];
  }
  if (s == "dezessete") s = "dezeset";
  s = "_" + s;
  if (s.size() > 8) s.resize(8);
  return s;
}

}  // namespace gravador
