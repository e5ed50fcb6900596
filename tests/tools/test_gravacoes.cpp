// The recordings and the diphone database that the build generates, checked
// in the build tree where the game and the library find them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "kldifone.h"
#include "klregras.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

// <build>/tests/test_gravacoes -> <build>
fs::path buildTree() { return fs::read_symlink("/proc/self/exe").parent_path().parent_path(); }
fs::path som() { return buildTree() / "share" / "zolkar" / "som"; }
fs::path letras() { return som() / "letras"; }

std::string lerArquivo(const fs::path &p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

uint32_t le32(const std::string &b, size_t i) {
  return static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1]) << 8 |
         static_cast<uint8_t>(b[i + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[i + 3])) << 24;
}
uint16_t le16(const std::string &b, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1]) << 8);
}

// The samples of a recording, centred on 0; an empty vector with a failure
// message when the file is not the canonical 8-bit 11 025 Hz mono wave.
std::vector<int> amostrasDe(const fs::path &p) {
  std::string b = lerArquivo(p);
  std::string nome = p.filename().string();
  if (b.size() <= 44) {
    ADD_FAILURE() << nome << ": missing or empty (" << b.size() << " bytes)";
    return {};
  }
  bool ok = b.compare(0, 4, "RIFF") == 0 && le32(b, 4) == b.size() - 8 && b.compare(8, 8, "WAVEfmt ") == 0 &&
            le32(b, 16) == 16 && le16(b, 20) == 1 && le16(b, 22) == 1 && le32(b, 24) == 11025 &&
            le32(b, 28) == 11025 && le16(b, 32) == 1 && le16(b, 34) == 8 && b.compare(36, 4, "data") == 0 &&
            le32(b, 40) == b.size() - 44;
  if (!ok) {
    ADD_FAILURE() << nome << ": not a 44-byte-header 8-bit mono 11025 Hz wave";
    return {};
  }
  std::vector<int> s;
  for (size_t i = 44; i < b.size(); ++i) s.push_back(static_cast<uint8_t>(b[i]) - 128);
  return s;
}

double segundos(const std::vector<int> &s) { return s.size() / 11025.0; }

int pico(const std::vector<int> &s) {
  int p = 0;
  for (int x : s) p = std::max(p, std::abs(x));
  return p;
}

// RMS of the samples that carry the sound (above a twentieth of the peak).
double rmsAudivel(const std::vector<int> &s) {
  int p = pico(s);
  double soma = 0;
  size_t n = 0;
  for (int x : s)
    if (std::abs(x) * 20 >= p) soma += x * x, ++n;
  return n ? std::sqrt(soma / n) : 0;
}

// Median pitch of the loud frames, by autocorrelation; 0 when none is voiced.
double alturaMediana(const std::vector<int> &s) {
  const size_t quadro = 441;  // 40 ms
  const size_t menor = 11025 / 400, maior = 11025 / 60;
  double maxRms = 0;
  for (size_t i = 0; i + quadro <= s.size(); i += quadro / 2) {
    double e = 0;
    for (size_t k = 0; k < quadro; ++k) e += double(s[i + k]) * s[i + k];
    maxRms = std::max(maxRms, e);
  }
  std::vector<double> alturas;
  for (size_t i = 0; i + quadro <= s.size(); i += quadro / 2) {
    double r0 = 0;
    for (size_t k = 0; k < quadro; ++k) r0 += double(s[i + k]) * s[i + k];
    if (r0 < 0.25 * maxRms) continue;
    double melhor = 0;
    size_t lag = 0;
    for (size_t l = menor; l <= maior; ++l) {
      double r = 0;
      for (size_t k = 0; k + l < quadro; ++k) r += double(s[i + k]) * s[i + k + l];
      if (r > melhor) melhor = r, lag = l;
    }
    if (lag && melhor > 0.4 * r0) alturas.push_back(11025.0 / lag);
  }
  if (alturas.empty()) return 0;
  std::nth_element(alturas.begin(), alturas.begin() + alturas.size() / 2, alturas.end());
  return alturas[alturas.size() / 2];
}

fs::path letra(int codigo) { return letras() / ("_" + std::to_string(codigo) + ".wav"); }

}  // namespace

TEST(LetterRecordings, EveryByteHasALoudTrimmedRecording) {
  for (int c = 0; c <= 255; ++c) {
    SCOPED_TRACE("code " + std::to_string(c));
    auto s = amostrasDe(letra(c));
    if (s.empty()) continue;
    int p = pico(s);
    EXPECT_GE(p, 40) << "too quiet";
    // Silence trimmed: what lies before the first and after the last audible
    // sample (a fricative's noise counts) is only the short fade.
    size_t ini = 0, fim = s.size();
    while (ini < fim && std::abs(s[ini]) < 3) ++ini;
    while (fim > ini && std::abs(s[fim - 1]) < 3) --fim;
    EXPECT_LT(ini, 11025 * 25 / 1000u) << "leading silence";
    EXPECT_LT(s.size() - fim, 11025 * 25 / 1000u) << "trailing silence";
    EXPECT_LT(segundos(s), 2.0);
  }
}

