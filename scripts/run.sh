#!/usr/bin/env bash
# Builds Velmora and starts it on the built-in simulated 1-Wire adapter (the
# per-user default folder; a new one gets the demo tablet from onewire-sim).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF
cmake --build build/run -j "$(nproc)" --target velmora IBFS32 onewire-sim onewire-port velmora-decode
# The simulated adapter unless a port is chosen in the environment (onewire-port).
export ONEWIRE_PORT="${ONEWIRE_PORT:-sim}"
build/run/bin/onewire-sim list >/dev/null
exec build/run/bin/velmora "$@"
