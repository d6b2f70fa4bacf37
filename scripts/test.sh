#!/usr/bin/env bash
# Builds with AddressSanitizer + UndefinedBehaviorSanitizer and runs every test through CTest,
# then builds the fuzz targets with clang and runs each for a short, bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs="$(nproc)"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

# Every source folder forms a tree of units: any include cycle fails the run.
sources=(Framework DataLoaders Vellicor/source tools)
if ! graph="$(python3 scripts/include-graph.py "${sources[@]}")"; then
  grep CYCLE <<< "$graph"
  exit 1
fi
# A routine longer than a screen says why beside it ("// Long: ...").
python3 scripts/long-routines.py "${sources[@]}"
# The sources keep the repository's format.
find Framework DataLoaders Vellicor tools fuzz \( -name '*.h' -o -name '*.cpp' \) -print0 |
  xargs -0 clang-format --dry-run --Werror

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLICOR_SANITIZE=ON > /dev/null
cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLICOR_FUZZ=ON > /dev/null
cmake --build build/fuzz -j"$jobs"
ctest --test-dir build/fuzz --output-on-failure
