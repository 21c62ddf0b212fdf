#!/usr/bin/env bash
# Until the GUI exists, the demo prints the factory image through the command-line tool.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -x build/default/app/fenno ]; then
  exec build/default/app/fenno --demo "$@"
fi
echo "The desktop application is not built yet; showing the headless core instead."
exec build/default/tools/fenno-cli factory-dump
