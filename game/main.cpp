// retenza: the spoken sequence-memory game.
#include "klcrt.h"
#include "retenza.h"

int main() {
  if (!selectConsoleBackend()) return 1;
  bindConsoleStdio();
  runGame();
}
