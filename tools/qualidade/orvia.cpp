// qualidade_orvia: measures the Orvia letter rules and exception list
// against eSpeak NG.
//
//   qualidade_orvia [--dados DIR] [--voz FILE] [--lista FILE] [--texto FILE]
//                   [--amostra N] [--frases N] [--bruto] [--so-lista | --so-texto]
//                   [--diferencas] [--ver WORD]...
//
// Two measures, each printed on its own: the sentences of the Portuguese
// fortunes, taken through every Orvia stage, and an evenly spaced sample of
// the word list, each word taken alone through the transcription. Our
// phonemes are compared with what `espeak-ng -v mb-br4 -q --pho` writes for
// the same text (pauses and marks removed): phoneme error rate, words
// identical, and the stressed syllable against `espeak-ng -v pt-br -q -x`.
// For the sentences it also counts the fillers the timing stage inserts.
// eSpeak runs in a few batches; mb-br4 needs an mbrola voice named br4 and
// the mbrola command, so a private copy of eSpeak's data gets our voice.
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "klregras.h"
#include "orvia/uttsCadeia.h"
#include "orvia/uttsPortug.h"

namespace fs = std::filesystem;

namespace {

using Fonemas = std::vector<std::string>;

// The private copy of eSpeak's data, removed however the program ends.
fs::path pastaTemporaria;
void limpar() {
  std::error_code ec;
  if (!pastaTemporaria.empty()) fs::remove_all(pastaTemporaria, ec);
}

[[noreturn]] void falhar(const std::string &porque) {
  std::fprintf(stderr, "qualidade_orvia: %s\n", porque.c_str());
  std::exit(1);
}

std::string lerArquivo(const fs::path &p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) falhar("cannot read " + p.string());
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string converter(const std::string &texto, const char *de, const char *para) {
  iconv_t cd = iconv_open(para, de);
  if (cd == reinterpret_cast<iconv_t>(-1)) falhar(std::string("no conversion from ") + de + " to " + para);
  std::string saida(texto.size() * 4 + 16, '\0');
  char *in = const_cast<char *>(texto.data());
  size_t nin = texto.size();
  char *out = saida.data();
  size_t nout = saida.size();
  while (nin > 0)
    if (iconv(cd, &in, &nin, &out, &nout) == static_cast<size_t>(-1)) {
      ++in;  // what has no place in the target is dropped
      --nin;
    }
  iconv_close(cd);
  saida.resize(saida.size() - nout);
  return saida;
}
std::string paraCp1252(const std::string &s) { return converter(s, "UTF-8", "CP1252//TRANSLIT"); }
std::string paraUtf8(const std::string &s) { return converter(s, "CP1252", "UTF-8"); }

std::vector<std::string> linhas(const std::string &t, bool manterVazias = false) {
  std::vector<std::string> v;
  std::istringstream in(t);
  for (std::string l; std::getline(in, l);)
    if (manterVazias || !l.empty()) v.push_back(l);
  return v;
}

bool nucleo(std::string_view f) {
  static const std::set<std::string_view> vogais = {"a", "e",  "ee", "i",  "o",  "oo", "u",
                                                    "@", "an", "en", "in", "on", "un"};
  return vogais.count(f) != 0;
}

// --- eSpeak ---

struct Espeak {
  fs::path pasta;    // holds espeak-ng-data, our voice as mbrola/br4
  std::string path;  // PATH with our mbrola command first

  std::string rodar(const std::string &opcoes, const std::string &entrada) const {
    fs::path arq = pasta / "entrada.txt";
    std::ofstream(arq, std::ios::binary) << entrada;
    std::string cmd = "cd '" + pasta.string() + "' && PATH='" + path + "' ESPEAK_DATA_PATH='" + pasta.string() +
                      "' espeak-ng " + opcoes + " -f entrada.txt 2>/dev/null";
    FILE *pipe = popen(cmd.c_str(), "r");
    if (!pipe) falhar("cannot run espeak-ng");
    std::string saida;
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) saida.append(buf, n);
    if (pclose(pipe) != 0) falhar("espeak-ng " + opcoes + " failed");
    return saida;
  }
};

