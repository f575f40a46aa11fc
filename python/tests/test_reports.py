"""The report readers on the expected files of the black-box cases, whose
README.md files work out every value used here, and on hand-written files
with the rarer layouts (data/edge, see data/README.md)."""

import math
import os
import shutil
import tempfile
import unittest

import numpy as np
import pandas as pd

from tulma import reports

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = os.path.join(HERE, '..', '..', 'tests', 'blackbox', 'cases')
SMALL = os.path.join(CASES, 'small_scenario_reports', 'expected', 'files')
WIDE, SPECIALS, ONE_KIND = (os.path.join(HERE, 'data', 'edge', name) for name in ('wide', 'specials', 'one_kind'))


def assert_rows(test, table, **columns):
    for name, expected in columns.items():
        with test.subTest(column=name):
            np.testing.assert_array_equal(table[name], expected)


class NumberFieldTest(unittest.TestCase):
    def test_fields(self):
        rows = [('  8760.00    ', 8760.0), (' 0.821355E-02', 0.00821355), ('-0.100000E+11', -1e10),
                (' 0.494066-323', 4.94066e-324),  # three-digit exponent: no letter E
                ('-0.100000+100', -1e99), ('       -0.00', 0.0), ('    12', 12.0),
                ('*******', math.nan), ('          NaN', math.nan), ('    -Infinity', -math.inf)]
        for text, expected in rows:
            with self.subTest(text=text):
                np.testing.assert_array_equal(reports.parse_number(text), expected)
        for text in ('', 'time', 'T', '  LIVE', '1.5.3', '**1'):
            with self.subTest(text=text), self.assertRaises(ValueError):
                reports.parse_number(text)


