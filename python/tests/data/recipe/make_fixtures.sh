#!/bin/sh
# Remakes the report files of python/tests/data/run/ with the built library:
#   python/tests/data/recipe/make_fixtures.sh BUILD_DIR
# (BUILD_DIR holds libtulma.so, e.g. build-py after
#  cmake --build build-py --target tulma).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../../.." && pwd)
build=$(cd "$1" && pwd)
out="$here/../run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

g++ -std=c++20 -O1 -I"$repo/tools" -I"$repo/include" -I"$repo/tests/support" \
    "$here/fixture_host.cpp" "$repo/tools/host_model/host_model.cpp" -ldl -o "$work/fixture_host"

# vegetation.txt: the parameters of the bundled example without their comment
# lines (so that the echo in veg_err.dat stays small), with a report every 91
# days instead of 30; kept here so that the example may change.
cp "$here/vegetation.txt" "$work/"

(cd "$work" && ./fixture_host "$build/libtulma.so" > stdout.txt)

mkdir -p "$out"
cp "$work"/veg_sum_out.dat "$work"/veg_age_out.dat "$work"/veg_out.txt \
   "$work"/veg_GIS_out.dat "$work"/veg_Ele_out.dat "$work"/veg_Man_out.dat \
   "$work"/veg_err.dat "$out/"
echo "report files written to $out"
