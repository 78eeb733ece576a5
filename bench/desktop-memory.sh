#!/usr/bin/env bash
# Resident memory of the desktop program with eight queues and their operator windows open.
set -euo pipefail
build=${1:-build}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export LOBRANA_HOME=$home/home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
reg=$build/tools/reg/lobrana-reg
for q in 1 2 3 4 5 6 7 8; do
  key=$(printf 'Queues/%03d' "$q")
  "$reg" set "$key" Name --text "Fronta $q"
  "$reg" set "$key" Min --int $((q * 100))
  "$reg" set "$key" Max --int $((q * 100 + 99))
done
"$reg" set Connect ComputerType --int 0
QT_QPA_PLATFORM=offscreen "$build/src/app/lobrana" >/dev/null 2>&1 &
pid=$!
sleep 6
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
kill -TERM "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "desktop program, 8 queues with their operator windows: resident memory $((rss / 1024)) MB (target < 120 MB)"
