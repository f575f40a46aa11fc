"""The report readers on files the library wrote (data/run, see data/README.md)
and on hand-written files with the rare layouts (data/edge)."""

import math
import os
import shutil
import tempfile
import unittest

import numpy as np

from tulma import reports

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'data')
RUN = os.path.join(DATA, 'run')
WIDE = os.path.join(DATA, 'edge', 'wide')
SPECIALS = os.path.join(DATA, 'edge', 'specials')
ONE_KIND = os.path.join(DATA, 'edge', 'one_kind')

# The made-up river of the run (data/recipe/fixture_host.cpp): 2 reaches of 2
# cross sections, 12 points 10 m apart, bed falling 0.2 m per cross section.
BED = np.array([104.0, 103.5, 103.0, 102.5, 101.0, 99.8, 99.5, 99.9, 101.2, 102.6, 103.2, 104.0])
STATIONS = 10.0 * np.arange(12)
# Width of each point: half the distance between its neighbours: 5 at the
# ends, 10 inside. Length: left overbank 220 before the left bank (point 4),
# right overbank 180 after the right bank (point 9), channel 200 in between.
WIDTH = np.array([5.0] + [10.0] * 10 + [5.0])
LENGTH = np.array([220.0] * 3 + [200.0] * 6 + [180.0] * 3)
# Events: calls every 24 h from 0; hours 0 and 24 with header blocks, then the
# first daily step more than 0.9999 x 91 days after hour 24: day 92 (2208 h),
# and every 91 days (2184 h) after it while within the 730 days of the run.
EVENT_HOURS = [0.0, 24.0] + [2208.0 + 2184.0 * j for j in range(8)]  # last 17496 h = day 729


class NumberFieldTest(unittest.TestCase):
    def test_fields(self):
        rows = [
            ('  8760.00    ', 8760.0),
            (' 0.500000    ', 0.5),
            ('  123457.    ', 123457.0),
            (' 0.100000E+11', 1e10),
            ('-0.100000E+11', -1e10),
            (' 0.500000E-01', 0.05),
            (' 0.494066-323', 4.94066e-324),  # three-digit exponent: no letter E
            ('-0.100000+100', -1e99),
            ('       -0.00', 0.0),
            ('    12', 12.0),
            ('*******', math.nan),
            ('          NaN', math.nan),
            ('     Infinity', math.inf),
            ('    -Infinity', -math.inf),
        ]
        for text, expected in rows:
            with self.subTest(text=text):
                value = reports.parse_number(text)
                if math.isnan(expected):
                    self.assertTrue(math.isnan(value))
                else:
                    self.assertEqual(value, expected)

    def test_not_numbers(self):
        for text in ('', '   ', 'time', 'T', '  LIVE', '1.5.3', '**1'):
            with self.subTest(text=text):
                with self.assertRaises(ValueError):
                    reports.parse_number(text)


class UnitTest(unittest.TestCase):
    def test_units(self):
        rows = [
            ('time', None, 'h'),
            ('time', 'english', 'h'),
            ('age', None, 'years'),
            ('veg_area', None, 'm² (metric) or ft² (English)'),
            ('a12to16ft', 'metric', 'm²'),
            ('aAll', 'english', 'ft²'),
            ('crown_ele', None, 'm (metric) or ft (English)'),
            ('z_gw', 'english', 'ft'),
            ('min_ele', 'metric', 'm'),
            ('m_veg', None, ''),
        ]
        for column, system, expected in rows:
            with self.subTest(column=column, system=system):
                self.assertEqual(reports.column_unit(column, system), expected)


