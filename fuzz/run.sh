#!/usr/bin/env bash
# Builds one libFuzzer target with the fuzz preset (clang) and runs it.
#
#   fuzz/run.sh TARGET [SECONDS] [--build DIR] [-- LIBFUZZER OPTIONS...]
#
# Targets: the file names in fuzz/targets (mpeg_scan, display_title, tag_read, playlist,
# profile). The seeds are written fresh from the fixture builder; the corpus grows in
# DIR/fuzz-corpus/TARGET; crashes, hangs and leaks land in DIR/fuzz-artifacts/TARGET. Copy a
# finding into fuzz/regression/TARGET/ once it is fixed, so CI replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
target=""
seconds=600
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --) shift; extra=("$@"); break ;;
    *)
      if [ -z "$target" ]; then target=$1; else seconds=$1; fi
      shift ;;
  esac
done
if [ -z "$target" ] || [ ! -f "fuzz/targets/$target.cpp" ]; then
  echo "usage: fuzz/run.sh TARGET [SECONDS] [--build DIR] [-- LIBFUZZER OPTIONS...]" >&2
  echo "targets: $(cd fuzz/targets && ls *.cpp | sed 's/\.cpp$//' | tr '\n' ' ')" >&2
  exit 2
fi

if [ "$build" = build-fuzz ] && [ ! -f build-fuzz/CMakeCache.txt ]; then
  cmake --preset fuzz -G Ninja >/dev/null
elif [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DSORRELBOX_FUZZ=ON -DSORRELBOX_GUI=OFF -DSORRELBOX_BENCH=OFF \
    >/dev/null
fi
cmake --build "$build" --target "fuzz_$target" fuzz_seeds

rm -rf "$build/fuzz-seeds"
"$build/bin/fuzz_seeds" "$build/fuzz-seeds" >/dev/null
corpus=$build/fuzz-corpus/$target
artifacts=$build/fuzz-artifacts/$target
mkdir -p "$corpus" "$artifacts"
regression=()
[ -d "fuzz/regression/$target" ] && regression=("fuzz/regression/$target")

exec nice -n 19 "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "${extra[@]}" "$corpus" "$build/fuzz-seeds/$target" "${regression[@]}"
