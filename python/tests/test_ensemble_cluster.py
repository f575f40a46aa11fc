"""Ensembles on real Dask clusters with tulma-run (TULMA_RUN names it):
a worker lost mid-run, a second run after an interrupted one, a member whose
parameter file the library refuses, and the speed of the example on two
workers. Slow: skipped when TULMA_SKIP_SLOW is set."""

import glob
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

import numpy as np

from tulma import ensemble

TULMA_RUN = os.environ.get('TULMA_RUN')
PYTHON_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir)
EXAMPLE = os.path.join(PYTHON_DIR, os.pardir, 'examples', 'river')
ENV = dict(os.environ, PYTHONPATH=os.path.abspath(PYTHON_DIR), MPLBACKEND='Agg')

slow = unittest.skipIf(not TULMA_RUN or os.environ.get('TULMA_SKIP_SLOW'),
                       'needs TULMA_RUN; slow (TULMA_SKIP_SLOW is set)')


def _free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def _start(args, log, folder):
    return subprocess.Popen(args, env=ENV, stdout=log, stderr=subprocess.STDOUT, start_new_session=True,
                            cwd=folder)


def _stop(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGKILL)
    process.wait()


def _wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f'timed out waiting for {what}')
        time.sleep(0.1)


class ClusterEnsembleTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder, True)
        river = os.path.join(self.folder, 'river')
        shutil.copytree(EXAMPLE, river, ignore=shutil.ignore_patterns('run'))
        path = os.path.join(river, 'scenario.toml')
        with open(path, encoding='utf-8') as f:
            text = f.read()
        with open(path, 'w', encoding='utf-8') as f:  # two years keep the members short
            f.write(text.replace('end = "2015-01-01"', 'end = "2007-01-01"'))
        self.river, self.out = river, os.path.join(self.folder, 'out')

    def small(self, members, extra=''):
        path = os.path.join(self.river, 'small.toml')
        with open(path, 'w', encoding='utf-8') as f:
            f.write(f'scenario = "scenario.toml"\nmembers = {members}\nseed = 7\n'
                    '[[vary]]\nname = "scour"\nrecord = "SVC"\nkind = 3\nposition = 2\n'
                    'uniform = [6.0, 17.5]\n' + extra)
        return path

    def command(self, path, *options):
        return [sys.executable, '-m', 'tulma', 'ensemble', path, '--out', self.out, *options]

    def results(self):
        return sorted(glob.glob(os.path.join(self.out, 'members', '*', 'result.json')))

    def netcdf(self):
        import xarray as xr
        with xr.open_dataset(os.path.join(self.out, 'ensemble.nc')) as ds:
            return ds.load()

    @slow
    def test_a_lost_worker_s_members_run_again(self):
        port = _free_port()
        log = open(os.path.join(self.folder, 'cluster.log'), 'wb')
        self.addCleanup(log.close)
        scheduler = _start(['dask-scheduler', '--host', '127.0.0.1', '--port', str(port),
                            '--dashboard-address', ':0'], log, self.folder)
        self.addCleanup(_stop, scheduler)
        address = f'tcp://127.0.0.1:{port}'
        workers = [_start(['dask-worker', address, '--nthreads', '1', '--nworkers', '1',
                           '--dashboard-address', ':0'], log, self.folder) for _ in range(2)]
        for worker in workers:
            self.addCleanup(_stop, worker)
        members = 16
        run = subprocess.Popen(self.command(self.small(members), '--scheduler', address), env=ENV,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        _wait_for(lambda: len(self.results()) >= 2 or run.poll() is not None, 120, 'two members')
        _stop(workers[0])
        self.assertLess(len(self.results()), members, 'the worker was killed too late to test anything')
        _, err = run.communicate(timeout=300)
        self.assertEqual(run.returncode, 0, err.decode())
        ds = self.netcdf()
        self.assertEqual(ds.sizes['member'], members)
        self.assertEqual(ds['status'].values.tolist(), [0] * members)
        self.assertFalse(np.isnan(ds['living_area'].isel(time=-1).values).any())

    @slow
    def test_a_second_run_runs_only_the_missing_members(self):
        path = self.small(10)
        first = subprocess.Popen(self.command(path, '--workers', '1'), env=ENV, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(_stop, first)
        _wait_for(lambda: len(self.results()) >= 3, 120, 'three members')
        _stop(first)  # interrupted: the command and its cluster killed at once
        kept = {p: os.stat(p).st_mtime_ns for p in self.results()}
        self.assertLess(len(kept), 10)
        second = subprocess.run(self.command(path, '--workers', '2'), env=ENV, capture_output=True, timeout=300)
        self.assertEqual(second.returncode, 0, second.stderr.decode())
        self.assertIn(f'{len(kept)} of 10 members already finished', second.stderr.decode())
        self.assertEqual({p: os.stat(p).st_mtime_ns for p in kept}, kept)
        self.assertEqual(len(self.results()), 10)
        self.assertEqual(self.netcdf()['status'].values.tolist(), [0] * 10)

    @slow
    def test_a_member_the_library_refuses_is_recorded_and_the_others_finish(self):
        # The grass density of code GRASS: above 1 the library stops on an input error.
        path = self.small(4, '[[vary]]\nname = "grass_density"\nrecord = "VIV"\nrow = 2\nposition = 5\n'
                             'values = [1.0, 1.5]\n')
        done = subprocess.run(self.command(path, '--workers', '2'), env=ENV, capture_output=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stderr.decode())
        ds = self.netcdf()
        refused = ds['grass_density'].values == 1.5
        self.assertEqual(sorted(ds['status'].values[refused]), [3, 3])
        self.assertEqual(ds['status'].values[~refused].tolist(), [0, 0])
        for message in ds['message'].values[refused]:
            self.assertIn('density should be smaller than 1', message)
        self.assertTrue(np.isnan(ds['living_area'].values[refused]).all())
        self.assertIn('failed', done.stderr.decode())

    @slow
    def test_the_example_on_two_workers_takes_at_most_1_3_times_half_its_run_time(self):
        started = time.monotonic()
        with open(os.devnull, 'w') as quiet:
            ensemble.run(os.path.join(EXAMPLE, 'ensemble.toml'), self.out, workers=2, stream=quiet)
        elapsed = time.monotonic() - started
        results = [json.load(open(p)) for p in self.results()]
        self.assertEqual([r['status'] for r in results], [0] * 32)
        run_time = sum(r['wall_seconds'] for r in results)
        self.assertLessEqual(elapsed, 1.3 * run_time / 2, f'{elapsed:.1f} s for {run_time:.1f} s of runs')
        self.assertEqual(self.netcdf().sizes['member'], 32)


if __name__ == '__main__':
    unittest.main()