Espeak prepararEspeak(const fs::path &voz, const fs::path &comandoMbrola) {
  if (!fs::exists(voz)) falhar("no voice at " + voz.string() + " (build the voz_mbrola target)");
  if (!fs::exists(comandoMbrola)) falhar("no mbrola command at " + comandoMbrola.string() + " (build mbrola_comando)");
  fs::path dados;
  {
    FILE *p = popen("espeak-ng --version 2>/dev/null", "r");
    if (!p) falhar("espeak-ng is not installed");
    char buf[512];
    std::string v;
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) v.append(buf, n);
    pclose(p);
    size_t at = v.find("Data at:");
    if (at != std::string::npos) {
      std::string d = v.substr(at + 8);
      d.erase(0, d.find_first_not_of(' '));
      d = d.substr(0, d.find_first_of("\r\n"));
      dados = d;
    }
  }
  for (fs::path d :
       {dados, fs::path("/usr/lib/x86_64-linux-gnu/espeak-ng-data"), fs::path("/usr/share/espeak-ng-data")})
    if (!d.empty() && fs::exists(d / "voices")) {
      dados = d;
      break;
    }
  if (!fs::exists(dados / "voices")) falhar("cannot find espeak-ng-data");

  char modelo[] = "/tmp/qualidade-orvia-XXXXXX";
  if (!mkdtemp(modelo)) falhar("cannot make a temporary folder");
  Espeak e;
  e.pasta = pastaTemporaria = modelo;
  std::atexit(limpar);
  fs::path copia = e.pasta / "espeak-ng-data";
  fs::copy(dados, copia, fs::copy_options::recursive);  // symbolic links followed
  fs::create_directories(copia / "mbrola");
  fs::copy_file(voz, copia / "mbrola" / "br4");
  if (!fs::exists(copia / "voices" / "mb" / "mb-br4")) {
    fs::create_directories(copia / "voices" / "mb");
    std::ofstream(copia / "voices" / "mb" / "mb-br4")
        << "name brazil-mbrola-4\nlanguage pt-br 6\ngender female\npitch 140 220\nmbrola br4 ptbr4_phtrans\n";
  }
  if (!fs::exists(copia / "mbrola_ph" / "ptbr4_phtrans")) falhar("espeak-ng-data lacks mbrola_ph/ptbr4_phtrans");
  const char *p = std::getenv("PATH");
  e.path = comandoMbrola.parent_path().string() + ":" + (p ? p : "/usr/bin:/bin");
  return e;
}

std::string escaparSsml(const std::string &s) {
  std::string r;
  for (char c : s) {
    if (c == '&')
      r += "&amp;";
    else if (c == '<')
      r += "&lt;";
    else if (c == '>')
      r += "&gt;";
    else
      r += c;
  }
  return r;
}

// One mb-br4 phoneme sequence per item. The items are separated by a long
// SSML break, so a run of pauses adding up to several seconds ends an item;
// when the count still does not come out right the batch is halved.
void fonemasEspeak(const Espeak &e, const std::vector<std::string> &itens, size_t de, size_t ate,
                   std::vector<Fonemas> &saida) {
  if (de >= ate) return;
  std::string entrada;
  for (size_t i = de; i < ate; ++i) entrada += escaparSsml(itens[i]) + ".<break time=\"5000ms\"/>\n";
  std::vector<Fonemas> grupos(1);
  long pausa = 0;
  for (const auto &l : linhas(e.rodar("-m -v mb-br4 -q --pho", entrada))) {
    std::istringstream in(l);
    std::string nome;
    long dur = 0;
    if (!(in >> nome >> dur) || nome[0] == ';') continue;
    if (nome == "_") {
      pausa += dur;
      continue;
    }
    if (pausa >= 4000 && !grupos.back().empty()) grupos.emplace_back();
    pausa = 0;
    grupos.back().push_back(nome);
  }
  if (grupos.back().empty() && grupos.size() > 1) grupos.pop_back();
  if (grupos.size() == ate - de || ate - de == 1) {
    if (ate - de == 1 && grupos.size() > 1)
      for (size_t g = 1; g < grupos.size(); ++g) grupos[0].insert(grupos[0].end(), grupos[g].begin(), grupos[g].end());
    grupos.resize(ate - de);
    for (auto &g : grupos) saida.push_back(std::move(g));
    return;
  }
  size_t meio = de + (ate - de) / 2;
  fonemasEspeak(e, itens, de, meio, saida);
  fonemasEspeak(e, itens, meio, ate, saida);
}

