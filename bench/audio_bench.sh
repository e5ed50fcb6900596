#!/usr/bin/env bash
# Runs the sound benchmarks in a private session (Xvfb, PulseAudio null sink):
# key to first sample (200 keys) and process start to the title's first
# sample (20 starts). Usage: bench/audio_bench.sh BUILD_DIR
set -eu
build=$(cd "${1:?usage: audio_bench.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT
source "$(dirname "$0")/../scripts/sessao.sh"
start_sound_server "$work"
start_x_server "$work"
export KALEVO_DISPLAY=sdl KALEVO_AUDIO=sdl SDL_AUDIODRIVER=pulseaudio KALEVO_SYSDIR="$build/etc"
"$build/bin/bench_latency" >/dev/null
"$build/bin/bench_startup"
