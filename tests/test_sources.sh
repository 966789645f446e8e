#!/usr/bin/env bash
# AIFF, AIFF-C and RF64 files made by sox and ffmpeg from one generated signal, opened and read as
# the program reads them (tests/tools/source_dump under Wine): every delivered byte must equal sox's
# own decoding of the same file to the delivered encoding, and the delivered format must be the
# expected one. sox reads no AIFF-C mu-law or A-law: those bytes are taken out by ffmpeg unchanged
# and decoded by sox as raw G.711. Argument: the build directory.
set -uo pipefail
build="$(cd "${1:?build directory}" && pwd)"
source "$(dirname "$0")/../scripts/lib/wine.sh"
trilvo_services_start "$build" || exit 1
work=$(mktemp -d /tmp/trilvo-sources.XXXXXX)
cleanup() {
  trilvo_services_stop
  rm -rf "$work"
}
trap cleanup EXIT
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }

cd "$work" || exit 1
# Two tones and a sweep, stereo 16-bit: every conversion below is exact from it.
sox -D -n -r 44100 -b 16 -c 2 base.wav synth 0.6 sine 440 sine 200-9000 gain -1 || exit 1
make_g711() {  # $1: ffmpeg codec, $2: file, $3: raw format of the same bytes
  ffmpeg -loglevel error -y -i base.wav -c:a "$1" -f aiff "$2" && ffmpeg -loglevel error -y -i "$2" -c copy -f "$3" "$2.$3"
}
sox -D base.wav -b 8 a8.aiff
sox -D base.wav -b 16 a16.aiff
sox -D base.wav -b 24 a24.aiff
sox -D base.wav -b 32 a32.aiff
sox -D base.wav -r 96000 -c 1 -b 16 a16-96k-mono.aiff
sox -D base.wav -t aifc -e floating-point -b 32 f32.aifc
sox -D base.wav -t aifc -e floating-point -b 64 f64.aifc
ffmpeg -loglevel error -y -i base.wav -c:a pcm_s16le -f aiff sowt.aifc
make_g711 pcm_mulaw ulaw.aifc mulaw
make_g711 pcm_alaw alaw.aifc alaw
ffmpeg -loglevel error -y -i base.wav -c:a pcm_s16le -rf64 always rf64.wav
ffmpeg -loglevel error -y -i base.wav -c:a pcm_s24le -rf64 always rf64-24.wav

status=0
# file | expected line start | sox's decoding to the delivered encoding
while IFS='|' read -r file expected reference; do
  [ -z "$file" ] && continue
  line=$(trilvo_wine_run "$build/tests/source_dump.exe" "$(windows_path "$work/$file")" \
         "$(windows_path "$work/$file.out")" | tr -d '\r')
  eval "$reference" >"$file.ref" 2>/dev/null
  if [[ "$line" != "$expected "* ]]; then
    echo "FAIL: $file opens as '$line', expected '$expected ...'"; status=1
  elif ! cmp -s "$file.out" "$file.ref"; then
    echo "FAIL: $file delivers other bytes than sox's decoding ($(stat -c %s "$file.out") and $(stat -c %s "$file.ref") bytes)"; status=1
  else
    echo "ok  : $file ($line) bit-exact with sox"
  fi
done <<'CASES'
a8.aiff|AIFF AIFF 44100 2 8 int|sox a8.aiff -t raw -e unsigned -b 8 -
a16.aiff|AIFF AIFF 44100 2 16 int|sox a16.aiff -t raw -e signed -b 16 -
a24.aiff|AIFF AIFF 44100 2 24 int|sox a24.aiff -t raw -e signed -b 24 -
a32.aiff|AIFF AIFF 44100 2 32 int|sox a32.aiff -t raw -e signed -b 32 -
a16-96k-mono.aiff|AIFF AIFF 96000 1 16 int|sox a16-96k-mono.aiff -t raw -e signed -b 16 -
f32.aifc|AIFF AIFF-C 44100 2 32 float|sox f32.aifc -t raw -e floating-point -b 32 -
f64.aifc|AIFF AIFF-C 44100 2 32 float|sox f64.aifc -t raw -e floating-point -b 32 -
sowt.aifc|AIFF AIFF-C 44100 2 16 int|sox sowt.aifc -t raw -e signed -b 16 -
ulaw.aifc|AIFF AIFF-C 44100 2 16 int|sox -t ul -r 44100 -c 2 ulaw.aifc.mulaw -t raw -e signed -b 16 -
alaw.aifc|AIFF AIFF-C 44100 2 16 int|sox -t al -r 44100 -c 2 alaw.aifc.alaw -t raw -e signed -b 16 -
rf64.wav|RF64 RF64 44100 2 16 int|sox rf64.wav -t raw -e signed -b 16 -
rf64-24.wav|RF64 RF64 44100 2 24 int|sox rf64-24.wav -t raw -e signed -b 24 -
CASES
exit $status
