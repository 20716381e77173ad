#!/usr/bin/env bash
# The main job: builds dist/korvane3.gau and dist/vantric.gau, then the native
# tree, and runs the shipped demo through gaugehost: the demo panel's check,
# the example scenarios' timelines, their renders (dist/demo/*.wav) and their
# plots (dist/demo/*.svg).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh
bash scripts/build_product.sh
ls -l dist/*.gau

cmake -S . -B build/native -G Ninja -DGAUGE_DIST_DIR="$PWD/dist" >/dev/null
ninja -C build/native -j"$(nproc)" gaugehost demo_panel
gaugehost=build/native/host/gaugehost/gaugehost
panel=build/native/demo_panel

echo "=== the demo panel's sound set"
"$gaugehost" check --sim-dir "$panel" "$panel/Gauges/korvane.ini"

echo "=== the example scenarios"
rm -rf dist/demo
mkdir -p dist/demo
# --scratch: each scenario runs in a fresh copy of the panel, which its file
# moves leave untouched.
"$gaugehost" run --scratch --sim-dir "$panel" examples/scenarios/*.scn --render dist/demo/ --plot dist/demo/
ls -l dist/demo
