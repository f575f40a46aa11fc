"""Read the report files of a TULMA run, draw figures of them and export them.

    PYTHONPATH=python /usr/bin/python3 -m tulma plot RUN_DIR
    PYTHONPATH=python /usr/bin/python3 -m tulma summary RUN_DIR
    PYTHONPATH=python /usr/bin/python3 -m tulma export RUN_DIR -o OUT.gpkg

``tulma.reports`` holds the readers (pandas DataFrames) and run.json,
``tulma.plots`` the figures (matplotlib), ``tulma.export`` the GeoPackage,
CSV and NetCDF exports (GDAL, pandas, xarray); each imports its heavy
modules only when it is used.
"""

# The library's version, as project(VERSION) in CMakeLists.txt gives it.
__version__ = '0.1.0'
