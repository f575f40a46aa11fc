"""A run's reports as files that GIS and analysis tools open directly: a
GeoPackage (GDAL's Python bindings), tidy CSV files (pandas) or one NetCDF
file (xarray, CF conventions).

All three are made from the same tables (``Tables``): the plants at every
kept report event, the points of each cross section, Manning's n of each
roughness section, and the area summaries, with the section names, kind
names and calendar dates that run.json and the parameter echo add.
"""

import os
import sys

import numpy as np

from . import __version__, reports

FORMATS = {'.gpkg': 'gpkg', '.nc': 'netcdf', '.csv': 'csv'}


class ExportError(Exception):
    """The run cannot be exported as asked."""


def _warn(message):
    print(f'tulma: warning: {message}', file=sys.stderr)


def export_format(out, format=None):
    """The format asked for, else the one the name of out tells: .gpkg, .nc,
    and .csv or a directory for CSV files."""
    if format:
        return format
    extension = os.path.splitext(out.rstrip('/' + os.sep))[1].lower()
    if extension in FORMATS:
        return FORMATS[extension]
    if not extension or os.path.isdir(out):
        return 'csv'
    raise ExportError(f'{out}: the name does not tell the format; give --format gpkg, csv or netcdf')


def export(run, out, format=None, start=None, units=None):
    """Write the run to out in the format asked for (or that out's name
    tells); returns the paths written."""
    writer = {'gpkg': write_gpkg, 'csv': write_csv, 'netcdf': write_netcdf}[export_format(out, format)]
    return writer(Tables(run, start, units), out)


def _last_at_or_before(starts, stations):
    """For each station, the index of the last start at or before it (-1:
    before every start). Stations come with 6 significant digits and starts
    with 4 decimals, so a station equal to a start may print a little below
    it: half a printed digit of either counts as equal."""
    tolerance = 5e-5 + 5e-6 * np.abs(stations)
    at_or_before = starts[None, :] <= (stations + tolerance)[:, None]
    last = starts.size - 1 - np.argmax(at_or_before[:, ::-1], axis=1)
    return np.where(at_or_before.any(axis=1), last, -1)


def _line_piece(line, begin, end):
    """(x, y) vertices of a cross-section line (station, x and y of its
    points) from station begin to station end, interpolated between points;
    None when that is no line."""
    sta, x, y = line
    begin, end = max(begin, sta[0]), min(end, sta[-1])
    if not begin < end:
        return None
    inner = (sta > begin) & (sta < end)
    return ([(np.interp(begin, sta, x), np.interp(begin, sta, y))] + list(zip(x[inner], y[inner]))
            + [(np.interp(end, sta, x), np.interp(end, sta, y))])


