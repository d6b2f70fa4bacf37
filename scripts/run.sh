#!/usr/bin/env bash
# Builds everything (Release) and runs the main job on the bundled sample, or on the given files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVELLICOR_TESTS=OFF > /dev/null
cmake --build build/release -j"$(nproc)"
if [ $# -gt 0 ]; then
  exec build/release/tools/vellicor-cli list "$@"
fi
exec build/release/tools/vellicor-cli list build/release/samples/sample.quv
