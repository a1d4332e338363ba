#!/usr/bin/env bash
# Configures and builds one preset (default: normal). Usage: scripts/build.sh [preset] [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-normal}"
shift || true
if [ ! -f "build/$preset/build.ninja" ]; then
  cmake --preset "$preset" >/dev/null
fi
if [ $# -gt 0 ]; then
  cmake --build --preset "$preset" --target "$@"
else
  cmake --build --preset "$preset"
fi
