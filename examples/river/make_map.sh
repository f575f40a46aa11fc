#!/bin/sh
# Turn the text geometry of the initial vegetation map (veg_polygons.csv: one
# polygon per line, its vegetation code and its outline as WKT) into the
# shapefile the library reads: veg_polygons.shp with its table
# veg_polygons.dbf, plus the index (.shx) and the projection (.prj) a GIS
# needs to open it.  Needs ogr2ogr (Debian package gdal-bin).
#
#   sh examples/river/make_map.sh
#
# - -lco SHPT=POLYGON -dim XY: plain 2D Polygon shapes (the library reads
#   Polygon, or PolygonZ only with measures);
# - veg_polygons.csvt types the columns: VEGCODE a text field 30 wide, the
#   longest code the library keeps;
# - -select VEGCODE keeps only the code field (the WKT column is the geometry);
# - -a_srs: the coordinates are UTM zone 10 north, metres, as the cross
#   sections of sections.csv;
# - DBF_DATE_LAST_UPDATE pins the date written into the table's header, so
#   the same text gives the same bytes on every day it is converted.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
printf '"String(30)","WKT"\n' > veg_polygons.csvt
rm -f veg_polygons.shp veg_polygons.shx veg_polygons.dbf veg_polygons.prj veg_polygons.cpg
ogr2ogr -f "ESRI Shapefile" -lco SHPT=POLYGON -lco DBF_DATE_LAST_UPDATE=2005-01-01 \
        -lco ENCODING="" -dim XY -a_srs EPSG:32610 -select VEGCODE \
        -nln veg_polygons veg_polygons.shp veg_polygons.csv
rm -f veg_polygons.csvt veg_polygons.cpg
echo "wrote $here/veg_polygons.shp and veg_polygons.dbf"
