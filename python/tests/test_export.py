"""run.json, the plant snapshots and the exports, on a run folder made of the
small black-box case (its README.md works out every value), its map, and
data/small_run: a run.json naming the sections M01 and M02, a CRS, and the
snapshot of the first event at 12 h (the set-up state, see data/README.md)."""

import contextlib
import datetime
import io
import json
import os
import shutil
import subprocess
import tempfile
import unittest

import numpy as np
import pandas as pd

from tulma import export, plots, reports
from tulma.__main__ import main

HERE = os.path.dirname(os.path.abspath(__file__))
CASE = os.path.join(HERE, '..', '..', 'tests', 'blackbox', 'cases', 'small_scenario_reports')
SMALL = os.path.join(CASE, 'expected', 'files')


def run_main(*argv):
    stdout, stderr = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(stdout), contextlib.redirect_stderr(stderr):
        status = main(list(argv))
    return status, stdout.getvalue(), stderr.getvalue()


class RunFolderTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        self.run_dir = os.path.join(self.dir, 'run')
        shutil.copytree(SMALL, self.run_dir)
        shutil.copytree(os.path.join(HERE, 'data', 'small_run'), self.run_dir, dirs_exist_ok=True)
        for name in ('veg.shp', 'veg.dbf'):
            shutil.copy(os.path.join(CASE, 'inputs', name), self.run_dir)

    def test_run_record_and_snapshots(self):
        run = reports.Run(self.run_dir)
        self.assertEqual((run.info.start, run.info.units), (datetime.datetime(2000, 1, 1), 'metric'))
        self.assertEqual([run.find_section(text) for text in ('M02', 'm01', '2')], [2, 1, 2])
        with self.assertRaisesRegex(reports.UnknownSectionError, 'the run has 2: M01, M02'):
            run.find_section('U03')
        with self.assertRaisesRegex(reports.UnknownSectionError, 'run.json.*missing'):
            reports.Run(SMALL).find_section('M01')
        # Kind 1 at cross section 1, point 3: standing at 12 h, scoured (code 1) at 72 h.
        events = list(run.plant_events())
        self.assertEqual([(t['event'].iloc[0], t['time'].iloc[0], t['dth_id'].iloc[2]) for t in events],
                         [(0, 12.0, -1), (1, 72.0, 1)])
        # A snapshot of the last event is not read twice; without snapshots the
        # last event is numbered as in veg_sum_out.dat.
        shutil.copy(os.path.join(self.run_dir, reports.OUT_FILE), os.path.join(self.run_dir, 'events', 'veg_out_00001.txt'))
        self.assertEqual([t['event'].iloc[0] for t in reports.Run(self.run_dir).plant_events()], [0, 1])
        self.assertEqual([t['event'].iloc[0] for t in reports.Run(SMALL).plant_events()], [1])
        with open(os.path.join(self.run_dir, reports.RUN_FILE), 'a') as f:
            f.write('}\n')
        with self.assertRaises(reports.ReportFormatError):
            reports.Run(self.run_dir).info

    def test_command_line_takes_its_defaults_from_run_json(self):
        status, stdout, _ = run_main('summary', self.run_dir)
        self.assertIn('72 h (2000-01-04, 0.01 years since time 0), area in m²', stdout)
        status, stdout, _ = run_main('summary', self.run_dir, '--units', 'english', '--start', '2001-01-01T12:00')
        self.assertIn('72 h (2001-01-04T12:00:00, 0.01 years since time 0), area in ft²', stdout)
        figures = os.path.join(self.dir, 'figures')
        status, stdout, _ = run_main('plot', self.run_dir, '--out', figures, '--section', 'M02')
        self.assertIn(os.path.join(figures, 'profile_xc2.png'), stdout)
        title = plots.plot_profile(reports.Run(self.run_dir), figures, 2).axes[0].get_title()
        self.assertTrue(title.startswith('Cross section M02 (i_xc 2) at the last report event'), title)
        status, _, stderr = run_main('plot', self.run_dir, '--section', 'M03')
        self.assertEqual((status, stderr), (1, "tulma: no cross section is named 'M03'; the run has 2: M01, M02\n"))

    def test_geopackage(self):
        from osgeo import ogr, osr
        path = os.path.join(self.dir, 'run.gpkg')
        self.assertEqual(run_main('export', self.run_dir, '-o', path)[0], 0)
        listing = subprocess.run(['ogrinfo', '-ro', '-so', path], capture_output=True, text=True)
        self.assertEqual(listing.returncode, 0)
        for layer in ('plants (Point)', 'sections (Line String)', 'roughness (Line String)', 'map (Multi Polygon)'):
            self.assertIn(layer, listing.stdout)
        ds = ogr.Open(path)
        plants = ds.GetLayer('plants')
        self.assertEqual(plants.GetFeatureCount(), 7 * 2 * 2)  # points x kinds x events
        prj = osr.SpatialReference()
        with open(os.path.join(self.run_dir, 'veg.prj')) as f:
            prj.SetFromUserInput(f.read())
        self.assertTrue(plants.GetSpatialRef().IsSame(prj))

        def plant(time, i_xc, k, kind):
            plants.SetAttributeFilter(f'time = {time} AND i_xc = {i_xc} AND k = {k} AND kind = {kind}')
            feature = plants.GetNextFeature()
            point = feature.GetGeometryRef()
            return {**feature.items(), 'xy': (point.GetX(), point.GetY())}

        # The seedling of kind 2 at cross section 1, point 2 (veg_out.txt line 23); n of
        # roughness section 2 (from station 5) at 72 h: 0.0400.
        self.assertEqual(plant(72, 1, 2, 2), {
            'time': 72.0, 'date': '2000/01/04 00:00:00', 'section': 'M01', 'i_xc': 1, 'k': 2, 'station': 10.0,
            'kind': 2, 'kind_name': 'NoName', 'living': 1, 'age': 0.00821355, 'height': 0.75, 'root_depth': 0.3,
            'canopy': None, 'spread_width': None, 'cause': 'living', 'dth_id': -1, 'manning_n': 0.04,
            'xy': (1010.0, 2000.0)})
        # Scoured; drowned (kind 2's code 3); never stood, at the start of section 1;
        # never stood, before the only section of xc 2 (from station 2); the step
        # block of 12 h (n 0, no step yet); xc 2 at 72 h.
        self.assertEqual([(p['cause'], p['living'], p['manning_n']) for p in
                          (plant(72, 1, 3, 1), plant(72, 1, 3, 2), plant(72, 1, 1, 1), plant(72, 2, 1, 1),
                           plant(12, 2, 3, 2), plant(72, 2, 3, 2))],
                         [('scour', 0, 0.04), ('drowning', 0, 0.04), ('none', 0, 0.03), ('none', 0, None),
                          ('living', 1, 0.0), ('living', 1, 0.0501)])
        sections = [(f['name'], f.GetGeometryRef().GetPointCount()) for f in ds.GetLayer('sections')]
        self.assertEqual(sections, [('M01', 4), ('M02', 3)])
        roughness = [(f['block'], f['time'], f['n'], f.GetGeometryRef().ExportToWkt()) for f in ds.GetLayer('roughness')]
        self.assertEqual(len(roughness), 9)
        self.assertEqual(roughness[1], ('initial', None, 0.05, 'LINESTRING (1005 2000,1010 2000,1020 2000,1040 2000)'))
        self.assertEqual(roughness[-1], ('step', 72.0, 0.0501, 'LINESTRING (1002 2100,1005 2100,1010 2100)'))
        self.assertEqual([f['code'] for f in ds.GetLayer('map')], ['MIX'])
        # Without run.json: no CRS (said on stderr), no map, the last event only.
        plants = ds = None  # GDAL's layers live only as long as their dataset
        status, _, stderr = run_main('export', SMALL, '-o', path)
        self.assertIn('no coordinate reference system', stderr)
        ds = ogr.Open(path)
        self.assertEqual(ds.GetLayer('plants').GetFeatureCount(), 14)

    def test_tables_and_netcdf(self):
        formats = [('a.gpkg', None, 'gpkg'), ('a.nc', None, 'netcdf'), ('a.csv', None, 'csv'),
                   (self.dir, None, 'csv'), ('a.txt', 'netcdf', 'netcdf')]
        self.assertEqual([export.export_format(out, f) for out, f, _ in formats], [f for *_, f in formats])
        with self.assertRaises(export.ExportError):
            export.export_format('a.txt')
        out = os.path.join(self.dir, 'tables')
        self.assertEqual(run_main('export', self.run_dir, '-o', out)[0], 0)
        self.assertEqual(sorted(os.listdir(out)), ['ages.csv', 'areas.csv', 'plants.csv', 'roughness.csv', 'sections.csv'])
        plants = pd.read_csv(os.path.join(out, 'plants.csv'))
        seedling = plants[(plants['event'] == 1) & (plants['i_xc'] == 1) & (plants['k'] == 2) & (plants['kind'] == 2)]
        self.assertEqual(seedling[['date', 'section', 'dth_id', 'age']].values.tolist(),
                         [['2000-01-04T00:00:00', 'M01', -1, 0.00821355]])
        areas = pd.read_csv(os.path.join(out, 'areas.csv'))
        self.assertEqual(list(areas['section'][:2]) + list(areas['veg_area'][-4:]), ['M01', 'M02', 3000, 700, 1250, 400])
        path = os.path.join(self.dir, 'run.nc')
        self.assertEqual(run_main('export', self.run_dir, '-o', path)[0], 0)
        import xarray as xr
        with xr.open_dataset(path) as ds:
            self.assertEqual(dict(ds.sizes), {'time': 2, 'section': 2, 'station': 4, 'kind': 2})
            np.testing.assert_array_equal(ds['time'], np.array(['2000-01-01T12', '2000-01-04'], dtype='datetime64[ns]'))
            self.assertEqual(list(ds['section_name'].values), ['M01', 'M02'])
            self.assertEqual(float(ds['age'][1, 0, 1, 1]), 0.00821355)
            np.testing.assert_array_equal(ds['living'][:, 0, 2, 0], [1, 0])  # kind 1, xc 1, point 3
            np.testing.assert_array_equal(ds['x'][1], [1000, 1005, 1010, np.nan])  # 3 points, padded
            self.assertEqual(float(ds['manning_n'][1, 1, 2]), 0.0501)
            self.assertEqual(ds['plant_height'].attrs['units'], 'm')


