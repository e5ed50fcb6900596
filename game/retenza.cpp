#include "retenza.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "klconfig.h"
#include "klcrt.h"
#include "klfala.h"

const char GAME_VOWELS[] = "aeiou";
const char GAME_CONSONANTS[] = "bcdfghjklmnpqrstvwxyz";
const char GAME_DIGITS[] = "0123456789";
const char GAME_PUNCTUATION[] = {',', '.', '/', '<', '>', '?', ';', '\'', ':', '"', '[',
                                 ']', '{', '}', '`', '~', '!', '@', '#', '$', '%', '^',
                                 '&', '*', '(', ')', '-', '_', '=', '+', '\\', '|', 0};
const int LEVEL_LENGTH[9] = {5, 10, 15, 20, 20, 25, 20, 15, 35};

namespace {

const char *const LINE_END = "\r\n";

uint64_t randomState = 0;

std::string sequence;
char level = 0;

// splitmix64: small, fast and well mixed; enough for a game.
uint64_t nextRandom() {
  uint64_t z = (randomState += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// A uniform byte reduced modulo n: the first (256 mod n) entries come a
// little more often, as the game has always drawn them.
unsigned randomIndex(unsigned n) { return randomBelow(256) % n; }

void flushKeyboard() {
  while (keyPressed()) readKey();
}

void put(const char *text) { std::cout << text; }
void putChar(char c) { std::cout << c; }
void newLine() { std::cout << LINE_END; }

void prompt(const char *name) {
  if (std::strcmp(name, "RZINIC") == 0) {
    setTextBackground(1);
    put("JOGO DE MEMORIA ZEK");
    newLine();
    setTextBackground(0);
  } else if (std::strcmp(name, "RZNIVEL") == 0) {
    put("Escolha seu nivel de 1 a 9: ");
  } else if (std::strcmp(name, "RZERROU") == 0) {
    newLine();
    put("Tsc, tsc, tsc, tsc, tsc, errou...");
    newLine();
  } else if (std::strcmp(name, "RZOK") == 0) {
    put("***** Maravilhoso, explendido, tremendo ! *****");
    newLine();
  } else if (std::strcmp(name, "RZDENOVO") == 0) {
    put("Quer jogar de novo (s/n) ? ");
  } else if (std::strcmp(name, "RZNANANI") == 0) {
    put("Nananinanana...");
    newLine();
  } else if (std::strcmp(name, "RZERA") == 0) {
    put("Era apenas o seguinte: ");
    newLine();
  } else if (std::strcmp(name, "RZTCHAU") == 0) {
    put("Tchau.");
    newLine();
  } else if (std::strcmp(name, "RZPLIM") == 0) {
    // The chime is heard twice: once here, once by the common step below.
    delay(500);
    playSound(name);
    delay(500);
  }
  playSound(name);
}

void seedFromEnvironmentOrClock() {
  const char *seed = std::getenv("KALEVO_SEED");
  if (seed && *seed) {
    char *end = nullptr;
    unsigned long long value = std::strtoull(seed, &end, 10);
    if (end && *end == 0) {
      seedRandom(value);
      return;
    }
  }
  seedRandom(static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
}

void startUp() {
  std::string soundDirectory = configValue("RETENZA", "DIRRETENZA");
  startSpeech(0, soundDirectory);
  setStopOnKey(false);
  prompt("RZINIC");
  seedFromEnvironmentOrClock();
}

void chooseLevel() {
  newLine();
  do {
    delay(200);
    while (speechBusy()) {
    }
    flushKeyboard();
    prompt("RZNIVEL");
    level = static_cast<char>(readKeySpoken());
    putChar(level);
    newLine();
    if (level == 27) {
      endSpeech();
      closeConsole();
    }
    if (level < '1' || level > '9') prompt("RZNANANI");
    flushKeyboard();
  } while (level < '1' || level > '9');
}

void playGame() {
  sequence.clear();
  delay(1000);
  size_t length = static_cast<size_t>(LEVEL_LENGTH[level - '1']);
  while (sequence.size() < length) {
    putChar('\r');
    clearToLineEnd();
    flushKeyboard();
    sequence += nextSymbol(level);
    prompt("RZPLIM");
    for (char symbol : sequence) {
      putChar(symbol);
      speakChar(static_cast<uint8_t>(symbol));
    }
    flushKeyboard();
    delay(500);
    for (size_t i = 0; i < sequence.size(); ++i) put("\b \b");
    for (char symbol : sequence) {
      uint8_t key = readKeySpoken();
      if (key >= 20) putChar(static_cast<char>(key));
      if (key != static_cast<uint8_t>(symbol)) {
        newLine();
        prompt("RZERROU");
        prompt("RZERA");
        for (char shown : sequence) {
          speakChar(static_cast<uint8_t>(shown));
          putChar(shown);
        }
        newLine();
        return;
      }
    }
  }
  newLine();
  prompt("RZOK");
}

}  // namespace

void seedRandom(uint64_t seed) { randomState = seed; }

unsigned randomBelow(unsigned n) {
  if (n <= 1) return 0;
  // Rejection keeps R(n) exactly uniform.
  uint64_t limit = UINT64_MAX - UINT64_MAX % n;
  uint64_t r;
  do {
    r = nextRandom();
  } while (r >= limit);
  return static_cast<unsigned>(r % n);
}

char nextSymbol(char levelKey) {
  auto vowel = [] { return GAME_VOWELS[randomIndex(5)]; };
  auto digit = [] { return GAME_DIGITS[randomIndex(10)]; };
  auto consonant = [] { return GAME_CONSONANTS[randomIndex(21)]; };
  auto punctuation = [] { return GAME_PUNCTUATION[randomIndex(32)]; };
  switch (levelKey) {
    case '1': return vowel();
    case '2': return digit();
    case '3': return randomBelow(2) == 0 ? vowel() : digit();
    case '4': return randomBelow(2) == 0 ? vowel() : consonant();
    case '5': return randomBelow(2) == 0 ? digit() : consonant();
    case '6': {
      unsigned c = randomBelow(3);
      return c == 0 ? vowel() : c == 1 ? digit() : consonant();
    }
    case '7': return randomBelow(2) == 0 ? digit() : punctuation();
    case '8': return randomBelow(2) == 0 ? vowel() : punctuation();
    case '9':
      switch (randomBelow(4)) {
        case 0: return vowel();
        case 1: return consonant();
        case 2: return GAME_DIGITS[randomIndex(9)];  // '0' to '8' only
        default: return punctuation();
      }
    default: return ' ';
  }
}

void runGame() {
  startUp();
  for (;;) {
    chooseLevel();
    playGame();
    newLine();
    prompt("RZDENOVO");
    flushKeyboard();
    uint8_t answer = readKeySpoken();
    if (answer > 20) {
      putChar(static_cast<char>(answer));
      newLine();
    }
    if (answer >= 'a' && answer <= 'z') answer = static_cast<uint8_t>(answer - 32);
    if (answer != 'S') break;
  }
  prompt("RZTCHAU");
  endSpeech();
  closeConsole();
}
