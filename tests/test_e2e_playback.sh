#!/usr/bin/env bash
# End to end, as a user would: the real program plays a tone file with the autoplay switch as its
# own process under Wine; a driver program checks what its window shows, and a recording of the
# sound sink's monitor, taken meanwhile, must hold the tone. Argument: the build directory.
set -uo pipefail
build="$(cd "${1:?build directory}" && pwd)"
source "$(dirname "$0")/../scripts/lib/wine.sh"
export TRILVO_DLL_OVERRIDES="mscoree,mshtml,winedbg.exe,winhlp32.exe="
trilvo_services_start "$build" || exit 1
work=$(mktemp -d /tmp/trilvo-e2e.XXXXXX)
parec_pid=
cleanup() {
  [ -n "$parec_pid" ] && kill "$parec_pid" 2>/dev/null
  trilvo_services_stop
  rm -rf "$work"
}
trap cleanup EXIT

# Wine's drive Z: is the Unix root (no wine process is started for the conversion: one started
# outside trilvo_wine_run would hand this script's output pipes to Wine's session processes).
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
# Waits (at most $2 tenths of a second) until the recording has grown past $1 bytes.
wait_for_recording() {
  local i
  for ((i = 0; i < $2; i++)); do
    [ "$(size_of "$work/sink.raw")" -gt "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

parec -d "$TRILVO_SINK.monitor" --format=s16le --rate=44100 --channels=2 --raw \
  >"$work/sink.raw" 2>/dev/null &
parec_pid=$!
# The sink renders only once a client is attached and running: wait until the recording flows.
wait_for_recording 0 100 || echo "the sink's monitor delivers nothing yet"

# Eight whole blocks (8192 samples at deltatime 2048): two of silence, whose analysis at Start
# shows nothing, then six of bin 93 at 44100 Hz and FFT length 4096 (1001.29 Hz: no leakage),
# amplitude 32000, which only the analysis of the blocks read while playing can show.
sox -D -r 44100 -n -b 16 -c 1 "$work/tone.wav" synth 49152s sine 1001.2939453125 vol 0.97659 pad 16384s \
  || exit 1
# The block and FFT lengths the driver's checks assume.
printf '[Trilvo]\r\ndeltatime=2048\r\nfftparam=12\r\n' >"$WINEPREFIX/drive_c/windows/TRILVO.INI"
shot="$build/tests/e2e_playback.bmp"
status=0
trilvo_wine_run "$build/tests/playback_driver.exe" "$(windows_path "$build/TRILVO.EXE")" \
  "$(windows_path "$shot")" "$(windows_path "$work/tone.wav")" tone || status=1
# What was played last may still be in the sound server: take one more second (176400 bytes).
wait_for_recording $(( $(size_of "$work/sink.raw") + 176400 )) 100
kill "$parec_pid"; wait "$parec_pid" 2>/dev/null; parec_pid=

# The recording with its silences cut must be the tone: loud enough, and its zero crossings
# giving its frequency.
read -r rms hz < <(sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/sink.raw" -n remix 1 \
  silence 1 0.01 1% -1 0.01 1% stat 2>&1 | awk '/^RMS +amplitude/ {r = $3} /^Rough +frequency/ {f = $3}
  END {print r + 0, f + 0}')
echo "recording: rms $rms of full scale, rough frequency $hz Hz (tone 1001.3 Hz)"
awk -v r="$rms" -v f="$hz" 'BEGIN {exit !(r > 0.03 && f > 989 && f < 1014)}' \
  || { echo "FAIL: the sink did not get the tone"; status=1; }
echo "picture of the window: $shot"
exit $status
