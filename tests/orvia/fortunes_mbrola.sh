#!/usr/bin/env bash
# The whole fortunes-br text through the Orvia front end (kalevo-fala --pho),
# then its first sentences rendered by our mbrola command with our voice:
# every line must be accepted (no -e: an unknown phoneme is fatal), and the
# WAV file must last what the lines' durations add up to and hold speech.
#
#   fortunes_mbrola.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

BUILD=$(cd "${1:?usage: fortunes_mbrola.sh BUILD_DIR SOURCE_DIR}" && pwd)
SOURCE=$(cd "${2:?usage: fortunes_mbrola.sh BUILD_DIR SOURCE_DIR}" && pwd)
FORTUNES=/usr/share/games/fortunes/brasil
VOICE=$BUILD/share/mbrola/kalevo1/kalevo1

falha() { echo "fortunes_mbrola: $*" >&2; exit 1; }
[ -r "$FORTUNES" ] || falha "no $FORTUNES (package fortunes-br, scripts/deps.sh)"
[ -s "$VOICE" ] || falha "no voice at $VOICE"
command -v sox >/dev/null || falha "sox is not installed (scripts/deps.sh)"

TMP=$(mktemp -d /tmp/kalevo-fortunes-XXXXXX)
trap 'rm -rf "$TMP"' EXIT

KALEVO_DISPLAY=headless "$BUILD/bin/kalevo-fala" --pho --orvia "$SOURCE/dados/orvia" -f "$FORTUNES" > "$TMP/todas.pho" \
  || falha "kalevo-fala --pho failed on the fortunes text"
linhas=$(wc -l < "$TMP/todas.pho")
[ "$linhas" -gt 100000 ] || falha "only $linhas lines for the whole fortunes text"

# The first sentences, cut after a word's closing line.
head -n 4000 "$TMP/todas.pho" > "$TMP/parte.pho"
"$BUILD/bin/mbrola" "$VOICE" "$TMP/parte.pho" "$TMP/parte.wav" || falha "mbrola refused the lines"

esperado=$(awk '$0 != "" && substr($0, 1, 1) != ";" { ms += $2 } END { printf "%.3f", ms / 1000 }' "$TMP/parte.pho")
obtido=$(soxi -D "$TMP/parte.wav")
rms=$(sox "$TMP/parte.wav" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
echo "fortunes_mbrola: $linhas lines for the whole text; the first 4000 last ${esperado} s by their durations, ${obtido} s rendered, RMS ${rms}"
awk -v e="$esperado" -v o="$obtido" 'BEGIN { d = e - o; if (d < 0) d = -d; exit !(e > 60 && d < 0.02 * e) }' \
  || falha "rendered ${obtido} s where the durations add up to ${esperado} s"
awk -v r="$rms" 'BEGIN { exit !(r > 0.02) }' || falha "the rendered speech is too quiet (RMS $rms)"
