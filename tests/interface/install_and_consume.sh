#!/bin/sh
# Installs the built library into a fresh prefix and builds a small host
# program against it twice: with CMake's find_package(tulma), and with the
# compiler and pkg-config alone. Each prints the version it was built with.
#
# usage: install_and_consume.sh BUILD_DIR SOURCE_DIR WORK_DIR
set -eu
build=$1
src=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

cmake -S "$src/tests/interface/consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
echo "find_package: $("$work/cmake/consumer")"

libdir=$(dirname "$(find "$prefix" -name tulma.pc)")
export PKG_CONFIG_PATH=$libdir
cc "$src/tests/interface/consumer/consumer.c" $(pkg-config --cflags --libs tulma) \
    -Wl,-rpath,"$(pkg-config --variable=libdir tulma)" -o "$work/pkg-config-consumer"
echo "pkg-config: $("$work/pkg-config-consumer")"