class Tables:
    """The tables every export writes, each made on first use."""

    def __init__(self, run, start=None, units=None):
        self.run = run
        self.info = run.info
        self.start = start
        self.units = units
        self._made = {}

    def _once(self, name, make):
        if name not in self._made:
            self._made[name] = make()
        return self._made[name]

    def dates(self, hours):
        """Calendar date-times of host hours (NaT without a start)."""
        import pandas as pd
        hours = pd.Series(hours, dtype='f8').reset_index(drop=True)
        if self.start is None:
            return pd.Series(pd.NaT, index=hours.index, dtype='datetime64[ns]')
        with np.errstate(invalid='ignore'):  # NaN hours (the initial roughness block) give NaT
            return pd.Timestamp(self.start) + pd.to_timedelta(hours * 3600.0, unit='s').round('s')

    def names(self, i_xc):
        return [self.run.section_name(i) for i in i_xc]

    def reaches(self, i_xc):
        sections = [self.info.section(i) if self.info else None for i in i_xc]
        return [s.reach if s else None for s in sections]

    @property
    def plants(self):
        """One row per kept report event, point and kind."""
        return self._once('plants', self._plants)

    def _plants(self):
        import pandas as pd
        events = list(self.run.plant_events())
        if not events:
            raise ExportError(f'{self.run.path(reports.OUT_FILE)} is missing, and no snapshot of it')
        table = pd.concat(events, ignore_index=True)
        kinds = {kind.number: kind for kind in self.run.kinds}
        causes = {}

        def cause(m, code):
            if (m, code) not in causes:
                kind = kinds.get(m) or reports.KindInfo(m)
                causes[m, code] = reports.LABEL_CAUSES[kind.label(code)]
            return causes[m, code]

        plants = pd.DataFrame({
            'event': table['event'], 'time': table['time'], 'date': self.dates(table['time']),
            'section': self.names(table['i_xc']), 'i_xc': table['i_xc'], 'k': table['k'],
            'x': table['x'], 'y': table['y'], 'station': table['sta'], 'ele': table['ele'],
            'water': table['gw_ele'], 'kind': table['m_veg'],
            'kind_name': [kinds[m].name if m in kinds else None for m in table['m_veg']],
            'living': (table['dth_id'] == -1).astype('i1'), 'age': table['age'],
            'height': table['plant_height'], 'root_depth': table['root_depth'],
            # The library keeps canopy radius and spread width but reports neither.
            'canopy': np.nan, 'spread_width': np.nan,
            'cause': [cause(m, code) for m, code in zip(table['m_veg'], table['dth_id'])],
            'dth_id': table['dth_id']})
        plants['manning_n'] = self._manning(plants)
        return plants

    def roughness_blocks(self):
        """The blocks of veg_Man_out.dat: the first initial block (the host's
        n; a clock starting at 0 repeats it) and every step block."""
        man = self.run.man
        if man is None or not len(man):
            return None
        initial = man[~man['step']]
        return man[man['step'] | (man['block'] == initial['block'].min())]

    def _manning(self, plants):
        """Manning's n at each plant's point: that of the roughness section
        holding its station, from the step block of the event's time, else
        (no roughness step at that event) the host's own from the initial
        block."""
        n = np.full(len(plants), np.nan)
        blocks = self.roughness_blocks()
        if blocks is None:
            return n
        initial = blocks[~blocks['step']]
        step_times = blocks.loc[blocks['step'], 'time'].unique()
        stations, i_xc = plants['station'].to_numpy(), plants['i_xc'].to_numpy()
        for time, rows in plants.groupby('time', sort=False).indices.items():
            match = [t for t in step_times if reports.same_time(t, time)]
            block = blocks[blocks['time'] == match[0]] if match else initial
            for section, pieces in block.groupby('i_xc'):
                at = rows[i_xc[rows] == section]
                which = _last_at_or_before(pieces['loc_rr'].to_numpy(), stations[at])
                n[at] = np.where(which >= 0, pieces['n'].to_numpy()[np.maximum(which, 0)], np.nan)
        return n

    @property
    def points(self):
        """The points of every cross section, from the first kept event."""
        def make():
            plants = self.plants
            first = plants[(plants['event'] == plants['event'].iloc[0])
                           & (plants['kind'] == plants['kind'].iloc[0])]
            points = first[['i_xc', 'section', 'k', 'x', 'y', 'station', 'ele']].reset_index(drop=True)
            points.insert(2, 'reach', self.reaches(points['i_xc']))
            return points
        return self._once('points', make)

    @property
    def roughness(self):
        """Manning's n per roughness section and block, with the piece of the
        cross-section line the section covers (None where it covers none)."""
        def make():
            import pandas as pd
            blocks = self.roughness_blocks()
            if blocks is None:
                return None
            lines = {i: tuple(p[c].to_numpy() for c in ('station', 'x', 'y'))
                     for i, p in self.points.groupby('i_xc')}
            rows = blocks.rename(columns={'section': 'rough_section'}).reset_index(drop=True)
            # A section reaches to the start of the next one, the last one to the line's end.
            ends = rows.groupby(['block', 'i_xc'])['loc_rr'].shift(-1).fillna(np.inf)
            pieces = [_line_piece(lines[i], begin, end) if i in lines else None
                      for i, begin, end in zip(rows['i_xc'], rows['loc_rr'], ends)]
            return pd.DataFrame({
                'i_xc': rows['i_xc'], 'section': self.names(rows['i_xc']),
                'rough_section': rows['rough_section'], 'loc_rr': rows['loc_rr'], 'n': rows['n'],
                'block': np.where(rows['step'], 'step', 'initial'), 'time': rows['time'],
                'date': self.dates(rows['time']), 'line': pieces})
        return self._once('roughness', make)

    def summary(self, table):
        """An area summary with the section's and kind's names and the date."""
        if table is None:
            return None
        table = table.copy()
        kinds = {kind.number: kind.name for kind in self.run.kinds}
        table.insert(2, 'date', self.dates(table['time']).to_numpy())
        table.insert(4, 'kind_name', [kinds.get(m) for m in table['m_veg']])
        table.insert(6, 'section', self.names(table['i_xc']))
        return table

    def crs_wkt(self):
        wkt = self.info.crs_wkt if self.info else None
        if not wkt:
            _warn('no coordinate reference system is known (run.json names none): '
                  'the coordinates are written without one')
        return wkt

    def map_source(self):
        """(shapefile path, code field) of the run's initial-vegetation map, or None."""
        if not (self.info and self.info.map and self.info.map_field):
            _warn('run.json does not name the map: no map is written')
            return None
        path = self.run.path(self.info.map)
        if not os.path.exists(path):
            _warn(f'{path} is missing: no map is written')
            return None
        return path, self.info.map_field


