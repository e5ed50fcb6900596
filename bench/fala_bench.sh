#!/usr/bin/env bash
# speakText with the diphone engine against eSpeak NG on the same Portuguese
# text (the fortunes-br collection): kalevo-fala writing a WAV file, and
# espeak-ng -v pt-br -w, each as seconds of audio per CPU second; the ratio.
# Then, in a private session (Xvfb, PulseAudio null sink), the time from the
# call to the first sample handed to the sound card for a 1 000-word text.
#
#   bench/fala_bench.sh BUILD_DIR [BYTES|all]     (default 40000 bytes)
set -euo pipefail

build=$(cd "${1:?usage: fala_bench.sh BUILD_DIR [BYTES|all]}" && pwd)
size=${2:-40000}
fortunes=/usr/share/games/fortunes/brasil
[ -f "$fortunes" ] || { echo "no $fortunes: install fortunes-br (scripts/deps.sh)" >&2; exit 1; }
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT

if [ "$size" = all ]; then cat "$fortunes"; else
  awk -v max="$size" '{ n += length($0) + 1 } /^%$/ && n >= max { exit } { print }' "$fortunes"
fi | sed 's/^%$//' >"$work/texto.txt"
echo "text: $(wc -w <"$work/texto.txt") words, $(wc -c <"$work/texto.txt") bytes of fortunes-br"

# CPU seconds (user + system) of a command; its output goes to files.
cpu_of() {
  /usr/bin/env time -f "%U %S" -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  awk '{ print $1 + $2 }' "$work/time"
}

export KALEVO_SYSDIR="$build/etc"
ours_cpu=$(cpu_of "$build/bin/kalevo-fala" -w "$work/ours.wav" -f "$work/texto.txt")
ours_audio=$(soxi -D "$work/ours.wav")
theirs_cpu=$(cpu_of espeak-ng -v pt-br -w "$work/espeak.wav" -f "$work/texto.txt")
theirs_audio=$(soxi -D "$work/espeak.wav")
awk -v oa="$ours_audio" -v oc="$ours_cpu" -v ea="$theirs_audio" -v ec="$theirs_cpu" 'BEGIN {
  o = oc > 0 ? oa / oc : 0; e = ec > 0 ? ea / ec : 0
  printf "kalevo-fala (diphones): %8.1f s of audio in %6.2f CPU s: %8.1f audio s per CPU s\n", oa, oc, o
  printf "espeak-ng -v pt-br:     %8.1f s of audio in %6.2f CPU s: %8.1f audio s per CPU s\n", ea, ec, e
  if (e > 0) printf "ratio: %.1f\n", o / e
}'

# The first sample of a 1 000-word text, on the sound card.
awk 'BEGIN { RS = "[ \t\n]+" } NR <= 1000 { printf "%s ", $0 }' "$work/texto.txt" >"$work/mil.txt"
source "$(dirname "$0")/../scripts/sessao.sh"
start_sound_server "$work" >/dev/null
start_x_server "$work" >/dev/null
KALEVO_DISPLAY=sdl KALEVO_AUDIO=sdl SDL_AUDIODRIVER=pulseaudio "$build/bin/bench_text_latency" "$work/mil.txt"
