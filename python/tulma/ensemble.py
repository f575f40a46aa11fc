"""Ensembles: one river run many times with varied parameters and water
levels, each member one tulma-run on a Dask distributed cluster.

    python3 -m tulma ensemble ENSEMBLE.toml --out DIR [--workers N] [--scheduler ADDRESS]

The ensemble file names a base scenario and what varies; the members are
drawn by a seeded Latin hypercube or as a full factorial. Each member's result
is kept under DIR/members/NNNN/ as soon as it comes back, so a second run of
the same command goes on where the first stopped. At the end DIR holds
ensemble.nc and the figures (ensemble_results).
"""

import hashlib
import itertools
import json
import math
import os
import statistics
import sys
import time
import tomllib

from .ensemble_inputs import (BaseScenario, EnsembleInputError, ParameterAddress,
                              edit_parameters, lowest_beds, vary_levels)

DESIGNS = ('latin-hypercube', 'factorial')
DISTRIBUTIONS = ('uniform', 'log_uniform', 'normal', 'values')
LEVEL_VARIANTS = ('shift', 'scale', 'file')
RESULT_FILE = 'result.json'
# A member whose worker was lost is run again; after this many losses it is
# recorded as failed (its machine, not its inputs, is then the likely cause).
MEMBER_ATTEMPTS = 4


class Factor:
    """One varied quantity: a value of vegetation.txt (address) or a
    water-level variant (level: shift, scale or file), with its
    distribution and, for a factorial design, its number of levels."""

    def __init__(self, name, distribution, arguments, address=None, level=None, levels=None):
        self.name, self.distribution, self.arguments = name, distribution, arguments
        self.address, self.level, self.levels = address, level, levels

    def value(self, u):
        """The value at probability u (0 < u < 1) of the distribution: the
        inverse of its distribution function, so that equal strata of u are
        equal-probability strata of the value."""
        a = self.arguments
        if self.distribution == 'uniform':
            value = a[0] + u * (a[1] - a[0])
        elif self.distribution == 'log_uniform':
            value = math.exp(math.log(a[0]) + u * (math.log(a[1]) - math.log(a[0])))
        elif self.distribution == 'normal':
            value = statistics.NormalDist(a[0], a[1]).inv_cdf(u)
        else:
            value = a[min(int(u * len(a)), len(a) - 1)]
        if self.level == 'file':
            return a.index(value)  # the member's coordinate: which file, from 0
        return self.address.written(value) if self.address else float(value)

    def describe(self):
        what = f'vegetation.txt {self.address!r}' if self.address else f'water levels: {self.level}'
        return f'{what}; {self.distribution} {self.arguments}'


def latin_hypercube(members, factors, rng):
    """members × factors probabilities: each factor's range cut into
    `members` equal strata, each stratum hit once, at a random place in it,
    the strata of different factors paired at random."""
    import numpy as np
    u = np.empty((members, factors))
    for j in range(factors):
        u[:, j] = (rng.permutation(members) + rng.random(members)) / members
    return u


def full_factorial(levels):
    """Probabilities of every combination of the factors' levels, the first
    factor changing slowest; level i of k sits at the middle of its stratum."""
    return [[(i + 0.5) / k for i, k in zip(combination, levels)]
            for combination in itertools.product(*[range(k) for k in levels])]


def _number_list(where, value, count):
    if (not isinstance(value, list) or len(value) != count
            or not all(isinstance(v, (int, float)) and not isinstance(v, bool) for v in value)):
        raise EnsembleInputError(f'{where}: expected a list of {count} numbers, found {value!r}')
    return [float(v) for v in value]