TEST(LetterRecordings, LettersAndDigitsAreShort) {
  std::string teclas = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (unsigned char c : teclas) {
    auto s = amostrasDe(letra(c));
    EXPECT_LT(segundos(s), 0.5) << "'" << c << "'";
    EXPECT_GT(segundos(s), 0.08) << "'" << c << "'";
  }
}

TEST(LetterRecordings, CapitalsAreHeardHigherThanSmallLetters) {
  // Case-sensitive levels: B typed for b must be told apart by ear.
  const std::pair<int, int> pares[] = {{'A', 'a'}, {'B', 'b'}, {'M', 'm'}, {'O', 'o'}, {'Z', 'z'},
                                       {193, 225}, {199, 231}, {201, 233}, {213, 245}};
  for (auto [maiuscula, minuscula] : pares) {
    double alta = alturaMediana(amostrasDe(letra(maiuscula)));
    double baixa = alturaMediana(amostrasDe(letra(minuscula)));
    EXPECT_GT(baixa, 60) << minuscula;
    EXPECT_GT(alta, 1.3 * baixa) << maiuscula << " vs " << minuscula << ": " << alta << " Hz, " << baixa << " Hz";
  }
}

TEST(LetterRecordings, LoudnessIsEven) {
  // One key after another must not jump in volume.
  double menor = 1e9, maior = 0;
  int cMenor = -1, cMaior = -1;
  for (int c = 0; c <= 255; ++c) {
    double r = rmsAudivel(amostrasDe(letra(c)));
    if (r < menor) menor = r, cMenor = c;
    if (r > maior) maior = r, cMaior = c;
  }
  EXPECT_LT(maior / menor, 1.8) << "code " << cMaior << " at " << maior << ", code " << cMenor << " at " << menor;
}

// The number reader's words, from its tables, and the file base it derives.
TEST(NumberWords, EveryWordTheReaderCanSayHasItsFile) {
  const std::vector<std::string> palavras = {
      "zero", "um", "dois", "tres", "quatro", "cinco", "seis", "sete", "oito", "nove",
      "dez", "onze", "doze", "treze", "quatorze", "quinze", "dezesseis", "dezessete", "dezoito", "dezenove",
      "vinte", "trinta", "quarenta", "cinquenta", "sessenta", "setenta", "oitenta", "noventa",
      "cem", "cento", "duzentos", "trezentos", "quatrocentos", "quinhentos", "seiscentos", "setecentos",
      "oitocentos", "novecentos",
      "trilh\xe3o", "bilh\xe3o", "milh\xe3o", "mil", "trilh\xf5" "es", "bilh\xf5" "es", "milh\xf5" "es",
      "e", "uma", "duas"};
  std::vector<std::string> bases;
  for (std::string w : palavras) {
    for (char &ch : w) {
      if (ch == '\xe3') ch = 'a';
      if (ch == '\xf5') ch = 'o';
    }
    if (w == "dezessete") w = "dezeset";
    std::string base = ("_" + w).substr(0, 8);
    EXPECT_EQ(std::count(bases.begin(), bases.end(), base), 0) << base << " would be shared";
    bases.push_back(base);
  }
  for (const char *extra : {"_MENOS"}) bases.push_back(extra);
  for (const auto &base : bases) {
    SCOPED_TRACE(base);
    auto s = amostrasDe(letras() / (base + ".wav"));
    if (s.empty()) continue;
    EXPECT_GE(pico(s), 40);
    // Words are joined back to back: no long silence at either end.
    EXPECT_LT(std::abs(s.front()), 8);
    EXPECT_LT(segundos(s), 1.0);
  }
}

TEST(Prompts, AllNineExistAndTheChimeIsShort) {
  for (const char *nome : {"RZINIC", "RZNIVEL", "RZERROU", "RZOK", "RZDENOVO", "RZNANANI", "RZERA", "RZTCHAU", "RZPLIM"}) {
    SCOPED_TRACE(nome);
    auto s = amostrasDe(som() / "retenza" / (std::string(nome) + ".wav"));
    EXPECT_GE(pico(s), 40);
    if (std::string(nome) == "RZPLIM") {
      EXPECT_LT(segundos(s), 0.5);
    } else {
      EXPECT_GT(segundos(s), 0.25);
    }
  }
}

