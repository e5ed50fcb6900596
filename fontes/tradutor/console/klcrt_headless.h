// Extras of the headless display, for tests and the virtual-time players.
#pragma once

#include <cstdint>
#include <string>

#include "klcrt_backend.h"

// What the headless display was asked to do, for tests to look at.
struct HeadlessStats {
  unsigned windowsCreated = 0;
  std::string title;
  uint64_t drawCalls = 0, cellsDrawn = 0;
  unsigned blitScrolls = 0, invalidations = 0, beeps = 0;
  bool caretVisible = false;
  int caretX = 0, caretY = 0, caretW = 0, caretH = 0;
  bool magnifying = false;
  int magnifierSource[4] = {0, 0, 0, 0};
  bool tonePlaying = false;
  size_t toneBytes = 0;
  unsigned tonesStarted = 0;
};

const HeadlessStats &headlessStats();

// Queues an event now, as the window system would.
void headlessInject(const ConsoleEvent &event);

// Queues an event for the moment the virtual clock reaches due.
void headlessPostAt(uint64_t due, const ConsoleEvent &event);
