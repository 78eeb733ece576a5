#!/usr/bin/env bash
# Installs what is missing, builds, and starts Lobrana with its default configuration.
# Without a display the engine runs headless (stop it with Ctrl+C). Arguments go to lobrana.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
build=${LOBRANA_BUILD:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/src/app/lobrana" "$@"
else
  echo "No display found: starting the engine headless (Ctrl+C ends it)."
  exec "$build/src/app/lobrana" --headless "$@"
fi
