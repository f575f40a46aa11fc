#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs and the machine lacks.
#
#   scripts/install-deps.sh example   # build the library and tulma-run, run and plot the example
#   scripts/install-deps.sh tests     # everything the whole test suite needs
set -euo pipefail

# Packages are installed without the ones they only recommend, so every
# package a command uses is named here, from a pristine Debian 12 up.
#   example: the library, tulma-run (toml++), the figures (numpy, matplotlib,
#     pandas) and the GeoPackage export (GDAL's Python bindings).
#   tests: GoogleTest and Google Benchmark;
#     mingw-w64 and wine for TULMA.dll; clang 16 with libFuzzer and its
#     sanitizer run-times (libclang-rt-16-dev, which clang-16 only recommends);
#     clang-format-16 for the format check; pkg-config and gfortran for the
#     C and Fortran hosts built against the installed library; pip and
#     setuptools to install the Python package; xarray and netCDF4 for the
#     NetCDF export, gdal-bin (ogrinfo) to open the GeoPackage; Dask
#     distributed for the ensembles.
example=(g++ cmake make libtomlplusplus-dev python3-numpy python3-matplotlib python3-pandas
         python3-gdal)
tests=("${example[@]}" libgtest-dev libgmock-dev libbenchmark-dev
       g++-mingw-w64-x86-64 wine wine64 clang-16 libfuzzer-16-dev libclang-rt-16-dev
       clang-format-16 pkg-config gfortran python3-pip python3-setuptools
       python3-xarray python3-netcdf4 gdal-bin python3-distributed)

case "${1:-tests}" in
    example) wanted=("${example[@]}") ;;
    tests) wanted=("${tests[@]}") ;;
    *) echo "usage: $0 example|tests" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
    exit 1
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}" >/dev/null
