#!/usr/bin/env bash
# The main job: builds dist/korvane3.gau and dist/vantric.gau.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh
bash scripts/build_product.sh
ls -l dist/*.gau
