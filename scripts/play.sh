#!/usr/bin/env bash
# Builds the game (and its data) and starts it from the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKALEVO_TESTS=OFF -DKALEVO_BENCH=OFF -DKALEVO_FUZZ=OFF >/dev/null
cmake --build build -j"$(nproc)" --target retenza dados_gerados
KALEVO_SYSDIR="$PWD/build/etc" exec build/bin/retenza
