#!/usr/bin/env bash
# Builds Velmora and starts it on the built-in simulated 1-Wire adapter (the
# per-user default folder, made with a demo tablet on first use).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF
cmake --build build/run -j "$(nproc)" --target velmora IBFS32 onewire-sim onewire-port velmora-decode
# The simulated adapter unless a port is chosen in the environment (onewire-port).
export ONEWIRE_PORT="${ONEWIRE_PORT:-sim}"
exec build/run/bin/velmora "$@"
