#!/usr/bin/env bash
# Takes a picture of the main window showing the demo tablet's events, in a real
# X server (Xvfb): scripts/screenshot.sh [OUT.png] [WIDTHxHEIGHT]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshot.png}")
size=${2:-1280x800}
scripts/install-deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF
cmake --build build/run -j "$(nproc)" --target velmora-screenshot IBFS32
sim=$(mktemp -d)
trap 'rm -rf "$sim"' EXIT
ONEWIRE_PORT=sim ONEWIRE_SIM_DIR="$sim/adapter" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 ${size}x24" build/run/bin/velmora-screenshot "$out" "$size"
echo "saved $out"
