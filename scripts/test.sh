#!/usr/bin/env bash
# The whole test suite: the format check, the release build with every test
# (warnings are errors), the AddressSanitizer + UndefinedBehaviorSanitizer
# build with its unit, interface and black-box tests, then the ThreadSanitizer
# build with the tests that run the step and the reports on several threads.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
scripts/install-deps.sh tests

echo "== format"
scripts/check-format.sh

echo "== release build and tests"
cmake --preset release -DTULMA_BUILD_TESTS=ON -DTULMA_WERROR=ON >/dev/null
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"

echo "== sanitizer build and tests"
cmake --preset asan-ubsan -DTULMA_BUILD_TESTS=ON -DTULMA_WERROR=ON >/dev/null
cmake --build --preset asan-ubsan -j"$jobs"
ctest --preset asan-ubsan -j"$jobs" -L 'unit|interface|blackbox'

echo "== thread sanitizer build and the threaded tests"
cmake --preset tsan -DTULMA_BUILD_TESTS=ON -DTULMA_WERROR=ON >/dev/null
cmake --build --preset tsan -j"$jobs" --target tulma case_runner test_worker_pool \
    test_vegetation_step scaling_bench tulma-run
ctest --preset tsan -j"$jobs" -R '^(WorkerPool|StepVeg)[.]|^threads[.]|[.]threads[24]$'

echo "== fuzz smoke run"
TULMA_ASAN_LIB="$root/build-asan/libtulma.so" fuzz/smoke.sh
