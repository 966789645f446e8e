#!/usr/bin/env bash
# Makes the compressed files the decoder tests read, with Debian's own encoders, from one
# generated signal, and the reference decode of each (raw 16-bit little-endian) by the decoder
# the platform's drivers agree with: sox for IMA ADPCM, ffmpeg for MS ADPCM and MPEG audio, sox
# for mu-law, A-law and GSM 6.10. Argument: the build directory; the files go to tests/acm_files.
set -euo pipefail
out="${1:?build directory}/tests/acm_files"
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# 3.3 s: a sweep on the left, pink noise on the right; mono versions at lower rates. The lengths
# are no whole number of ADPCM blocks or MPEG frames.
sox -R -n -r 44100 -c 2 -b 16 signal.wav synth 3.3 sine 200-6000 pinknoise vol 0.5
sox signal.wav -r 8000 -c 1 signal8k.wav
sox signal.wav -r 22050 -c 1 signal22k.wav

raw() { sox "$1" -t raw -e signed -b 16 -L "$2"; }
sox signal.wav -e ima-adpcm ima.wav && raw ima.wav ima.ref
ffmpeg -v error -i signal.wav -c:a adpcm_ms ms.wav && ffmpeg -v error -i ms.wav -f s16le ms.ref
sox signal.wav -e mu-law mulaw.wav && raw mulaw.wav mulaw.ref
sox signal.wav -e a-law alaw.wav && raw alaw.wav alaw.ref
sox signal8k.wav -e gsm-full-rate gsm.wav && raw gsm.wav gsm.ref
ffmpeg -v error -i signal.wav -c:a libmp3lame -b:a 128k mp3.wav

lame --quiet -b 128 signal.wav cbr.mp3
lame --quiet -V 2 signal.wav vbr.mp3
lame --quiet -b 128 -t signal.wav cbr-untagged.mp3
lame --quiet -b 128 -p signal.wav cbr-crc.mp3           # check words; the Info tag sits as without
lame --quiet -V 2 -t signal.wav vbr-untagged.mp3
lame --quiet -V 5 signal22k.wav mpeg2-mono.mp3
lame --quiet -b 16 signal8k.wav mpeg25-mono.mp3
sox signal.wav short.wav trim 0 0.5 && lame --quiet -b 128 short.wav short.mp3   # 21 frames to cut
ffmpeg -v error -i signal.wav -c:a mp2 -f mp2 layer2.mp3
for f in mp3.wav *.mp3; do ffmpeg -v error -i "$f" -f s16le "${f%.*}.ref"; done
