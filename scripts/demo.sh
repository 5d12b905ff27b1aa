#!/usr/bin/env bash
# Builds the tool and registers a demo product in a copy of the bundled sample library.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target sceneryreg -j"$(nproc)" >/dev/null

scratch=$(mktemp -d /tmp/sceneryreg-demo.XXXXXX)
mkdir -p "$scratch/Simulator" "$scratch/Demo Harbour"
cp examples/scenery.cfg "$scratch/Simulator/scenery.cfg"

echo "\$ sceneryreg $scratch/Simulator ADD \"$scratch/Demo Harbour\" \"Demo Harbour Scenery\""
[ -n "${DISPLAY:-}" ] && echo "(the report opens in a window; press a key there to close it)"
build/native/src/main/sceneryreg "$scratch/Simulator" ADD "$scratch/Demo Harbour" \
  "Demo Harbour Scenery" </dev/null

echo
echo "== What changed in $scratch/Simulator/scenery.cfg:"
diff examples/scenery.cfg "$scratch/Simulator/scenery.cfg" | tr -d '\r' || true
echo "== Backup kept as $scratch/Demo Harbour/scenery_beforeinstall.cfg"
