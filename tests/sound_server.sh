#!/usr/bin/env bash
# Runs a test program under Wine with a PulseAudio daemon of its own, which the program may stop
# and start again while it runs (the sound server going away mid-run):
#   tests/sound_server.sh <build> <program> [arguments]
# The program finds the daemon's folder in TRILVO_SOUND_SERVER and runs
# "/bin/bash <folder>/control stop|start"; the control script touches <folder>/<action>.done when
# it is done (Wine gives a program no handle of the Unix processes it starts).
set -uo pipefail
build="$(cd "${1:?build directory}" && pwd)"
shift
lib="$(cd "$(dirname "$0")/../scripts/lib" && pwd)/wine.sh"
source "$lib"
export TRILVO_DLL_OVERRIDES="mscoree,mshtml,winedbg.exe,winhlp32.exe="
dir=$(mktemp -d /tmp/trilvo-server.XXXXXX)
cat >"$dir/control" <<CONTROL
#!/bin/bash
# Stops or starts again the daemon in $dir.
export PATH=/usr/bin:/bin
source "$lib"
case "\$1" in
  stop) trilvo_pulse_stop_in "$dir" ;;
  start) trilvo_pulse_start_in "$dir" ;;
esac
touch "$dir/\$1.done"
CONTROL
cleanup() {
  trilvo_pulse_stop_in "$dir"
  trilvo_services_stop
  rm -rf "$dir"
}
trap cleanup EXIT
trilvo_pulse_start_in "$dir" || exit 1
export PULSE_SERVER="unix:$dir/native" TRILVO_SOUND_SERVER="$dir"
trilvo_services_start "$build" || exit 1   # prefix, wineserver and display; the daemon is ours
trilvo_wine_run "$@"
