# Sourced by the project's scripts: runs Win32 programs under Wine with the project's own prefix,
# a Japanese locale (code page 932), a display and a PulseAudio null sink. Each service is started
# only when none is reachable, and trilvo_services_stop stops exactly what was started here.

TRILVO_SINK=trilvo_sink
TRILVO_WINE32=/usr/lib/wine/wine
TRILVO_WINE64=/usr/lib/wine/wine64

# The Windows architecture this host can run: i686 where the 32-bit Wine loader starts, x86_64
# where the kernel refuses 32-bit code (some virtual machines do). TRILVO_ARCH overrides it.
trilvo_host_arch() {
  if [ -n "${TRILVO_ARCH:-}" ]; then echo "$TRILVO_ARCH"
  elif "$TRILVO_WINE32" --version >/dev/null 2>&1; then echo i686
  else echo x86_64
  fi
}

# The architecture a build folder was configured for (empty before the first configure).
trilvo_build_arch() {  # $1: build directory
  sed -n 's/^TRILVO_ARCH:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null
}

# Runs Wine's loader for the prefix's architecture.
trilvo_wine() {
  if [ "${WINEARCH:-win32}" = win64 ]; then "$TRILVO_WINE64" "$@"; else "$TRILVO_WINE32" "$@"; fi
}
TRILVO_STARTED_PIDS=()
TRILVO_STARTED_DIRS=()

trilvo_wine_env() {  # $1: build directory
  export WINEPREFIX="$(cd "$1" && pwd)/wineprefix"
  if [ "$(trilvo_build_arch "$1")" = x86_64 ]; then
    export WINEARCH=win64 WINELOADER="$TRILVO_WINE64"
  else
    export WINEARCH=win32
  fi
  export WINEDEBUG=-all
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
  # No installer pop-ups, no debugger lingering after a crash.
  export WINEDLLOVERRIDES="${TRILVO_DLL_OVERRIDES:-mscoree,mshtml,winedbg.exe=}"
}

trilvo_prefix_ready() { [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.trilvo-ready" ]; }

trilvo_ensure_prefix() {
  trilvo_prefix_ready && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if ! trilvo_prefix_ready; then
      trilvo_wine wineboot -i >/dev/null 2>&1
      # Without a window manager every hide/destroy of a managed window stalls about 2 s.
      trilvo_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.trilvo-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

trilvo_display_reachable() {
  [ -n "${DISPLAY:-}" ] || return 1
  local n="${DISPLAY#*:}"; n="${n%%.*}"
  [ -S "/tmp/.X11-unix/X$n" ]
}

trilvo_ensure_display() {
  trilvo_display_reachable && return 0
  local fifo; fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  TRILVO_STARTED_PIDS+=($!)
  local n; read -r -t 20 n <"$fifo"; rm -f "$fifo"
  [ -n "$n" ] || { echo "wine.sh: Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$n"
}

trilvo_pulse_reachable() {
  [ -n "${PULSE_SERVER:-}" ] || return 1
  [ -S "${PULSE_SERVER#unix:}" ] && pactl info >/dev/null 2>&1
}

# Starts a PulseAudio daemon with the null sink in folder $1 (socket $1/native, its pid and its
# low-latency reader's pid in $1/pids) and waits until it answers. Used by the services below and
# by tests that stop and restart their own daemon (tests/sound_server.sh).
trilvo_pulse_start_in() {
  local dir="$1" i
  mkdir -p "$dir/home" "$dir/runtime"
  HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime" \
    pulseaudio --daemonize=no --exit-idle-time=-1 --use-pid-file=no -n \
      --load="module-null-sink sink_name=$TRILVO_SINK" \
      --load="module-native-protocol-unix socket=$dir/native" >>"$dir/log" 2>&1 </dev/null &
  echo $! >"$dir/pids"
  local server="unix:$dir/native"
  for i in $(seq 1 100); do
    PULSE_SERVER="$server" pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  PULSE_SERVER="$server" pactl info >/dev/null 2>&1 || { echo "wine.sh: PulseAudio did not start" >&2; return 1; }
  PULSE_SERVER="$server" pactl set-default-sink "$TRILVO_SINK" >/dev/null 2>&1 || true
  PULSE_SERVER="$server" pactl set-default-source "$TRILVO_SINK.monitor" >/dev/null 2>&1 || true
  # A low-latency reader on the monitor makes the sink render in small blocks, so the first
  # recorded buffer arrives in about 0.2 s instead of 2 s.
  PULSE_SERVER="$server" parec --latency-msec=20 -d "$TRILVO_SINK.monitor" >/dev/null 2>&1 </dev/null &
  echo $! >>"$dir/pids"
}

# Stops the daemon and reader started in folder $1 and waits until they are gone.
trilvo_pulse_stop_in() {
  local pid
  for pid in $(cat "$1/pids" 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
  for pid in $(cat "$1/pids" 2>/dev/null); do
    wait "$pid" 2>/dev/null || true   # reaps it when this shell started it
    while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
  done
  rm -f "$1/pids"
}

trilvo_ensure_pulse() {
  trilvo_pulse_reachable && return 0
  local dir; dir=$(mktemp -d /tmp/trilvo-pulse.XXXXXX)
  TRILVO_STARTED_DIRS+=("$dir")
  trilvo_pulse_start_in "$dir" || return 1
  export PULSE_SERVER="unix:$dir/native"
}

trilvo_services_start() {  # $1: build directory
  trilvo_wine_env "$1"
  trilvo_ensure_prefix || return 1
  wineserver -p30 </dev/null >/dev/null 2>&1 || true   # detaches; fails harmlessly if one runs
  trilvo_ensure_display || return 1
  trilvo_ensure_pulse || return 1
}

trilvo_services_stop() {
  local pid dir
  for pid in "${TRILVO_STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${TRILVO_STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  for dir in "${TRILVO_STARTED_DIRS[@]}"; do trilvo_pulse_stop_in "$dir"; rm -rf "$dir"; done
  TRILVO_STARTED_PIDS=(); TRILVO_STARTED_DIRS=()
  return 0
}

# Runs one Win32 program; its output goes through temporary files (Wine's helper processes would
# otherwise inherit the caller's pipes and keep them open) and is converted from Shift-JIS.
# A run that fails within a second without writing a byte never reached the program's own code
# (Wine itself did not start it): that is said on stderr and the run is made once more.
trilvo_wine_run() {
  local out; out=$(mktemp /tmp/trilvo-out.XXXXXX)
  local attempt rc started
  for attempt in 1 2; do
    started=$(date +%s%N)
    trilvo_wine "$@" >"$out.1" 2>"$out.2" </dev/null
    rc=$?
    if [ $rc -ne 0 ] && [ ! -s "$out.1" ] && [ ! -s "$out.2" ] &&
       [ $(( ($(date +%s%N) - started) / 1000000 )) -lt 1000 ] && [ $attempt -eq 1 ]; then
      echo "wine.sh: $1 ended with status $rc at once and wrote nothing; running it again" >&2
      continue
    fi
    break
  done
  iconv -f CP932 -t UTF-8 -c <"$out.1"
  iconv -f CP932 -t UTF-8 -c <"$out.2" >&2
  rm -f "$out" "$out.1" "$out.2"
  return $rc
}
