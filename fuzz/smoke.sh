#!/usr/bin/env bash
# The short form of the robustness campaign, for every change (about a minute
# once built): each libFuzzer target for a few seconds from its seed corpus,
# then a few hundred process-level runs of mutated input sets through the
# AddressSanitizer + UndefinedBehaviorSanitizer build of the library. Exits
# non-zero on any finding; the reproducer is kept and named.
#
#   fuzz/smoke.sh                      # builds what is missing, then runs
#   FUZZ_SECONDS=5 FUZZ_RUNS=300 fuzz/smoke.sh
#
# Needs clang-16 and libfuzzer-16-dev (the targets), g++ (the library and the
# campaign driver) and /usr/bin/python3 (the seeds). TULMA_ASAN_LIB names a
# sanitizer build of libtulma.so; by default the asan-ubsan preset's is used
# and built when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${FUZZ_SECONDS:-5}
runs=${FUZZ_RUNS:-300}
fuzz_build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
host_build=${FUZZ_HOST_BUILD_DIR:-$root/build-fuzz-host}
jobs=$(nproc)

echo "== fuzz targets (clang-16, libFuzzer, ASan + UBSan)"
CC=clang-16 CXX=clang++-16 cmake -S fuzz -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$fuzz_build" -j"$jobs" >/dev/null
/usr/bin/python3 fuzz/make_seeds.py "$root" "$fuzz_build/seeds" >/dev/null

echo "== sanitizer build of the library and the campaign driver (g++)"
lib=${TULMA_ASAN_LIB:-$root/build-asan/libtulma.so}
if [[ ! -f $lib ]]; then
    cmake --preset asan-ubsan >/dev/null
    cmake --build --preset asan-ubsan -j"$jobs" --target tulma >/dev/null
fi
mkdir -p "$host_build"
if [[ ! -x $host_build/campaign || fuzz/campaign.cpp -nt $host_build/campaign ||
      tools/host_model/host_model.cpp -nt $host_build/campaign ]]; then
    g++ -std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=undefined \
        -fno-omit-frame-pointer -Itools -Iinclude fuzz/campaign.cpp tools/host_model/host_model.cpp \
        -ldl -o "$host_build/campaign"
fi

scratch=$(mktemp -d /tmp/tulma-smoke-XXXXXX)
passed=0
failed=0
for target in value_reader record_reader vegetation temperature shapefile setup; do
    dict=$root/fuzz/dict/records.dict
    [[ $target == shapefile ]] && dict=$root/fuzz/dict/shapefile.dict
    mkdir -p "$scratch/$target" "$scratch/$target-artifacts"
    # New units go to the scratch corpus; the seeds stay as committed.
    if "$fuzz_build/fuzz_$target" -dict="$dict" -max_total_time="$seconds" -timeout=10 \
           -malloc_limit_mb=1024 -close_fd_mask=3 -print_final_stats=1 \
           -artifact_prefix="$scratch/$target-artifacts/" \
           "$scratch/$target" "$fuzz_build/seeds/corpus/$target" >"$scratch/$target.log" 2>&1; then
        echo "fuzz_$target: $(grep -m1 'number_of_executed_units' "$scratch/$target.log" | sed 's/.*: //') executions, no finding"
        passed=$((passed + 1))
    else
        echo "fuzz_$target: FINDING, reproducer in $scratch/$target-artifacts/"
        tail -40 "$scratch/$target.log"
        failed=$((failed + 1))
    fi
done

echo "== process-level campaign ($runs runs)"
if "$host_build/campaign" --library "$lib" --sets "$fuzz_build/seeds/sets" --work "$scratch/work" \
       --failures "$scratch/failures" --runs "$runs" --seed "$(date +%s)" --time-limit 60; then
    passed=$((passed + 1))
else
    echo "campaign: FINDING, input sets kept in $scratch/failures"
    failed=$((failed + 1))
fi

if [[ $failed -eq 0 ]]; then rm -rf "$scratch"; fi
echo "smoke: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