class SmallScenarioTest(unittest.TestCase):
    """One reach of two cross sections (4 and 3 points), two kinds, events at 12 and 72 h."""

    def setUp(self):
        self.run = reports.Run(SMALL)

    def test_summaries(self):
        s, a = self.run.sum, self.run.age
        assert_rows(self, s, event=[0] * 4 + [1] * 4, time=[12.0] * 4 + [72.0] * 4,
                    m_veg=[1, 1, 2, 2] * 2, i_xc=[1, 2] * 4, total_area=[4000.0, 800.0] * 4,
                    veg_area=[4500, 700, 1750, 400, 3000, 700, 1250, 400],
                    scour_area=[0, 0, 0, 0, 1500, 0, 0, 0], drown_area=[0, 0, 0, 0, 0, 0, 1500, 0],
                    min_ele=[99, 101, 99, 103, 100.5, 101, 100.5, 103],
                    a16ft=[1500, 400, 1500, 0, 0, 400, 0, 0])
        assert_rows(self, a, event=s['event'], aAll=s['veg_area'],
                    a2to3=[4500, 700, 0, 0, 3000, 700, 0, 0], a0to1=[0, 0, 1750, 400, 0, 0, 1250, 400])

    def test_point_file(self):
        assert_rows(self, self.run.out, time=72.0, m_veg=[1] * 7 + [2] * 7, i_xc=[1] * 4 + [2] * 3 + [1] * 4 + [2] * 3,
                    k=[1, 2, 3, 4, 1, 2, 3] * 2,
                    dth_id=[999, -1, 1, -1, 999, -1, -1, -1, -1, 3, 999, -1, 999, -1],
                    x=[1000, 1010, 1020, 1040, 1000, 1005, 1010] * 2,
                    age=[0, 2.00821, 0, 2.00821, 0, 2.00821, 2.00821,
                         0.508214, 0.00821355, 0, 0, 0.508214, 0, 0.508214])

    def test_map_file_shows_the_first_kind(self):
        g = self.run.gis
        assert_rows(self, g, time=72.0, i_xc=[1, 1, 1, 1, 2, 2, 2], k=[1, 2, 3, 4, 1, 2, 3],
                    y=[2000] * 4 + [2100] * 3, veg0=[False, True, False, True, False, True, True],
                    m_veg=1, age=[0, 2.01, 0, 2.01, 0, 2.01, 2.01],
                    DII=['NONE', 'LIVE', 'LIVE', 'LIVE', 'NONE', 'LIVE', 'LIVE'],
                    DID=['NONE', 'LIVE', 'SCOR', 'LIVE', 'NONE', 'LIVE', 'LIVE'])

    def test_elevation_file_follows_the_hosts_list(self):
        e = self.run.ele
        assert_rows(self, e, event=[0] * 7 + [1] * 7, time=[12.0] * 7 + [72.0] * 7,
                    i_xc=[2, 2, 2, 1, 1, 1, 1] * 2, k=[1, 2, 3, 1, 2, 3, 4] * 2, z_gw=100.0)
        # 72 h, cross section 1: point 2 lives (crown, + height 5, - root 2), point 3 died.
        np.testing.assert_array_equal(e.loc[11:12, ['m_veg', 'age', 'crown_ele', 'top_ele', 'root_tip_ele']].T,
                                      [[1, 1], [2.01, 0], [100.5, 0], [105.5, 0], [98.5, 0]])

    def test_roughness_file(self):
        assert_rows(self, self.run.man, block=[0, 0, 0, 1, 1, 1, 2, 2, 2], step=[False] * 3 + [True] * 6,
                    time=[math.nan] * 3 + [12.0] * 3 + [72.0] * 3, i_xc=[1, 1, 2] * 3, section=[1, 2, 1] * 3,
                    loc_rr=[0, 5, 2] * 3, n=[0.04, 0.05, 0.035, 0, 0, 0, 0.03, 0.04, 0.0501])

    def test_kinds_from_the_parameter_echo(self):
        self.assertEqual([(k.number, k.name) for k in self.run.kinds], [(1, 'NoName'), (2, 'NoName')])
        kinds = reports.read_kinds(SPECIALS)  # SID 11 for a named kind; DID 13, YID 14 for the second
        self.assertEqual([(k.number, k.name) for k in kinds], [(1, 'Sandbar willow'), (2, 'NoName')])
        self.assertEqual(kinds[0].death_codes['scour'], 11)
        self.assertEqual([kinds[1].label(code) for code in (-1, 1, 2, 13, 14, 7, 3, 4, 6, 999)],
                         ['LIVE', 'SCOR', 'BURY', 'DRON', 'DRYG', 'COMP', 'NONE', 'NONE', 'NONE', 'NONE'])
        kinds[1].death_codes.update(scour=5, drown=5, dry=8, comp=8, burial=8)  # the first cause wins
        self.assertEqual((kinds[1].label(5), kinds[1].label(8)), ('SCOR', 'DRYG'))