# Fields of the GeoPackage layers: (name, kind) in the order written.
PLANT_FIELDS = (('time', 'real'), ('date', 'datetime'), ('section', 'text'), ('i_xc', 'int'),
                ('k', 'int'), ('station', 'real'), ('kind', 'int'), ('kind_name', 'text'),
                ('living', 'bool'), ('age', 'real'), ('height', 'real'), ('root_depth', 'real'),
                ('canopy', 'real'), ('spread_width', 'real'), ('cause', 'text'), ('dth_id', 'int'),
                ('manning_n', 'real'))
SECTION_FIELDS = (('i_xc', 'int'), ('name', 'text'), ('reach', 'text'))
ROUGHNESS_FIELDS = (('i_xc', 'int'), ('section', 'text'), ('rough_section', 'int'),
                    ('loc_rr', 'real'), ('n', 'real'), ('block', 'text'), ('time', 'real'),
                    ('date', 'datetime'))


def _write_layer(ds, name, geometry_type, srs, fields, columns, shapes):
    """A layer of features: columns holds each field's values, shapes the
    geometries (OGR geometries or None) in the same order."""
    from osgeo import ogr
    kinds = {'real': (ogr.OFTReal, None, float), 'int': (ogr.OFTInteger, None, int),
             'bool': (ogr.OFTInteger, ogr.OFSTBoolean, int), 'text': (ogr.OFTString, None, str),
             'datetime': (ogr.OFTDateTime, None, lambda moment: moment.isoformat())}
    layer = ds.CreateLayer(name, srs, geometry_type)
    for field, kind in fields:
        definition = ogr.FieldDefn(field, kinds[kind][0])
        if kinds[kind][1] is not None:
            definition.SetSubType(kinds[kind][1])
        layer.CreateField(definition)
    converters = [kinds[kind][2] for _, kind in fields]
    layer.StartTransaction()
    for shape, values in zip(shapes, zip(*columns)):
        feature = ogr.Feature(layer.GetLayerDefn())
        for i, value in enumerate(values):
            if value is not None and value == value:  # None, NaN and NaT leave the field NULL
                feature.SetField(i, converters[i](value))
        if shape is not None:
            feature.SetGeometryDirectly(shape)
        layer.CreateFeature(feature)
    layer.CommitTransaction()
    return layer.GetFeatureCount()


def _ogr_line(vertices):
    from osgeo import ogr
    if vertices is None:
        return None
    line = ogr.Geometry(ogr.wkbLineString)
    for x, y in vertices:
        line.AddPoint_2D(float(x), float(y))
    return line


def _ogr_points(xs, ys):
    from osgeo import ogr
    for x, y in zip(xs, ys):
        if x != x or y != y:  # a coordinate of asterisks
            yield None
            continue
        point = ogr.Geometry(ogr.wkbPoint)
        point.AddPoint_2D(float(x), float(y))
        yield point


def write_gpkg(tables, path):
    """A GeoPackage with the layers plants, sections, roughness and map, in
    the run's coordinate reference system."""
    try:
        from osgeo import ogr, osr
    except ImportError:
        raise ExportError('GDAL\'s Python bindings (osgeo, Debian\'s python3-gdal) are needed '
                          'for a GeoPackage') from None
    ogr.UseExceptions()
    osr.UseExceptions()
    # Without a CRS, say so: GDAL would otherwise label the layers as
    # undefined geographic (degrees), which the coordinates are not.
    srs = osr.SpatialReference()
    srs.SetFromUserInput(tables.crs_wkt() or 'LOCAL_CS["Undefined Cartesian SRS"]')
    srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)  # x east, y north
    if os.path.exists(path):
        os.remove(path)
    ds = ogr.GetDriverByName('GPKG').CreateDataSource(path)
    plants = tables.plants
    _write_layer(ds, 'plants', ogr.wkbPoint, srs, PLANT_FIELDS,
                 [plants[name] for name, _ in PLANT_FIELDS], _ogr_points(plants['x'], plants['y']))
    lines = tables.points.groupby('i_xc', sort=False)
    sections = lines.first()
    _write_layer(ds, 'sections', ogr.wkbLineString, srs, SECTION_FIELDS,
                 [sections.index, sections['section'], sections['reach']],
                 [_ogr_line(zip(p['x'], p['y'])) for _, p in lines])
    roughness = tables.roughness
    if roughness is not None:
        _write_layer(ds, 'roughness', ogr.wkbLineString, srs, ROUGHNESS_FIELDS,
                     [roughness[name] for name, _ in ROUGHNESS_FIELDS],
                     [_ogr_line(piece) for piece in roughness['line']])
    source = tables.map_source()
    if source is not None:
        _copy_map(ds, srs, *source)
    ds = None  # closing writes the file
    return [path]


