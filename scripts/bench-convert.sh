#!/usr/bin/env bash
# vellicor-cli convert on a Release build: a folder of 100 generated Quv files to png with
# --jobs 1 and --jobs 2 (both times and their ratio; the goal is >= 1.7); then how the time grows
# with the count of files, a folder and an archive of 2,000 small files against 20,000 (the goal
# is a ratio <= 12: each folder and archive is read once, whatever the count).
# Usage: scripts/bench-convert.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
cli="$build/tools/vellicor-cli"
gen="$build/tools/samples/main/quvgen"
hpibuild="$build/tools/hpibuilder/main/hpibuild"
for tool in "$cli" "$gen" "$hpibuild"; do
  [ -x "$tool" ] || {
    echo "build $tool first (cmake --build $build --target vellicor-cli quvgen hpibuild)"
    exit 1
  }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/gen" "$work/quvs"
"$gen" "$work/gen" >/dev/null
# 100 files: copies of the generated samples under distinct names.
i=0
while [ $i -lt 100 ]; do
  for f in "$work"/gen/*.quv; do
    [ $i -lt 100 ] || break
    cp "$f" "$work/quvs/file$(printf %03d $i).quv"
    i=$((i + 1))
  done
done
run() {
  rm -rf "$work/out"
  local start end
  start=$(date +%s.%N)
  "$cli" convert "$work/quvs" --out "$work/out" --format png --jobs "$1" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }' 
}
best() {  # best of three
  local b=""
  for _ in 1 2 3; do
    t=$(run "$1")
    if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
  done
  echo "$b"
}
one=$(best 1)
two=$(best 2)
printf 'convert 100 Quv files to png: --jobs 1 %.3f s, --jobs 2 %.3f s, speed-up %.2fx\n' \
  "$one" "$two" "$(awk -v a="$one" -v b="$two" 'BEGIN { print a / b }')"

# Seconds of one convert of INPUT (best of three), the output removed before each run.
convert_time() {
  local b="" t start end
  for _ in 1 2 3; do
    rm -rf "$work/out"
    start=$(date +%s.%N)
    "$cli" convert "$1" --out "$work/out" >/dev/null
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
  done
  echo "$b"
}
# One folder (d0) of COUNT files of one 8 x 8 frame each, and an archive of it.
make_inputs() {
  "$gen" --tree "$1" 1 1 1 8 8 "$work/tree$1" --raw
  "$hpibuild" "$work/tree$1.hpi" --folder "$work/tree$1/d0" --storage stored >/dev/null
}
make_inputs 2000
make_inputs 20000
growth() {  # LABEL SMALL LARGE
  local small large
  small=$(convert_time "$2")
  large=$(convert_time "$3")
  awk -v l="$1" -v a="$small" -v b="$large" 'BEGIN {
    r = b / a
    printf "convert %-34s %6.2f s  20,000 files %6.2f s  ratio %5.2f  goal <= 12  %s\n",
      l ", 2,000 files", a, b, r, (r <= 12 ? "met" : "MISSED")
  }'
}
growth "a folder" "$work/tree2000/d0" "$work/tree20000/d0"
growth "an archive" "$work/tree2000.hpi" "$work/tree20000.hpi"
