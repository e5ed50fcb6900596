#include "fonemas.h"

#include <algorithm>

namespace qualidade {

namespace {

bool vogal(const Fonema &f) {
  return f.s.size() == 1 && std::string_view("aeEioOu").find(f.s[0]) != std::string_view::npos;
}
bool nasalConsoante(const Fonema &f) { return f.s == "m" || f.s == "n" || f.s == "ny"; }

void nasalizar(Fonemas &f) {
  for (auto it = f.rbegin(); it != f.rend(); ++it)
    if (vogal(*it)) {
      it->nasal = true;
      return;
    }
}

// What both sides may write differently for the same speech.
Fonemas igualar(const Fonemas &f) {
  Fonemas r;
  for (size_t i = 0; i < f.size(); ++i) {
    bool antesDeVogal = i + 1 < f.size() && vogal(f[i + 1]);
    // m or n closing a syllable is the nasal vowel before it.
    if (nasalConsoante(f[i]) && f[i].s != "ny" && !r.empty() && vogal(r.back()) && !antesDeVogal) {
      r.back().nasal = true;
      continue;
    }
    // d + j and t + x, in two units, are heard as dj and tch.
    if (!r.empty() && ((r.back().s == "d" && f[i].s == "Z") || (r.back().s == "t" && f[i].s == "S"))) {
      r.back().s += f[i].s;
      continue;
    }
    // lh is written l + glide by eSpeak: l i for both.
    if (f[i].s == "ly") {
      r.push_back({"l"});
      r.push_back({"i"});
      continue;
    }
    r.push_back(f[i]);
  }
  // A nasal diphthong is nasal on its first vowel: ão, ãe, õe, em.
  for (size_t i = 0; i + 1 < r.size(); ++i)
    if (vogal(r[i]) && (r[i + 1].s == "i" || r[i + 1].s == "u") && r[i + 1].nasal) {
      r[i].nasal = true;
      r[i + 1].nasal = false;
    }
  Fonemas q;
  for (size_t i = 0; i < r.size(); ++i) {
    // The glide of a nasal e (bem, tempo) is heard in some accents only.
    if (r[i].s == "i" && !r[i].nasal && !q.empty() && q.back().s == "e" && q.back().nasal &&
        (i + 1 == r.size() || !vogal(r[i + 1])))
      continue;
    q.push_back(r[i]);
  }
  // A vowel before m, n or nh is nasalised by it anyway.
  for (size_t i = 0; i + 2 < q.size(); ++i)
    if (vogal(q[i]) && nasalConsoante(q[i + 1]) && vogal(q[i + 2])) q[i].nasal = false;
  return q;
}

}  // namespace

Fonemas deNotacao(std::string_view t) {
  Fonemas f;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    auto segue = [&](std::string_view s) { return t.substr(i, s.size()) == s; };
    if (c == '[' || c == ']' || c == '/' || c == ' ') continue;
    if (c == '_' && i + 1 < t.size()) {
      f.push_back({std::string("?") + t[++i]});
      continue;
    }
    if (c == '~') {
      nasalizar(f);
      continue;
    }
    if (c == '\'' || c == '^') continue;
    char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool aberta = i + 1 < t.size() && t[i + 1] == '\'';
    if (segue("tch")) { f.push_back({"tS"}); i += 2; continue; }
    if (segue("dj")) { f.push_back({"dZ"}); i += 1; continue; }
    if (segue("nh")) { f.push_back({"ny"}); i += 1; continue; }
    if (segue("lh")) { f.push_back({"ly"}); i += 1; continue; }
    if (segue("rr")) { f.push_back({"R"}); i += 1; continue; }
    switch (l) {
      case 'a': case 'i': case 'u': f.push_back({std::string(1, l)}); break;
      case 'e': f.push_back({aberta ? "E" : "e"}); break;
      case 'o': f.push_back({aberta ? "O" : "o"}); break;
      case 'y': f.push_back({"i"}); break;
      case 'w': f.push_back({"u"}); break;
      case 'x': f.push_back({"S"}); break;
      case 'j': f.push_back({"Z"}); break;
      default: f.push_back({std::string(1, l)});
    }
  }
  return igualar(f);
}

Fonemas deEspeak(std::string_view t) {
  Fonemas f;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    auto segue = [&](std::string_view s) { return t.substr(i, s.size()) == s; };
    if (segue("@-")) { ++i; continue; }
    if (std::string_view("'\",%=_:;#|@-!0123456789").find(c) != std::string_view::npos) continue;
    if (c == '~') { nasalizar(f); continue; }
    if (c == 'N') {
      if (!f.empty() && vogal(f.back())) nasalizar(f);
      else f.push_back({"n"});
      continue;
    }
    if (segue("tS")) { f.push_back({"tS"}); ++i; continue; }
    if (segue("dZ")) { f.push_back({"dZ"}); ++i; continue; }
    if (segue("n^")) { f.push_back({"ny"}); ++i; continue; }
    if (segue("l^")) { f.push_back({"ly"}); ++i; continue; }
    if (segue("lj")) { f.push_back({"ly"}); ++i; continue; }
    switch (c) {
      case '&': f.push_back({"a"}); break;
      case 'a': case 'e': case 'E': case 'i': case 'o': case 'O': case 'u': f.push_back({std::string(1, c)}); break;
      case 'I': case 'y': case 'j': f.push_back({"i"}); break;
      case 'U': case 'w': f.push_back({"u"}); break;
      case '*': case 'R': case 'r': f.push_back({"r"}); break;
      case 'x': case 'h': f.push_back({"R"}); break;
      default:
        if (std::string_view("pbtdkgfvszSZmnl").find(c) != std::string_view::npos) f.push_back({std::string(1, c)});
        else f.push_back({std::string("?") + c});
    }
  }
  return igualar(f);
}

size_t distancia(const Fonemas &a, const Fonemas &b) {
  std::vector<size_t> ant(b.size() + 1), cur(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) ant[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= b.size(); ++j)
      cur[j] = std::min({ant[j] + 1, cur[j - 1] + 1, ant[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    std::swap(ant, cur);
  }
  return ant[b.size()];
}

std::string texto(const Fonemas &f) {
  std::string s;
  for (const auto &x : f) {
    if (!s.empty()) s += ' ';
    s += x.s;
    if (x.nasal) s += '~';
  }
  return s;
}

}  // namespace qualidade
