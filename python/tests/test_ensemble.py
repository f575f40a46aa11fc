"""Ensembles without a cluster: parameter addressing and editing, water-level
variants, the designs and the bookkeeping that makes a second run resume."""

import os
import tempfile
import unittest

import numpy as np

from tulma import ensemble, ensemble_results
from tulma.ensemble_inputs import EnsembleInputError, ParameterAddress, edit_parameters, lowest_beds, vary_levels

PARAMETERS = (b'* caf\xe9 - a comment line in Latin-1\r\n'
              b'VPM   1.0   30.0     ! steps, report\r\n'
              b'VNM   2   3\r\n'
              b'VIN   "veg.shp"\r\n'
              b'VIV   "A B"  3.0, 0.5   0.0  0.0\r\n'
              b'VVN Willow\r\n'
              b'MMT   1\r\n'
              b'MDY   139   190\r\n'
              b'SVC   0.0   12.5\r\n'
              b'SVC   1.0,17.5\r\n'
              b'VVN Grass\r\n'
              b'* the grass block\r\n'
              b'MMT   0\r\n'
              b'SVC   0.0   9.0\r\n'
              b'END\r\n'
              b'SVC   5.0   5.0\r\n')


class ParameterEditTest(unittest.TestCase):
    def test_edit_writes_the_value_in_place(self):
        cases = [  # address, value, line number (from 0), the line as written
            (ParameterAddress('MDY', 1, 1), 145.4, 7, b'MDY   145   190'),
            (ParameterAddress('mdy', 1, 2), 187.5, 7, b'MDY   139   188'),
            (ParameterAddress('SVC', 1, 2, row=2), 20.25, 9, b'SVC   1.0,20.25'),
            (ParameterAddress('SVC', 2, 2), 7, 13, b'SVC   0.0   7.0'),
            (ParameterAddress('VIV', None, 3), 0.75, 4, b'VIV   "A B"  3.0, 0.75   0.0  0.0'),
            (ParameterAddress('VPM', 0, 2), 1e-5, 1, b'VPM   1.0   1e-05     ! steps, report'),
        ]
        before = PARAMETERS.split(b'\r\n')
        for address, value, line_no, line in cases:
            with self.subTest(address=address):
                after = edit_parameters(PARAMETERS, [(address, value)]).split(b'\r\n')
                self.assertEqual(after[line_no], line)
                self.assertEqual(after[:line_no] + after[line_no + 1:], before[:line_no] + before[line_no + 1:])

    def test_missing_values_are_refused_before_anything_runs(self):
        cases = [
            (ParameterAddress('MDY', 2), 'no MDY record in kind 2'),
            (ParameterAddress('SVC', 1, 2, row=3), 'kind 1 has 2 SVC row(s); row 3 asked for'),
            (ParameterAddress('SVC', 2, 2, row=2), 'kind 2 has 1 SVC row(s)'),  # the row after END
            (ParameterAddress('MDY', 1, 3), 'vegetation.txt:8: MDY has 2 value(s); value 3 asked for'),
            (ParameterAddress('MMT', 3), 'no kind 3 (the file has 2 kind blocks)'),
            (ParameterAddress('VIN', 0, 1), "value 1 of VIN is '\"veg.shp\"', not a number"),
            (ParameterAddress('MDY', 0), 'no MDY record in the run-wide records'),
        ]
        for address, message in cases:
            with self.subTest(address=address):
                with self.assertRaises(EnsembleInputError) as caught:
                    edit_parameters(PARAMETERS, [(address, 1.0)])
                self.assertIn(message, str(caught.exception))


class WaterLevelTest(unittest.TestCase):
    POINTS = b'section,station,elevation,x,y\nA,0,10.0,0,0\nA,1,9.0,1,0\nB,0,5.0,0,5\nB,1,7.5,1,5\n'
    LEVELS = b'\xef\xbb\xbf# daily\r\ndate,A,B\r\n2000-01-01,10.0,6.0\r\n2000-01-02,8.5,5.0\r\n'

    def test_scale_multiplies_the_depth_above_the_lowest_bed_then_shift_adds(self):
        beds = lowest_beds(self.POINTS)
        self.assertEqual(beds, {'A': 9.0, 'B': 5.0})
        cases = [  # scale, shift, the two data rows
            (1.5, 0.0, ['2000-01-01,10.5,6.5', '2000-01-02,8.25,5.0']),
            (1.0, -0.25, ['2000-01-01,9.75,5.75', '2000-01-02,8.25,4.75']),
            (0.5, 0.1, ['2000-01-01,9.6,5.6', '2000-01-02,8.85,5.1']),
        ]
        for scale, shift, rows in cases:
            with self.subTest(scale=scale, shift=shift):
                out = vary_levels(self.LEVELS, scale, shift, beds).split(b'\r\n')
                self.assertEqual(out[:2], [b'\xef\xbb\xbf# daily', b'date,A,B'])
                self.assertEqual([r.decode() for r in out[2:4]], rows)

    def test_scale_without_a_bed_is_refused(self):
        with self.assertRaisesRegex(EnsembleInputError, 'the bed of B'):
            vary_levels(self.LEVELS, 2.0, 0.0, {'A': 9.0})


