#!/usr/bin/env bash
# A game folder on a Release build: mounting 20 archives with 100,000 entries in all
# (vellicor-cli ls) against unzip -l of the same entries as 20 zip files (goal <= 1.5), and the
# index of the image names of 5,000 small Quv files (vellicor-cli find --images) against cat of
# those files (goal <= 3). Median of RUNS runs each (default 5).
# Usage: scripts/bench-game.sh [BUILD_DIR] [RUNS]   (default build/release)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/release}" && pwd)"
runs="${2:-5}"
cli="$build/tools/vellicor-cli"
gen="$build/tools/samples/main/quvgen"
hpibuild="$build/tools/hpibuilder/main/hpibuild"
for tool in "$cli" "$gen" "$hpibuild"; do
  [ -x "$tool" ] || {
    echo "build $tool first (cmake --build $build --target vellicor-cli quvgen hpibuild)"
    exit 1
  }
done
work="$(mktemp -d /tmp/vellicor-bench-game-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# 5,000 small Quv files in 50 folders; each archive holds them under a folder of its own name,
# so that the 20 archives give 100,000 distinct entries, and each zip the same entries.
"$gen" --tree 5000 50 1 1 8 8 quvs --raw > /dev/null
mkdir -p game zips
for i in $(seq -w 0 19); do
  mkdir -p "src/p$i"
  cp -al quvs "src/p$i/p$i"
  "$hpibuild" "game/p$i.hpi" --folder "src/p$i" --storage lz77 > /dev/null
  (cd "src/p$i" && zip -q -r "../../zips/p$i.zip" "p$i")
done

# Milliseconds of one run of a command (its output discarded).
time_ms() {
  local start end
  start=$EPOCHREALTIME
  "$@" > /dev/null 2>&1
  end=$EPOCHREALTIME
  echo "$start $end" | awk '{ printf "%.3f\n", ($2 - $1) * 1000 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# compare LABEL GOAL BASE-NAME -- OURS... -- BASELINE...: both in turn, RUNS times.
compare() {
  local label="$1" goal="$2" name="$3"
  shift 4
  local ours=() base=()
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  base=("$@")
  local a=() b=()
  for _ in $(seq "$runs"); do
    a+=("$(time_ms "${ours[@]}")")
    b+=("$(time_ms "${base[@]}")")
  done
  local ma mb
  ma=$(printf '%s\n' "${a[@]}" | median)
  mb=$(printf '%s\n' "${b[@]}" | median)
  awk -v l="$label" -v a="$ma" -v b="$mb" -v g="$goal" -v base="$name" 'BEGIN {
    r = a / b
    printf "%-44s %9.2f ms  %-8s %9.2f ms  ratio %5.2f  goal <= %-4s %s\n", l, a, base, b, r, g,
      (r <= g ? "met" : "MISSED")
  }'
}

compare "ls DIR (20 archives, 100,000 entries)" 1.5 "unzip -l" -- "$cli" ls game -- \
  bash -c 'for zip in zips/*.zip; do unzip -l "$zip"; done'
compare "find DIR x --images (5,000 Quv files)" 3 "cat" -- "$cli" find quvs x --images -- \
  bash -c 'cat quvs/*/*.quv'
