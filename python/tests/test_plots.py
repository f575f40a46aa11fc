"""The figures: the data behind each panel, its axis labels and units, and the
PNG written. Areas and elevations expected below are read off the report
lines of data/run (the line is quoted where it matters) or follow from the
made-up river of data/recipe/fixture_host.cpp."""

import contextlib
import datetime
import io
import os
import shutil
import struct
import tempfile
import unittest

import matplotlib

matplotlib.use('Agg')

import numpy as np  # noqa: E402

from tulma import plots, reports  # noqa: E402
from tulma.__main__ import main  # noqa: E402

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'data')
RUN = os.path.join(DATA, 'run')
SPECIALS = os.path.join(DATA, 'edge', 'specials')
ONE_KIND = os.path.join(DATA, 'edge', 'one_kind')

EVENT_HOURS = np.array([0.0, 24.0] + [2208.0 + 2184.0 * j for j in range(8)])
AREA_BOTH = 'm² (metric) or ft² (English)'
LENGTH_BOTH = 'm (metric) or ft (English)'
WILLOW, GRASS, COTTONWOOD = "kind 1: Goodding's willow", 'kind 2: Grass and forbs', 'kind 3: Fremont cottonwood'


def png_size(path):
    """Width and height from the PNG header; fails unless the file is a PNG."""
    with open(path, 'rb') as f:
        head = f.read(24)
    assert head[:8] == b'\x89PNG\r\n\x1a\n', f'{path} is not a PNG'
    return struct.unpack('>II', head[16:24])


class FigureTestCase(unittest.TestCase):
    def setUp(self):
        self.out = tempfile.mkdtemp()
        self.river = reports.Run(RUN)

    def tearDown(self):
        shutil.rmtree(self.out)

    def assert_png(self, plot, width, height):
        self.assertTrue(os.path.isfile(plot.path))
        self.assertGreater(os.path.getsize(plot.path), 10000)
        self.assertEqual(png_size(plot.path), (width, height))


class AreaFigureTest(FigureTestCase):
    def test_living_and_dead_area_series(self):
        plot = plots.plot_areas(self.river, self.out)
        self.assert_png(plot, 900, 700)  # 9 x 7 inches at 100 dpi
        living, dead = plot.series['living'], plot.series['dead']
        self.assertEqual(list(living), [WILLOW, GRASS, COTTONWOOD])
        self.assertEqual(list(dead), ['scour', 'burial', 'drowning', 'drying', 'competition'])
        for x, y in list(living.values()) + list(dead.values()):
            np.testing.assert_allclose(x, EVENT_HOURS / 8766.0)
            self.assertEqual(len(y), 10)
        # Last event, each of the 4 cross sections: willow "8900.00", grass
        # "7800.00", cottonwood "12400.0" with "3800.00" dead of drying.
        self.assertEqual([y[-1] for _, y in living.values()], [4 * 8900.0, 4 * 7800.0, 4 * 12400.0])
        self.assertEqual([y[-1] for _, y in dead.values()], [0.0, 0.0, 0.0, 4 * 3800.0, 0.0])
        # Hour 0: willow only on its map codes, "1100.00" on each cross section.
        self.assertEqual(living[WILLOW][1][0], 4 * 1100.0)
        self.assertEqual(dead['drying'][1][0], 0.0)

    def test_axes_show_what_the_series_say(self):
        plot = plots.plot_areas(self.river, self.out)
        living_ax, dead_ax = plot.axes
        lines = living_ax.get_lines()
        self.assertEqual([line.get_label() for line in lines], [WILLOW, GRASS, COTTONWOOD])
        for line, (x, y) in zip(lines, plot.series['living'].values()):
            np.testing.assert_array_equal(line.get_xdata(), x)
            np.testing.assert_array_equal(line.get_ydata(), y)
        self.assertEqual(living_ax.get_ylabel(), f'living area [{AREA_BOTH}]')
        self.assertEqual(dead_ax.get_ylabel(), f'dead area [{AREA_BOTH}]')
        self.assertEqual(dead_ax.get_xlabel(), 'time since start [years]')

    def test_units_and_dates(self):
        rows = [(None, 'metric', 'm²', 'time since start [years]'),
                (datetime.date(2001, 1, 1), 'english', 'ft²', 'date (time 0 = 2001-01-01)')]
        for start, units, area, xlabel in rows:
            with self.subTest(units=units):
                plot = plots.plot_areas(self.river, self.out, plots.TimeAxis(start), units)
                self.assertEqual(plot.axes[0].get_ylabel(), f'living area [{area}]')
                self.assertEqual(plot.axes[1].get_xlabel(), xlabel)
        x, _ = plot.series['living'][WILLOW]
        # 17496 h = day 729 after 1 January 2001: 365 days to 1 January 2002,
        # 364 more to 31 December 2002.
        self.assertEqual(x[-1], np.datetime64('2002-12-31T00:00:00'))
        self.assertEqual(x[2], np.datetime64('2001-04-03T00:00:00'))  # 2208 h = day 92