class LibraryRunTest(unittest.TestCase):
    """Report files of a two-year run of the built library."""

    @classmethod
    def setUpClass(cls):
        cls.river = reports.Run(RUN)

    def test_summary_events_and_record_order(self):
        s = self.river.sum
        # 10 events x 3 kinds x 4 cross sections; the two header blocks are skipped.
        self.assertEqual(len(s), 120)
        self.assertEqual(s.dtype.names[1:], reports.SUM_COLUMNS)
        np.testing.assert_array_equal(np.unique(s['event']), np.arange(10))
        np.testing.assert_array_equal(s['time'][::12], EVENT_HOURS)
        # Per event: reach 1 (sections 1, 2) kind by kind, then reach 2 (3, 4).
        np.testing.assert_array_equal(s['m_veg'][:12], [1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 3])
        np.testing.assert_array_equal(s['i_xc'][:12], [1, 2, 1, 2, 1, 2, 3, 4, 3, 4, 3, 4])
        # Every point's width times the channel length: 110 x 200.
        np.testing.assert_array_equal(s['total_area'], 22000.0)

    def test_living_area_is_the_area_of_the_living_points(self):
        s, o = self.river.sum, self.river.out
        last = s[s['event'] == 9]
        for m in (1, 2, 3):
            for i_xc in (1, 2, 3, 4):
                with self.subTest(kind=m, section=i_xc):
                    points = o[(o['m_veg'] == m) & (o['i_xc'] == i_xc)]
                    living = points['dth_id'] == -1
                    expected = np.sum((WIDTH * LENGTH)[living])
                    record = last[(last['m_veg'] == m) & (last['i_xc'] == i_xc)]
                    self.assertEqual(len(record), 1)
                    self.assertAlmostEqual(record['veg_area'][0], expected, places=6)

    def test_age_file_matches_summary(self):
        a, s = self.river.age, self.river.sum
        self.assertEqual(len(a), 120)
        np.testing.assert_array_equal(a['event'], s['event'])
        np.testing.assert_array_equal(a['m_veg'], s['m_veg'])
        np.testing.assert_array_equal(a['aAll'], s['veg_area'])
        classes = sum(a[c] for c in reports.AGE_CLASS_COLUMNS)
        np.testing.assert_allclose(classes, a['aAll'], rtol=1e-5)

    def test_point_file(self):
        o = self.river.out
        self.assertEqual(len(o), 3 * 4 * 12)
        np.testing.assert_array_equal(o['time'], 17496.0)
        np.testing.assert_array_equal(o['m_veg'], np.repeat([1, 2, 3], 48))
        np.testing.assert_array_equal(o['i_xc'], np.tile(np.repeat([1, 2, 3, 4], 12), 3))
        np.testing.assert_array_equal(o['k'], np.tile(np.arange(1, 13), 12))
        np.testing.assert_array_equal(o['sta'], np.tile(STATIONS, 12))
        np.testing.assert_allclose(o['ele'], np.tile(np.concatenate([BED - 0.2 * i for i in range(4)]), 3))
        np.testing.assert_array_equal(o['y'], np.tile(np.repeat([0.0, 200.0, 400.0, 600.0], 12), 3))

    def test_map_file(self):
        g, o = self.river.gis, self.river.out
        # Three kinds in vegetation.txt: the map shows kinds 1 and 2.
        self.assertEqual(g['age'].shape, (48, 2))
        self.assertEqual(g['DID'].shape, (48, 2))
        np.testing.assert_array_equal(g['i_xc'], np.repeat([1, 2, 3, 4], 12))
        np.testing.assert_array_equal(g['k'], np.tile(np.arange(1, 13), 4))
        np.testing.assert_array_equal(g['x'], np.tile(STATIONS, 4))
        np.testing.assert_array_equal(g['veg0'], (g['DID'] == 'LIVE').any(axis=1))
        for m in (1, 2):
            with self.subTest(kind=m):
                points = o[o['m_veg'] == m]
                np.testing.assert_array_equal(g['DID'][:, m - 1] == 'LIVE', points['dth_id'] == -1)
                # Ages: 2 decimals here, 6 significant digits in veg_out.txt.
                np.testing.assert_allclose(g['age'][:, m - 1], points['age'], atol=0.0051)
        self.assertTrue(set(np.unique(g['DID'])) <= set(reports.LABELS))
        self.assertTrue(set(np.unique(g['DII'])) <= {'LIVE', 'NONE'})

    def test_elevation_file(self):
        e, o = self.river.ele, self.river.out
        # Cross sections 2 and 3 listed, 10 events, two header blocks (hours 0 and 24).
        self.assertEqual(len(e), 10 * 2 * 12)
        self.assertEqual(e['age'].shape, (240, 2))
        np.testing.assert_array_equal(e['event'], np.repeat(np.arange(10), 24))
        np.testing.assert_array_equal(e['time'][::24], EVENT_HOURS)
        np.testing.assert_array_equal(e['i_xc'][:24], np.repeat([2, 3], 12))
        np.testing.assert_array_equal(e['k'][:24], np.tile(np.arange(1, 13), 2))
        # Water at hour 0: low flow 100.2 less 0.2 per cross section (the flood
        # term exp(-0.5 (145/12)^2) is nil).
        np.testing.assert_array_equal(e['z_gw'][:24], np.repeat([100.0, 99.8], 12))
        # Day 729 (364 of the second year): 0.2 m lower per cross section plus
        # the recession 0.5 x 1.4 x exp(-(364 - 145) / 40) = 0.0029: 100.00, 99.80.
        last = e[e['event'] == 9]
        np.testing.assert_array_equal(last['z_gw'], np.repeat([100.0, 99.8], 12))
        for j, i_xc in enumerate((2, 3)):
            rows = last[j * 12:(j + 1) * 12]
            for m in (1, 2):
                with self.subTest(section=i_xc, kind=m):
                    p = o[(o['m_veg'] == m) & (o['i_xc'] == i_xc)]
                    crown = p['crown_ele']
                    np.testing.assert_allclose(rows['crown_ele'][:, m - 1], crown, atol=0.006)
                    np.testing.assert_allclose(rows['top_ele'][:, m - 1], crown + p['plant_height'], atol=0.006)
                    np.testing.assert_allclose(rows['root_tip_ele'][:, m - 1], crown - p['root_depth'],
                                               atol=0.006)

    def test_roughness_file(self):
        r = self.river.man
        # Blocks: initial and step at hour 0, initial and step at hour 24, then
        # 8 step blocks; 4 cross sections of 3 roughness sections each.
        self.assertEqual(len(r), 12 * 12)
        steps = r[::12]
        np.testing.assert_array_equal(steps['block'], np.arange(12))
        np.testing.assert_array_equal(steps['step'], [False, True, False, True] + [True] * 8)
        np.testing.assert_array_equal(r[r['step']]['time'][::12], EVENT_HOURS)
        self.assertTrue(np.isnan(r[~r['step']]['time']).all())
        initial = r[r['block'] == 0]
        np.testing.assert_array_equal(initial['i_xc'], np.repeat([1, 2, 3, 4], 3))
        np.testing.assert_array_equal(initial['section'], np.tile([1, 2, 3], 4))
        np.testing.assert_array_equal(initial['loc_rr'], np.tile([0.0, 35.0, 85.0], 4))
        np.testing.assert_array_equal(initial['n'], np.tile([0.045, 0.032, 0.05], 4))

    def test_kinds_from_the_parameter_echo(self):
        kinds = self.river.kinds
        self.assertEqual([k.name for k in kinds],
                         ["Goodding's willow", 'Grass and forbs', 'Fremont cottonwood'])
        self.assertEqual(kinds[2].death_codes, {'scour': 1, 'burial': 2, 'drown': 3, 'dry': 4, 'comp': 7})
        self.assertEqual(self.river.kind_count(), 3)


