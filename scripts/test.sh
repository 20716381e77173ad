#!/usr/bin/env bash
# Every test: the product binaries, then the native build's tests, plainly and
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install_deps.sh
bash scripts/build_product.sh

jobs=$(nproc)
status=0
for variant in native native-asan; do
  sanitize=OFF
  [ "$variant" = native-asan ] && sanitize=ON
  echo "=== $variant"
  cmake -S . -B "build/$variant" -G Ninja -DGAUGE_SANITIZE=$sanitize -DGAUGE_DIST_DIR="$PWD/dist" >/dev/null
  ninja -C "build/$variant" -j"$jobs"
  ctest --test-dir "build/$variant" --output-on-failure -j"$jobs" || status=1
done
exit $status
