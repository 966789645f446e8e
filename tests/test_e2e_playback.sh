#!/usr/bin/env bash
# End to end, as a user would: the real program plays tone files (16-bit mono, and as sox writes
# them 24-bit stereo extensible, 32-bit PCM and 32-bit float at other rates) with the autoplay
# switch as its own process under Wine; a driver program checks what its window shows, and a
# recording of the sound sink's monitor, taken meanwhile, must hold the tone. Argument: the build
# directory.
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

# The block and FFT lengths the driver's checks assume.
printf '[Trilvo]\r\ndeltatime=2048\r\nfftparam=12\r\n' >"$WINEPREFIX/drive_c/windows/TRILVO.INI"
status=0

# One file played to its end: eight whole blocks (rate x 2048 / 11025 frames each), two of silence,
# whose analysis at Start shows nothing, then six of bin 93 at FFT length 4096 (no leakage),
# amplitude 32000 of 32768 in every channel, which only the analysis of the blocks read while
# playing can show. The driver checks the window; the part of the sink's recording taken meanwhile,
# with its silences cut, must be the tone: loud enough, its zero crossings giving its frequency.
# The tone's part of the recording lasts as long as the six blocks of tone. A compressed file is
# the WAV encoded by Debian's encoder (gapless, so its length is the WAV's).
# Arguments: name, rate, the file's type (wav, mp3, flac or opus), then sox's output options.
play_tone() {
  local name=$1 rate=$2 type=$3; shift 3
  local block=$(( rate * 2048 / 11025 )) hz from file="$work/$name.$type"
  hz=$(awk -v r="$rate" 'BEGIN {printf "%.10g", 93 * r / 4096}')
  sox -D -r "$rate" -n "$@" "$work/$name.wav" synth $(( 6 * block ))s sine "$hz" vol 0.97659 \
    pad $(( 2 * block ))s || { status=1; return; }
  case "$type" in
    mp3) lame --quiet -b 320 "$work/$name.wav" "$file" ;;
    flac) flac -s -o "$file" "$work/$name.wav" ;;
    opus) opusenc --quiet --bitrate 256 "$work/$name.wav" "$file" ;;
  esac || { status=1; return; }
  from=$(( $(size_of "$work/sink.raw") / 4 * 4 ))   # whole frames of the recording
  local shot="$build/tests/e2e_$name.bmp"
  echo "== $name: $rate Hz, tone $hz Hz"
  trilvo_wine_run "$build/tests/playback_driver.exe" "$(windows_path "$build/TRILVO.EXE")" \
    "$(windows_path "$shot")" "$(windows_path "$file")" tone "$rate" || status=1
  # What was played last may still be in the sound server: take one more second (176400 bytes).
  wait_for_recording $(( $(size_of "$work/sink.raw") + 176400 )) 100
  local rms heard seconds tone_seconds
  read -r rms heard seconds < <(tail -c +$(( from + 1 )) "$work/sink.raw" |
    sox -t raw -r 44100 -e signed -b 16 -c 2 - -n remix 1 silence 1 0.01 1% -1 0.01 1% stat 2>&1 |
    awk '/^RMS +amplitude/ {r = $3} /^Rough +frequency/ {f = $3} /^Length/ {s = $3}
         END {print r + 0, f + 0, s + 0}')
  tone_seconds=$(awk -v b="$block" -v r="$rate" 'BEGIN {printf "%.4f", 6 * b / r}')
  echo "recording: rms $rms of full scale, rough frequency $heard Hz (tone $hz Hz)," \
    "$seconds s of tone (played $tone_seconds s)"
  awk -v r="$rms" -v f="$heard" -v t="$hz" 'BEGIN {exit !(r > 0.03 && f > 0.988 * t && f < 1.012 * t)}' \
    || { echo "FAIL: the sink did not get the tone"; status=1; }
  # Late buffers under load leave gaps too short to cut (up to 0.07 s more seen while the whole
  # suite ran); a block lost or played twice is 0.186 s.
  awk -v s="$seconds" -v t="$tone_seconds" 'BEGIN {exit !(s > t - 0.05 && s < t + 0.15)}' \
    || { echo "FAIL: the tone heard does not last as long as the file's"; status=1; }
  echo "picture of the window: $shot"
}

play_tone tone 44100 wav -b 16 -c 1
# As sox writes them: 24-bit stereo as WAVE_FORMAT_EXTENSIBLE, 32-bit PCM with tag 1 ("wavpcm"),
# 32-bit float with tag 3.
play_tone stereo24 48000 wav -b 24 -c 2
play_tone pcm32 44100 wav -b 32 -c 1 -t wavpcm
play_tone float32 96000 wav -e float -b 32 -c 2
# Compressed: MP3 through the compression manager, FLAC and Opus through their libraries.
play_tone mp3 44100 mp3 -b 16 -c 2
play_tone flac 44100 flac -b 16 -c 2
play_tone opus 48000 opus -b 16 -c 2
exit $status
