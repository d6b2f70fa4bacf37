#!/usr/bin/env bash
# Runs the viewer on the bundled samples on a virtual X display and saves a picture of the
# screen as docs/screenshot.png. Usage: scripts/screenshot.sh [build dir] [image to select]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
select="${2:-tank}"
if [ ! -x "$build/Vellicor/vellicor" ]; then
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELLICOR_TESTS=OFF > /dev/null
  cmake --build "$build" -j"$(nproc)" --target vellicor quv_samples hpi_sample
fi
mkdir -p docs
# A settings file of its own, so the screenshot neither depends on nor changes the user's.
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
printf '[WindowPos]\nTop=0\nLeft=0\nWidth=1280\nHeight=800\nWindowState=0\n' > "$config/Vellicor.ini"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$1" --sample --tile --select="$2" --settings="$4" &
  pid=$!
  sleep 4
  import -window root "$3"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
' _ "$PWD/$build/Vellicor/vellicor" "$select" "$PWD/docs/screenshot.png" \
  "$config/Vellicor.ini"
echo "Wrote docs/screenshot.png"
