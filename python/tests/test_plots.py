"""The figures and the command line on the expected report files of the
black-box cases: the data behind each panel (worked out from the cases'
README.md files) and a PNG written for every figure."""

import contextlib
import datetime
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import matplotlib

matplotlib.use('Agg')

import numpy as np  # noqa: E402

from tulma import plots, reports  # noqa: E402
from tulma.__main__ import main  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = os.path.join(HERE, '..', '..', 'tests', 'blackbox', 'cases')
SMALL = os.path.join(CASES, 'small_scenario_reports', 'expected', 'files')
MULTI = os.path.join(CASES, 'multi_year_all_processes', 'expected', 'files')
ONE_KIND, SPECIALS = (os.path.join(HERE, 'data', 'edge', name) for name in ('one_kind', 'specials'))
PNG = b'\x89PNG\r\n\x1a\n'


class FigureAndCommandLineTest(unittest.TestCase):
    def setUp(self):
        self.out = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.out)
        self.small = reports.Run(SMALL)

    def assert_png(self, path):
        with open(path, 'rb') as f:
            self.assertEqual(f.read(8), PNG)

    def test_areas_and_age_classes(self):
        # Living area of each kind over both cross sections at 12 and 72 h:
        # kind 1 4500 + 700, then 3000 + 700 m²; kind 2 1750 + 400, then 1250 + 400,
        # in hectares. 72 h after midnight of 1 January is midnight of 4 January.
        areas = plots.plot_areas(self.small, self.out, plots.TimeAxis(datetime.date(2000, 1, 1)), 'metric')
        self.assert_png(areas.path)
        living, dead = areas.series['living'], areas.series['dead']
        self.assertEqual({k: list(y) for k, (_, y) in living.items()},
                         {'kind 1': [0.52, 0.37], 'kind 2': [0.215, 0.165]})
        self.assertEqual({k: list(y) for k, (_, y) in dead.items()},
                         {'scour': [0, 0.15], 'burial': [0, 0], 'drowning': [0, 0.15], 'drying': [0, 0],
                          'competition': [0, 0]})
        np.testing.assert_array_equal(living['kind 1'][0], np.array(['2000-01-01T12', '2000-01-04T00'],
                                                                    dtype='datetime64[s]'))
        ages = plots.plot_age_classes(self.small, self.out)
        self.assert_png(ages.path)
        np.testing.assert_allclose(ages.series['kind 1']['2-3 years'][0], np.array([12, 72]) / 8766.0)
        self.assertEqual(list(ages.series['kind 1']['2-3 years'][1]), [5200, 3700])
        self.assertEqual(list(ages.series['kind 2']['0-1 years'][1]), [2150, 1650])

    def test_profile_of_a_listed_cross_section(self):
        # The first listed is 2 (stations 0, 5, 10): kind 1 living at 5 and 10,
        # kind 2 at 0 and 10.
        plot = plots.plot_profile(self.small, self.out)
        self.assertTrue(plot.path.endswith('profile_xc2.png'))
        self.assert_png(plot.path)
        panel = {name: (list(x), list(y)) for name, (x, y) in plot.series['profile'].items()}
        self.assertEqual(panel['bed'], ([0, 5, 10], [103, 101, 104]))
        self.assertEqual(panel['kind 1 top'], ([5, 10], [106, 109]))
        self.assertEqual(panel['kind 2 crown'], ([0, 10], [103, 104]))
        np.testing.assert_allclose(panel['kind 2 top'][1] + panel['kind 2 root tip'][1],
                                   [103.75, 104.75, 102.7, 103.7])

    def test_profile_of_a_cross_section_not_listed(self):
        # Cross section 6 of the two-year run at 17304 h: beds 104, 102, 102, 104,
        # water 102.5 at point 4, 101 elsewhere; willows at points 3, 4, an alder at 1.
        plot = plots.plot_profile(reports.Run(MULTI), self.out, section=6)
        panel = {name: (list(x), list(y)) for name, (x, y) in plot.series['profile'].items()}
        self.assertEqual(panel['bed'], ([0, 1, 10, 20], [104, 102, 102, 104]))
        self.assertEqual(panel['water level'][1], [101, 101, 101, 102.5])
        self.assertEqual(panel['kind 2 crown'], ([10, 20], [102, 104]))
        self.assertEqual(panel['kind 3 top'], ([0], [104]))
        with self.assertRaises(plots.PlotError):
            plots.plot_profile(reports.Run(MULTI), self.out, section=99)

    def test_map_labels_every_kind(self):
        rows = [
            # Small scenario: kind 2 (the last) drowned at xc 1 point 3 (its code 3).
            (SMALL, {plots.NO_KIND: 1, 'kind 1': 2, 'kind 2': 2, plots.SEVERAL_KINDS: 2},
             [{'LIVE': 4, 'SCOR': 1, 'NONE': 2}, {'LIVE': 4, 'DRON': 1, 'NONE': 2}]),
            # Two-year run, 28 points: no point holds two living kinds; the old
            # willow's code 6 is NONE; the alder (last kind) lives at two points.
            (MULTI, {plots.NO_KIND: 17, 'kind 1': 6, 'kind 2': 3, 'kind 3': 2, plots.SEVERAL_KINDS: 0},
             [{'LIVE': 6, 'SCOR': 1, 'DRON': 1, 'DRYG': 1, 'NONE': 19},
              {'LIVE': 3, 'COMP': 2, 'DRYG': 1, 'NONE': 22}, {'LIVE': 2, 'NONE': 26}]),
            # Hand-written: the last kind's codes -1, 13 (its drowning code) and 1.
            (SPECIALS, {plots.NO_KIND: 2, plots.SEVERAL_KINDS: 1},
             [{'LIVE': 1, 'SCOR': 1, 'NONE': 1}, {'LIVE': 1, 'SCOR': 1, 'DRON': 1}]),
        ]
        for run_dir, living, labels in rows:
            with self.subTest(run=run_dir):
                plot = plots.plot_map(reports.Run(run_dir), self.out)
                self.assert_png(plot.path)
                counts = {name: {label: len(x) for label, (x, _) in panel.items() if len(x)}
                          for name, panel in plot.series.items()}
                self.assertEqual(counts.pop('living kinds'), {k: v for k, v in living.items() if v})
                self.assertEqual(list(counts.values()), labels)

    def test_one_kind(self):
        made, problems = plots.plot_all(reports.Run(ONE_KIND), self.out)
        self.assertEqual((problems, [p.name for p in made]),
                         ([('roughness', 'veg_Man_out.dat is missing')],
                          ['areas', 'age_classes', 'profile', 'strip', 'map']))
        # Living at point 1 of 2 (crown 101, height 1.5, root 0.5), dried at point 2.
        self.assertEqual(list(made[0].series['living']['kind 1'][1]), [50.0, 25.0])
        self.assertEqual(list(made[2].series['profile']['kind 1 top'][1]), [102.5])

    def run_main(self, *argv):
        stdout, stderr = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(stdout), contextlib.redirect_stderr(stderr):
            status = main(list(argv))
        return status, stdout.getvalue(), stderr.getvalue()

    def test_plot_writes_every_figure_and_says_where(self):
        status, stdout, _ = self.run_main('plot', SMALL, '--out', self.out, '--section', '1', '--start', '2000-01-01',
                                          '--event', '2000-01-04')
        self.assertEqual(status, 0)
        self.assertIn(f'figures written to {self.out}', stdout)
        for name in ('areas', 'age_classes', 'roughness', 'profile_xc1', 'strip', 'map'):
            path = os.path.join(self.out, name + '.png')
            self.assertIn(path, stdout)
            self.assert_png(path)

    def test_summary_table(self):
        status, stdout, _ = self.run_main('summary', SMALL, '--units', 'english')
        self.assertEqual(status, 0)
        lines = stdout.splitlines()
        self.assertIn('72 h (0.01 years since time 0), area in ft²', lines[0])
        # Of the total 4000 + 800: kind 1 3700, kind 2 1650.
        self.assertEqual([line.split() for line in lines[2:]],
                         [['1', 'NoName', '3700.0', '77.1', '%'], ['2', 'NoName', '1650.0', '34.4', '%']])

    def test_version_and_summary_without_matplotlib(self):
        # A machine without matplotlib still reads reports and prints summaries.
        code = ('import sys; sys.modules["matplotlib"] = None; from tulma.__main__ import main; '
                'sys.exit(main(sys.argv[1:]))')
        env = dict(os.environ, PYTHONPATH=os.path.join(HERE, '..'))
        run = [sys.executable, '-c', code]
        summary = subprocess.run(run + ['summary', SMALL], env=env, capture_output=True, text=True)
        self.assertEqual((summary.returncode, summary.stderr), (0, ''))
        self.assertIn('1  NoName          3700.0', summary.stdout)
        # The version is the project's, as CMakeLists.txt gives it.
        with open(os.path.join(HERE, '..', '..', 'CMakeLists.txt')) as f:
            project = re.search(r'project\(tulma VERSION ([0-9.]+)', f.read()).group(1)
        version = subprocess.run(run + ['--version'], env=env, capture_output=True, text=True)
        self.assertEqual(version.stdout, f'python3 -m tulma {project}\n')

    def test_refusals(self):
        status, _, stderr = self.run_main('summary', os.path.join(self.out, 'nowhere'))
        self.assertEqual((status, 'is not a directory' in stderr), (1, True))
        status, _, stderr = self.run_main('plot', self.out)  # a directory without reports
        self.assertEqual((status, 'veg_sum_out.dat is missing' in stderr), (1, True))
        for bad in (['--start', '2001-13-01'], ['--units', 'imperial'], ['--event', 'yesterday']):
            with contextlib.redirect_stderr(io.StringIO()), self.assertRaises(SystemExit):
                main(['plot', SMALL] + bad)


if __name__ == '__main__':
    unittest.main()
