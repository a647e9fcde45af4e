#!/usr/bin/env bash
# Makes docs/screenshot.png: starts sorrelbox under Xvfb with a few generated songs loaded and
# the first one selected, and saves the window as a PNG.
# Usage: tools/screenshot.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program="$build/bin/sorrelbox"
[ -x "$program" ] || { echo "no $program: build first (tools/bootstrap.sh)" >&2; exit 1; }
for tool in ffmpeg xvfb-run; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (tools/bootstrap.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name|seconds|title|encoder options (a quality setting makes a VBR file with a Xing header)
songs=(
  "01 朝の光.mp3|245|朝の光|-b:a 128k"
  "02 Harbour Lights.mp3|312|Harbour Lights|-b:a 192k"
  "03 夕立.mp3|187|夕立|-q:a 2"
  "04 Night Train.mp3|421|Night Train|-b:a 160k"
  "05 風の街.mp3|603|風の街|-b:a 128k"
)
files=()
for entry in "${songs[@]}"; do
  IFS='|' read -r name seconds title options <<<"$entry"
  # shellcheck disable=SC2086
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=$seconds" \
    -ac 2 -ar 44100 -c:a libmp3lame $options -id3v2_version 3 -metadata title="$title" \
    "$work/$name"
  files+=("$work/$name")
done

mkdir -p docs
out="$PWD/docs/screenshot.png"
# The temporary folder is the start-up folder, so no settings of this checkout are read.
(cd "$work" && SORRELBOX_CODEPAGE=UTF-8 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$OLDPWD/$program" --screenshot "$out" "${files[@]}")
echo "wrote $out"
