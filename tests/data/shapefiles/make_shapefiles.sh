#!/bin/sh
# Writes the test polygon maps with GDAL (Debian package gdal-bin) into OUTDIR,
# from the CSV files beside this script (geometry as WKT, attributes as columns,
# column types in the .csvt files):
#   plots.shp/.dbf      Polygon: a ring with a hole, a two-part polygon, a
#                       triangle whose code is quoted, an irregular ring
#   veg.old.shp/.dbf    the same map under a name with two dots
#   terrace.shp/.dbf    PolygonZ with measures (z and m on every point)
# and GDAL's own area and centroid of every polygon (SQLite dialect) into
# plots_gdal.csv and terrace_gdal.csv, columns id, area, cx, cy.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
out=$1
mkdir -p "$out"

if ! command -v ogr2ogr >/dev/null 2>&1; then
    echo "ogr2ogr not found: install the Debian package gdal-bin" >&2
    exit 1
fi

csv_open="-oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO"

# shellcheck disable=SC2086
ogr2ogr -f "ESRI Shapefile" -lco SHPT=POLYGON $csv_open "$out/plots.shp" "$here/plots.csv"
# shellcheck disable=SC2086
ogr2ogr -f "ESRI Shapefile" -lco SHPT=POLYGON -nln veg.old $csv_open "$out/veg.old.shp" "$here/plots.csv"
# shellcheck disable=SC2086
ogr2ogr -f "ESRI Shapefile" -lco SHPT=POLYGONZM $csv_open "$out/terrace.shp" "$here/terrace.csv"

for layer in plots terrace; do
    ogr2ogr -f CSV "$out/${layer}_gdal.csv" "$out/$layer.shp" -dialect SQLite \
        -sql "SELECT id, ST_Area(geometry) AS area, ST_X(ST_Centroid(geometry)) AS cx, ST_Y(ST_Centroid(geometry)) AS cy FROM $layer"
done
