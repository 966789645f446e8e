#!/usr/bin/env bash
# Makes the compressed files the decoder tests read, with Debian's own encoders, from one
# generated signal (tones in every channel over pink noise), and each file's reference decode:
# `flac -d` for FLAC (raw little-endian PCM as the source delivers it), ffmpeg's 32-bit float for
# Vorbis and Opus. Argument: the folder to fill (made afresh).
set -euo pipefail
out="${1:?output folder}"
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# Two seconds of the signal: $1 name, $2 rate, $3 bits, $4 channels, [$5 seconds].
signal() {
  sox -R -n -r "$2" -b "$3" -c "$4" "$1.wav" \
    synth "${5:-2}" sine 440 sine 660 sine 1000 sine 1500 pinknoise sine 3000 sine 5000 sine 220 gain -4
}

# FLAC: name, rate, bits, channels, block size.
flac_file() {
  signal "$1" "$2" "$3" "$4"
  flac -s --lax --blocksize="$5" -o "$1.flac" "$1.wav" 2>/dev/null
  local sign=signed
  [ "$3" -eq 8 ] && sign=unsigned
  flac -s -d --force-raw-format --endian=little --sign=$sign -o "$1.raw" "$1.flac"
}
flac_file flac8_mono_44k 44100 8 1 4096
flac_file flac16_stereo_44k 44100 16 2 4096
flac_file flac24_6ch_96k 96000 24 6 4608
flac_file flac16_stereo_96k_odd_blocks 96000 16 2 1000

# Lossy: name, rate, channels, then the encoder (oggenc or opusenc).
lossy_file() {
  signal "$1" "$2" 16 "$3"
  case "$4" in
    oggenc) oggenc -Q -q 6 -o "$1.ogg" "$1.wav" ;;
    opusenc) opusenc --quiet --bitrate 160 "$1.wav" "$1.ogg" ;;
  esac
  ffmpeg -v error -i "$1.ogg" -f f32le -acodec pcm_f32le "$1.f32"
}
lossy_file vorbis_stereo_44k 44100 2 oggenc
lossy_file vorbis_6ch_48k 48000 6 oggenc
lossy_file opus_stereo_48k 48000 2 opusenc
lossy_file opus_mono_48k 48000 1 opusenc

# Damage: a short FLAC of small frames (truncated and flipped by the tests), and short Vorbis and
# Opus files whose middle page the tests break; an Ogg stream of a codec the program does not
# decode (FLAC in Ogg).
signal short 8000 16 1 1
flac -s --lax --no-padding --no-seektable --blocksize=256 -o short.flac short.wav
flac -s -d --force-raw-format --endian=little --sign=signed -o short.raw short.flac
signal short_lossy 16000 16 1 6
oggenc -Q -o short_vorbis.ogg short_lossy.wav
opusenc --quiet short_lossy.wav short_opus.ogg
flac -s --ogg -o flac_in_ogg.ogg short.wav
rm -f ./*.wav

# The batch analyser's pairs: a WAV and the FLAC encoded from it, 16-bit and 24-bit stereo.
for bits in 16 24; do
  signal "batch$bits" 44100 "$bits" 2 3
  flac -s -o "batch$bits.flac" "batch$bits.wav"
done
# The 16-bit one again as a FLAC written to a pipe from raw samples: its header states no length.
sox batch16.wav -t raw - | flac -s --force-raw-format --endian=little --sign=signed --channels=2 \
  --bps=16 --sample-rate=44100 -c - >batch16_piped.flac