// One line of `espeak-ng -v pt-br -q -x` per word; halved as above when a
// word gives more or fewer lines.
void transcricaoEspeak(const Espeak &e, const std::vector<std::string> &itens, size_t de, size_t ate,
                       std::vector<std::string> &saida) {
  if (de >= ate) return;
  std::string entrada;
  for (size_t i = de; i < ate; ++i) entrada += itens[i] + ".\n";
  std::vector<std::string> l = linhas(e.rodar("-v pt-br -q -x", entrada));
  if (l.size() == ate - de) {
    for (auto &s : l) saida.push_back(s);
    return;
  }
  if (ate - de == 1) {
    std::string tudo;
    for (auto &s : l) tudo += (tudo.empty() ? "" : " ") + s;
    saida.push_back(tudo);
    return;
  }
  size_t meio = de + (ate - de) / 2;
  transcricaoEspeak(e, itens, de, meio, saida);
  transcricaoEspeak(e, itens, meio, ate, saida);
}

// The stressed syllable of a pt-br -x word: the number of syllable nuclei
// before its one primary stress mark; -1 when it has none or several.
// Vowels are a & e E i I o O u U y; I U y after a vowel are glides, and j w
// always are; "@-" is the release of a coda r, not a syllable.
int silabaTonicaEspeak(std::string_view x) {
  int nucleos = 0, tonica = -1;
  bool aposVogal = false;
  for (size_t i = 0; i < x.size(); ++i) {
    char c = x[i];
    if (c == '\'') {
      if (tonica >= 0) return -1;
      tonica = nucleos;
      aposVogal = false;
      continue;
    }
    if (c == '~') continue;
    if (c == '@' && i + 1 < x.size() && x[i + 1] == '-') {
      ++i;
      aposVogal = false;
      continue;
    }
    bool vogal = std::string_view("a&eEiIoOuUy").find(c) != std::string_view::npos;
    if (vogal && !(aposVogal && (c == 'I' || c == 'U' || c == 'y'))) ++nucleos;
    aposVogal = vogal;
  }
  return tonica;
}

// --- Our side ---

std::string semMarcas(std::string_view f) {
  while (!f.empty() && (f[0] == STRESS_MARK || f[0] == BOUNDARY_MARK)) f.remove_prefix(1);
  return std::string(f);
}

bool letra(unsigned char c) { return std::isalpha(c) || c >= 192; }

struct Palavra {
  std::string texto;  // as given to the transcription, Windows-1252
  Fonemas fonemas;
  int tonica = -1;  // nuclei before the stressed one; -1 without a stress mark
};

// The words of a phoneme list: one per word header that holds letters, with
// its phoneme names (marks removed, pauses dropped) and stressed syllable.
std::vector<Palavra> palavrasDe(const StringList &lista) {
  std::vector<Palavra> r;
  bool tonicaPendente = false;
  for (const std::string &l : lista) {
    if (l.size() >= 5 && l[0] == ';' && l[4] == '|') {
      r.push_back({l.substr(5), {}, -1});
      tonicaPendente = false;
      continue;
    }
    if (l.empty() || r.empty()) continue;
    std::string_view f = l;
    bool tonica = false;
    if (f[0] == STRESS_MARK) {
      tonica = true;
      f.remove_prefix(1);
    }
    if (!f.empty() && f[0] == BOUNDARY_MARK) f.remove_prefix(1);
    if (f.empty() || f[0] == '_') continue;
    Palavra &p = r.back();
    if (tonica) tonicaPendente = true;
    if (tonicaPendente && nucleo(f)) {
      p.tonica = 0;
      for (const auto &x : p.fonemas) p.tonica += nucleo(x);
      tonicaPendente = false;
    }
    p.fonemas.emplace_back(f);
  }
  std::erase_if(r, [](const Palavra &p) {
    return std::none_of(p.texto.begin(), p.texto.end(), [](char c) { return letra(static_cast<unsigned char>(c)); });
  });
  return r;
}

Palavra transcrever(const std::string &palavraCp1252) {
  std::vector<Palavra> p = palavrasDe(TranscribeTokens({"555|" + palavraCp1252}));
  return p.empty() ? Palavra{palavraCp1252, {}, -1} : p[0];
}

