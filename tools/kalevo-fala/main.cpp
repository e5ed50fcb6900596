// kalevo-fala: speaks a text with the speech library, as the game's
// configuration sets it up. The text comes from the arguments, a file or
// standard input, in UTF-8 or Windows-1252.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "klcodepage.h"
#include "klcrt.h"
#include "kldifone.h"
#include "klfala.h"
#include "klconfig.h"
#include "klpath.h"
#include "kltexto.h"
#include "orvia/uttsCadeia.h"
#include "terminal.h"

namespace {

const char *const USAGE =
    "Uso: kalevo-fala [-w ARQUIVO.wav] [-x | --pho | --stages] [--orvia PASTA]\n"
    "                 [-f ARQUIVO | [--] TEXTO...]\n"
    "Fala o texto em portugu\xeas com a voz da biblioteca Kalevo.\n"
    "O texto vem dos argumentos, do ARQUIVO (-f) ou da entrada padr\xe3o,\n"
    "em UTF-8 ou Windows-1252.\n"
    "  -w ARQUIVO.wav  grava o som no arquivo em vez de toc\xe1-lo\n"
    "  -x              mostra, para cada peda\xe7o do texto, o que seria falado\n"
    "                  (a cadeia fon\xe9tica das palavras) em vez de falar\n"
    "  --pho           escreve as linhas de fonemas do Orvia (uma por linha, como\n"
    "                  o sintetizador MBROLA as l\xea) em vez de falar\n"
    "  --stages        escreve cada etapa do Orvia: o texto expandido, as fichas,\n"
    "                  as fichas anotadas, os fonemas e as linhas MBROLA\n"
    "  --orvia PASTA   a pasta dos arquivos do Orvia (portug.nrl, .exc, .abr, .pro,\n"
    "                  .dfn); sem ela, DIR e BASE da se\xe7\xe3o [ORVIATTS]\n"
    "  -f ARQUIVO      l\xea o texto do arquivo\n"
    "  -h              mostra esta ajuda\n"
    "Uma tecla interrompe a fala. A configura\xe7\xe3o \xe9 a do jogo: KALEVO.INI na\n"
    "pasta KALEVO_SYSDIR (ou /etc).\n";

void say(std::ostream &out, const std::string &cp1252) { out << cp1252ToUtf8(cp1252); }

// Whether the bytes are wholly well-formed UTF-8 (shortest forms, no
// surrogates, nothing above U+10FFFF).
bool isUtf8(const std::string &s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t extra;
    uint32_t cp, min;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xc2 && c <= 0xdf) extra = 1, cp = c & 0x1f, min = 0x80;
    else if (c >= 0xe0 && c <= 0xef) extra = 2, cp = c & 0x0f, min = 0x800;
    else if (c >= 0xf0 && c <= 0xf4) extra = 3, cp = c & 0x07, min = 0x10000;
    else return false;
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xc0) != 0x80) return false;
      cp = cp << 6 | (d & 0x3f);
    }
    if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
    i += extra + 1;
  }
  return true;
}

// UTF-8 when it is valid UTF-8 (a byte-order mark dropped), else the bytes
// as Windows-1252. Line ends become blanks: the letters directory's line-end
// recordings would say "enter".
std::string textFromBytes(std::string bytes) {
  std::string text;
  if (isUtf8(bytes)) {
    if (bytes.rfind("\xef\xbb\xbf", 0) == 0) bytes.erase(0, 3);
    text = utf8ToCp1252(bytes);
  } else {
    text = std::move(bytes);
  }
  std::string blanked;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    blanked += text[i] == '\n' || text[i] == '\r' ? ' ' : text[i];
  }
  return blanked;
}

const char *pieceName(TextPieceKind kind) {
  switch (kind) {
    case TextPieceKind::Words: return "palavras";
    case TextPieceKind::Number: return "numero";
    case TextPieceKind::Zero: return "zero";
    case TextPieceKind::Minus: return "menos";
    case TextPieceKind::Char: return "sinal";
    case TextPieceKind::Pause: return "pausa";
    case TextPieceKind::Click: return "clique";
  }
  return "?";
}

// -x: one line a piece: what it is, the piece of text, what would be heard.
void printPiece(TextPieceKind kind, std::string_view piece, std::string_view heard) {
  if (kind == TextPieceKind::Words && heard.empty()) return;  // blanks between pieces
  std::cout << pieceName(kind) << '\t' << cp1252ToUtf8(piece) << '\t' << cp1252ToUtf8(heard) << '\n';
}

enum class OrviaView { None, Pho, Stages };

void printList(const char *title, const StringList &list) {
  std::cout << "# " << title << '\n';
  for (const std::string &line : list) std::cout << cp1252ToUtf8(line) << '\n';
}

