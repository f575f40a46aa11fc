#!/bin/sh
# Installs the Python package offline, as a user would, into a fresh folder,
# and runs it from there: the installed copy, not the source tree, answers.
#
# usage: python_install.sh SOURCE_DIR WORK_DIR
set -eu
src=$1
work=$2
rm -rf "$work"
mkdir -p "$work/source"
# setuptools builds inside the folder it is given: a copy keeps the source tree clean.
cp -R "$src/python/pyproject.toml" "$src/python/README.md" "$src/python/tulma" "$work/source/"
/usr/bin/python3 -m pip install --quiet --root-user-action=ignore --no-build-isolation --no-deps --no-index \
    --target "$work/site" "$work/source"
cd "$work"
PYTHONPATH="$work/site" /usr/bin/python3 -c 'import tulma; print("installed at", tulma.__file__)'
PYTHONPATH="$work/site" MPLBACKEND=Agg /usr/bin/python3 -m tulma --version
