#!/usr/bin/env bash
# eSpeak NG's mb-br4 voice speaks a Portuguese sentence through our mbrola
# command and our voice: a private copy of eSpeak's data directory gets our
# voice as mbrola/br4, our bin/ goes first on PATH (eSpeak runs "mbrola" by
# name), and the WAV file must hold speech as long as eSpeak's own phoneme
# durations add up to, with sound where the phonemes are and quiet in the
# long pauses.
#
#   espeak_br4.sh BUILD_DIR
set -euo pipefail

BUILD=$(cd "${1:?usage: espeak_br4.sh BUILD_DIR}" && pwd)
VOICE=$BUILD/share/mbrola/kalevo1/kalevo1
FRASE="O rato roeu a roupa do rei de Roma. Depois, a rainha ficou muito brava com ele."

falha() { echo "espeak_br4: $*" >&2; exit 1; }

command -v espeak-ng >/dev/null || falha "espeak-ng is not installed (scripts/deps.sh)"
[ -x "$BUILD/bin/mbrola" ] || falha "no $BUILD/bin/mbrola: build the mbrola_comando target"
[ -s "$VOICE" ] || falha "no voice at $VOICE: build the voz_mbrola target"

# eSpeak says where its data lives; the usual Debian place otherwise.
DADOS=$(espeak-ng --version | sed -n 's/.*Data at: *//p')
for d in "$DADOS" /usr/lib/x86_64-linux-gnu/espeak-ng-data /usr/share/espeak-ng-data; do
  if [ -n "$d" ] && [ -d "$d/voices" ]; then DADOS=$d; break; fi
done
[ -d "$DADOS/voices" ] || falha "cannot find espeak-ng-data"

TMP=$(mktemp -d /tmp/kalevo-espeak-XXXXXX)
trap 'rm -rf "$TMP"' EXIT
# ESPEAK_DATA_PATH names the folder that holds espeak-ng-data.
cp -rL "$DADOS" "$TMP/espeak-ng-data"
mkdir -p "$TMP/espeak-ng-data/mbrola"
cp "$VOICE" "$TMP/espeak-ng-data/mbrola/br4"
if [ ! -f "$TMP/espeak-ng-data/voices/mb/mb-br4" ]; then
  # Debian ships this definition; our own, for data directories without it.
  mkdir -p "$TMP/espeak-ng-data/voices/mb"
  printf 'name brazil-mbrola-4\nlanguage pt-br 6\ngender female\npitch 140 220\nmbrola br4 ptbr4_phtrans\n' \
    > "$TMP/espeak-ng-data/voices/mb/mb-br4"
fi
[ -f "$TMP/espeak-ng-data/mbrola_ph/ptbr4_phtrans" ] || falha "espeak-ng-data lacks mbrola_ph/ptbr4_phtrans"

export ESPEAK_DATA_PATH=$TMP
export PATH="$BUILD/bin:$PATH"
[ "$(command -v mbrola)" = "$BUILD/bin/mbrola" ] || falha "mbrola on PATH is $(command -v mbrola), not ours"
cd "$TMP"

timeout 120 espeak-ng -q -v mb-br4 --pho "$FRASE" > frase.pho 2> pho.err ||
  { cat pho.err >&2; falha "espeak-ng --pho failed"; }
timeout 120 espeak-ng -v mb-br4 -w frase.wav "$FRASE" 2> wav.err ||
  { cat wav.err >&2; falha "espeak-ng -w failed"; }
# eSpeak reports our command's complaints, but carries on.
if grep -qi "mbrola\|error" pho.err wav.err; then cat pho.err wav.err >&2; falha "errors from espeak-ng or mbrola"; fi

# The header: RIFF WAVE, PCM, one channel, 16 bits, at our rate.
[ "$(head -c 4 frase.wav)" = RIFF ] && [ "$(head -c 12 frase.wav | tail -c 4)" = WAVE ] ||
  falha "frase.wav is not a WAV file"
read -r formato canais taxa < <(od -An -tu2 -j20 -N4 frase.wav | tr '\n' ' '; od -An -tu4 -j24 -N4 frase.wav)
bits=$(od -An -tu2 -j34 -N2 frase.wav | tr -d ' ')
[ "$formato $canais $taxa $bits" = "1 1 16000 16" ] || falha "frase.wav: format $formato, $canais channels, $taxa Hz, $bits bits"
tamanho=$(stat -c %s frase.wav)
amostras=$(( (tamanho - 44) / 2 ))

# The phoneme lines: name, duration, pitch pairs; ";" comments, blank lines.
awk '!/^;/ && NF >= 2 { print $1, $2 }' frase.pho > fonemas.txt
[ -s fonemas.txt ] || falha "espeak-ng wrote no phoneme lines"

od -An -v -td2 -w2 -j44 frase.wav | awk -v n="$amostras" -v taxa="$taxa" '
  NR == FNR { nome[NR] = $1; dur[NR] = $2; soma += $2; linhas = NR; next }
  { x[FNR - 1] = $1 }
  END {
    esperado = soma * taxa / 1000
    printf "espeak_br4: %d phoneme lines, %.3f s asked, %.3f s written\n", linhas, soma / 1000, n / taxa
    # One pitch period and a little rounding on each line is the most the
    # length may drift.
    if (n < esperado - taxa * 0.03 - linhas || n > esperado + taxa * 0.03 + linhas) {
      print "espeak_br4: the length does not match the phoneme durations"; exit 1
    }
    # Loudness of the middle of each phoneme (its ends share the neighbours),
    # over speech phonemes and over long pauses.
    t = 0
    for (i = 1; i <= linhas; ++i) {
      a = int((t + dur[i] * 0.25) * taxa / 1000); b = int((t + dur[i] * 0.75) * taxa / 1000)
      t += dur[i]
      if (nome[i] == "_" && dur[i] < 100) continue
      e = 0
      for (k = a; k < b && k < n; ++k) e += x[k] * x[k]
      if (b <= a) continue
      rms = sqrt(e / (b - a))
      if (nome[i] == "_") { pausas++; if (rms > maxPausa) maxPausa = rms }
      else if (nome[i] ~ /^([aeiou@]|ee|oo|an|en|in|on|un)$/) { vogais++; somaVogal += rms; if (rms < 300) mudas++ }
    }
    printf "espeak_br4: %d vowels, mean RMS %.0f, %d nearly silent; %d long pauses, loudest %.0f\n",
           vogais, somaVogal / (vogais ? vogais : 1), mudas, pausas, maxPausa
    if (vogais < 10) { print "espeak_br4: too few vowels in the phoneme lines"; exit 1 }
    if (somaVogal / vogais < 1000 || mudas > vogais / 10) { print "espeak_br4: the vowels are not heard"; exit 1 }
    if (pausas < 1 || maxPausa > somaVogal / vogais / 10) { print "espeak_br4: the pauses are not quiet"; exit 1 }
  }' fonemas.txt - || falha "frase.wav does not hold the sentence's speech"
echo "espeak_br4: ok"