class WideTest(unittest.TestCase):
    """22 kinds in vegetation.txt, 21 shown: wrapped title and value lines."""

    def test_map_titles_over_two_lines(self):
        g = reports.read_gis(os.path.join(WIDE, reports.GIS_FILE))
        self.assertEqual(len(g), 2)
        self.assertEqual(g['age'].shape, (2, 21))
        np.testing.assert_array_equal(g['age'][0], np.arange(1, 22) + 0.25)
        np.testing.assert_array_equal(g['age'][1, :20], 0.0)
        self.assertTrue(math.isnan(g['age'][1, 20]))  # 12345.5 years: asterisks
        np.testing.assert_array_equal(g['veg0'], [True, False])
        np.testing.assert_array_equal(g['x'], [1000.25, 1010.0])
        self.assertEqual(list(g['DII'][0][:3]), ['LIVE', 'NONE', 'LIVE'])
        cycle = ['LIVE', 'SCOR', 'BURY', 'DRON', 'DRYG', 'COMP', 'NONE']
        self.assertEqual(list(g['DID'][0]), cycle * 3)
        self.assertEqual(g['DID'][1, 20], 'DRON')
        self.assertEqual(g['DID'][1, 19], 'NONE')

    def test_elevation_records_over_two_lines_and_repeated_headers(self):
        e = reports.read_ele(os.path.join(WIDE, reports.ELE_FILE))
        self.assertEqual(len(e), 6)
        self.assertEqual(e['crown_ele'].shape, (6, 21))
        np.testing.assert_array_equal(e['event'], [0, 0, 1, 1, 2, 2])
        np.testing.assert_array_equal(e['time'], [0, 0, 24, 24, 744, 744])
        np.testing.assert_array_equal(e['k'], [1, 2] * 3)
        # z_gw written as 100.5 + hours / 1000, 2 decimals: 100.50, 100.52, 101.24.
        np.testing.assert_array_equal(e['z_gw'], [100.5, 100.5, 100.52, 100.52, 101.24, 101.24])
        # Kind m at point k: age m + 0.5, crown 100 + k, top crown + m, root tip crown - m / 4.
        self.assertEqual(e['age'][1, 20], 21.5)        # kind 21, on the second line of the point
        self.assertEqual(e['crown_ele'][1, 20], 102.0)
        self.assertEqual(e['top_ele'][1, 20], 123.0)
        self.assertEqual(e['root_tip_ele'][1, 20], 96.75)
        self.assertEqual(e['top_ele'][1, 19], 122.0)    # kind 20, the last on the first line
        self.assertEqual(e['root_tip_ele'][0, 0], 100.75)
        self.assertTrue(math.isnan(e['top_ele'][4, 20]))  # asterisks at hour 744, point 1
        self.assertEqual(e['top_ele'][5, 20], 123.0)

    def test_kind_count_that_does_not_fit_the_lines(self):
        with self.assertRaises(reports.ReportFormatError):
            reports.read_ele(os.path.join(WIDE, reports.ELE_FILE), n_shown=20)
        with self.assertRaises(reports.ReportFormatError):
            reports.read_ele(os.path.join(WIDE, reports.ELE_FILE), n_shown=22)