def _factor(where, table, folder):
    known = {'name', 'record', 'kind', 'row', 'position', 'water_levels', 'levels', *DISTRIBUTIONS}
    unknown = sorted(set(table) - known)
    if unknown:
        raise EnsembleInputError(f'{where}.{unknown[0]}: unknown key; expected one of {", ".join(sorted(known))}')
    given = [d for d in DISTRIBUTIONS if d in table]
    if len(given) != 1:
        raise EnsembleInputError(f'{where}: expected one of {", ".join(DISTRIBUTIONS)}, found '
                                 f'{", ".join(given) or "none"}')
    distribution = given[0]
    if distribution == 'values':
        arguments = table['values']
        if not isinstance(arguments, list) or not arguments:
            raise EnsembleInputError(f'{where}.values: expected a list of values')
    else:
        arguments = _number_list(f'{where}.{distribution}', table[distribution], 2)
        if distribution == 'log_uniform' and not 0 < arguments[0] < arguments[1]:
            raise EnsembleInputError(f'{where}.log_uniform: expected 0 < low < high, found {arguments}')
        if distribution == 'uniform' and not arguments[0] < arguments[1]:
            raise EnsembleInputError(f'{where}.uniform: expected low < high, found {arguments}')
        if distribution == 'normal' and not arguments[1] > 0:
            raise EnsembleInputError(f'{where}.normal: expected [mean, sd] with sd > 0, found {arguments}')
    level = table.get('water_levels')
    address = None
    if level is None:
        if 'record' not in table:
            raise EnsembleInputError(f'{where}: expected record (a vegetation.txt value) or water_levels')
        address = ParameterAddress(table['record'], table.get('kind'), table.get('position', 1),
                                   table.get('row', 1))
        name = table.get('name') or f'{address.record}_{address.kind}_{address.row}_{address.position}'
    else:
        if level not in LEVEL_VARIANTS:
            raise EnsembleInputError(f'{where}.water_levels: expected one of {", ".join(LEVEL_VARIANTS)}, '
                                     f'found {level!r}')
        if level == 'file':
            if distribution != 'values' or not all(isinstance(v, str) for v in arguments):
                raise EnsembleInputError(f'{where}: water_levels = "file" needs values = [CSV files]')
            arguments = [os.path.normpath(os.path.join(folder, v)) for v in arguments]
        name = table.get('name') or f'water_level_{level}'
    levels = table.get('levels')
    if distribution == 'values':
        levels = len(arguments)
    return Factor(str(name), distribution, arguments, address, level, levels)


class Ensemble:
    """An ensemble file read and checked: its base scenario, its factors,
    its design and the probabilities of every member."""

    def __init__(self, path):
        self.path = os.path.abspath(path)
        with open(self.path, 'rb') as f:
            raw = f.read()
        try:
            settings = tomllib.loads(raw.decode('utf-8'))
        except (UnicodeDecodeError, tomllib.TOMLDecodeError) as e:
            raise EnsembleInputError(f'{path}: not a TOML file: {e}') from None
        name = os.path.basename(path)
        known = {'scenario', 'members', 'seed', 'design', 'vary'}
        for key in settings:
            if key not in known:
                raise EnsembleInputError(f'{name}: {key}: unknown key; expected one of {", ".join(sorted(known))}')
        folder = os.path.dirname(self.path)
        if not isinstance(settings.get('scenario'), str):
            raise EnsembleInputError(f'{name}: scenario: expected the path of a tulma-run scenario')
        self.base = BaseScenario(os.path.join(folder, settings['scenario']))
        self.design = settings.get('design', 'latin-hypercube')
        if self.design not in DESIGNS:
            raise EnsembleInputError(f'{name}: design: expected one of {", ".join(DESIGNS)}, found {self.design!r}')
        self.seed = settings.get('seed', 0)
        tables = settings.get('vary') or []
        if not tables:
            raise EnsembleInputError(f'{name}: expected at least one [[vary]] table')
        self.factors = [_factor(f'{name}: vary[{i + 1}]', t, folder) for i, t in enumerate(tables)]
        names = [f.name for f in self.factors]
        if len(set(names)) != len(names):
            raise EnsembleInputError(f'{name}: vary: two factors have the same name')
        self._check_factors(name)
        members = settings.get('members')
        if self.design == 'factorial':
            missing = [f.name for f in self.factors if not isinstance(f.levels, int) or f.levels < 1]
            if missing:
                raise EnsembleInputError(f'{name}: factorial design: {missing[0]} needs levels = N or values')
            self.probabilities = full_factorial([f.levels for f in self.factors])
            if members is not None and members != len(self.probabilities):
                raise EnsembleInputError(f'{name}: members = {members}, but the factorial design has '
                                         f'{len(self.probabilities)} combinations')
        else:
            if not isinstance(members, int) or members < 1:
                raise EnsembleInputError(f'{name}: members: expected a whole number of at least 1')
            import numpy as np
            rng = np.random.default_rng(self.seed)
            self.probabilities = latin_hypercube(members, len(self.factors), rng).tolist()
        self.values = [[f.value(u) for f, u in zip(self.factors, row)] for row in self.probabilities]
        self.digest = self._digest(raw)

    def _check_factors(self, name):
        """Every address found in the base parameter file, every file read,
        before anything runs."""
        vegetation = self.base.files[self.base.names['vegetation']].decode('latin-1')
        self.level_files = {}
        for factor in self.factors:
            if factor.address:
                factor.address.locate(vegetation, self.base.names['vegetation'])
            elif factor.level == 'file':
                for path in factor.arguments:
                    try:
                        with open(path, 'rb') as f:
                            self.level_files[path] = f.read()
                    except OSError as e:
                        raise EnsembleInputError(f'{name}: {factor.name}: cannot read {path}: {e.strerror}') from None
            levels_key = 'water_levels' if 'water_levels' in self.base.names else 'gauge'
            if factor.level and levels_key not in self.base.names:
                raise EnsembleInputError(f'{name}: {factor.name}: the scenario has no water-level file')
            if factor.level == 'scale' and levels_key != 'water_levels':
                raise EnsembleInputError(f'{name}: {factor.name}: a scale needs water_levels, not a gauge '
                                         f'(a stage has no bed to scale the depth from)')

    def _digest(self, raw):
        """What the members' results depend on: the ensemble file, the base
        scenario and every input file."""
        digest = hashlib.sha256(raw)
        digest.update(self.base.text.encode('utf-8'))
        for name in sorted(self.base.files):
            digest.update(name.encode('utf-8') + b'\0' + self.base.files[name])
        for path in sorted(self.level_files):
            digest.update(self.level_files[path])
        return digest.hexdigest()

    @property
    def members(self):
        return len(self.values)

    def member_inputs(self, index):
        """(files, scenario text) of member index, ready for its task."""
        files = dict(self.base.files)
        values = dict(zip((f.name for f in self.factors), self.values[index]))
        edits = [(f.address, values[f.name]) for f in self.factors if f.address]
        vegetation = self.base.names['vegetation']
        files[vegetation] = edit_parameters(files[vegetation], edits, vegetation)
        levels_key = 'water_levels' if 'water_levels' in self.base.names else 'gauge'
        levels_name = self.base.names.get(levels_key)
        scale, shift = 1.0, 0.0
        for f in self.factors:
            if f.level == 'file':
                files[levels_name] = self.level_files[f.arguments[values[f.name]]]
            elif f.level == 'scale':
                scale *= values[f.name]
            elif f.level == 'shift':
                shift += values[f.name]
        if scale != 1.0 or shift != 0.0:
            beds = lowest_beds(files[self.base.names['points']]) if scale != 1.0 else None
            files[levels_name] = vary_levels(files[levels_name], scale, shift, beds, levels_name)
        return files, self.base.member_scenario()


