#!/bin/sh
# Builds the Fortran example host against a freshly installed TULMA and has
# it replay, call by call, the host arrays tulma-run hands the library for a
# small river. Both runs must leave the same files, byte for byte.
#
# usage: fortran_host.sh BUILD_DIR SOURCE_DIR WORK_DIR TULMA_RUN
set -eu
build=$1
src=$2
work=$3
tulma_run=$4
rm -rf "$work"
mkdir -p "$work/river" "$work/by_fortran"
cmake --install "$build" --prefix "$work/prefix" >/dev/null

river=$src/examples/river
cp "$src/tests/interface/small_river/scenario.toml" "$work/river/"
for f in vegetation.txt veg_polygons.shp veg_polygons.dbf temperature.txt; do
    cp "$river/$f" "$work/river/"
    cp "$river/$f" "$work/by_fortran/"
done
sections='^(U01|U02|L03|L04)$'
awk -F, -v keep="$sections" 'NR == 1 || $1 ~ keep' "$river/sections.csv" >"$work/river/sections.csv"
awk -F, -v keep="$sections" '
    NR == 1 { for (i = 1; i <= NF; i++) wanted[i] = (i == 1 || $i ~ keep) }
    { line = ""; for (i = 1; i <= NF; i++) if (wanted[i]) line = line (line == "" ? "" : ",") $i
      print line }' "$river/water_levels.csv" >"$work/river/water_levels.csv"

"$tulma_run" "$work/river/scenario.toml" --run-dir "$work/by_tulma_run" \
    --record-calls "$work/calls.txt" 2>"$work/tulma_run.log"

cmake -S "$src/examples/fortran_host" -B "$work/fortran" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/fortran" >/dev/null
(cd "$work/by_fortran" && "$work/fortran/river_host" "$work/calls.txt")

# run.json and the snapshots in events/ are tulma-run's own, not the library's.
diff -r -x run.json -x events "$work/by_tulma_run" "$work/by_fortran"
echo "same files: $(ls "$work/by_fortran" | wc -l)"

# The installed module refuses levee starts and ends of different counts.
gfortran -J "$work" "$work/prefix/include/tulma/tulma.f90" "$src/tests/interface/uneven_levee_ranges.f90" \
    -o "$work/uneven_levee_ranges"
if "$work/uneven_levee_ranges" 2>&1; then exit 1; fi
