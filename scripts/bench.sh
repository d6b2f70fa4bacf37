#!/usr/bin/env bash
# Times vellicor-cli side by side with the plain tools doing the same work on the same content,
# as whole processes: builds Release, makes the inputs with the project's own generators (quvgen,
# hpibuild) and a zip of the same content, runs each pair in turn five times and prints one line
# per comparison with both medians, their ratio and the goal; then the batch conversion
# (scripts/bench-convert.sh), the pack commands (scripts/bench-pack.sh) and the game folder
# (scripts/bench-game.sh). Not part of the test command.
# Usage: scripts/bench.sh [runs]   (inputs and outputs go to a scratch folder that is removed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
bash scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELLICOR_TESTS=OFF > /dev/null
cmake --build "$build" -j"$(nproc)" --target vellicor-cli quvgen hpibuild > /dev/null
cli="$PWD/$build/tools/vellicor-cli"
quvgen="$PWD/$build/tools/samples/main/quvgen"
hpibuild="$PWD/$build/tools/hpibuilder/main/hpibuild"

root="$PWD"
work="$(mktemp -d /tmp/vellicor-bench-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# The inputs.
"$quvgen" --synthetic 200 8 64 64 sprites.quv               # 1,600 run-length frames
"$quvgen" --tree 10000 100 1 1 8 8 small --raw               # 10,000 small files, 100 folders
"$quvgen" --tree 768 16 1 15 64 64 zlibtree --raw            # 768 files of about 60 KB
"$quvgen" --tree 128 8 1 15 64 64 lz77tree --raw             # 128 files of about 60 KB
key=0x2f6b3c1d
"$hpibuild" small.hpi --folder small --storage lz77 --key "$key" > /dev/null
"$hpibuild" zlib.hpi --folder zlibtree --storage zlib --key "$key" --encrypt > /dev/null
"$hpibuild" lz77.hpi --folder lz77tree --storage lz77 --key "$key" --encrypt > /dev/null
for name in small zlibtree lz77tree; do (cd "$name" && zip -q -r "../$name.zip" .); done
"$cli" export sprites.quv --out bmps > /dev/null               # the files cp copies
"$quvgen" --synthetic 125 8 64 64 sprites4m.quv --raw       # about 4 MB, the file an edit saves
# A 48 MB archive: a Quv file beside 48 MB of noise, in scrambled zlib chunks.
mkdir -p big/anims big/maps
"$quvgen" --synthetic 4 8 64 64 big/anims/x.quv
for i in $(seq 1 48); do head -c 1000000 /dev/urandom > "big/maps/r$i.bin"; done
"$hpibuild" big.hpi --folder big --storage zlib --key "$key" > /dev/null

# Milliseconds of one run of a command (its output discarded).
time_ms() {
  local start end
  start=$EPOCHREALTIME
  "$@" > /dev/null 2>&1
  end=$EPOCHREALTIME
  echo "$start $end" | awk '{ printf "%.3f\n", ($2 - $1) * 1000 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# compare LABEL GOAL PREPARE -- OURS... -- BASELINE...: both commands in turn, PREPARE (a shell
# snippet, untimed) before each.
compare() {
  local label="$1" goal="$2" prepare="$3"
  shift 4
  local ours=() base=()
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  base=("$@")
  local a=() b=()
  for _ in $(seq "$runs"); do
    eval "$prepare"
    a+=("$(time_ms "${ours[@]}")")
    eval "$prepare"
    b+=("$(time_ms "${base[@]}")")
  done
  local ma mb
  ma=$(printf '%s\n' "${a[@]}" | median)
  mb=$(printf '%s\n' "${b[@]}" | median)
  awk -v l="$label" -v a="$ma" -v b="$mb" -v g="$goal" -v base="${base[0]##*/}" 'BEGIN {
    r = a / b
    printf "%-44s %9.2f ms  %-8s %9.2f ms  ratio %5.2f  goal <= %-4s %s\n", l, a, base, b, r, g,
      (r <= g ? "met" : "MISSED")
  }'
}

echo "median of $runs runs each, $(nproc) cores; vellicor-cli against the baseline beside it"
compare "list F --json (200 x 8 frames, $(du -k sprites.quv | cut -f1) KB)" 3 ":" -- \
  "$cli" list sprites.quv --json -- cat sprites.quv
compare "export F --out D (1,600 BMP files)" 1.3 "rm -rf out copy" -- \
  "$cli" export sprites.quv --out out -- cp -r bmps copy
compare "hpi list A --json (10,000 files, 100 folders)" 1.0 ":" -- \
  "$cli" hpi list small.hpi --json -- unzip -l small.zip
compare "hpi extract, zlib, scrambled ($(du -m zlib.hpi | cut -f1) MB, 768 files)" 0.5 \
  "rm -rf out" -- "$cli" hpi extract zlib.hpi --out out -- unzip -q zlibtree.zip -d out
compare "hpi extract, LZ77, scrambled ($(du -m lz77.hpi | cut -f1) MB, 128 files)" 0.5 \
  "rm -rf out" -- "$cli" hpi extract lz77.hpi --out out -- unzip -q lz77tree.zip -d out
# Saving an edited file: on disk against a copy and a listing of it, inside an archive against
# zipping the archive's content.
if "$cli" edit --help > /dev/null 2>&1; then
  compare "save: edit F --out (4 MB Quv)" 2 "rm -f out.quv copy.quv" -- \
    "$cli" edit sprites4m.quv --image image0000 --shift-offset 0,0 --out out.quv -- \
    bash -c "cp sprites4m.quv copy.quv && '$cli' list copy.quv"
  compare "archive entry save: edit A/E ($(du -m big.hpi | cut -f1) MB archive)" 1.5 \
    "rm -f big.zip" -- "$cli" edit big.hpi/anims/x.quv --image image0000 --shift-offset 1,0 -- \
    zip -q -r big.zip big
else
  echo "save and archive entry save: skipped (vellicor-cli has no edit command)"
fi
# Adding one file to the 48 MB archive in place, against zip adding it to a zip of the same
# content; both start from a fresh copy each run.
head -c 100000 /dev/urandom > added.bin
(cd big && zip -q -r ../bigcontent.zip .)
compare "hpi add A F ($(du -m big.hpi | cut -f1) MB archive, 100 KB file)" 1.5 \
  "cp big.hpi add.hpi && cp bigcontent.zip add.zip" -- "$cli" hpi add add.hpi added.bin -- \
  zip -q add.zip added.bin

# Peak memory of the zlib extraction against the largest file it writes.
rm -rf out
peak_kb=$(/usr/bin/time -f '%M' "$cli" hpi extract zlib.hpi --out out 2>&1 > /dev/null | tail -1)
largest_kb=$(find zlibtree -type f -printf '%s\n' | sort -n | tail -1 | awk '{ printf "%d", $1 / 1024 }')
awk -v p="$peak_kb" -v l="$largest_kb" 'BEGIN {
  g = 3 * l + 20 * 1024
  printf "%-44s %9.1f MB  largest file %d KB  goal <= %.1f MB  %s\n",
    "peak memory of the zlib extraction", p / 1024, l, g / 1024, (p <= g ? "met" : "MISSED")
}'

# The batch conversion, the pack commands and the game folder, each against its own baseline.
cmake --build "$root/$build" -j"$(nproc)" --target vellicor-cli quvgen hpibuild > /dev/null
bash "$root/scripts/bench-convert.sh" "$root/$build"
bash "$root/scripts/bench-pack.sh"
bash "$root/scripts/bench-game.sh" "$root/$build" "$runs"
