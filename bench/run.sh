#!/bin/sh
# Builds the library and the benchmarks in build-bench (release build with
# debug information) and measures: the growth table of steps, report events
# and memory, the step on 1, 2, ... up to the machine's cores (TULMA_THREADS),
# a year of daily steps on 10^5 points and three kinds with its report events
# (a short version of the 30-year, 10^6-point run in docs/performance.md:
# `scaling_bench --full-run 30 1e6`), then the micro-benchmarks. Output goes to standard output and to
# build-bench/performance-table.md.
#
#   sh bench/run.sh [extra scaling_bench options, e.g. --sizes 1e4,1e5 --repeat 1]
#
# Each size runs in child processes of its own; the whole run takes about ten
# minutes on two cores and needs about 1.5 GB of memory and 1 GB of free disk
# in /tmp at its largest.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target scaling_bench
# Built only where Google Benchmark is installed (Debian: libbenchmark-dev).
cmake --build "$build" -j2 --target micro_bench 2>/dev/null || echo "micro_bench not built"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
threads=$(seq -s, 1 "$(nproc)")
"$build/bench/scaling_bench" --days 20 --events 6 --repeat 3 --threads "$threads" \
    --markdown "$build/performance-table.md" "$@"
echo "one year, 10^5 points, three kinds, a report event a year:"
"$build/bench/scaling_bench" --full-run 1 1e5
[ -x "$build/bench/micro_bench" ] && "$build/bench/micro_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