class AgeFigureTest(FigureTestCase):
    def test_age_class_series(self):
        plot = plots.plot_age_classes(self.river, self.out)
        self.assert_png(plot, 900, 880)  # 9 x (2.6 x 3 kinds + 1) inches
        self.assertEqual(list(plot.series), [WILLOW, GRASS, COTTONWOOD])
        for panel in plot.series.values():
            self.assertEqual(list(panel), ['0-1 years', '1-2 years', '2-3 years', '3-4 years', '4-5 years',
                                           '5-10 years', '10-20 years', '20-30 years', '30+ years'])
            for x, y in panel.values():
                np.testing.assert_allclose(x, EVENT_HOURS / 8766.0)
                self.assertEqual(len(y), 10)
        # The classes add up to the living area of the kind at every event.
        areas = plots.plot_areas(self.river, self.out).series['living']
        for name, panel in plot.series.items():
            np.testing.assert_allclose(sum(y for _, y in panel.values()), areas[name][1], rtol=1e-5)
        # Grass is placed 1 year old and never grows: all of it in 1-2 years.
        np.testing.assert_array_equal(plot.series[GRASS]['1-2 years'][1], 4 * 7800.0)
        for ax in plot.axes:
            self.assertEqual(ax.get_ylabel(), f'living area [{AREA_BOTH}]')
        self.assertEqual(plot.axes[-1].get_xlabel(), 'time since start [years]')
        self.assertIn('Fremont cottonwood', plot.axes[2].get_title())


class ProfileFigureTest(FigureTestCase):
    def test_profile_of_the_first_listed_section(self):
        plot = plots.plot_profile(self.river, self.out)
        self.assertTrue(plot.path.endswith('profile_xc2.png'))
        self.assert_png(plot, 1100, 550)
        panel = plot.series['profile']
        stations = 10.0 * np.arange(12)
        # Cross section 2: the bed of the first, 0.2 m lower.
        bed = np.array([103.8, 103.3, 102.8, 102.3, 100.8, 99.6, 99.3, 99.7, 101.0, 102.4, 103.0, 103.8])
        np.testing.assert_array_equal(panel['bed'][0], stations)
        np.testing.assert_allclose(panel['bed'][1], bed)
        # Day 729: 100.2 - 0.2 + 0.0029 written with 2 decimals.
        np.testing.assert_array_equal(panel['water level'][1], 100.0)
        for kind in (WILLOW, GRASS, COTTONWOOD):
            for part in ('crown', 'top', 'root tip'):
                self.assertIn(f'{kind} {part}', panel)
        # The cottonwood, left out of veg_Ele_out.dat, from veg_out.txt: living
        # at stations 10, 20, 40, 50, 70, 80 of cross section 2, e.g.
        # "10.0000, 103.300, ..., 103.300, 21.8619, 4.00000, 31.9959".
        sta, crown = panel[f'{COTTONWOOD} crown']
        np.testing.assert_array_equal(sta, [10.0, 20.0, 40.0, 50.0, 70.0, 80.0])
        np.testing.assert_allclose(crown, [103.3, 102.8, 100.8, 99.6, 99.7, 101.0])
        np.testing.assert_allclose(panel[f'{COTTONWOOD} top'][1][:2], [125.1619, 124.6619])
        np.testing.assert_allclose(panel[f'{COTTONWOOD} root tip'][1][:2], [99.3, 98.8])
        # Plants always reach from the root tip up to the top through the crown.
        for kind in (WILLOW, GRASS, COTTONWOOD):
            tip, top = panel[f'{kind} root tip'][1], panel[f'{kind} top'][1]
            crown = panel[f'{kind} crown'][1]
            self.assertTrue(np.all(tip <= crown) and np.all(crown <= top))
        # Willow living at stations 0, 30, 40, 80, 90 (map file, cross section 2).
        np.testing.assert_array_equal(panel[f'{WILLOW} crown'][0], [0.0, 30.0, 40.0, 80.0, 90.0])
        ax = plot.axes[0]
        self.assertEqual(ax.get_xlabel(), f'station [{LENGTH_BOTH}]')
        self.assertEqual(ax.get_ylabel(), f'elevation [{LENGTH_BOTH}]')
        self.assertIn('17496 h', ax.get_title())
        np.testing.assert_allclose(ax.get_lines()[0].get_ydata(), bed)

    def test_section_not_listed_for_elevations_comes_from_the_point_file(self):
        plot = plots.plot_profile(self.river, self.out, section=4, units='english')
        panel = plot.series['profile']
        np.testing.assert_allclose(panel['bed'][1][:3], [103.4, 102.9, 102.4])  # 0.6 m below xc 1
        # "99.6029" in veg_out.txt: 100.2 - 0.6 + 0.0029.
        np.testing.assert_array_equal(panel['water level'][1], 99.6029)
        self.assertIn(f'{COTTONWOOD} crown', panel)
        self.assertEqual(plot.axes[0].get_ylabel(), 'elevation [ft]')

    def test_unknown_section(self):
        with self.assertRaises(plots.PlotError):
            plots.plot_profile(self.river, self.out, section=99)