class SpecialFieldsTest(unittest.TestCase):
    def test_point_file(self):
        o = reports.read_out(os.path.join(SPECIALS, reports.OUT_FILE))
        np.testing.assert_array_equal(o['k'], [1, 2, 3, 1, 2, 3])
        np.testing.assert_array_equal(o['dth_id'], [-1, 11, 999, -1, 13, 1])
        np.testing.assert_array_equal(o['x'], [0.0, 10.0, math.nan, 0.0, 10.0, 20.0])  # 14 asterisks
        np.testing.assert_array_equal(o['gw_ele'][:3], [100.5, math.nan, 100.5])
        np.testing.assert_array_equal(o['cap_ele'][[0, 1, 4]], [100.85, math.inf, -math.inf])
        self.assertEqual(o['age'][2], 4.94066e-324)  # ' 0.494066-323'

    def test_summary(self):
        s = reports.read_sum(os.path.join(SPECIALS, reports.SUM_FILE))
        self.assertEqual(len(s), 2)
        self.assertEqual(s['scour_area'][0], 4.94066e-324)
        self.assertTrue(math.isnan(s['i_xc'][1]))  # '******'
        self.assertTrue(math.isnan(s['scour_area'][1]))
        self.assertEqual(s['min_ele'][1], 1e10)    # a kind that lives nowhere
        self.assertEqual(s['max_ele'][1], -1e10)
        self.assertEqual(s['a16ft'][0], 250.0)

    def test_map_file(self):
        g = reports.read_gis(os.path.join(SPECIALS, reports.GIS_FILE))
        self.assertEqual(g['age'].shape, (3, 1))
        self.assertTrue(math.isnan(g['x'][2]))
        self.assertTrue(math.isnan(g['age'][2, 0]))
        self.assertEqual(list(g['DID'][:, 0]), ['LIVE', 'SCOR', 'NONE'])
        self.assertEqual(list(g['DII'][:, 0]), ['NONE', 'LIVE', 'NONE'])

    def test_roughness_file(self):
        r = reports.read_man(os.path.join(SPECIALS, reports.MAN_FILE))
        # Cross section 4 has no roughness section: no rows.
        np.testing.assert_array_equal(r['i_xc'], [3, 3, 3, 3])
        np.testing.assert_array_equal(r['block'], [0, 0, 1, 1])
        np.testing.assert_array_equal(r['step'], [False, False, True, True])
        np.testing.assert_array_equal(r['loc_rr'], [0.0, 15.0, 0.0, 15.0])
        np.testing.assert_array_equal(r['n'][:3], [0.035, 0.05, 0.045])
        self.assertTrue(math.isnan(r['n'][3]))
        self.assertEqual(r['time'][2], 744.0)

    def test_kinds_and_death_labels(self):
        kinds = reports.read_kinds(SPECIALS)
        self.assertEqual([(k.number, k.name) for k in kinds], [(1, 'Sandbar willow'), (2, 'NoName')])
        self.assertEqual(kinds[0].death_codes['scour'], 11)
        # Kind 2: SID absent (scour 1), DID 13, YID 14, BID and CID absent (2, 7).
        rows = [(-1, 'LIVE'), (1, 'SCOR'), (2, 'BURY'), (13, 'DRON'), (14, 'DRYG'), (7, 'COMP'),
                (3, 'NONE'), (4, 'NONE'), (6, 'NONE'), (999, 'NONE')]
        for code, label in rows:
            with self.subTest(code=code):
                self.assertEqual(kinds[1].label(code), label)

    def test_one_code_for_two_causes_takes_the_first_of_the_table(self):
        kind = reports.KindInfo(1)
        kind.death_codes.update(scour=5, drown=5, dry=8, comp=8, burial=8)
        self.assertEqual(kind.label(5), 'SCOR')
        self.assertEqual(kind.label(8), 'DRYG')