class Results:
    """DIR: ensemble.json (what the ensemble is) and one result.json per
    finished member, each written whole or not at all."""

    def __init__(self, out_dir, ensemble):
        self.out_dir = out_dir
        self.ensemble = ensemble
        os.makedirs(os.path.join(out_dir, 'members'), exist_ok=True)
        record_path = os.path.join(out_dir, 'ensemble.json')
        if os.path.exists(record_path):
            with open(record_path, encoding='utf-8') as f:
                old = json.load(f)
            if old.get('digest') != ensemble.digest:
                raise EnsembleInputError(
                    f'{out_dir} holds members of another ensemble: {old.get("ensemble")} or its inputs '
                    f'have changed since. Choose another --out, or remove {out_dir} to start over.')
        record = {'ensemble': ensemble.path, 'digest': ensemble.digest, 'design': ensemble.design,
                  'seed': ensemble.seed, 'members': ensemble.members,
                  'factors': [{'name': f.name, 'varies': f.describe()} for f in ensemble.factors],
                  'values': ensemble.values}
        write_json(record_path, record)

    def member_path(self, index):
        return os.path.join(self.out_dir, 'members', f'{index:04d}', RESULT_FILE)

    def load(self, index):
        """The stored result of a member, or None while it is still to run."""
        try:
            with open(self.member_path(index), encoding='utf-8') as f:
                return json.load(f)
        except (OSError, json.JSONDecodeError):
            return None

    def finished(self, index):
        """A member is finished when tulma-run ran it to an exit status: a
        member that could not be run at all (no worker, no program) runs again."""
        result = self.load(index)
        return result is not None and result.get('status') is not None

    def store(self, result):
        os.makedirs(os.path.dirname(self.member_path(result['member'])), exist_ok=True)
        write_json(self.member_path(result['member']), result)


def write_json(path, record):
    """Write whole or not at all: a reader never sees half a file."""
    temporary = f'{path}.{os.getpid()}.part'
    with open(temporary, 'w', encoding='utf-8') as f:
        json.dump(record, f)
        f.flush()
        os.fsync(f.fileno())
    os.replace(temporary, path)


