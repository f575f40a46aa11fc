#!/usr/bin/env bash
# Builds everything, runs the bundled river example end to end with the
# stand-in host and draws its figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh example

cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target tulma tulma-run

run_dir="$root/examples/river/run"
build/tulma-run examples/river/scenario.toml --run-dir "$run_dir"
PYTHONPATH="$root/python" MPLBACKEND=Agg /usr/bin/python3 -m tulma plot "$run_dir" --start 2005-01-01 --units metric

echo
echo "reports: $run_dir"
echo "figures: $run_dir/figures"