class OneKindTest(unittest.TestCase):
    def test_files_that_show_no_kind(self):
        g = reports.read_gis(os.path.join(ONE_KIND, reports.GIS_FILE))
        self.assertEqual(g['age'].shape, (2, 0))
        np.testing.assert_array_equal(g['veg0'], [False, False])
        e = reports.read_ele(os.path.join(ONE_KIND, reports.ELE_FILE))
        self.assertEqual(e['crown_ele'].shape, (2, 0))
        np.testing.assert_array_equal(e['ele'], [101.0, 100.2])

    def test_kinds_numbered_from_the_reports(self):
        run = reports.Run(ONE_KIND)
        self.assertEqual(run.kind_count(), 1)
        self.assertEqual([(k.number, k.name) for k in run.kinds], [(1, 'NoName')])


class FileHandlingTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, text, newline='\n'):
        path = os.path.join(self.dir, name)
        with open(path, 'w', newline='') as f:
            f.write(text.replace('\n', newline))
        return path

    def test_windows_line_ends_read_the_same(self):
        for name, reader in ((reports.GIS_FILE, reports.read_gis), (reports.OUT_FILE, reports.read_out),
                             (reports.MAN_FILE, reports.read_man)):
            with self.subTest(file=name):
                with open(os.path.join(SPECIALS, name)) as f:
                    path = self.write(name, f.read(), newline='\r\n')
                crlf = reader(path)
                lf = reader(os.path.join(SPECIALS, name))
                self.assertEqual(crlf.dtype, lf.dtype)
                for column in lf.dtype.names:
                    np.testing.assert_array_equal(crlf[column], lf[column])
        with open(os.path.join(WIDE, reports.ELE_FILE)) as f:
            path = self.write(reports.ELE_FILE, f.read(), newline='\r\n')
        np.testing.assert_array_equal(reports.read_ele(path)['top_ele'][1],
                                      reports.read_ele(os.path.join(WIDE, reports.ELE_FILE))['top_ele'][1])

    def test_malformed_lines_name_the_line(self):
        with open(os.path.join(SPECIALS, reports.SUM_FILE)) as f:
            lines = f.read().split('\n')
        rows = [
            ('a field missing', lambda line: line.rsplit(',', 1)[0]),
            ('a word for a number', lambda line: line.replace('  250.000    ', '  many       ', 1)),
        ]
        for what, damage in rows:
            with self.subTest(what):
                damaged = lines[:24] + [damage(lines[24])] + lines[25:]
                path = self.write(reports.SUM_FILE, '\n'.join(damaged))
                with self.assertRaises(reports.ReportFormatError) as caught:
                    reports.read_sum(path)
                self.assertEqual(caught.exception.line_no, 25)
                self.assertIn('line 25', str(caught.exception))

    def test_a_header_block_starts_an_event_at_the_same_time(self):
        # A host that calls twice at hour 0 gets two events at hour 0, each
        # with its header block.
        with open(os.path.join(ONE_KIND, reports.SUM_FILE)) as f:
            lines = f.read().split('\n')
        header, record = lines[:24], lines[24].replace('  24.0000    ', '  0.00000    ')
        path = self.write(reports.SUM_FILE, '\n'.join(header + [record] + header + [record, record]))
        s = reports.read_sum(path)
        np.testing.assert_array_equal(s['time'], [0.0, 0.0, 0.0])
        np.testing.assert_array_equal(s['event'], [0, 1, 1])

    def test_files_without_records(self):
        path = self.write(reports.SUM_FILE, '')
        s = reports.read_sum(path)
        self.assertEqual(len(s), 0)
        self.assertEqual(s.dtype.names[1:], reports.SUM_COLUMNS)
        self.assertEqual(len(reports.read_man(self.write(reports.MAN_FILE, ''))), 0)
        self.assertEqual(len(reports.read_gis(self.write(reports.GIS_FILE, ''))), 0)

    def test_kinds_from_the_parameter_file_without_an_echo(self):
        self.write(reports.PARAMETER_FILE, '\n'.join([
            '* comment',
            'VPM 1.0 30.0',
            'VNM 2 1',
            'vvn Red willow   ',
            'MMT 0',
            'SMT 1',
            'SID 21',
            'com MMT in a comment line is not a block',
            'MMT 0',
            'YMT 1',
            'yid 24',
            'END',
            'VVN after the end',
            'MMT 0',
        ]))
        kinds = reports.read_kinds(self.dir)
        self.assertEqual([(k.number, k.name) for k in kinds], [(1, 'Red willow'), (2, 'NoName')])
        self.assertEqual(kinds[0].death_codes['scour'], 21)
        self.assertEqual(kinds[1].death_codes['dry'], 24)



if __name__ == '__main__':
    unittest.main()
