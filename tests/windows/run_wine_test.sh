#!/bin/sh
# TULMA.dll as a Windows river host meets it: cross-builds the DLL and the
# Windows tulma-run with mingw-w64, checks what the DLL exports and which DLLs
# it needs, runs the bundled river example through it under wine, and compares
# every report file with the Linux library's run of the same river, the
# Windows line ends (CR LF) turned back into LF. The Windows run shares its
# steps between two threads, the Linux run keeps one (the river is small):
# the bytes are the same, and the DLL's threads end with the process.
#
# usage: run_wine_test.sh SOURCE_DIR NATIVE_TULMA_RUN [CROSS_BUILD_DIR]
#   NATIVE_TULMA_RUN  the Linux tulma-run, beside its libtulma.so
#   CROSS_BUILD_DIR   where to cross-build (default: SOURCE_DIR/build-windows)
set -eu

src=$(cd "$1" && pwd)
native_run=$2
cross=${3:-$src/build-windows}
mkdir -p "$cross"
cross=$(cd "$cross" && pwd)
scenario=$src/examples/river/scenario.toml
reports="veg_err.dat veg_out.txt veg_sum_out.dat veg_age_out.dat veg_Ele_out.dat veg_Man_out.dat veg_GIS_out.dat temp_out.txt"
# DLLs that every 64-bit Windows has in its system folder.
system_dlls="KERNEL32.dll msvcrt.dll"

fail() { echo "FAIL: $*" >&2; exit 1; }

# True when the Windows file is the Linux one with every LF written as CR LF:
# no bare LF, and the bytes equal once each CR LF is turned back into LF.
same_but_line_ends() {
    lines=$(wc -l <"$1")
    crlf=$(grep -c "$(printf '\r')\$" "$1" || true)
    [ "$crlf" -eq "$lines" ] || { echo "$1: $crlf of $lines lines end in CR LF" >&2; return 1; }
    sed 's/\r$//' "$1" | cmp - "$2"
}

for tool in x86_64-w64-mingw32-objdump wine; do
    command -v "$tool" >/dev/null || fail "$tool not found (scripts/install-deps.sh installs it)"
done

echo "== cross-build in $cross"
cmake -S "$src" -B "$cross" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$cross" -j2 --target tulma tulma-run
dll=$cross/TULMA.dll
exe=$cross/tulma-run.exe
[ -f "$dll" ] && [ -f "$exe" ] || fail "the cross-build gave no TULMA.dll or tulma-run.exe"

echo "== exports of TULMA.dll"
# The name table follows the "[Ordinal/Name Pointer] Table" heading up to the
# first blank line.
exports=$(x86_64-w64-mingw32-objdump -p "$dll" |
          awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
               on && NF == 0 {exit}
               on {print $NF}' | sort)
expected=$(printf 'MAIN_VEG_TULMA\nVEG_MAIN_MOD_mp_MAIN_VEG\n')
[ "$exports" = "$expected" ] ||
    fail "TULMA.dll exports
$exports
expected exactly
$expected"
echo "$exports"

echo "== DLLs that TULMA.dll and tulma-run.exe need"
for binary in "$dll" "$exe"; do
    needed=$(x86_64-w64-mingw32-objdump -p "$binary" | awk '/DLL Name:/ {print $3}')
    [ -n "$needed" ] || fail "$(basename "$binary"): no import table found"
    for name in $needed; do
        case " $system_dlls " in
            *" $name "*) ;;
            *) fail "$(basename "$binary") needs $name, which not every Windows has" ;;
        esac
    done
    echo "$(basename "$binary"):" $needed
done

work=$cross/wine-test
rm -rf "$work/linux" "$work/windows"
mkdir -p "$work"

echo "== Linux run"
"$native_run" "$scenario" --run-dir "$work/linux" >"$work/linux.out" 2>"$work/linux.err" ||
    { cat "$work/linux.err" >&2; fail "the Linux run failed"; }

echo "== Windows run under wine"
# A prefix of the test's own; wine makes it on the first start.
WINEPREFIX=$work/wineprefix
WINEDEBUG=-all
# No offer to install .NET or a browser engine while the prefix is made.
WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
started=$(date +%s)
status=0
TULMA_THREADS=2 wine "$exe" "$scenario" --run-dir "$work/windows" >"$work/windows.out" \
    2>"$work/windows.err" || status=$?
echo "wine run: $(( $(date +%s) - started )) s, exit status $status"
[ "$status" -eq 0 ] || { cat "$work/windows.err" >&2; fail "tulma-run.exe under wine failed"; }
tail -n 2 "$work/windows.err"

echo "== report files"
for name in $reports; do
    linux=$work/linux/$name
    windows=$work/windows/$name
    [ -f "$linux" ] || fail "the Linux run wrote no $name"
    [ -f "$windows" ] || fail "the Windows run wrote no $name"
    same_but_line_ends "$windows" "$linux" || fail "$name differs from the Linux run"
    echo "$name: $(wc -c <"$linux") bytes on Linux, equal after CR LF -> LF"
done
same_but_line_ends "$work/windows.out" "$work/linux.out" ||
    fail "standard output differs from the Linux run's"
echo "standard output: $(wc -c <"$work/linux.out") bytes on Linux, equal after CR LF -> LF"
echo "PASS"