std::string juntar(const Fonemas &f) {
  std::string s;
  for (const auto &x : f) s += (s.empty() ? "" : " ") + x;
  return s;
}

// --- Comparison ---

// Edit distance, and for each of our phonemes whether the alignment kept
// it unchanged; espeak phonemes inserted after one of ours count against it.
struct Alinhamento {
  size_t distancia = 0;
  std::vector<bool> certo;                 // per phoneme of ours
  std::vector<std::vector<size_t>> delas;  // espeak phonemes aligned to each of ours
  std::vector<size_t> inicio;              // espeak phonemes inserted before our first
};

Alinhamento alinhar(const Fonemas &a, const Fonemas &b) {
  const size_t n = a.size(), m = b.size();
  std::vector<uint32_t> d((n + 1) * (m + 1));
  auto D = [&](size_t i, size_t j) -> uint32_t & { return d[i * (m + 1) + j]; };
  for (size_t i = 0; i <= n; ++i) D(i, 0) = static_cast<uint32_t>(i);
  for (size_t j = 0; j <= m; ++j) D(0, j) = static_cast<uint32_t>(j);
  for (size_t i = 1; i <= n; ++i)
    for (size_t j = 1; j <= m; ++j)
      D(i, j) = std::min({D(i - 1, j) + 1, D(i, j - 1) + 1, D(i - 1, j - 1) + (a[i - 1] == b[j - 1] ? 0u : 1u)});
  Alinhamento r;
  r.distancia = D(n, m);
  r.certo.assign(n, true);
  r.delas.resize(n);
  size_t i = n, j = m;
  while (i > 0 || j > 0) {
    if (i > 0 && j > 0 && D(i, j) == D(i - 1, j - 1) + (a[i - 1] == b[j - 1] ? 0u : 1u)) {
      if (a[i - 1] != b[j - 1]) r.certo[i - 1] = false;
      r.delas[i - 1].insert(r.delas[i - 1].begin(), j - 1);
      --i, --j;
    } else if (i > 0 && D(i, j) == D(i - 1, j) + 1) {
      r.certo[i - 1] = false;
      --i;
    } else {
      if (i > 0) {
        r.certo[i - 1] = false;
        r.delas[i - 1].insert(r.delas[i - 1].begin(), j - 1);
      } else {
        r.inicio.insert(r.inicio.begin(), j - 1);
      }
      --j;
    }
  }
  return r;
}

struct Contagem {
  size_t erros = 0, referencia = 0;
  size_t palavras = 0, iguais = 0;
  size_t tonicasAmbos = 0, tonicasIguais = 0, soEspeak = 0, soNos = 0;
  size_t vazias = 0;  // words espeak gave nothing for
};

void relatar(const char *titulo, const Contagem &c) {
  std::printf("%s\n", titulo);
  std::printf("  phoneme error rate: %.2f%% (%zu edits in %zu reference phonemes)\n",
              c.referencia ? 100.0 * c.erros / c.referencia : 0.0, c.erros, c.referencia);
  std::printf("  words identical: %.1f%% of %zu\n", c.palavras ? 100.0 * c.iguais / c.palavras : 0.0, c.palavras);
  std::printf(
      "  stressed syllable agreement: %.1f%% of %zu words stressed by both (%zu stressed by espeak only, %zu by us "
      "only)\n",
      c.tonicasAmbos ? 100.0 * c.tonicasIguais / c.tonicasAmbos : 0.0, c.tonicasAmbos, c.soEspeak, c.soNos);
}

void contarTonica(int nossa, int delas, Contagem &c) {
  if (nossa >= 0 && delas >= 0) {
    ++c.tonicasAmbos;
    if (nossa == delas) ++c.tonicasIguais;
  } else if (delas >= 0) {
    ++c.soEspeak;
  } else if (nossa >= 0) {
    ++c.soNos;
  }
}

// Stress of each distinct word (Windows-1252), from one eSpeak batch.
std::map<std::string, int> tonicasEspeak(const Espeak &e, const std::set<std::string> &palavras,
                                         std::map<std::string, std::string> *transcricoes = nullptr) {
  std::vector<std::string> chaves(palavras.begin(), palavras.end()), utf8;
  for (const auto &p : chaves) utf8.push_back(paraUtf8(p));
  std::vector<std::string> x;
  transcricaoEspeak(e, utf8, 0, utf8.size(), x);
  std::map<std::string, int> r;
  for (size_t i = 0; i < chaves.size(); ++i) {
    r[chaves[i]] = silabaTonicaEspeak(x[i]);
    if (transcricoes) (*transcricoes)[chaves[i]] = x[i];
  }
  return r;
}