def _copy_map(ds, srs, shapefile, field):
    """The initial-vegetation polygons, each with its vegetation code."""
    import shutil
    import tempfile
    from osgeo import gdal, ogr
    # The library needs only the .shp and .dbf, and run folders hold only
    # those; GDAL needs the index .shx too. It is rebuilt in a copy, so that
    # the run folder stays as the run left it.
    with tempfile.TemporaryDirectory() as folder:
        stem = os.path.splitext(shapefile)[0]
        for extension in ('.shp', '.dbf'):
            shutil.copy(stem + extension, os.path.join(folder, 'map' + extension))
        restore = gdal.GetConfigOption('SHAPE_RESTORE_SHX')
        gdal.SetConfigOption('SHAPE_RESTORE_SHX', 'YES')
        try:
            source = ogr.Open(os.path.join(folder, 'map.shp'))
        finally:
            gdal.SetConfigOption('SHAPE_RESTORE_SHX', restore)
        _copy_polygons(ds, srs, shapefile, source.GetLayer(0), field)
        source = None


def _copy_polygons(ds, srs, shapefile, layer, field):
    from osgeo import ogr
    definition = layer.GetLayerDefn()
    names = [definition.GetFieldDefn(i).GetName() for i in range(definition.GetFieldCount())]
    # The library compares field names in upper case.
    index = next((i for i, name in enumerate(names) if name.upper() == field.upper()), None)
    if index is None:
        _warn(f'{shapefile} has no field {field}: no map is written')
        return
    codes, shapes = [], []
    for feature in layer:
        codes.append((feature.GetField(index) or '').strip())
        geometry = feature.GetGeometryRef()
        shapes.append(None if geometry is None else ogr.ForceToMultiPolygon(geometry.Clone()))
    _write_layer(ds, 'map', ogr.wkbMultiPolygon, srs, (('code', 'text'),), [codes], shapes)


def _csv_path(out):
    """Where each CSV file goes: into the directory out, or beside OUT.csv
    as OUT_plants.csv, OUT_areas.csv, ..."""
    if out.lower().endswith('.csv'):
        return lambda name: f'{out[:-4]}_{name}.csv'
    os.makedirs(out, exist_ok=True)
    return lambda name: os.path.join(out, f'{name}.csv')


_WHOLE_COLUMNS = {'i_xc', 'k', 'kind', 'm_veg', 'dth_id'}


def write_csv(tables, out):
    """Tidy CSV files: plants, sections (their points), roughness, areas
    (veg_sum_out.dat) and ages (veg_age_out.dat), with names and dates."""
    path = _csv_path(out)
    files = {'plants': tables.plants, 'sections': tables.points,
             'roughness': None if tables.roughness is None else tables.roughness.drop(columns='line'),
             'areas': tables.summary(tables.run.sum), 'ages': tables.summary(tables.run.age)}
    written = []
    for name, table in files.items():
        if table is not None:
            # Whole numbers read as float (a field of asterisks is NaN); a
            # CSV shows them as integers, with an empty field where missing.
            whole = [c for c in table.columns if c in _WHOLE_COLUMNS and table[c].dtype.kind == 'f']
            table = table.astype(dict.fromkeys(whole, 'Int64'))
            written.append(path(name))
            table.to_csv(written[-1], index=False, date_format='%Y-%m-%dT%H:%M:%S')
    return written


# NetCDF variables per plant: (column, name, long_name, quantity, standard_name).
_NC_PLANT = (('living', 'living', 'a living plant of the kind stands at the point', 'count', None),
             ('age', 'age', 'plant age', 'age', None),
             ('height', 'plant_height', 'plant height above the root crown', 'length', None),
             ('root_depth', 'root_depth', 'root depth below the root crown', 'length', None),
             ('dth_id', 'dth_id', 'death code of the last plant (-1 living, 999 never stood)',
              'count', None))
_NC_POINT_EVENT = (('manning_n', 'manning_n', "Manning's n of the point's roughness section",
                    'roughness', None),
                   ('water', 'gw_ele', 'water or ground-water elevation', 'length', None))
