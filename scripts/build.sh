#!/usr/bin/env bash
# Builds the library (release build) and says where it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target tulma
echo "libtulma.so is at $root/build/libtulma.so"
