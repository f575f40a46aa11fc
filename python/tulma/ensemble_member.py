"""One ensemble member on a worker: its input files arrive as bytes, it runs
tulma-run in a temporary folder and gives back the numbers the ensemble keeps
and the run's status and messages. Nothing is read from or left on the
worker's disk, so a member run twice (a lost worker's task run again) gives
the same result."""

import os
import shutil
import socket
import subprocess
import tempfile
import time

from . import reports

# tulma-run's exit statuses, as a member's status text.
STATUS_TEXT = {0: 'completed', 1: 'tulma-run failed', 2: 'bad scenario',
               3: 'input error', 4: 'crashed'}
CAUSES = ('scour', 'burial', 'drown', 'dry', 'comp')
_MESSAGE_LINES = 12


def find_tulma_run(given=None):
    """The tulma-run program: as given, else $TULMA_RUN, else tulma-run on
    PATH, else build/tulma-run of the source tree this package lies in."""
    if given:
        return given
    if os.environ.get('TULMA_RUN'):
        return os.environ['TULMA_RUN']
    on_path = shutil.which('tulma-run')
    if on_path:
        return on_path
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.join(here, os.pardir, os.pardir, 'build', 'tulma-run')


def _tail(data, lines=_MESSAGE_LINES):
    text = data.decode('utf-8', 'replace').replace('\r', '\n')
    kept = [line.rstrip() for line in text.split('\n') if line.strip()]
    return '\n'.join(kept[-lines:])


def _numbers(run_dir):
    """Living and dead area per report event and kind (summed over the cross
    sections), and the mean Manning's n of each cross section's roughness
    sections at each roughness report."""
    run = reports.Run(run_dir)
    summary = run.sum
    areas = summary.groupby(['time', 'm_veg'])[['veg_area', *reports.DEATH_AREA_COLUMNS]].sum()
    times = sorted(summary['time'].unique().tolist())
    kinds = sorted(int(m) for m in summary['m_veg'].unique())
    grid = areas.reindex([(t, float(m)) for t in times for m in kinds])

    def table(column):
        return grid[column].to_numpy().reshape(len(times), len(kinds)).tolist()

    result = {'time': times, 'kind': kinds, 'living_area': table('veg_area'),
              'dead_area': {cause: table(column)
                            for cause, column in zip(CAUSES, reports.DEATH_AREA_COLUMNS)}}
    manning = run.man
    if manning is not None:
        steps = manning[manning['step']]
        mean = steps.groupby(['time', 'i_xc'])['n'].mean().unstack('i_xc')
        result.update(manning_time=mean.index.tolist(),
                      section=[int(i) for i in mean.columns], manning_n=mean.to_numpy().tolist())
    result['kind_name'] = [kind.name for kind in run.kinds]
    info = run.info
    if info is not None:
        result.update(start=info.start.isoformat() if info.start else None, units=info.units,
                      section_name={s.i_xc: s.name for s in info.sections})
    return result


def run_member(index, files, scenario_text, tulma_run=None):
    """Run member index: files maps file names to bytes, scenario_text names
    them. Returns the member's result record (a dict fit for JSON)."""
    program = find_tulma_run(tulma_run)
    started = time.monotonic()
    result = {'member': index, 'host': socket.gethostname()}
    with tempfile.TemporaryDirectory(prefix=f'tulma-member-{index:04d}-') as folder:
        inputs = os.path.join(folder, 'inputs')
        os.mkdir(inputs)
        for name, data in files.items():
            with open(os.path.join(inputs, name), 'wb') as f:
                f.write(data)
        scenario = os.path.join(inputs, 'scenario.toml')
        with open(scenario, 'w', encoding='utf-8') as f:
            f.write(scenario_text)
        run_dir = os.path.join(folder, 'run')
        try:
            done = subprocess.run([program, scenario, '--run-dir', run_dir], cwd=folder,
                                  stdin=subprocess.DEVNULL, capture_output=True)
        except OSError as e:
            result.update(status=None, state='failed', message=f'cannot start {program}: {e.strerror}')
            return result
        result['status'] = done.returncode
        result['wall_seconds'] = time.monotonic() - started
        # The library writes its input error to standard output; tulma-run
        # says on standard error where it stopped. Both are the message.
        message = '\n'.join(t for t in (_tail(done.stdout), _tail(done.stderr, 4)) if t)
        if done.returncode != 0:
            text = STATUS_TEXT.get(done.returncode, 'failed')
            result.update(state='failed', message=f'tulma-run exit status {done.returncode} '
                                                  f'({text}):\n{message}')
            return result
        try:
            result.update(_numbers(run_dir))
        except (OSError, ValueError, KeyError, AttributeError, TypeError) as e:
            result.update(state='failed', message=f'reports of the run could not be read: {e}')
            return result
        result['state'] = 'completed'
        result['wall_seconds'] = time.monotonic() - started
    return result
