#!/bin/sh
# The library must export exactly its two entry names and nothing else: any
# other dynamic symbol is a leak a host could bind to by accident.
set -eu
lib="$1"
actual=$(nm -D --defined-only "$lib" | awk '{print $2, $3}' | sort)
expected=$(printf 'T MAIN_VEG_TULMA\nT VEG_MAIN_MOD_mp_MAIN_VEG\n')
if [ "$actual" != "$expected" ]; then
    echo "exported symbols differ"
    echo "expected:"; echo "$expected"
    echo "actual:"; echo "$actual"
    exit 1
fi
echo "exports: MAIN_VEG_TULMA and VEG_MAIN_MOD_mp_MAIN_VEG only"