TEST(DiphoneDatabase, IndexIsSortedAndPointsInsideTheSamples) {
  std::string ind = lerArquivo(som() / "difones" / "KLVOZ.IND");
  auto tamDif = fs::file_size(som() / "difones" / "KLVOZ.DIF");
  ASSERT_GT(ind.size(), 0u);
  ASSERT_EQ(ind.size() % 15, 0u);
  std::string anterior;
  std::map<std::string, bool> nomes;
  for (size_t r = 0; r < ind.size(); r += 15) {
    size_t n = static_cast<uint8_t>(ind[r]);
    ASSERT_GE(n, 1u);
    ASSERT_LE(n, 8u);
    std::string nome = ind.substr(r + 1, n);
    SCOPED_TRACE(nome);
    for (char ch : nome) EXPECT_FALSE(ch >= 'a' && ch <= 'z');
    if (r > 0) {
      EXPECT_LT(anterior, nome) << "out of byte order";
    }
    anterior = nome;
    uint32_t tam = le16(ind, r + 9), pos = le32(ind, r + 11);
    EXPECT_GT(tam, 200u);
    EXPECT_LE(uint64_t(pos) + tam, tamDif);
    nomes[nome] = true;
  }
  // The vowels are what every word needs first.
  for (const char *v : {"$A", "$E", "$I", "$O", "$U"}) EXPECT_TRUE(nomes.count(v)) << v;
}

TEST(DiphoneDatabase, RuleAndExceptionFilesAreWellFormed) {
  // Every line a rule: left(focus)right=replacement, the focus key in 32..95,
  // each key's rules in one block (a later block would never be reached).
  std::ifstream regras(som() / "difones" / "regras.rgr", std::ios::binary);
  ASSERT_TRUE(regras);
  std::string linha, chaves;
  int n = 0;
  while (std::getline(regras, linha)) {
    SCOPED_TRACE(linha);
    ++n;
    size_t a = linha.find('('), f = linha.find(')', a), igual = linha.find('=', f);
    ASSERT_TRUE(a != std::string::npos && f != std::string::npos && igual != std::string::npos);
    ASSERT_GT(f, a + 1) << "empty focus";
    EXPECT_LE(f - a - 1, 5u);
    EXPECT_LE(a, 5u);
    EXPECT_LE(igual - f - 1, 5u);
    EXPECT_LE(linha.substr(igual + 1, linha.find('|', igual) - igual - 1).size(), 11u);
    EXPECT_EQ(linha.find('\r'), std::string::npos);
    unsigned char chave = linha[a + 1];
    EXPECT_TRUE(chave >= 32 && chave <= 95);
    if (chaves.empty() || chaves.back() != char(chave)) {
      EXPECT_EQ(chaves.find(char(chave)), std::string::npos) << "key split into two blocks";
      chaves += char(chave);
    }
  }
  EXPECT_GE(n, 26);
  std::ifstream excecoes(som() / "difones" / "portug.exc", std::ios::binary);
  ASSERT_TRUE(excecoes);
  n = 0;
  while (std::getline(excecoes, linha)) {
    SCOPED_TRACE(linha);
    ++n;
    EXPECT_LE(linha.size(), 252u);
    EXPECT_GT(linha.find('='), 0u);
    EXPECT_NE(linha.find('='), std::string::npos);
  }
  EXPECT_GE(n, 1);
}

TEST(DiphoneDatabase, TheEngineStartsOnItAndItsRulesReachRecordedUnits) {
  TempDir t;
  ScopedEnv sys("KALEVO_SYSDIR", t.file("sys"));
  t.write("sys/KALEVO.INI", "[TRADUTOR]\ndirLetras=" + letras().string() + "/\nDIRDIFONES=" +
                                (som() / "difones").string() + "/\n");
  SetDiphoneDatabaseName("KLVOZ");
  ASSERT_EQ(StartDiphoneEngine(), 0);
  EXPECT_EQ(DiphoneIndexCount(), fs::file_size(som() / "difones" / "KLVOZ.IND") / 15);
  std::string w = "exame";
  EXPECT_TRUE(LookUpException(w));
  EXPECT_EQ(w, "ezame");
  // What the rules ask of the database is checked in test_dados.
  CloseDiphoneEngine();
}

TEST(Generator, RefusesABadUnitListBeforeWritingAnything) {
  const std::string boa = "$A [['a]]\n";
  const std::pair<const char *, std::string> casos[] = {
      {"name longer than 8 bytes", "$ABCDEFGH [['a]]\n"},
      {"listed twice", boa + "$a [['a]]\n"},
      {"without text", "$A\n"},
  };
  for (const auto &[porque, lista] : casos) {
    SCOPED_TRACE(porque);
    TempDir t;
    t.write("dados/unidades.txt", "# first line\n" + lista);
    t.write("dados/regras.rgr", "(A)=a |\n");
    t.write("dados/portug.exc", "a=a\n");
    std::string cmd = (buildTree() / "bin" / "gravador").string() + " " + t.file("dados") + " " + t.file("som") +
                      " 2>" + t.file("erro");
    int st = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 1);
    EXPECT_NE(t.read("erro").find("unidades.txt:"), std::string::npos) << t.read("erro");
    EXPECT_FALSE(fs::exists(t.file("som")));
  }
}
