#!/usr/bin/env bash
# vellicor-cli convert of a folder of 100 generated Quv files to png, with --jobs 1 and
# --jobs 2 on a Release build; prints both times and their ratio (the goal is >= 1.7).
# Usage: scripts/bench-convert.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
cli="$build/tools/vellicor-cli"
gen="$build/tools/samples/main/quvgen"
[ -x "$cli" ] || { echo "build $cli first (cmake --build $build --target vellicor-cli quvgen)"; exit 1; }
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
