#!/usr/bin/env bash
# Our MBROLA-compatible synthesizer against eSpeak NG on the same Portuguese
# text (the fortunes-br collection): eSpeak's mb-br4 voice writes the phoneme
# lines (--pho), our synthesizer renders them, and eSpeak's own pt-br voice
# renders the text (-w). Both as seconds of audio per CPU second, and the
# ratio; also the voice's size and load time.
#
#   bench/mbrola_bench.sh BUILD_DIR [BYTES|all]
#
# BYTES (default 40000) is how much of the collection is read, cut at a
# fortune's end; "all" takes the whole 250 kB (several minutes).
set -euo pipefail

BUILD=$(cd "${1:?usage: mbrola_bench.sh BUILD_DIR [BYTES|all]}" && pwd)
TAMANHO=${2:-40000}
VOICE=$BUILD/share/mbrola/kalevo1/kalevo1
FORTUNES=/usr/share/games/fortunes/brasil

falha() { echo "mbrola_bench: $*" >&2; exit 1; }
command -v espeak-ng >/dev/null || falha "espeak-ng is not installed (scripts/deps.sh)"
[ -f "$FORTUNES" ] || falha "no $FORTUNES: install fortunes-br (scripts/deps.sh)"
for f in "$BUILD/bin/mbrola" "$BUILD/bin/bench_mbrola" "$VOICE"; do
  [ -e "$f" ] || falha "missing $f: build the mbrola_comando, bench_mbrola and voz_mbrola targets"
done

DADOS=$(espeak-ng --version | sed -n 's/.*Data at: *//p')
[ -d "$DADOS/voices" ] || DADOS=/usr/lib/x86_64-linux-gnu/espeak-ng-data
TMP=$(mktemp -d /tmp/kalevo-bench-XXXXXX)
trap 'rm -rf "$TMP"' EXIT
# eSpeak's mb-br4 needs the voice and the mbrola command even to write phonemes.
cp -rL "$DADOS" "$TMP/espeak-ng-data"
mkdir -p "$TMP/espeak-ng-data/mbrola"
cp "$VOICE" "$TMP/espeak-ng-data/mbrola/br4"
export ESPEAK_DATA_PATH=$TMP PATH="$BUILD/bin:$PATH"

# The fortunes as paragraphs: "%" lines separate them.
if [ "$TAMANHO" = all ]; then cat "$FORTUNES"; else
  awk -v max="$TAMANHO" '{ n += length($0) + 1 } /^%$/ && n >= max { exit } { print }' "$FORTUNES"
fi | sed 's/^%$//' > "$TMP/texto.txt"

espeak-ng -q -v mb-br4 --pho -f "$TMP/texto.txt" > "$TMP/texto.pho" 2> "$TMP/pho.err" ||
  { cat "$TMP/pho.err" >&2; falha "espeak-ng --pho failed"; }

"$BUILD/bin/bench_mbrola" "$VOICE" "$TMP/texto.pho" > "$TMP/nosso.txt"
valor() { awk -v k="$1" '$1 == k { print $2 }' "$TMP/nosso.txt"; }

# eSpeak NG's CPU time (user + system) from bash's time keyword.
TIMEFORMAT='%U %S'
{ time espeak-ng -v pt-br -w "$TMP/espeak.wav" -f "$TMP/texto.txt" 2>/dev/null; } 2> "$TMP/tempo.txt"
read -r usuario sistema < "$TMP/tempo.txt"
taxa=$(od -An -tu4 -j24 -N4 "$TMP/espeak.wav" | tr -d ' ')
bytes=$(( $(stat -c %s "$TMP/espeak.wav") - 44 ))

awk -v texto="$(wc -c < "$TMP/texto.txt")" -v linhas="$(valor phoneme_lines)" \
    -v na="$(valor audio_s)" -v nc="$(valor cpu_s)" -v nr="$(valor audio_s_per_cpu_s)" \
    -v ea="$(awk -v b="$bytes" -v t="$taxa" 'BEGIN { print b / 2 / t }')" -v eu="$usuario" -v es="$sistema" \
    -v vb="$(valor voice_bytes)" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" -v vl="$(valor voice_load_ms)" -v vc="$(valor voice_load_cpu_ms)" 'BEGIN {
  ec = eu + es; er = ec > 0 ? ea / ec : 0
  printf "load average: %s\n", load
  printf "text: %d bytes of fortunes-br, %d mb-br4 phoneme lines\n", texto, linhas
  printf "%-28s %10s %10s %16s\n", "", "audio s", "CPU s", "audio s / CPU s"
  printf "%-28s %10.1f %10.2f %16.1f\n", "our mbrola (mb-br4 lines)", na, nc, nr
  printf "%-28s %10.1f %10.2f %16.1f\n", "espeak-ng -v pt-br -w", ea, ec, er
  printf "ratio (ours / espeak-ng): %.1f\n", (er > 0 ? nr / er : 0)
  printf "voice kalevo1: %.2f MB on disk, loads in %.1f ms (%.1f ms of CPU; median of 15)\n", vb / 1e6, vl, vc
}'
