// Any sequence of keyboard events, with any modifiers, through the console's
// key handlers: the key table, Alt codes, system keys, the full queue, the
// Braille chords in every mode and the mode switch with its tones.
//
// Two bytes an event. First byte: bits 0-1 the kind (key down, system key
// down, key up, character), bit 2 Shift, bit 3 Ctrl, bit 4 Alt, bit 5 the
// break check, bit 6 take one code out of the queue afterwards. Second
// byte: the virtual key or the character.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "klcrt_internal.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool started = false;
  if (!started) {
    started = true;
    // Tones play on the headless display; no settings file changes the start.
    setenv("KALEVO_DISPLAY", "headless", 1);
    setenv("KALEVO_SYSDIR", "/nonexistent-kalevo-fuzz-dir", 1);
  }
  console.queueCount = 0;
  console.brailleMode = 0;
  console.chord = console.held = 0;
  console.numberMode = console.capital = console.capsLock = false;

  static const ConsoleEventKind KINDS[4] = {ConsoleEventKind::KeyDown, ConsoleEventKind::SysKeyDown,
                                            ConsoleEventKind::KeyUp, ConsoleEventKind::Char};
  for (size_t i = 0; i + 1 < size; i += 2) {
    const uint8_t flags = data[i];
    ConsoleEvent event;
    event.kind = KINDS[flags & 3];
    event.shift = flags & 4;
    event.ctrl = flags & 8;
    event.alt = flags & 16;
    event.code = data[i + 1];
    console.breakCheck = flags & 32;
    // With the break check on, the Cancel key ends the program: not here.
    if (console.breakCheck && event.code == VK_CANCEL) console.breakCheck = false;

    switch (event.kind) {
      case ConsoleEventKind::KeyDown:
      case ConsoleEventKind::SysKeyDown: handleKeyDownEvent(event); break;
      case ConsoleEventKind::KeyUp: handleKeyUpEvent(event); break;
      default: handleCharEvent(event); break;
    }
    if ((flags & 64) && console.queueCount > 0) {
      --console.queueCount;
      std::memmove(console.queue, console.queue + 1, static_cast<size_t>(console.queueCount));
    }

    check(console.queueCount >= 0 && console.queueCount <= KEY_QUEUE_SIZE);
    check(console.brailleMode >= 0 && console.brailleMode <= 2);
    // Keys still held are keys of the chord being typed.
    check((console.held & ~console.chord) == 0);
    // Leaving Braille input forgets the chord and the signs.
    if (console.brailleMode == 0)
      check(console.chord == 0 && console.held == 0 && !console.numberMode && !console.capital &&
            !console.capsLock);
  }
  console.breakCheck = true;
  return 0;
}
