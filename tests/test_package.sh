#!/usr/bin/env bash
# The download as a user gets it: the zip packed from this build is unpacked into an empty folder
# and the program started from there under Wine. The zip holds the program, the batch analyser,
# the help page and the readme in one folder, packs to the same bytes twice, and the version in its name is the one the
# program's version resource and About box give and scripts/run --version prints.
# Argument: the build directory.
set -uo pipefail
build="$(cd "${1:?build directory}" && pwd)"
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/lib/wine.sh"
source "$root/scripts/lib/package.sh"
export TRILVO_DLL_OVERRIDES="mscoree,mshtml,winedbg.exe,winhlp32.exe,winebrowser.exe="
trilvo_services_start "$build" || exit 1
work=$(mktemp -d /tmp/trilvo-package-test.XXXXXX)
cleanup() {
  trilvo_services_stop
  rm -rf "$work"
}
trap cleanup EXIT

status=0
check() {  # $1: what is proven; the rest: the command that proves it
  if "${@:2}"; then echo "ok  : $1"; else echo "FAIL: $1"; status=1; fi
}
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }   # Wine's drive Z: is the Unix root
crlf_only() { [ -s "$1" ] && ! grep -q $'[^\r]$' "$1"; }
platform="$(trilvo_package_platform "$build")"
named_by_version() { [[ "$1" =~ ^trilvo-[0-9]+\.[0-9]+\.[0-9]+-$platform\.zip$ ]]; }

zip="$(trilvo_package "$build" "$work/dist")" || { echo "FAIL: packing the build"; exit 1; }
again="$(trilvo_package "$build" "$work/again")" || { echo "FAIL: packing the build again"; exit 1; }
name="$(basename "$zip")"
version="${name#trilvo-}"
version="${version%-$platform.zip}"
echo "zip: $name"
check "zip named trilvo-<version>-$platform.zip" named_by_version "$name"
check "packing twice gives the same bytes" cmp -s "$zip" "$again"
listing="$(unzip -Z1 "$zip" | sort | tr '\n' ' ')"
check "zip holds TRILVO.EXE, TRILVOC.EXE, TRILVO.HTM and README.txt in trilvo-$version/" \
  [ "$listing" = "trilvo-$version/ trilvo-$version/README.txt trilvo-$version/TRILVO.EXE trilvo-$version/TRILVO.HTM trilvo-$version/TRILVOC.EXE " ]

mkdir "$work/unpacked"
unzip -q "$zip" -d "$work/unpacked"
folder="$work/unpacked/trilvo-$version"
check "help page is docs/TRILVO.HTM" cmp -s "$folder/TRILVO.HTM" "$root/docs/TRILVO.HTM"
check "readme lines end in CRLF" crlf_only "$folder/README.txt"
check "readme names the version" grep -q "Trilvo $version " "$folder/README.txt"
check "scripts/run --version prints it" [ "$("$root/scripts/run" --version)" = "Trilvo $version" ]
# The batch analyser from the unpacked folder: a console program that writes a spectrogram of a
# file sox made, and refuses an unknown option with status 1.
console_program() { [[ "$(file -b "$1")" == *"(console)"* ]]; }
check "TRILVOC.EXE is a console program" console_program "$folder/TRILVOC.EXE"
sox -n -r 22050 -b 16 -c 1 "$work/tone.wav" synth 2 sine 1000
trilvo_wine_run "$folder/TRILVOC.EXE" spectrogram "$(windows_path "$work/tone.wav")" "$(windows_path "$work/tone.png")"
check "TRILVOC.EXE spectrogram writes a PNG" [ "$(file -b "$work/tone.png" | cut -d' ' -f1)" = PNG ]
trilvo_wine_run "$folder/TRILVOC.EXE" blocks a.wav b.csv --fft 99 2>/dev/null
check "TRILVOC.EXE refuses a bad option with status 1" [ $? -eq 1 ]

trilvo_wine_run "$build/tools/release_check.exe" "$(windows_path "$folder/TRILVO.EXE")" "$version" || status=1
exit $status