// --- The two measures ---

void medirLista(const Espeak &e, const std::string &arquivo, size_t amostra, bool diferencas) {
  std::vector<std::string> todas = linhas(lerArquivo(arquivo));
  if (todas.empty()) falhar(arquivo + " is empty");
  std::vector<std::string> utf8, cp;
  for (size_t k = 0; k < amostra && k < todas.size(); ++k) {
    const std::string &p = todas[k * todas.size() / std::min(amostra, todas.size())];
    utf8.push_back(p);
    cp.push_back(paraCp1252(p));
  }
  std::vector<Fonemas> ref;
  fonemasEspeak(e, utf8, 0, utf8.size(), ref);
  std::map<std::string, std::string> xs;
  std::map<std::string, int> tonicas = tonicasEspeak(e, std::set<std::string>(cp.begin(), cp.end()), &xs);
  Contagem c;
  for (size_t k = 0; k < cp.size(); ++k) {
    Palavra nossa = transcrever(cp[k]);
    size_t d = alinhar(nossa.fonemas, ref[k]).distancia;
    c.erros += d;
    c.referencia += ref[k].size();
    ++c.palavras;
    if (d == 0) ++c.iguais;
    int t = tonicas[cp[k]];
    contarTonica(nossa.tonica, t, c);
    bool tonicaDifere = nossa.tonica >= 0 && t >= 0 && nossa.tonica != t;
    if (diferencas && (d != 0 || tonicaDifere))
      std::printf(
          "  %-22s ours %-28s espeak %-28s%s\n", utf8[k].c_str(), juntar(nossa.fonemas).c_str(), juntar(ref[k]).c_str(),
          tonicaDifere ? (" stress " + std::to_string(nossa.tonica) + "/" + std::to_string(t) + " " + xs[cp[k]]).c_str()
                       : "");
  }
  relatar(("word list " + arquivo + ": " + std::to_string(cp.size()) + " words evenly spaced, each alone").c_str(), c);
}

// The fortunes file: fortunes between "%" lines; a blank line or a . ! ?
// followed by a blank ends a sentence.
std::vector<std::string> frasesDe(const std::string &texto) {
  std::vector<std::string> frases;
  std::string atual;
  auto fechar = [&]() {
    size_t a = atual.find_first_not_of(' ');
    if (a != std::string::npos) {
      std::string f = atual.substr(a, atual.find_last_not_of(' ') - a + 1);
      if (std::any_of(f.begin(), f.end(),
                      [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || (c & 0x80); }))
        frases.push_back(f);
    }
    atual.clear();
  };
  for (const std::string &l : linhas(texto, true)) {
    if (l == "%" || l.find_first_not_of(" \t\r") == std::string::npos) {
      fechar();
      continue;
    }
    for (size_t i = 0; i < l.size(); ++i) {
      char c = l[i] == '\t' || l[i] == '\r' ? ' ' : l[i];
      if (c == ' ' && !atual.empty() && atual.back() == ' ') continue;
      atual += c;
      if ((c == '.' || c == '!' || c == '?') && (i + 1 == l.size() || l[i + 1] == ' ')) fechar();
    }
    if (!atual.empty() && atual.back() != ' ') atual += ' ';
  }
  fechar();
  return frases;
}

