#!/usr/bin/env bash
# Peer benchmark: how long measuring a folder of 999 MP3 files takes, whole process, warm
# cache, for sorrelbox-cli scan, mutagen (Python), ffprobe (timed on 50 files, scaled to 999)
# and a floor program that only opens each file, reads its first 4 KiB and last 128 bytes and
# closes it. Runs the tools alternately, several rounds, and prints each median and its ratio
# to ours. Goal: mutagen at least 15 times slower than ours; ours within 2 times the floor.
#
#   bench/peers.sh [--rounds N] [--cli PATH]
#
# The 999 files (about 3 GB, made with lame) are cached in
# ${XDG_CACHE_HOME:-~/.cache}/sorrelbox-peers and made again only when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=5
cli=build/bin/sorrelbox-cli
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    *) echo "usage: bench/peers.sh [--rounds N] [--cli PATH]" >&2; exit 2 ;;
  esac
done

if [ ! -x "$cli" ]; then
  echo "peers: $cli not found; build it first (tools/bootstrap.sh, or cmake --build build --target sorrelbox-cli)" >&2
  exit 1
fi
for tool in lame ffprobe ffmpeg cc; do
  command -v "$tool" >/dev/null || { echo "peers: $tool is not installed" >&2; exit 1; }
done
# The system's Python carries python3-mutagen; a Python of one's own may not.
python=""
for candidate in python3 /usr/bin/python3; do
  if command -v "$candidate" >/dev/null && "$candidate" -c 'import mutagen' 2>/dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || { echo "peers: no python3 with mutagen (apt-get install python3-mutagen)" >&2; exit 1; }

cache=${XDG_CACHE_HOME:-$HOME/.cache}/sorrelbox-peers
songs=$cache/songs
stamp=$cache/songs-v1.done
mkdir -p "$cache"

# The floor program, rebuilt when its source changes.
floor=$cache/floor
if [ ! -x "$floor" ] || [ bench/floor/floor.c -nt "$floor" ]; then
  cc -O2 -o "$floor" bench/floor/floor.c
fi

if [ ! -f "$stamp" ]; then
  echo "peers: making 999 MP3 files in $songs (once)" >&2
  rm -rf "$songs" "$cache/base"
  mkdir -p "$songs" "$cache/base"
  # Four encodes: three constant-bit-rate lengths and one variable-bit-rate file (Xing).
  i=0
  for spec in "150 -b 128" "185 -b 160" "240 -b 128" "200 -V 2"; do
    read -r seconds mode rate <<<"$spec"
    ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=$((220 + 110 * i)):duration=$seconds" \
      -f lavfi -i "anoisesrc=color=pink:amplitude=0.05:duration=$seconds" \
      -filter_complex amix=inputs=2,aformat=channel_layouts=stereo -ar 44100 \
      "$cache/base/$i.wav"
    lame --quiet "$mode" "$rate" "$cache/base/$i.wav" "$cache/base/$i.mp3"
    rm "$cache/base/$i.wav"
    i=$((i + 1))
  done
  # 999 files: a base encode behind an ID3v2.3 tag of varying size, every third with an
  # ID3v1 tag at the end, so no two files are alike.
  "$python" - "$cache/base" "$songs" <<'PY'
import struct, sys
base, out = sys.argv[1], sys.argv[2]
encodes = [open(f"{base}/{i}.mp3", "rb").read() for i in range(4)]

def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])

def frame(fid, text):
    body = b"\x00" + text.encode("ascii")
    return fid.encode() + struct.pack(">I", len(body)) + b"\x00\x00" + body

for n in range(1, 1000):
    frames = frame("TIT2", f"Track {n:03d}") + frame("TPE1", f"Artist {n % 37}") + \
        frame("TALB", f"Album {n % 83}") + frame("TRCK", str(n))
    frames += b"\x00" * ((n * 97) % 3000)
    tag = b"ID3\x03\x00\x00" + syncsafe(len(frames)) + frames
    data = tag + encodes[n % 4]
    if n % 3 == 0:
        data += b"TAG" + f"Track {n:03d}".encode().ljust(30, b"\x00") + b"\x00" * 94 + b"\xff"
    with open(f"{out}/song{n:03d}.mp3", "wb") as f:
        f.write(data)
PY
  touch "$stamp"
fi

files=("$songs"/*.mp3)
[ ${#files[@]} -eq 999 ] || { echo "peers: expected 999 files in $songs, found ${#files[@]}; remove $stamp" >&2; exit 1; }
sample=("${files[@]:0:50}")

run_ours() { "$cli" scan "${files[@]}" >/dev/null; }
run_mutagen() { "$python" bench/peers_mutagen.py "${files[@]}" >/dev/null; }
run_ffprobe() {
  local f
  for f in "${sample[@]}"; do
    ffprobe -v error -show_entries format=duration -of csv=p=0 "$f" >/dev/null
  done
}
run_floor() { "$floor" "${files[@]}" >/dev/null; }

tools=(ours mutagen ffprobe floor)
declare -A scale=([ours]=1 [mutagen]=1 [ffprobe]=999/50 [floor]=1)
declare -A times

# One whole run: wall time and CPU time (user + system) in nanoseconds (millisecond resolution), from bash's own
# timer, so no process is started for the timing itself.
time_run() {
  local TIMEFORMAT='%3R %3U %3S' measured real user sys
  measured=$({ time "run_$1" >/dev/null 2>&1; } 2>&1)
  read -r real user sys <<<"$measured"
  real=${real/./}; user=${user/./}; sys=${sys/./}
  echo "$((10#$real * 1000000 * ${scale[$1]})) $(((10#$user + 10#$sys) * 1000000 * ${scale[$1]}))"
}

# One untimed round fills the page cache.
for tool in "${tools[@]}"; do "run_$tool"; done

declare -A cpus
for ((r = 1; r <= rounds; r++)); do
  for tool in "${tools[@]}"; do
    read -r wall cpu <<<"$(time_run "$tool")"
    times[$tool]="${times[$tool]:-} $wall"
    cpus[$tool]="${cpus[$tool]:-} $cpu"
  done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}'; }

declare -A med cpu
for tool in "${tools[@]}"; do
  med[$tool]=$(median "${times[$tool]}")
  cpu[$tool]=$(median "${cpus[$tool]}")
done

printf '%d files, %d rounds, medians of the whole process (ffprobe: 50 files x 999/50)\n' \
  "${#files[@]}" "$rounds"
printf '%-10s %12s %10s %12s %10s\n' tool "wall ms" "x ours" "cpu ms" "x ours"
for tool in "${tools[@]}"; do
  awk -v t="$tool" -v ns="${med[$tool]}" -v ours="${med[ours]}" -v c="${cpu[$tool]}" \
    -v cours="${cpu[ours]}" 'BEGIN {
      printf "%-10s %12.1f %10.2f %12.1f %10.2f\n", t, ns / 1e6, ns / ours, c / 1e6, (cours ? c / cours : 0)
    }'
done
awk -v m="${med[mutagen]}" -v o="${med[ours]}" -v f="${med[floor]}" 'BEGIN {
  printf "goal mutagen/ours >= 15 (wall): %.1f %s\n", m / o, (m / o >= 15) ? "met" : "MISSED"
  printf "goal ours/floor <= 2 (wall):    %.2f %s\n", o / f, (o / f <= 2) ? "met" : "MISSED"
}'
