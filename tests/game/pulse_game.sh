#!/usr/bin/env bash
# The game heard for real: a PulseAudio server with a null sink, the game in
# an SDL window on a virtual X server with SDL sound, and everything it plays
# recorded from the sink's monitor. A short game is played (level 1, a wrong
# key, "n"), then the recording is checked to hold about as much sound as
# the recordings the game's sound log says it played.
#
# Usage: pulse_game.sh BUILD_DIR
# Exit 77 (skipped) when PulseAudio, parec, sox, Xvfb or xdotool is missing.
set -u

build=${1:?usage: pulse_game.sh BUILD_DIR}
game="$build/bin/retenza"
for tool in pulseaudio pactl parec sox soxi Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for f in sounds.txt screen.txt game.err pulse.log; do
    [ -s "$work/$f" ] && { echo "--- $f"; cat "$work/$f"; }
  done
  exit 1
}

source "$(dirname "$0")/../../scripts/sessao.sh"
start_sound_server "$work" || fail "no sound server"
start_x_server "$work" || fail "no X server"

parec -d null.monitor --format=s16le --rate=22050 --channels=1 --file-format=wav "$work/heard.wav" &
recorder=$!
pids+=($recorder)

KALEVO_DISPLAY=sdl KALEVO_AUDIO=sdl SDL_AUDIODRIVER=pulseaudio KALEVO_SEED=5 \
  KALEVO_SYSDIR="$build/etc" KALEVO_SCREEN="$work/screen.txt" KALEVO_SOUND_LOG="$work/sounds.txt" \
  "$game" >/dev/null 2>"$work/game.err" &
game_pid=$!
pids+=($game_pid)

# Waits until the sound log has a line matching $1 (the game has started
# playing that sound), at most 30 s.
wait_for_sound() {
  for _ in $(seq 300); do
    grep -q -- "$1" "$work/sounds.txt" 2>/dev/null && return 0
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended early"
    sleep 0.1
  done
  fail "no sound $1 was started"
}

window=$(timeout 20 xdotool search --sync --name retenza | head -n1)
[ -n "$window" ] || fail "the game's window did not appear"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window could not take the focus"

# A key typed while a prompt plays waits in the queue for the answer.
wait_for_sound RZNIVEL
xdotool key 1
# The first turn: two chimes, the symbol, half a second; then the answer
# is read. The level 1 alphabet is the vowels, so "z" is always wrong.
wait_for_sound RZPLIM
sleep 3
xdotool key z
# The play-again answer is read after the question has been heard and the
# keyboard flushed.
wait_for_sound RZDENOVO
sleep "$(awk -v d="$(soxi -D "$build/share/zolkar/som/retenza/RZDENOVO.wav")" 'BEGIN { print d + 1 }')"
xdotool key n
wait_for_sound RZTCHAU

wait_for_exit "$game_pid" 200
status=$exit_status
[ "$status" = 0 ] || fail "exit status ${status:-none}, expected 0"
sleep 0.5
kill -INT "$recorder" 2>/dev/null
wait "$recorder" 2>/dev/null

grep -qxF "Tsc, tsc, tsc, tsc, tsc, errou..." "$work/screen.txt" || fail "the game was not lost as planned"

# What should have been heard: the played recordings, end to end.
expected=0
while read -r path; do
  [ -f "$path" ] || fail "the log names a missing recording: $path"
  expected=$(awk -v a="$expected" -v b="$(soxi -D "$path")" 'BEGIN { print a + b }')
done <"$work/sounds.txt"

# What was heard: the recording without its silences.
[ -s "$work/heard.wav" ] || fail "nothing was recorded"
sox "$work/heard.wav" "$work/voiced.wav" silence 1 0.02 1% -1 0.3 1% 2>/dev/null
heard=$(soxi -D "$work/voiced.wav" 2>/dev/null || echo 0)
echo "recordings played: ${expected}s; sound heard: ${heard}s"
ratio_ok=$(awk -v h="$heard" -v e="$expected" 'BEGIN { print (h > e * 0.6 && h < e * 1.6 + 1) ? 1 : 0 }')
[ "$ratio_ok" = 1 ] || fail "heard ${heard}s of sound, expected about ${expected}s"
echo "PASS"
exit 0
