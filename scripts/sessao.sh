# Sourced by the scripts that need a private desktop session: a virtual X
# server and a PulseAudio server with a null sink, both gone with the script.
# Each function takes the work folder and appends the server's pid to the
# array `pids`; on failure it prints why and returns 1.

# PulseAudio with a null sink; its monitor source is null.monitor.
start_sound_server() {
  local work=$1
  export XDG_RUNTIME_DIR="$work/run"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  export HOME="$work"
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --load=module-null-sink \
    --load=module-native-protocol-unix >"$work/pulse.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "PulseAudio did not start: $(cat "$work/pulse.log")"
  return 1
}

# Xvfb on a display number it picks itself; exports DISPLAY.
start_x_server() {
  local work=$1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    if [ -s "$work/display" ]; then
      export DISPLAY=":$(head -n1 "$work/display")"
      return 0
    fi
    sleep 0.1
  done
  echo "Xvfb did not start: $(cat "$work/xvfb.log")"
  return 1
}

# Waits up to TENTHS tenths of a second for process PID (a child of this
# shell) to end; sets exit_status to its status, empty while it still runs.
wait_for_exit() {
  local pid=$1 tenths=$2
  exit_status=
  for _ in $(seq "$tenths"); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      exit_status=$?
      return 0
    fi
    sleep 0.1
  done
}
