#!/usr/bin/env bash
# The game in a real SDL window on a virtual X server, played with xdotool:
# level 1, a wrong key on purpose (the sequence is unknown), Braille mode on
# from the keyboard, "s" typed as a Braille chord at the play-again question,
# and Alt+F4 at the new level question. The screen is dumped at the end.
#
# Usage: xvfb_game.sh BUILD_DIR   (the game is BUILD_DIR/bin/retenza)
# Exit 77 (skipped) when Xvfb or xdotool is not installed.
set -u

build=${1:?usage: xvfb_game.sh BUILD_DIR}
game="$build/bin/retenza"
for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
if [ ! -x "$game" ]; then
  echo "FAIL: no game at $game"
  exit 1
fi

work=$(mktemp -d)
source "$(dirname "$0")/../../scripts/sessao.sh"
xvfb_pid=
game_pid=
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  if [ -s "$work/screen.txt" ]; then
    echo "--- screen"
    cat "$work/screen.txt"
  fi
  if [ -s "$work/game.err" ]; then
    echo "--- game stderr"
    cat "$work/game.err"
  fi
  exit 1
}

# The server picks a free display and tells its number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

# The build tree's configuration (speech needs its diphone database), with
# the prompts and letters pointed at an empty folder: every recording is
# missing, so each step takes only the game's own pauses.
[ -f "$build/etc/KALEVO.INI" ] || fail "no configuration at $build/etc/KALEVO.INI"
mkdir -p "$work/sys" "$work/sons"
sed -e "s|^DIRRETENZA=.*|DIRRETENZA=$work/sons|" -e "s|^dirLetras=.*|dirLetras=$work/sons|" \
  "$build/etc/KALEVO.INI" >"$work/sys/KALEVO.INI"

KALEVO_DISPLAY=sdl KALEVO_AUDIO=null KALEVO_SCREEN="$work/screen.txt" KALEVO_SEED=4242 \
  KALEVO_SYSDIR="$work/sys" "$game" >"$work/game.out" 2>"$work/game.err" &
game_pid=$!

window=$(timeout 20 xdotool search --sync --name retenza | head -n1)
[ -n "$window" ] || fail "the game's window did not appear"
timeout 10 xdotool windowfocus --sync "$window" || fail "the window could not take the focus"

# Each step waits out the game's own pauses: keys typed before one of its
# keyboard flushes would be thrown away.
sleep 2
xdotool key 1
# delay 1000, the chime's two 500 ms pauses, then 500 ms after the sequence.
sleep 4.5
xdotool key z
sleep 1.5
# Ctrl+Alt+F11 turns Braille mode 1 on. The X keymap makes Ctrl+Alt+F11 a
# console switch and the server eats it; with Shift too it stays F11, and
# Shift does not matter to the console here.
xdotool key shift+ctrl+alt+F11
sleep 1.5
# Dots 2-3-4 (D, S, J together) are "s": play again.
xdotool keydown d keydown s keydown j
sleep 0.2
xdotool keyup d keyup s keyup j
sleep 1.5
xdotool key alt+F4

wait_for_exit "$game_pid" 100
status=$exit_status
game_pid_left=$game_pid
game_pid=
if [ -z "$status" ]; then
  kill "$game_pid_left" 2>/dev/null
  fail "the game did not end after Alt+F4"
fi
[ "$status" -eq 0 ] || fail "exit status $status, expected 0"
[ -s "$work/screen.txt" ] || fail "no screen dump"

screen="$work/screen.txt"
expect_line() {
  grep -qxF -- "$1" "$screen" || fail "no line \"$1\""
}
expect_line "JOGO DE MEMORIA ZEK"
expect_line "Escolha seu nivel de 1 a 9: 1"
expect_line "z"
expect_line "Tsc, tsc, tsc, tsc, tsc, errou..."
expect_line "Era apenas o seguinte:"
# The chord arrived as one "s", echoed after the question, and started a new
# game whose level question was left with Alt+F4.
expect_line "Quer jogar de novo (s/n) ? s"
[ "$(grep -c '^Escolha seu nivel de 1 a 9:' "$screen")" -eq 2 ] || fail "no second level question"
tail_line=$(grep -v '^$' "$screen" | tail -n1)
[ "$tail_line" = "Escolha seu nivel de 1 a 9:" ] || fail "last line is \"$tail_line\""
grep -q "Tchau" "$screen" && fail "the farewell was shown"
echo "PASS"
exit 0
