#!/usr/bin/env bash
# Benchmarks of the pack commands, as ratios against what they are measured by:
#   pack of a 1,600-frame sheet set  /  export --format sheet of the same file   (at most 2)
#   hpi pack --compression zlib of a 48 MB folder  /  zip -r -q at the same level (at most 1.5)
#   pack's mapping of a 4-megapixel truecolour picture to palette indices  /  decoding that
#   picture's PNG, CPU time from one frontend_bench run (at most 1.5)
# Builds a Release tree in build/release first. The sheet row needs the sheet export and is
# skipped without it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVELLICOR_GUI=OFF > /dev/null
cmake --build build/release -j"$(nproc)" --target vellicor-cli quvgen frontend_bench > /dev/null
cli="$PWD/build/release/tools/vellicor-cli"
bench="$PWD/build/release/Vellicor/frontend_bench"
quvgen="$PWD/build/release/tools/samples/main/quvgen"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

seconds() {  # runs the command, prints its wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null
  end=$(date +%s.%N)
  awk "BEGIN { printf \"%.3f\", $end - $start }"
}
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }

# Row 1: one image of 1,600 frames of 48 x 48 pixels.
"$quvgen" --synthetic 1 1600 48 48 many.quv
if "$cli" export many.quv --format sheet --out sheet > /dev/null 2>&1; then
  export_time=$(seconds "$cli" export many.quv --format sheet --out sheet)
  pack_time=$(seconds "$cli" pack --force packed.quv sheet/*_sheet.json)
  echo "pack of a 1600-frame sheet: ${pack_time}s, export --format sheet: ${export_time}s," \
    "ratio $(ratio "$pack_time" "$export_time") (at most 2)"
else
  echo "pack of a 1600-frame sheet: skipped (export --format sheet is not available)"
fi

# Row 2: a 48 MB folder of files that compress like game data: half text-like, half noisy.
mkdir -p folder/anims folder/maps
for i in $(seq 1 24); do
  od -An -tx1 -N 320000 /dev/urandom > "folder/anims/t$i.txt"
  head -c 1000000 /dev/urandom > "folder/maps/r$i.bin"
done
hpi_time=$(seconds "$cli" hpi pack --force folder.hpi folder --compression zlib --level 6)
zip_time=$(seconds zip -r -q -6 folder.zip folder)
echo "hpi pack --compression zlib of 48 MB: ${hpi_time}s, zip -r -q -6: ${zip_time}s," \
  "ratio $(ratio "$hpi_time" "$zip_time") (at most 1.5)"

# Row 3: colour mapping against decoding, both in one run so that the machine's load cancels.
cpu() {  # the CPU time of benchmark $1 in the CSV lines on standard input
  awk -F, -v name="\"$1\"" '$1 == name { print $4 }'
}
csv=$("$bench" --benchmark_filter='Truecolour' --benchmark_format=csv 2> /dev/null)
map_time=$(cpu BM_MapTruecolourPicture <<< "$csv")
decode_time=$(cpu BM_DecodeTruecolourPng <<< "$csv")
echo "mapping a 4-megapixel truecolour picture: ${map_time} ms, decoding its PNG: ${decode_time} ms," \
  "ratio $(ratio "$map_time" "$decode_time") (at most 1.5)"