class RareLayoutTest(unittest.TestCase):
    def test_many_kinds_go_on_over_two_lines(self):
        # 21 shown kinds: kind m is m + 0.25 years old at point 1 of the map file;
        # at point k of the elevation file m + 0.5, crown 100 + k, top crown + m,
        # root tip crown - m / 4, with asterisks for the top of kind 21 at 744 h, point 1.
        g = reports.read_gis(os.path.join(WIDE, reports.GIS_FILE))
        assert_rows(self, g[:22], k=[1] * 21 + [2], m_veg=list(range(1, 22)) + [1])
        np.testing.assert_array_equal(g['age'][:21], np.arange(1, 22) + 0.25)
        self.assertEqual(list(g['DID'][:21]), ['LIVE', 'SCOR', 'BURY', 'DRON', 'DRYG', 'COMP', 'NONE'] * 3)
        e = reports.read_ele(os.path.join(WIDE, reports.ELE_FILE))
        assert_rows(self, e[e['m_veg'] == 1], event=[0, 0, 1, 1, 2, 2], time=[0, 0, 24, 24, 744, 744],
                    k=[1, 2] * 3, z_gw=[100.5, 100.5, 100.52, 100.52, 101.24, 101.24])
        late_kinds = e[(e['event'] == 0) & (e['k'] == 2) & (e['m_veg'] >= 20)]
        np.testing.assert_array_equal(late_kinds[['age', 'crown_ele', 'top_ele', 'root_tip_ele']].T,
                                      [[20.5, 21.5], [102, 102], [122, 123], [97, 96.75]])
        np.testing.assert_array_equal(e['top_ele'][(e['event'] == 2) & (e['m_veg'] == 21)], [math.nan, 123.0])
        with self.assertRaises(reports.ReportFormatError):
            reports.read_ele(os.path.join(WIDE, reports.ELE_FILE), n_shown=20)
        # A run of one kind: the map file shows none, but every point keeps its row.
        assert_rows(self, reports.read_gis(os.path.join(ONE_KIND, reports.GIS_FILE)), x=[0, 10], m_veg=math.nan)

    def test_fields_too_wide_or_not_finite(self):
        o = reports.read_out(os.path.join(SPECIALS, reports.OUT_FILE))
        np.testing.assert_array_equal(o['x'], [0.0, 10.0, math.nan, 0.0, 10.0, 20.0])
        np.testing.assert_array_equal(o['cap_ele'][[0, 1, 4]], [100.85, math.inf, -math.inf])
        s = reports.read_sum(os.path.join(SPECIALS, reports.SUM_FILE))
        np.testing.assert_array_equal(s['i_xc'], [3, math.nan])
        r = reports.read_man(os.path.join(SPECIALS, reports.MAN_FILE))  # xc 4: no section, no row
        assert_rows(self, r, i_xc=3, block=[0, 0, 1, 1], n=[0.035, 0.05, 0.045, math.nan])


class FileHandlingTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)

    def copy(self, source, edit=lambda lines: lines, newline='\n'):
        with open(source) as f:
            lines = f.read().split('\n')
        path = os.path.join(self.dir, os.path.basename(source))
        with open(path, 'w', newline='') as f:
            f.write(newline.join(edit(lines)))
        return path

    def test_windows_line_ends_read_the_same(self):
        for name, reader in ((reports.GIS_FILE, reports.read_gis), (reports.ELE_FILE, reports.read_ele)):
            with self.subTest(file=name):
                lf, crlf = reader(os.path.join(SMALL, name)), reader(self.copy(os.path.join(SMALL, name), newline='\r\n'))
                pd.testing.assert_frame_equal(crlf, lf)

    def test_malformed_records_name_their_line(self):
        for damage in (lambda line: line.rsplit(',', 1)[0], lambda line: line.replace('4000.00', 'many!!!')):
            path = self.copy(os.path.join(SMALL, reports.SUM_FILE), lambda ls: ls[:24] + [damage(ls[24])] + ls[25:])
            with self.assertRaises(reports.ReportFormatError) as caught:
                reports.read_sum(path)
            self.assertEqual(caught.exception.line_no, 25)

    def test_a_header_block_starts_an_event_at_the_same_time(self):
        # A host that calls twice at hour 12 gets two events at 12, each with its header block.
        path = self.copy(os.path.join(SMALL, reports.SUM_FILE), lambda ls: ls[:25] + ls[:26])
        assert_rows(self, reports.read_sum(path), time=12.0, event=[0, 1, 1], m_veg=[1, 1, 1])

    def test_kinds_from_the_parameter_file_without_an_echo(self):
        with open(os.path.join(self.dir, reports.PARAMETER_FILE), 'w') as f:
            f.write('* comment\nVNM 2 1\nvvn Red willow   \nMMT 0\nSID 21\ncom MMT in a comment\n'
                    'MMT 0\nyid 24\nEND\nVVN after the end\nMMT 0\n')
        kinds = reports.read_kinds(self.dir)
        self.assertEqual([(k.number, k.name) for k in kinds], [(1, 'Red willow'), (2, 'NoName')])
        self.assertEqual((kinds[0].death_codes['scour'], kinds[1].death_codes['dry']), (21, 24))


if __name__ == '__main__':
    unittest.main()
