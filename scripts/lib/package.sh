# Sourced by scripts/package and the package test: packs a build's program, its help page and a
# short readme into the download, trilvo-<version>-win32.zip, whose one folder trilvo-<version>/
# holds TRILVO.EXE, the batch analyser TRILVOC.EXE, TRILVO.HTM and README.txt. Unzipped anywhere it runs; nothing to install.

TRILVO_PACKAGE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# The version a build was made with (its generated version header).
trilvo_build_version() {  # $1: build directory
  sed -n 's/^#define TRILVO_VERSION_TEXT "\(.*\)"$/\1/p' "$1/generated/trilvo_version.h" 2>/dev/null
}

# The zip's platform word: win32 for the shipped i686 build, win64 for an x86_64 build (the one
# tests use on hosts that cannot run 32-bit code).
trilvo_package_platform() {  # $1: build directory
  if grep -q '^TRILVO_ARCH:[A-Z]*=x86_64$' "$1/CMakeCache.txt" 2>/dev/null; then echo win64; else echo win32; fi
}

# Writes the zip into $2 (made if missing) and prints its path. Every file gets the time of the
# last commit, so the same build packs into the same bytes.
trilvo_package() {  # $1: build directory, $2: output directory
  local build="$1" version name stage out stamp file
  version="$(trilvo_build_version "$build")"
  [ -n "$version" ] || { echo "package: no version header in $build (build first)" >&2; return 1; }
  for file in TRILVO.EXE TRILVOC.EXE TRILVO.HTM; do
    [ -f "$build/$file" ] || { echo "package: $build/$file missing (build first)" >&2; return 1; }
  done
  name="trilvo-$version"
  mkdir -p "$2"
  out="$(cd "$2" && pwd)/$name-$(trilvo_package_platform "$build").zip"
  stage="$(mktemp -d /tmp/trilvo-package.XXXXXX)"
  mkdir "$stage/$name"
  cp "$build/TRILVO.EXE" "$build/TRILVOC.EXE" "$build/TRILVO.HTM" "$stage/$name/"
  # The readme for Windows: CRLF line ends; UTF-8 with a byte order mark, which Notepad reads
  # correctly on Japanese and other systems alike.
  { printf '\357\273\277'; sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' \
      "$TRILVO_PACKAGE_ROOT/docs/package-readme.txt"; } >"$stage/$name/README.txt"
  stamp="$(git -C "$TRILVO_PACKAGE_ROOT" log -1 --format=%ct 2>/dev/null || echo 946684800)"
  find "$stage/$name" -exec touch -d "@$stamp" {} +
  rm -f "$out"
  (cd "$stage" && TZ=UTC zip -q -X -r "$out" "$name")
  local rc=$?
  rm -rf "$stage"
  [ $rc -eq 0 ] && echo "$out"
  return $rc
}
