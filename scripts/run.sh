#!/usr/bin/env bash
# Builds everything (Release) and opens the viewer on the given files, or on the bundled samples
# (a Quv file and a Quv file inside the sample HPI archive) when no file is given.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVELLICOR_TESTS=OFF > /dev/null
cmake --build build/release -j"$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No desktop session found (neither DISPLAY nor WAYLAND_DISPLAY is set): the viewer" >&2
  echo "needs one. Run this script from a desktop terminal, or see scripts/screenshot.sh for a" >&2
  echo "virtual display. Listing the files instead:" >&2
  if [ $# -gt 0 ]; then
    exec build/release/tools/vellicor-cli list "$@"
  fi
  exec build/release/tools/vellicor-cli list build/release/samples/sample.quv
fi
if [ $# -gt 0 ]; then
  exec build/release/Vellicor/vellicor "$@"
fi
exec build/release/Vellicor/vellicor --sample