// --pho and --stages: the Orvia front end's lines, without sound.
int showOrvia(OrviaView view, std::string folder, const std::string &text) {
  std::string base = configValue("ORVIATTS", "BASE");
  if (base.empty()) base = "portug";
  if (folder.empty()) folder = configValue("ORVIATTS", "DIR");
  if (folder.empty()) folder = "c:\\zolkar\\orviatts";
  folder = nativePath(folder);
  std::string error;
  if (!LoadOrviaData(folder, base, error)) {
    std::cerr << "kalevo-fala: " << folder << ": ";
    say(std::cerr, error + "\n");
    return 1;
  }
  OrviaStages stages = RunOrviaStages(text);
  if (view == OrviaView::Pho) {
    for (const std::string &line : stages.lines) std::cout << cp1252ToUtf8(line) << '\n';
    return 0;
  }
  std::cout << "# texto expandido\n" << cp1252ToUtf8(stages.expanded) << '\n';
  printList("fichas", stages.tokens);
  printList("fichas anotadas", stages.annotated);
  printList("fonemas", stages.phonemes);
  printList("linhas MBROLA", stages.lines);
  return 0;
}

int usageError(const std::string &message) {
  std::cerr << "kalevo-fala: " << message << "\n";
  say(std::cerr, USAGE);
  return 2;
}

// The console the program waits on. A window only when KALEVO_DISPLAY asks
// for one. The sound card needs waits on the real clock; a file or no sound
// at all plays on the headless display's virtual clock, as fast as it goes.
bool chooseConsole(bool toSoundCard) {
  const char *display = std::getenv("KALEVO_DISPLAY");
  if (display && *display) return selectConsoleBackend();
  if (toSoundCard) {
    consoleBackend = &terminalConsoleBackend;
    readTerminalKeys();
    return true;
  }
  setenv("KALEVO_DISPLAY", "headless", 1);
  return selectConsoleBackend();
}

}  // namespace

int main(int argc, char **argv) {
  std::string wavePath, textFile, orviaFolder;
  bool showPieces = false;
  OrviaView orviaView = OrviaView::None;
  int at = 1;
  for (; at < argc; ++at) {
    std::string arg = argv[at];
    if (arg == "--") {
      ++at;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;
    if (arg == "-h" || arg == "--help") {
      say(std::cout, USAGE);
      return 0;
    }
    if (arg == "-x") {
      showPieces = true;
    } else if (arg == "--pho" || arg == "--stages") {
      orviaView = arg == "--pho" ? OrviaView::Pho : OrviaView::Stages;
    } else if (arg == "--orvia") {
      if (at + 1 >= argc) return usageError(arg + " precisa de uma pasta");
      orviaFolder = argv[++at];
    } else if (arg == "-w" || arg == "-f") {
      if (at + 1 >= argc) return usageError(arg + " precisa de um nome de arquivo");
      (arg == "-w" ? wavePath : textFile) = argv[++at];
    } else {
      return usageError("op\xe7\xe3o desconhecida: " + arg);
    }
  }

  std::string bytes;
  if (!textFile.empty()) {
    if (at < argc) return usageError("texto e -f ao mesmo tempo");
    std::ifstream in(textFile, std::ios::binary);
    if (!in) {
      std::cerr << "kalevo-fala: " << textFile << ": ";
      say(std::cerr, "n\xe3o foi poss\xedvel ler o arquivo\n");
      return 1;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else if (at < argc) {
    for (int i = at; i < argc; ++i) bytes += std::string(i > at ? " " : "") + argv[i];
  } else {
    bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::string text = textFromBytes(std::move(bytes));
  if (orviaView != OrviaView::None) {
    if (!wavePath.empty() || showPieces) return usageError("--pho e --stages n\xe3o se combinam com -w nem -x");
    setenv("KALEVO_DISPLAY", "headless", 0);
    if (!selectConsoleBackend()) return 1;
    int status = showOrvia(orviaView, orviaFolder, text);
    std::cout.flush();
    return status;
  }

  if (!wavePath.empty()) {
    // Checked here: the capture device would only warn and play nothing.
    FILE *probe = std::fopen(wavePath.c_str(), "wb");
    if (!probe) {
      std::cerr << "kalevo-fala: " << wavePath << ": ";
      say(std::cerr, "n\xe3o foi poss\xedvel gravar o arquivo\n");
      return 1;
    }
    std::fclose(probe);
    setenv("KALEVO_AUDIO", ("capture:" + wavePath).c_str(), 1);
  } else if (showPieces) {
    setenv("KALEVO_AUDIO", "null", 1);
  } else if (!std::getenv("KALEVO_DISPLAY") || !*std::getenv("KALEVO_DISPLAY")) {
    setenv("KALEVO_AUDIO", "sdl", 0);
  }
  const char *audio = std::getenv("KALEVO_AUDIO");
  bool toSoundCard = !audio || std::strcmp(audio, "sdl") == 0;
  if (!chooseConsole(toSoundCard)) return 1;

  // The engine's start is tried first, so that a failure is a message and
  // an exit status here instead of the game's wait for Enter.
  loadSpeedSettings(speechSpeedFor(0));
  int result = StartDiphoneEngine();
  if (result != 0) {
    std::cerr << "kalevo-fala: ";
    say(std::cerr, "Erro de inicializa\xe7\xe3o: " + std::to_string(result) + "\n");
    say(std::cerr, "Banco de dados de voz: " + DiphoneSettings().databaseName + "\n");
    CloseDiphoneEngine();
    return 1;
  }
  CloseDiphoneEngine();
  startSpeech(0, "");

  if (showPieces) setTextPieceListener(printPiece);
  speakText(text);
  std::cout.flush();
  endSpeech();
  while (keyPressed()) readKey();
  return 0;
}