@unittest.skipUnless(os.environ.get('TULMA_EXAMPLE_RUN'), 'TULMA_EXAMPLE_RUN names no run folder of the bundled example')
class ExampleRunTest(unittest.TestCase):
    """The bundled example as tulma-run leaves it: its GeoPackage against the
    report text itself."""

    def test_geopackage_of_the_example(self):
        from osgeo import ogr, osr
        run_dir = os.environ['TULMA_EXAMPLE_RUN']
        out = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, out)
        path = os.path.join(out, 'example.gpkg')
        self.assertEqual(run_main('export', run_dir, '-o', path)[0], 0)
        self.assertEqual(subprocess.run(['ogrinfo', '-ro', '-so', path], capture_output=True).returncode, 0)
        ds = ogr.Open(path)
        self.assertEqual(sorted(ds.GetLayer(i).GetName() for i in range(ds.GetLayerCount())),
                         ['map', 'plants', 'roughness', 'sections'])
        with open(os.path.join(run_dir, reports.RUN_FILE)) as f:
            info = json.load(f)
        snapshots = [os.path.join(run_dir, 'events', name) for name in os.listdir(os.path.join(run_dir, 'events'))]
        times = set()
        for name in snapshots + [os.path.join(run_dir, reports.OUT_FILE)]:
            with open(name) as f:
                times.add(float([line for line in f if not line.startswith('#')][1].split(',')[0]))
        with open(os.path.join(run_dir, reports.OUT_FILE)) as f:
            lines = [line.split(',') for line in f if not line.startswith('#')][1:]
        plants = ds.GetLayer('plants')
        self.assertEqual(plants.GetFeatureCount(), len(lines) * len(times))  # (points x kinds) x events
        prj = osr.SpatialReference()
        with open(os.path.join(run_dir, os.path.splitext(info['map'])[0] + '.prj')) as f:
            prj.SetFromUserInput(f.read())
        self.assertTrue(plants.GetSpatialRef().IsSame(prj))
        # The last living plant of the file: its line against its feature.
        row = max(i for i, line in enumerate(lines) if int(line[3]) == -1)
        time, kind, i_xc, dth_id, x, y, sta, *_, height, root, age = (float(v) for v in lines[row])
        k = sum(1 for line in lines[:row] if float(line[1]) == kind and float(line[2]) == i_xc) + 1
        plants.SetAttributeFilter(f'time = {time} AND kind = {kind} AND i_xc = {i_xc} AND k = {k}')
        feature = plants.GetNextFeature()
        self.assertEqual((feature['station'], feature['living'], feature['dth_id'], feature['height'],
                          feature['root_depth'], feature['age'], feature['cause']),
                         (sta, 1, -1, height, root, age, 'living'))
        self.assertEqual((feature.GetGeometryRef().GetX(), feature.GetGeometryRef().GetY()), (x, y))
        self.assertEqual(feature['section'], next(s['name'] for s in info['sections'] if s['i_xc'] == i_xc))


if __name__ == '__main__':
    unittest.main()
