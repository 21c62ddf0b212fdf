#!/usr/bin/env bash
# Starts the desktop application on the built-in simulated amplifier. Until the application is
# built, shows the headless core against the simulator instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/default
if [ -x "$bin/app/fenno" ]; then
  exec "$bin/app/fenno" --demo "$@"
fi
echo "The desktop application is not built; showing the command-line tool on the simulator."
out=$(mktemp)
"$bin/tools/fenno-sim" --port 0 >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$out" /tmp/fenno-demo.mode' EXIT
for _ in $(seq 50); do grep -q listening "$out" && break; sleep 0.1; done
addr=$(sed -n 's/^listening on //p' "$out")
"$bin/tools/fenno-cli" --tcp "$addr" info
"$bin/tools/fenno-cli" --tcp "$addr" set 1 14 40
"$bin/tools/fenno-cli" --tcp "$addr" read /tmp/fenno-demo.mode
"$bin/tools/fenno-cli" factory /tmp/fenno-factory.mode >/dev/null
"$bin/tools/fenno-cli" diff /tmp/fenno-factory.mode /tmp/fenno-demo.mode
rm -f /tmp/fenno-factory.mode