class MapFigureTest(FigureTestCase):
    def test_labels_of_every_kind(self):
        plot = plots.plot_map(self.river, self.out)
        self.assertEqual(list(plot.series), ['living kinds', WILLOW, GRASS, COTTONWOOD])
        self.assertEqual(len(plot.axes), 4)
        self.assert_png(plot, 1500, 1000)  # 3 by 2 panels of 5 x 5 inches
        counts = {name: {label: len(x) for label, (x, _) in panel.items()}
                  for name, panel in plot.series.items()}
        # From veg_GIS_out.dat: willow and grass live at 5 of 12 points on each
        # of the 4 cross sections; from veg_out.txt (the last kind): cottonwood
        # 24 living, 8 dead of drying (code 4), 16 where it never stood.
        self.assertEqual(counts[WILLOW]['LIVE'], 20)
        self.assertEqual(counts[WILLOW]['NONE'], 28)
        self.assertEqual(counts[GRASS]['LIVE'], 20)
        self.assertEqual((counts[COTTONWOOD]['LIVE'], counts[COTTONWOOD]['DRYG'],
                          counts[COTTONWOOD]['NONE']), (24, 8, 16))
        for name in (WILLOW, GRASS, COTTONWOOD):
            self.assertEqual(sum(counts[name].values()), 48)
        self.assertEqual(sum(counts['living kinds'].values()), 48)
        # veg0 is F at 16 points, but those may hold a living cottonwood.
        self.assertLessEqual(counts['living kinds'][plots.NO_KIND], 16)
        x, y = plot.series[COTTONWOOD]['LIVE']
        self.assertTrue(set(np.unique(y)) <= {0.0, 200.0, 400.0, 600.0})
        for ax in plot.axes:
            self.assertEqual(ax.get_xlabel(), f'x [{LENGTH_BOTH}]')
            self.assertEqual(ax.get_ylabel(), f'y [{LENGTH_BOTH}]')

    def test_last_kind_labelled_by_its_own_death_codes(self):
        run = reports.Run(SPECIALS)
        plot = plots.plot_map(run, self.out, units='metric')
        willow, second = 'kind 1: Sandbar willow', 'kind 2'
        self.assertEqual(list(plot.series), ['living kinds', willow, second])
        x = {name: {label: list(xs) for label, (xs, _) in panel.items()}
             for name, panel in plot.series.items()}
        # Kind 1 from the map file: LIVE, SCOR, NONE at x 0, 10, (asterisks).
        self.assertEqual(x[willow]['LIVE'], [0.0])
        self.assertEqual(x[willow]['SCOR'], [10.0])
        # Kind 2 from veg_out.txt: codes -1, 13 (its DID), 1 (its default scour code).
        self.assertEqual(x[second]['LIVE'], [0.0])
        self.assertEqual(x[second]['DRON'], [10.0])
        self.assertEqual(len(x[second]['SCOR']), 1)
        self.assertEqual(x['living kinds'][plots.SEVERAL_KINDS], [0.0])
        self.assertEqual(len(x['living kinds'][plots.NO_KIND]), 2)
        self.assertEqual(plot.axes[0].get_xlabel(), 'x [m]')


