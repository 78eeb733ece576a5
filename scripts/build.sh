#!/usr/bin/env bash
# Configures and builds Lobrana into build/ (or $LOBRANA_BUILD). Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${LOBRANA_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DLOBRANA_WERROR=ON "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