// eSpeak reads the text as our normalisation wrote it, so that both sides
// say the same words (symbol names, numbers, spelled abbreviations); with
// `bruto` it reads the sentence as written instead.
void medirTexto(const Espeak &e, const std::string &arquivo, size_t maxFrases, bool bruto, bool diferencas) {
  std::vector<std::string> todas = frasesDe(lerArquivo(arquivo)), frases;
  size_t n = std::min(maxFrases, todas.size());
  for (size_t k = 0; k < n; ++k) frases.push_back(todas[k * todas.size() / n]);

  std::vector<OrviaStages> estagios;
  std::vector<std::string> paraEspeak;
  for (const auto &f : frases) {
    estagios.push_back(RunOrviaStages(paraCp1252(f)));
    paraEspeak.push_back(bruto ? f : paraUtf8(estagios.back().expanded));
  }
  std::vector<Fonemas> ref;
  fonemasEspeak(e, paraEspeak, 0, paraEspeak.size(), ref);

  std::vector<std::vector<Palavra>> nossas;
  std::set<std::string> distintas;
  size_t enchimentos = 0, frasesComEnchimento = 0;
  std::map<std::string, size_t> pares;  // phoneme pairs that needed a filler
  for (const OrviaStages &s : estagios) {
    nossas.push_back(palavrasDe(s.phonemes));
    for (const auto &p : nossas.back()) distintas.insert(p.texto);
    // Each line of the phoneme list gives one output line; the fillers are
    // the lines beyond those, each written before a phoneme.
    if (s.lines.size() > s.phonemes.size()) {
      enchimentos += s.lines.size() - s.phonemes.size();
      ++frasesComEnchimento;
      std::string anterior = "_";
      size_t j = 0;
      for (size_t i = 0; i < s.phonemes.size(); ++i, ++j) {
        std::string atual = semMarcas(s.phonemes[i]);
        while (j < s.lines.size() && s.lines.size() - j > s.phonemes.size() - i &&
               (s.lines[j] == "_ 50" || s.lines[j] == "y 50")) {
          ++pares[anterior + "-" + atual];
          ++j;
        }
        if (!atual.empty() && atual[0] != ';') anterior = atual[0] == '_' ? "_" : atual;
      }
    }
  }
  std::map<std::string, int> tonicas = tonicasEspeak(e, distintas);

  Contagem c;
  struct Diferenca {
    size_t vezes = 0;
    std::string nossa, delas;
  };
  std::map<std::string, Diferenca> difs;
  std::map<std::string, size_t> tonicasDiferentes;
  for (size_t k = 0; k < frases.size(); ++k) {
    Fonemas nossa;
    std::vector<size_t> dono;
    for (size_t w = 0; w < nossas[k].size(); ++w)
      for (const auto &f : nossas[k][w].fonemas) {
        nossa.push_back(f);
        dono.push_back(w);
      }
    Alinhamento a = alinhar(nossa, ref[k]);
    c.erros += a.distancia;
    c.referencia += ref[k].size();
    std::vector<bool> certa(nossas[k].size(), true);
    std::vector<Fonemas> delas(nossas[k].size());
    for (size_t i = 0; i < nossa.size(); ++i) {
      if (!a.certo[i]) certa[dono[i]] = false;
      for (size_t j : a.delas[i]) delas[dono[i]].push_back(ref[k][j]);
    }
    if (!a.inicio.empty() && !certa.empty()) certa[0] = false;
    for (size_t w = 0; w < nossas[k].size(); ++w) {
      const Palavra &p = nossas[k][w];
      ++c.palavras;
      if (certa[w] && !p.fonemas.empty())
        ++c.iguais;
      else if (diferencas) {
        Diferenca &d = difs[p.texto];
        ++d.vezes;
        d.nossa = juntar(p.fonemas);
        d.delas = juntar(delas[w]);
      }
      int t = tonicas[p.texto];
      contarTonica(p.tonica, t, c);
      if (p.tonica >= 0 && t >= 0 && p.tonica != t) ++tonicasDiferentes[p.texto];
    }
  }
  relatar(("text " + arquivo + ": " + std::to_string(frases.size()) +
           " sentences through every stage, espeak reading " + (bruto ? "them as written" : "our normalised text"))
              .c_str(),
          c);
  std::printf("  fillers inserted by the timing stage: %zu (in %zu sentences)\n", enchimentos, frasesComEnchimento);
  if (!diferencas) return;
  std::vector<std::pair<size_t, std::string>> ordem;
  for (const auto &[w, d] : difs) ordem.push_back({d.vezes, w});
  std::sort(ordem.begin(), ordem.end(),
            [](const auto &x, const auto &y) { return x.first != y.first ? x.first > y.first : x.second < y.second; });
  std::printf("words that differ in the sentences (times, word, ours, espeak's aligned phonemes):\n");
  for (const auto &[v, w] : ordem)
    std::printf("  %4zu %-20s ours %-28s espeak %s\n", v, paraUtf8(w).c_str(), difs[w].nossa.c_str(),
                difs[w].delas.c_str());
  std::printf("words stressed on another syllable than espeak's:\n");
  for (const auto &[w, v] : tonicasDiferentes) std::printf("  %4zu %s\n", v, paraUtf8(w).c_str());
  for (const auto &[par, v] : pares) std::printf("  filler for %s: %zu times\n", par.c_str(), v);
}