class SingleKindTest(FigureTestCase):
    def test_every_figure_of_a_run_with_one_kind(self):
        run = reports.Run(ONE_KIND)
        made, problems = plots.plot_all(run, self.out)
        self.assertEqual(problems, [])
        self.assertEqual([p.name for p in made], ['areas', 'age_classes', 'profile', 'map'])
        areas = made[0].series
        self.assertEqual(list(areas['living']), ['kind 1'])
        np.testing.assert_allclose(areas['living']['kind 1'][0], np.array([24.0, 48.0]) / 8766.0)
        np.testing.assert_array_equal(areas['living']['kind 1'][1], [50.0, 25.0])
        np.testing.assert_array_equal(areas['dead']['drying'][1], [0.0, 25.0])
        profile = made[2].series['profile']
        np.testing.assert_array_equal(profile['kind 1 crown'][0], [0.0])   # living at point 1 only
        np.testing.assert_array_equal(profile['kind 1 top'][1], [102.5])   # 101 + 1.5
        np.testing.assert_array_equal(profile['kind 1 root tip'][1], [100.5])  # 101 - 0.5
        labels = {label: len(xs) for label, (xs, _) in made[3].series['kind 1'].items()}
        self.assertEqual((labels['LIVE'], labels['DRYG']), (1, 1))  # default dry code 4


class CommandLineTest(FigureTestCase):
    def run_main(self, *argv):
        stdout, stderr = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(stdout), contextlib.redirect_stderr(stderr):
            status = main(list(argv))
        return status, stdout.getvalue(), stderr.getvalue()

    def test_plot_prints_where_the_figures_are(self):
        status, stdout, _ = self.run_main('plot', RUN, '--out', self.out, '--start', '2001-01-01',
                                          '--section', '3', '--units', 'metric')
        self.assertEqual(status, 0)
        self.assertIn(f'figures written to {self.out}', stdout)
        for name in ('areas.png', 'age_classes.png', 'profile_xc3.png', 'map.png'):
            self.assertIn(os.path.join(self.out, name), stdout)
            self.assertGreater(os.path.getsize(os.path.join(self.out, name)), 10000)

    def test_figures_beside_the_reports_by_default(self):
        run_dir = os.path.join(self.out, 'run')
        shutil.copytree(RUN, run_dir)
        status, stdout, _ = self.run_main('plot', run_dir)
        self.assertEqual(status, 0)
        self.assertTrue(os.path.isfile(os.path.join(run_dir, 'figures', 'map.png')))

    def test_summary_table(self):
        status, stdout, _ = self.run_main('summary', RUN)
        self.assertEqual(status, 0)
        lines = stdout.splitlines()
        self.assertIn('17496 h (2.00 years', lines[0])
        self.assertIn(AREA_BOTH, lines[0])
        # 4 x 8900, 4 x 7800, 4 x 12400 of a total 4 x 22000 = 88000.
        self.assertEqual(lines[2].split(), ['1', "Goodding's", 'willow', '35600.0', '40.5', '%'])
        self.assertEqual(lines[3].split(), ['2', 'Grass', 'and', 'forbs', '31200.0', '35.5', '%'])
        self.assertEqual(lines[4].split(), ['3', 'Fremont', 'cottonwood', '49600.0', '56.4', '%'])
        self.assertEqual(len(lines), 5)

    def test_refusals(self):
        status, _, stderr = self.run_main('summary', os.path.join(self.out, 'nowhere'))
        self.assertEqual(status, 1)
        self.assertIn('is not a directory', stderr)
        status, _, stderr = self.run_main('plot', self.out)  # a directory without reports
        self.assertEqual(status, 1)
        self.assertIn('veg_sum_out.dat is missing', stderr)
        with contextlib.redirect_stderr(io.StringIO()):
            with self.assertRaises(SystemExit):
                main(['plot', RUN, '--start', '2001-13-01'])
            with self.assertRaises(SystemExit):
                main(['plot', RUN, '--units', 'imperial'])


if __name__ == '__main__':
    unittest.main()