_NC_POINT = (('x', 'x', 'x coordinate', 'length', 'projection_x_coordinate'),
             ('y', 'y', 'y coordinate', 'length', 'projection_y_coordinate'),
             ('station', 'sta', 'station across the cross section', 'length', None),
             ('ele', 'ele', 'bed elevation', 'length', None))
_NC_UNITS = {'age': 'year', 'roughness': 's m-1/3', 'count': '1'}


def write_netcdf(tables, path):
    """One NetCDF file after the CF conventions, dimensions time (kept
    report events), section, station (the point number k within its cross
    section; shorter cross sections are padded with missing values) and kind."""
    try:
        import xarray as xr
    except ImportError:
        raise ExportError('xarray and netCDF4 are needed for NetCDF') from None
    plants = tables.plants.dropna(subset=['i_xc', 'k', 'kind']).astype({'i_xc': 'i8', 'k': 'i8', 'kind': 'i8'})
    first_kind = plants[plants['kind'] == plants['kind'].iloc[0]]
    grids = [plants.set_index(['event', 'i_xc', 'k', 'kind'])[[c for c, *_ in _NC_PLANT]],
             first_kind.set_index(['event', 'i_xc', 'k'])[[c for c, *_ in _NC_POINT_EVENT]],
             first_kind[first_kind['event'] == first_kind['event'].iloc[0]]
             .set_index(['i_xc', 'k'])[[c for c, *_ in _NC_POINT]]]
    ds = xr.merge([grid.to_xarray() for grid in grids])
    ds = ds.rename({c: name for c, name, *_ in _NC_PLANT + _NC_POINT_EVENT + _NC_POINT})
    ds = ds.rename({'event': 'time', 'i_xc': 'section', 'k': 'station'})
    events = plants.drop_duplicates('event').set_index('event')
    sections = tables.points.drop_duplicates('i_xc').set_index('i_xc')
    kinds = {kind.number: kind.name for kind in tables.run.kinds}
    ds = ds.assign_coords(
        event=('time', ds['time'].values), time=events.loc[ds['time'].values, 'time'].to_numpy(),
        section_name=('section', [sections['section'].get(i) or '' for i in ds['section'].values]),
        reach=('section', [sections['reach'].get(i) or '' for i in ds['section'].values]),
        kind_name=('kind', [kinds.get(m, '') for m in ds['kind'].values]))
    ds = ds.set_coords(['x', 'y', 'sta', 'ele'])
    for column, name, long_name, quantity, standard_name in _NC_PLANT + _NC_POINT_EVENT + _NC_POINT:
        attrs = ds[name].attrs
        attrs['long_name'] = long_name
        if standard_name:
            attrs['standard_name'] = standard_name
        unit = _NC_UNITS.get(quantity) or {'metric': 'm', 'english': 'ft'}.get(tables.units)
        if unit:
            attrs['units'] = unit
    ds['living'].attrs.update(flag_values=np.array([0, 1], dtype='i1'),
                              flag_meanings='dead_or_never_stood living')
    time = ds['time'].attrs
    time.update(long_name='time of the report event', axis='T')
    if tables.start is not None:
        time.update(standard_name='time', calendar='standard',
                    units=f'hours since {tables.start:%Y-%m-%d %H:%M:%S}')
    else:
        time.update(units='h', comment="hours on the host's clock; the calendar day of time 0 is not known")
    ds['section'].attrs['long_name'] = "cross-section number i_xc, counted over all reaches"
    ds['station'].attrs['long_name'] = 'point number k within its cross section, from 1'
    ds['kind'].attrs['long_name'] = 'vegetation kind m_veg, in the order of vegetation.txt'
    wkt = tables.crs_wkt()
    if wkt:
        ds['crs'] = xr.DataArray(np.int32(0), attrs={'crs_wkt': wkt, 'spatial_ref': wkt})
        for name in ('living', 'age', 'plant_height', 'root_depth', 'dth_id', 'manning_n', 'gw_ele'):
            ds[name].attrs['grid_mapping'] = 'crs'
    ds.attrs.update(Conventions='CF-1.8', title='Riparian vegetation of a TULMA run',
                    source=f'report files of {os.path.abspath(tables.run.run_dir)}, '
                           f'exported by tulma {__version__}')
    encoding = {'living': {'dtype': 'i1', '_FillValue': -1},
                'dth_id': {'dtype': 'i4', '_FillValue': -99999}}
    ds.to_netcdf(path, engine='netcdf4', encoding=encoding)
    return [path]
