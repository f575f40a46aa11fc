#!/bin/sh
# Every byte the library writes is the same on 1, 2 and 4 threads: the report
# files, the log of rewritten reports and of pt_rr after every call of a
# synthetic river (two reaches, three kinds, water-borne seed, every process
# on, a report at every step), and every file of the bundled river's run.
#
# usage: same_bytes.sh SCALING_BENCH TULMA_RUN SCENARIO WORK_DIR
set -eu
bench=$1
tulma_run=$2
scenario=$3
work=$4
rm -rf "$work"
mkdir -p "$work"
for threads in 1 2 4; do
    TULMA_THREADS=$threads "$bench" --check "$work/synthetic$threads" 24 30 200 >/dev/null
    TULMA_THREADS=$threads "$tulma_run" "$scenario" --run-dir "$work/example$threads" \
        >"$work/example$threads.out" 2>/dev/null
done
status=0
for threads in 2 4; do
    for run in synthetic example; do
        # run.json records the thread count and the folder, and nothing of the library.
        if diff -r -x run.json "$work/${run}1" "$work/$run$threads" >/dev/null &&
            cmp -s "$work/example1.out" "$work/example$threads.out"; then
            echo "$run: $threads threads write the bytes of one"
        else
            echo "FAIL: $run on $threads threads differs from one thread" >&2
            status=1
        fi
    done
done
exit $status
