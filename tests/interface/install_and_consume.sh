#!/bin/sh
# Installs the built library into a fresh prefix and builds the C example host
# against it twice: with CMake's find_package(tulma), and with the compiler
# and pkg-config alone. Each build runs a year of host calls on the bundled
# river's input files; the two runs must write the same reports.
#
# usage: install_and_consume.sh BUILD_DIR SOURCE_DIR WORK_DIR
set -eu
build=$1
src=$2
work=$3
rm -rf "$work"
mkdir -p "$work/by_cmake" "$work/by_pkg_config"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

cmake -S "$src/examples/c_host" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null

libdir=$(dirname "$(find "$prefix" -name tulma.pc)")
export PKG_CONFIG_PATH=$libdir
cc -std=c99 "$src/examples/c_host/c_host.c" $(pkg-config --cflags --libs tulma) -lm \
    -Wl,-rpath,"$(pkg-config --variable=libdir tulma)" -o "$work/pkg-config-c_host"

for run in by_cmake by_pkg_config; do
    for f in vegetation.txt veg_polygons.shp veg_polygons.dbf temperature.txt; do
        cp "$src/examples/river/$f" "$work/$run/"
    done
done
echo "find_package: $(cd "$work/by_cmake" && "$work/cmake/c_host")"
echo "pkg-config: $(cd "$work/by_pkg_config" && "$work/pkg-config-c_host")"
diff -r "$work/by_cmake" "$work/by_pkg_config"
