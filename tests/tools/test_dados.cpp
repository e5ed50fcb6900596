// The diphone synthesizer's language data as the build generates it: the
// rules, the exceptions and the unit database, read by the library itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "klconcat.h"
#include "kldifone.h"
#include "klregras.h"
#include "kltradutor.h"
#include "support/tempdir.h"

namespace fs = std::filesystem;

namespace {

fs::path som() { return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "share" / "zolkar" / "som"; }

// The engine started on the generated database, as the game's configuration
// names it.
class Dados : public ::testing::Test {
 protected:
  TempDir t;
  ScopedEnv sys{"KALEVO_SYSDIR", t.file("sys")};
  void SetUp() override {
    t.write("sys/KALEVO.INI", "[TRADUTOR]\ndirLetras=" + (som() / "letras").string() +
                                  "/\nDIRDIFONES=" + (som() / "difones").string() + "/\n");
    SetDiphoneDatabaseName("KLVOZ");
    ASSERT_EQ(StartDiphoneEngine(), 0);
  }
  void TearDown() override { CloseDiphoneEngine(); }

  // The names a word asks for that neither the index nor the letters hold.
  static std::vector<std::string> faltando(const std::string &palavra) {
    std::vector<UnitRequest> pedidos;
    DryRunPhonetic(TranslateText(palavra), false, &pedidos);
    std::vector<std::string> f;
    for (const auto &p : pedidos)
      if (p.depth == 0 && p.outcome != UnitOutcome::Found) f.push_back(p.name);
    return f;
  }
};

// Every rule of regras.rgr, read back from the file the engine loaded.
std::vector<LetterRule> regras() {
  std::ifstream f(som() / "difones" / "regras.rgr");
  std::vector<LetterRule> v;
  for (std::string linha; std::getline(f, linha);) {
    size_t a = linha.find('('), b = linha.find(')', a), c = linha.find('=', b);
    if (a == std::string::npos || b == std::string::npos || c == std::string::npos) continue;
    LetterRule r;
    for (char ch : linha.substr(0, a)) r.left.append(ch);
    for (char ch : linha.substr(a + 1, b - a - 1)) r.focus.append(ch);
    for (char ch : linha.substr(b + 1, c - b - 1)) r.right.append(ch);
    v.push_back(r);
  }
  return v;
}

std::string minusculas(std::string_view s) {
  std::string r(s);
  for (char &c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

bool ehVogal(char c) { return std::string_view("AEIOUY").find(c) != std::string_view::npos; }

}  // namespace

// Every syllable the rules can write: each consonant rule's letters before
// each vowel rule's letters, with what can stand around them (the letters
// its left context names, a vowel, a closing s, r or l, a next syllable),
// through the real translator and the engine's dry run.
TEST_F(Dados, EveryUnitTheRulesCanAskForIsRecorded) {
  auto todas = regras();
  ASSERT_GT(todas.size(), 100u);
  std::set<std::string> consoantes, vogais, antes{"", "a"};
  for (const auto &r : todas) {
    std::string foco = minusculas(r.focus.view());
    (ehVogal(r.focus[0]) ? vogais : consoantes).insert(foco);
    std::string esquerda;
    for (char c : r.left.view())
      if (std::isalpha(static_cast<unsigned char>(c))) esquerda += static_cast<char>(std::tolower(c));
    antes.insert(esquerda);
  }
  consoantes.insert("");
  std::map<std::string, std::string> faltas;  // missing name -> first word asking for it
  size_t palavras = 0;
  for (const auto &p : antes)
    for (const auto &c : consoantes)
      for (const auto &v : vogais)
        for (const char *depois : {"", "s", "r", "l", "ta", "a", "i"}) {
          std::string palavra = p + c + v + depois;
          ++palavras;
          for (const auto &n : faltando(palavra)) faltas.emplace(n, palavra);
        }
  EXPECT_GT(palavras, 10000u);
  std::string lista;
  for (const auto &[n, palavra] : faltas) lista += " " + n + " (" + palavra + ")";
  EXPECT_TRUE(faltas.empty()) << faltas.size() << " names missing:" << lista;
}

// One line for each thing the rules must say as a Brazilian would.
TEST_F(Dados, WordsComeOutAsBrazilianSpeakersSayThem) {
  // word (Windows-1252), phonetic string, the units it asks for
  const struct {
    const char *palavra, *fonetica, *unidades;
  } casos[] = {
      {"caf\xe9", "[ k/a/ f/E']", "$ka $fE'"},  // é open, stressed
      {"av\xf4", "[a/ v/O]", "$a $vO"},  // ô closed
      {"p\xe3""o", "[ p/A~w]", "$pACIRC $AwTIL"},  // ão
      {"m\xe3""e", "[ m/A~y]", "$mACIRC $AyTIL"},  // ãe
      {"p\xf5""e", "[ p/O~y]", "$pOCIRC $OyTIL"},  // õe
      {"campo", "[ k/A~/ p/u]", "$kATIL $pu"},  // am before a consonant
      {"tempo", "[ t/E~/ p/u]", "$tETIL $pu"},  // em before a consonant
      {"bem", "[ b/e~y]", "$beCIRC $eyTIL"},  // final -em
      {"falam", "[ f/A/ l/a~w]", "$fA $laCIRC $awTIL"},  // final -am
      {"sim", "[ s/i~]", "$siTIL"},  // im
      {"bom", "[ b/o~]", "$boTIL"},  // om
      {"um", "[u~]", "$uTIL"},  // um
      {"canto", "[ k/A~/ t/u]", "$kATIL $tu"},  // n before a consonant
      {"olho", "[o/ lh/u]", "$o $lhu"},  // lh
      {"ninho", "[ n/i/ nh/u]", "$ni $nhu"},  // nh
      {"chave", "[ x/A/ v/i]", "$xA $vi"},  // ch
      {"passo", "[ p/A/ s/u]", "$pA $su"},  // ss
      {"carro", "[ k/A/ rr/u]", "$kA $rru"},  // rr
      {"rato", "[ rr/A/ t/u]", "$rrA $tu"},  // initial r
      {"caro", "[ k/A/ r/u]", "$kA $ru"},  // r between vowels
      {"honra", "[ /O~/ rr/a]", "$OTIL $rra"},  // r after n
      {"mar", "[ m/a/r]", "$ma $r"},  // r closing a syllable
      {"casa", "[ k/A/ z/a]", "$kA $za"},  // s between vowels
      {"mesmo", "[ m/E/z/ m/u]", "$mE $z $mu"},  // s before a voiced consonant
      {"xarope", "[ x/a/ r/O/ p/i]", "$xa $rO $pi"},  // initial x
      {"caixa", "[ k/Ay/ x/a]", "$kA $Ay $xa"},  // x after a diphthong
      {"exame", "[e/ z/A/ m/i]", "$e $zA $mi"},  // ex before a vowel
      {"texto", "[ t/E/s/ t/u]", "$tE $s $tu"},  // x before a consonant
      {"fixo", "[ f/i/ ks/u]", "$fi $ksu"},  // x as ks
      {"cedo", "[ s/E/ d/u]", "$sE $du"},  // c before e
      {"gente", "[ j/E~/ tch/i]", "$jETIL $tchi"},  // g before e, final te
      {"queijo", "[ k/Ey/ j/u]", "$kE $Ey $ju"},  // qu before e
      {"quatro", "[ kw/A/ tR/u]", "$kwA $tRu"},  // qu before a
      {"guerra", "[ g/E'/ rr/a]", "$gE' $rra"},  // gu before e
      {"\xe1""gua", "[A/ gw/a]", "$A $gwa"},  // gu before a
      {"sal", "[ s/A/w]", "$sA $Aw"},  // final l
      {"alto", "[a/w/ t/u]", "$aw $tu"},  // l before a consonant
      {"leite", "[ l/Ey/ tch/i]", "$lE $Ey $tchi"},  // final unstressed e, t before e
      {"tarde", "[ t/A/r/ dj/i]", "$tA $r $dji"},  // d before final e
      {"dia", "[ dj/i /a]", "$dji $a"},  // d before i
      {"tia", "[ tch/i /a]", "$tchi $a"},  // t before i
      {"livro", "[ l/i/ vR/u]", "$li $vRu"},  // final unstressed o, cluster
      {"praia", "[ pR/Ay /a]", "$pRA $Ay $a"},  // diphthong before a vowel
      {"muito", "[ m/u~y/ t/u]", "$muCIRC $uyTIL $tu"},  // exception: nasal ui
      {"bola", "[ b/O'/ l/a]", "$bO' $la"},  // exception: open o
  };
  for (const auto &c : casos) {
    SCOPED_TRACE(c.palavra);
    std::string fonetica = TranslateText(c.palavra);
    EXPECT_EQ(fonetica, c.fonetica);
    std::vector<UnitRequest> pedidos;
    DryRunPhonetic(fonetica, false, &pedidos);
    std::string unidades;
    for (const auto &p : pedidos) {
      if (p.depth != 0) continue;
      unidades += (unidades.empty() ? "" : " ") + p.name;
      EXPECT_EQ(p.outcome, UnitOutcome::Found) << p.name;
    }
    EXPECT_EQ(unidades, c.unidades);
  }
}
