#!/usr/bin/env bash
# Builds everything, runs the bundled river example end to end with the
# stand-in host, draws its figures and exports it as a GeoPackage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh example

cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target tulma tulma-run

run_dir="$root/examples/river/run"
build/tulma-run examples/river/scenario.toml --run-dir "$run_dir"
# The start date, units and section names come from the run's run.json.
PYTHONPATH="$root/python" MPLBACKEND=Agg /usr/bin/python3 -m tulma plot "$run_dir"
PYTHONPATH="$root/python" /usr/bin/python3 -m tulma export "$run_dir" -o "$run_dir/river.gpkg"

echo
echo "reports: $run_dir"
echo "figures: $run_dir/figures"
echo "GIS layers: $run_dir/river.gpkg (plants, sections, roughness, map)"
