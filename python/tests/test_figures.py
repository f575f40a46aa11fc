"""Manning's n, the strip chart, the water level under the areas, earlier
events, kinds without growth and the palettes, on the small black-box case
(its README.md works out every value) with data/small_run laid over it:
sections M01 and M02, start 1 January 2000, and the snapshot of 12 h."""

import datetime
import os
import shutil
import tempfile
import unittest

import matplotlib

matplotlib.use('Agg')

import numpy as np  # noqa: E402
from matplotlib.colors import to_hex, to_rgb  # noqa: E402

from tulma import plots, reports  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
CASE = os.path.join(HERE, '..', '..', 'tests', 'blackbox', 'cases', 'small_scenario_reports')
AXIS = plots.TimeAxis(datetime.datetime(2000, 1, 1))


def colours(ax):
    """{legend label: colour drawn} of a panel of lines, scatters or bars."""
    found = {}
    for handle, label in zip(*ax.get_legend_handles_labels()):
        handle = getattr(handle, 'patches', [handle])[0]
        colour = handle.get_color() if hasattr(handle, 'get_xdata') else handle.get_facecolor()
        found[label] = to_hex(colour if isinstance(colour, str) else np.atleast_2d(colour)[0])
    return found


def drawn(plot, panel):
    return {name: list(zip(*xy)) for name, xy in plot.series[panel].items() if len(xy[0])}


class FiguresTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        shutil.copytree(os.path.join(CASE, 'expected', 'files'), self.dir, dirs_exist_ok=True)
        shutil.copytree(os.path.join(HERE, 'data', 'small_run'), self.dir, dirs_exist_ok=True)
        self.run_ = reports.Run(self.dir)

    def edit(self, name, old, new):
        with open(os.path.join(self.dir, name)) as f:
            text = f.read()
        self.assertIn(old, text)
        with open(os.path.join(self.dir, name), 'w') as f:
            f.write(text.replace(old, new))

    def test_manning_n(self):
        # Host's n: M01 0.04 from 0, 0.05 from 5; M02 0.035 from 2. Steps at 12 h (no step yet: 0) and 72 h.
        plot = plots.plot_roughness(self.run_, self.dir, AXIS)
        self.assertEqual({p: {s: [n for _, n in xy] for s, xy in drawn(plot, p).items()} for p in plot.series},
                         {'M01': {'section 1': [0, 0.03], 'section 1, host': [0.04] * 2, 'section 2': [0, 0.04],
                                  'section 2, host': [0.05] * 2},
                          'M02': {'section 1': [0, 0.0501], 'section 1, host': [0.035] * 2}})
        # Asterisks stay missing; a cross section without roughness sections has no panel.
        specials = plots.plot_roughness(reports.Run(os.path.join(HERE, 'data', 'edge', 'specials')), self.dir)
        self.assertEqual((list(specials.series), np.isnan(specials.series['xc 3']['section 2'][1]).all()),
                         (['xc 3'], True))

    def test_strip_chart_and_events(self):
        # Positions 0 (M01: stations 0, 10, 20, 40) and 1 (M02: 0, 5, 10). At 72 h kind 1
        # is scoured and kind 2 drowned at M01 20; at 12 h both stand there.
        for when, title, living, kind_1 in (
                (None, 'the last report event (72 h, 2000-01-04)',
                 {plots.NO_KIND: [(0, 20)], 'kind 1': [(0, 40), (1, 5)], 'kind 2': [(0, 0), (1, 0)],
                  plots.SEVERAL_KINDS: [(0, 10), (1, 10)]},
                 {'LIVE': [(0, 10), (0, 40), (1, 5), (1, 10)], 'SCOR': [(0, 20)], 'NONE': [(0, 0), (1, 0)]}),
                ('2000-01-02', 'report event 0 (12 h, 2000-01-01)',
                 {'kind 1': [(0, 10), (0, 40), (1, 5)], 'kind 2': [(0, 0), (1, 0)],
                  plots.SEVERAL_KINDS: [(0, 20), (1, 10)]},
                 {'LIVE': [(0, 10), (0, 20), (0, 40), (1, 5), (1, 10)], 'NONE': [(0, 0), (1, 0)]})):
            plot = plots.plot_strip(self.run_, self.dir, 'metric', AXIS, when and plots.EventChoice.parse(when))
            self.assertEqual((plot.figure._suptitle.get_text()[-len(title):], drawn(plot, 'living kinds'),
                              drawn(plot, 'kind 1')), (title, living, kind_1))
        # A point covers half-way to its neighbours (an end point, to its one neighbour):
        # kind 1 scoured from 15 to 30, never stood from 0 to 5 and from 0 to 2.5.
        bands = {to_hex(c.get_facecolor()[0]): [tuple(p.get_extents().get_points().ravel()) for p in c.get_paths()]
                 for c in plots.plot_strip(self.run_, self.dir).axes[1].collections}
        self.assertEqual((bands[plots.CAUSE_COLOURS['scour']], bands[plots.EMPTY_COLOUR]),
                         ([(-0.4, 15, 0.4, 30)], [(-0.4, 0, 0.4, 5), (0.6, 0, 1.4, 2.5)]))
        self.assertEqual([plots.plant_table(self.run_, plots.EventChoice.parse(text), AXIS)[0]['event'].iloc[0]
                          for text in ('0', '71h', '72h', '2000-01-04T00:00')], [0, 0, 1, 1])
        for text, axis, message in (('2000-01-01T06', AXIS, 'no kept'),
                                    ('2000-01-02', plots.TimeAxis(), '--start')):
            self.assertRaisesRegex(plots.PlotError, message, plots.plant_table, self.run_,
                                   plots.EventChoice.parse(text), axis)

    def test_water_level_and_area_units(self):
        # Listed M02, M01; water 100, but 99.5 at M01's deepest point (station 20) at 72 h.
        self.edit(reports.ELE_FILE, '72.00    1    3     1020.00     2000.00       20.00       99.00      100.00',
                  '72.00    1    3     1020.00     2000.00       20.00       99.00       99.50')
        for units, unit, per_unit in (('metric', 'ha', 1e4), ('english', 'acres', 43560.0),
                                      (None, 'm² (metric) or ft² (English)', 1)):
            plot = plots.plot_areas(reports.Run(self.dir), self.dir, AXIS, units)
            np.testing.assert_allclose(plot.series['living']['kind 1'][1], np.array([5200, 3700]) / per_unit)
            self.assertEqual(plot.axes[0].get_ylabel(), f'living area [{unit}]')
        self.assertEqual({k: list(y) for k, (_, y) in plot.series['water level'].items()},
                         {'M02': [100, 100], 'M01': [100, 99.5]})
        os.remove(os.path.join(self.dir, reports.ELE_FILE))  # then the kept events of the first cross section
        plot = plots.plot_areas(reports.Run(self.dir), self.dir, AXIS)
        self.assertEqual({k: list(y) for k, (_, y) in plot.series['water level'].items()}, {'M01': [100, 100]})

    def test_earlier_profile_and_kind_without_growth(self):
        self.assertEqual([kind.grow_method for kind in self.run_.kinds], [1, 1])
        self.edit(reports.ERR_FILE, '     30   GMT           1', '     30   GMT           0')  # kind 2
        # M01 at 12 h: kind 1 (height 5, root 2) at stations 10, 20, 40 (beds 100.5, 99, 102.5); kind 2 at 0, 20.
        self.assertEqual([kind.grow_method for kind in reports.Run(self.dir).kinds], [1, 0])
        plot = plots.plot_profile(reports.Run(self.dir), self.dir, 1, 'metric', AXIS,
                                  plots.EventChoice.parse('0'))
        panel = {name: [list(x), list(y)] for name, (x, y) in plot.series['profile'].items()}
        parts = ('kind 1 top', 'kind 1 root tip', 'kind 2 crown', 'kind 2 top')
        self.assertEqual([panel.get(part) for part in parts],
                         [[[10, 20, 40], [105.5, 104, 107.5]], [[10, 20, 40], [98.5, 97, 100.5]],
                          [[0, 20], [101.5, 99]], None])
        self.assertIn(f'kind 2 ({plots.NOT_GROWN}: marked on the bed)', colours(plot.axes[0]))
        ages = plots.plot_age_classes(reports.Run(self.dir), self.dir, AXIS)
        self.assertEqual(['neither grows' in ax.get_title() for ax in ages.axes], [False, True])

    def test_one_colour_per_kind_another_per_cause_ordered_ages(self):
        made, problems = plots.plot_all(self.run_, self.dir, 1, AXIS, 'metric')
        figures = {plot.name: plot for plot in made}
        for name in ('areas', 'profile', 'strip', 'map'):
            for label, colour in colours(figures[name].axes[0]).items():
                if label.startswith('kind'):
                    self.assertEqual(colour, plots.kind_colour(int(label[5])), (name, label))
        causes = set(colours(figures['areas'].axes[1]).values())
        for m in (1, 2):
            states = colours(figures['strip'].axes[m])
            self.assertEqual(states.pop('living'), plots.kind_colour(m))
            causes |= set(states.values())
        self.assertEqual((problems, len(causes), causes & set(plots.KIND_COLOURS)), ([], 6, set()))
        self.assertGreater(min(np.linalg.norm(np.subtract(to_rgb(a), to_rgb(b))) for a in plots.KIND_COLOURS
                               for b in list(plots.CAUSE_COLOURS.values()) + [plots.EMPTY_COLOUR]), 0.2)
        # Age classes stacked young to old, light to dark (luminance of linear RGB).
        ages = [np.dot([0.2126, 0.7152, 0.0722], np.power(to_rgb(p.get_facecolor()[0]), 2.2))
                for p in figures['age_classes'].axes[0].collections]
        self.assertEqual((len(ages), bool(np.all(np.diff(ages) < 0))), (9, True))


if __name__ == '__main__':
    unittest.main()