class DesignTest(unittest.TestCase):
    def test_latin_hypercube_hits_every_stratum_once(self):
        for members, factors in ((1, 1), (7, 3), (32, 4)):
            with self.subTest(members=members):
                u = ensemble.latin_hypercube(members, factors, np.random.default_rng(5))
                for j in range(factors):
                    self.assertEqual(sorted(np.floor(u[:, j] * members).astype(int)), list(range(members)))

    def test_full_factorial_takes_every_combination_first_factor_slowest(self):
        self.assertEqual(ensemble.full_factorial([2, 3]),
                         [[0.25, 1 / 6], [0.25, 0.5], [0.25, 5 / 6], [0.75, 1 / 6], [0.75, 0.5], [0.75, 5 / 6]])

    def test_factor_values_are_the_inverse_distribution(self):
        cases = [  # distribution, arguments, address, u, value
            ('uniform', [2.0, 12.0], None, 0.25, 4.5),
            ('log_uniform', [1.0, 100.0], None, 0.5, 10.0),
            ('normal', [10.0, 2.0], None, 0.975, 13.919928),
            ('values', [3.0, 5.0, 9.0], None, 0.7, 9.0),
            ('values', [3.0, 5.0, 9.0], None, 0.3, 3.0),
            ('uniform', [139.0, 162.0], ParameterAddress('MDY', 1, 1), 0.5, 151.0),
        ]
        for distribution, arguments, address, u, value in cases:
            with self.subTest(distribution=distribution, u=u):
                factor = ensemble.Factor('f', distribution, arguments, address)
                self.assertAlmostEqual(factor.value(u), value, places=5)


def _write(folder, name, text):
    with open(os.path.join(folder, name), 'w', encoding='utf-8') as f:
        f.write(text)


EXAMPLE = os.path.join(os.path.dirname(__file__), os.pardir, os.pardir, 'examples', 'river')


class EnsembleFileTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(__import__('shutil').rmtree, self.folder)

    def ensemble(self, extra='', members=4, seed=1):
        scenario = os.path.relpath(os.path.join(EXAMPLE, 'scenario.toml'), self.folder)
        _write(self.folder, 'e.toml', f'scenario = "{scenario}"\nmembers = {members}\nseed = {seed}\n'
                                      '[[vary]]\nrecord = "MDY"\nkind = 1\nuniform = [139, 162]\n' + extra)
        return ensemble.Ensemble(os.path.join(self.folder, 'e.toml'))

    def test_same_seed_same_members_and_edited_inputs(self):
        first, again, other = self.ensemble(), self.ensemble(), self.ensemble(seed=2)
        self.assertEqual(first.values, again.values)
        self.assertNotEqual(first.values, other.values)
        files, scenario = first.member_inputs(2)
        line = [ln for ln in files['vegetation.txt'].split(b'\n') if ln.startswith(b'MDY')][0]
        self.assertEqual(line.split()[1], str(int(first.values[2][0])).encode())
        import tomllib
        toml = tomllib.loads(scenario)
        self.assertEqual((toml['inputs']['map'], toml['hydrology']['water_levels'], toml['run']['snapshots']),
                         ('veg_polygons.shp', 'water_levels.csv', 'none'))
        self.assertIn('veg_polygons.dbf', files)

    def test_bad_ensemble_files_are_refused(self):
        cases = [('[[vary]]\nrecord = "SVC"\nkind = 9\nuniform = [1, 2]\n', 'no kind 9'),
                 ('[[vary]]\nrecord = "SVC"\nkind = 1\nuniform = [2, 1]\n', 'expected low < high'),
                 ('[[vary]]\nwater_levels = "scale"\nnormal = [1, 0]\n', 'sd > 0'),
                 ('[[vary]]\nwater_levels = "file"\nvalues = ["none.csv"]\n', 'cannot read'),
                 ('[[vary]]\nrecord = "SVC"\nkind = 1\nspread = 2\n', 'unknown key')]
        for extra, message in cases:
            with self.subTest(message=message):
                with self.assertRaisesRegex(EnsembleInputError, message):
                    self.ensemble(extra)

    def test_results_resume_and_refuse_a_changed_ensemble(self):
        out = os.path.join(self.folder, 'out')
        first = self.ensemble()
        results = ensemble.Results(out, first)
        results.store({'member': 0, 'status': 0, 'state': 'completed'})
        results.store({'member': 1, 'status': 3, 'state': 'failed', 'message': 'input error'})
        results.store({'member': 2, 'status': None, 'state': 'failed', 'message': 'not run'})
        os.makedirs(os.path.dirname(results.member_path(3)))
        _write(os.path.dirname(results.member_path(3)), 'result.json.99.part', '{"mem')  # cut short
        again = ensemble.Results(out, self.ensemble())
        self.assertEqual([again.finished(i) for i in range(4)], [True, True, False, False])
        with self.assertRaisesRegex(EnsembleInputError, 'holds members of another ensemble'):
            ensemble.Results(out, self.ensemble(members=5))


class SpearmanTest(unittest.TestCase):
    def test_rank_correlation(self):
        cases = [([1, 2, 3, 4], [10, 20, 30, 25], 0.8),
                 ([1, 2, 3, 4, 5], [5, 4, np.nan, 2, 1], -1.0),
                 ([1, 1, 1, 1], [1, 2, 3, 4], np.nan)]
        for x, y, rho in cases:
            with self.subTest(x=x, y=y):
                value = ensemble_results.spearman(np.array(x, 'f8'), np.array(y, 'f8'))
                if np.isnan(rho):
                    self.assertTrue(np.isnan(value))
                else:
                    self.assertAlmostEqual(value, rho)


if __name__ == '__main__':
    unittest.main()