class Progress:
    """The progress line on standard error: on a terminal one line rewritten,
    otherwise a line whenever a member finishes."""

    def __init__(self, total, stream=None):
        self.total, self.stream = total, stream or sys.stderr
        self.started = time.monotonic()
        self.last = None

    def show(self, done, failed, running, done_now, left, final=False):
        elapsed = time.monotonic() - self.started
        if done_now and left:
            eta = elapsed / done_now * left
            when = f'about {int(eta // 60)}:{int(eta % 60):02d} left'
        else:
            when = 'done' if not left else 'time left not known yet'
        line = f'tulma ensemble: {done}/{self.total} done, {failed} failed, {running} running, {when}'
        terminal = self.stream.isatty()
        if terminal:
            self.stream.write('\r' + line.ljust(78) + ('\n' if final else ''))
        elif line != self.last:
            self.stream.write(line + '\n')
        self.stream.flush()
        self.last = line


def _client(workers, scheduler):
    """A client of the cluster at scheduler, else of a LocalCluster of
    `workers` single-threaded processes (one per core by default)."""
    import dask
    from distributed import Client, LocalCluster
    # A member's task is run again when its worker is lost; the default of 3
    # losses before the scheduler gives up is too few for a busy cluster.
    dask.config.set({'distributed.scheduler.allowed-failures': 10})
    if scheduler:
        return Client(scheduler, timeout='30s')
    cluster = LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1,
                           processes=True, dashboard_address=None)
    return Client(cluster)


def _key(ensemble, index, attempt):
    return f'tulma-member-{ensemble.digest[:12]}-{index:04d}-{attempt}'


def run_members(client, ensemble, results, todo, tulma_run=None, stream=None):
    """Run the members in todo on the client's cluster, storing each result
    as it comes back. Returns (completed, failed) counts of this session."""
    from distributed import wait
    from .ensemble_member import run_member
    progress = Progress(ensemble.members, stream)
    done = sum(1 for i in range(ensemble.members) if i not in todo and results.finished(i))
    failed = sum(1 for i in range(ensemble.members)
                 if i not in todo and (results.load(i) or {}).get('state') == 'failed')
    attempts = {}
    pending = {}

    def submit(index):
        attempts[index] = attempts.get(index, 0) + 1
        files, scenario = ensemble.member_inputs(index)
        future = client.submit(run_member, index, files, scenario, tulma_run,
                               key=_key(ensemble, index, attempts[index]))
        pending[future] = index

    for index in todo:
        submit(index)
    done_now = 0
    while pending:
        try:
            finished, _ = wait(list(pending), timeout=1.0, return_when='FIRST_COMPLETED')
        except TimeoutError:  # none finished within the second: just show the progress
            finished = []
        for future in finished:
            index = pending.pop(future)
            try:
                result = future.result()
            except Exception as e:  # the task itself was lost (KilledWorker) or broke
                if attempts[index] < MEMBER_ATTEMPTS:
                    submit(index)
                    continue
                result = {'member': index, 'status': None, 'state': 'failed',
                          'message': f'not run: {type(e).__name__}: {e}'}
            result['values'] = dict(zip((f.name for f in ensemble.factors), ensemble.values[index]))
            results.store(result)
            done += 1
            done_now += 1
            failed += result.get('state') == 'failed'
            if result.get('state') == 'failed':
                message = result.get('message', '').replace('\n', '\n    ')
                (stream or sys.stderr).write(f'tulma ensemble: member {index} failed: {message}\n')
        keys = {future.key for future in pending}
        # Tasks a worker holds wait in its queue until a thread is free.
        running = min(sum(1 for tasks in client.processing().values() for key in tasks if key in keys),
                      sum(client.nthreads().values()))
        progress.show(done, failed, running, done_now, len(pending), final=not pending)
    return done, failed


def run(ensemble_path, out_dir, workers=None, scheduler=None, tulma_run=None, stream=None):
    """The whole command: draw the members, run those not finished yet,
    write the NetCDF file and the figures. Returns the paths written."""
    from . import ensemble_results
    stream = stream or sys.stderr
    # A relative path is the user's, from here: the workers run elsewhere.
    tulma_run = tulma_run or os.environ.get('TULMA_RUN')
    if tulma_run and os.sep in tulma_run and not os.path.isabs(tulma_run):
        tulma_run = os.path.abspath(tulma_run)
    ensemble = Ensemble(ensemble_path)
    results = Results(out_dir, ensemble)
    todo = [i for i in range(ensemble.members) if not results.finished(i)]
    skipped = ensemble.members - len(todo)
    if skipped:
        stream.write(f'tulma ensemble: {skipped} of {ensemble.members} members already finished in {out_dir}\n')
    if todo:
        with _client(workers, scheduler) as client:
            run_members(client, ensemble, results, todo, tulma_run, stream)
            cluster = getattr(client, 'cluster', None)
        if cluster is not None:
            cluster.close()
    members = [results.load(i) for i in range(ensemble.members)]
    return ensemble_results.write(ensemble, members, out_dir)
