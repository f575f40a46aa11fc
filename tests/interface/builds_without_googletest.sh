#!/bin/sh
# The library configures and builds where GoogleTest and Google Benchmark are
# missing (hidden from find_package here): as the top-level project with the
# tests off, and inside a host's build, where they are off unless asked for.
#
# usage: builds_without_googletest.sh SOURCE_DIR WORK_DIR
set -eu
src=$1
work=$2
rm -rf "$work"
hide="--no-warn-unused-cli -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON"

cmake -S "$src" -B "$work/top" -DTULMA_BUILD_TESTS=OFF $hide >/dev/null
echo "top-level, tests off: configured"

cmake -S "$src/tests/interface/subproject" -B "$work/sub" -DTULMA_SOURCE_DIR="$src" \
    -DCMAKE_BUILD_TYPE=Debug $hide >/dev/null
cmake --build "$work/sub" --target c_host -j2 >/dev/null
for part in tests bench; do
    if [ -e "$work/sub/tulma/$part" ]; then
        echo "a host's build got TULMA's $part" >&2
        exit 1
    fi
done
echo "inside a host's build: built without tests or benchmarks"