size_t contagem(const std::string &opcao, const std::string &valor) {
  char *fim = nullptr;
  unsigned long n = std::strtoul(valor.c_str(), &fim, 10);
  if (valor.empty() || *fim != '\0' || valor[0] == '-') falhar(opcao + " needs a whole number, not \"" + valor + "\"");
  return n;
}

}  // namespace

int main(int argc, char **argv) {
  fs::path exe = fs::read_symlink("/proc/self/exe");
  fs::path build = exe.parent_path().parent_path();
  std::string dados = KALEVO_ORVIA_DADOS, base = "portug";
  fs::path voz = build / "share" / "mbrola" / "kalevo1" / "kalevo1";
  fs::path mbrola = exe.parent_path() / "mbrola";
  std::string lista = "/usr/share/dict/brazilian", texto = "/usr/share/games/fortunes/brasil";
  size_t amostra = 2000, frases = static_cast<size_t>(-1);
  bool diferencas = false, soLista = false, soTexto = false, bruto = false;
  std::vector<std::string> ver;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto valor = [&]() -> std::string {
      if (i + 1 >= argc) falhar(a + " needs a value");
      return argv[++i];
    };
    if (a == "--dados")
      dados = valor();
    else if (a == "--voz")
      voz = valor();
    else if (a == "--mbrola")
      mbrola = valor();
    else if (a == "--lista")
      lista = valor();
    else if (a == "--texto")
      texto = valor();
    else if (a == "--amostra")
      amostra = contagem(a, valor());
    else if (a == "--frases")
      frases = contagem(a, valor());
    else if (a == "--diferencas")
      diferencas = true;
    else if (a == "--bruto")
      bruto = true;
    else if (a == "--so-lista")
      soLista = true;
    else if (a == "--so-texto")
      soTexto = true;
    else if (a == "--ver")
      ver.push_back(valor());
    else {
      std::fprintf(
          stderr,
          "usage: %s [--dados DIR] [--voz FILE] [--mbrola COMMAND] [--lista FILE] [--texto FILE]\n"
          "          [--amostra N] [--frases N] [--bruto] [--so-lista | --so-texto] [--diferencas] [--ver WORD]...\n",
          argv[0]);
      return 2;
    }
  }

  // The whole chain needs all five files; the word list only the rules and
  // the exceptions.
  std::string erro;
  bool cadeia = LoadOrviaData(dados, base, erro);
  if (!cadeia) {
    ClearOrviaExceptions();
    if (!LoadOrviaRules(dados + "/" + base + ".nrl") || !LoadOrviaExceptions(dados + "/" + base + ".exc"))
      falhar("cannot load the rules and exceptions from " + dados);
    std::printf("(%s: only the word list is measured)\n", erro.c_str());
  }

  Espeak e = prepararEspeak(voz, mbrola);
  if (!ver.empty()) {
    std::vector<Fonemas> ref;
    fonemasEspeak(e, ver, 0, ver.size(), ref);
    std::set<std::string> cp;
    for (const auto &w : ver) cp.insert(paraCp1252(w));
    std::map<std::string, std::string> xs;
    std::map<std::string, int> tonicas = tonicasEspeak(e, cp, &xs);
    for (size_t k = 0; k < ver.size(); ++k) {
      std::string w = paraCp1252(ver[k]);
      Palavra p = transcrever(w);
      std::printf("%-20s ours %-28s (stress %d)  espeak %-28s (%s, stress %d)\n", ver[k].c_str(),
                  juntar(p.fonemas).c_str(), p.tonica, juntar(ref[k]).c_str(), xs[w].c_str(), tonicas[w]);
    }
  } else {
    if (cadeia && !soLista) medirTexto(e, texto, frases, bruto, diferencas);
    if (!soTexto) medirLista(e, lista, amostra, diferencas);
  }
  return 0;
}
