"""An ensemble's results: one NetCDF file (member × time × kind, and
member × time × section for Manning's n) and two figures, the spread of the
living area over time and the sensitivity of the final living area to each
varied quantity."""

import os

import numpy as np

from . import __version__
from .ensemble_member import CAUSES
from .export import _NC_UNITS

NETCDF_FILE = 'ensemble.nc'
BANDS_FIGURE = 'living_area_bands.png'
SENSITIVITY_FIGURE = 'sensitivity.png'
_AREA_UNITS = {'metric': 'm2', 'english': 'ft2'}


def _axis(completed, key):
    # Report times of different members are the same events; two decimals
    # of an hour is how precisely the reports write them.
    return sorted({round(t, 2) for r in completed for t in r.get(key) or ()})


def dataset(ensemble, members):
    """The ensemble as an xarray Dataset; members without numbers are NaN."""
    import xarray as xr
    completed = [r for r in members if r and r.get('state') == 'completed']
    times = sorted(set(_axis(completed, 'time')) | set(_axis(completed, 'manning_time')))
    kinds = sorted({k for r in completed for k in r['kind']})
    sections = sorted({s for r in completed for s in r.get('section') or ()})
    n = ensemble.members
    living = np.full((n, len(times), len(kinds)), np.nan)
    dead = np.full((n, len(times), len(kinds), len(CAUSES)), np.nan)
    manning = np.full((n, len(times), len(sections)), np.nan)
    t_at = {t: i for i, t in enumerate(times)}
    for r in completed:
        rows = [t_at[round(t, 2)] for t in r['time']]
        columns = [kinds.index(k) for k in r['kind']]
        living[r['member']][np.ix_(rows, columns)] = r['living_area']
        for c, cause in enumerate(CAUSES):
            dead[r['member'], :, :, c][np.ix_(rows, columns)] = r['dead_area'][cause]
        if r.get('section'):
            rows = [t_at[round(t, 2)] for t in r['manning_time']]
            columns = [sections.index(s) for s in r['section']]
            manning[r['member']][np.ix_(rows, columns)] = r['manning_n']
    first = completed[0] if completed else {}
    units = first.get('units')
    area = {'units': _AREA_UNITS[units]} if units in _AREA_UNITS else {}
    ds = xr.Dataset(
        {'living_area': (('member', 'time', 'kind'), living,
                         dict(long_name='living area of the kind, all cross sections', **area)),
         'dead_area': (('member', 'time', 'kind', 'cause'), dead,
                       dict(long_name='area where the kind died, by cause', **area)),
         'manning_n': (('member', 'time', 'section'), manning,
                       {'long_name': "mean Manning's n of the cross section's roughness sections",
                        'units': _NC_UNITS['roughness']})},
        coords={'member': np.arange(n), 'time': np.array(times, dtype='f8'),
                'kind': np.array(kinds, dtype='i4'), 'cause': list(CAUSES),
                'section': np.array(sections, dtype='i4')})
    names = {int(k): v for k, v in (first.get('section_name') or {}).items()}
    kind_names = first.get('kind_name') or []
    ds = ds.assign_coords(
        kind_name=('kind', [kind_names[k - 1] if k <= len(kind_names) else '' for k in kinds]),
        section_name=('section', [names.get(int(s)) or '' for s in sections]))
    for factor, column in zip(ensemble.factors, zip(*ensemble.values)):
        ds = ds.assign_coords({factor.name: ('member', np.array(column, dtype='f8'),
                                             {'long_name': factor.describe()})})
    blank = {}
    ds['status'] = ('member', np.array([r.get('status') if r and r.get('status') is not None else -1
                                        for r in (m or blank for m in members)], dtype='i4'),
                    {'long_name': 'exit status of tulma-run (0 completed; -1 not run)'})
    ds['message'] = ('member', np.array([(m or blank).get('message', '') for m in members], dtype=object),
                     {'long_name': 'why the member failed (empty when it completed)'})
    ds['wall_seconds'] = ('member', np.array([(m or blank).get('wall_seconds', np.nan) for m in members],
                                             dtype='f8'), {'long_name': 'wall time of the run', 'units': 's'})
    time_attrs = {'long_name': 'time of the report event', 'axis': 'T'}
    if first.get('start'):
        time_attrs.update(standard_name='time', calendar='standard',
                          units=f'hours since {first["start"].replace("T", " ")}')
    else:
        time_attrs['units'] = 'h'
    ds['time'].attrs.update(time_attrs)
    ds['kind'].attrs['long_name'] = 'vegetation kind m_veg, in the order of vegetation.txt'
    ds['section'].attrs['long_name'] = 'cross-section number i_xc, counted over all reaches'
    ds.attrs.update(Conventions='CF-1.8', title='Ensemble of TULMA runs', design=ensemble.design,
                    seed=int(ensemble.seed), ensemble_file=ensemble.path, ensemble_digest=ensemble.digest,
                    source=f'tulma {__version__}')
    return ds


def spearman(x, y):
    """Spearman's rank correlation of two samples (NaN pairs left out; ties
    take their mean rank); NaN when either is constant."""
    import pandas as pd
    keep = ~(np.isnan(x) | np.isnan(y))
    if keep.sum() < 3:
        return np.nan
    rx, ry = pd.Series(x[keep]).rank().to_numpy(), pd.Series(y[keep]).rank().to_numpy()
    if rx.std() == 0 or ry.std() == 0:
        return np.nan
    return float(np.corrcoef(rx, ry)[0, 1])


def sensitivity(ds, ensemble):
    """factors × kinds: the rank correlation of each factor's values with
    the living area of each kind at the last report event."""
    final = ds['living_area'].isel(time=-1).values if ds.sizes['time'] else None
    table = np.full((len(ensemble.factors), ds.sizes['kind']), np.nan)
    for i, factor in enumerate(ensemble.factors):
        for j in range(ds.sizes['kind']):
            table[i, j] = spearman(ds[factor.name].values, final[:, j])
    return table


def _figures(ds, ensemble, out_dir):
    import matplotlib
    if not os.environ.get('MPLBACKEND'):
        matplotlib.use('Agg')
    import matplotlib.pyplot as plt
    written = []
    years = ds['time'].values / 8766.0
    kinds = ds.sizes['kind']
    if kinds == 0 or ds.sizes['time'] == 0:
        return written  # no member came back with reports: nothing to draw
    fig, axes = plt.subplots(kinds, 1, figsize=(8, 2.6 * kinds), sharex=True, squeeze=False)
    for j, ax in enumerate(axes[:, 0]):
        area = ds['living_area'].isel(kind=j).values
        ok = area[~np.isnan(area).all(axis=1)]
        if len(ok):
            low, median, high = np.percentile(ok, [5, 50, 95], axis=0)
            ax.fill_between(years, low, high, alpha=0.3, label='5-95 %')
            ax.plot(years, median, label='median')
        ax.set_title(f'kind {int(ds["kind"][j])}: {ds["kind_name"].values[j]}')
        ax.set_ylabel(f'living area ({ds["living_area"].attrs.get("units", "area")})')
        ax.legend(loc='upper left', fontsize='small')
    axes[-1, 0].set_xlabel('years since time 0')
    fig.tight_layout()
    written.append(os.path.join(out_dir, BANDS_FIGURE))
    fig.savefig(written[-1], dpi=100)
    plt.close(fig)
    table = sensitivity(ds, ensemble)
    fig, ax = plt.subplots(figsize=(1.5 + 1.6 * kinds, 1.2 + 0.5 * len(ensemble.factors)))
    image = ax.imshow(table, cmap='RdBu_r', vmin=-1, vmax=1, aspect='auto')
    for (i, j), value in np.ndenumerate(table):
        ax.text(j, i, '-' if np.isnan(value) else f'{value:+.2f}', ha='center', va='center')
    ax.set_xticks(range(kinds), [str(v) for v in ds['kind_name'].values], rotation=20)
    ax.set_yticks(range(len(ensemble.factors)), [f.name for f in ensemble.factors])
    ax.set_title('rank correlation with the final living area')
    fig.colorbar(image, ax=ax, label='Spearman rho')
    fig.tight_layout()
    written.append(os.path.join(out_dir, SENSITIVITY_FIGURE))
    fig.savefig(written[-1], dpi=100)
    plt.close(fig)
    return written


def write(ensemble, members, out_dir):
    """ensemble.nc and the figures in out_dir; returns their paths."""
    ds = dataset(ensemble, members)
    path = os.path.join(out_dir, NETCDF_FILE)
    temporary = path + '.part'
    ds.to_netcdf(temporary, engine='netcdf4')
    os.replace(temporary, path)
    return [path] + _figures(ds, ensemble, out_dir)
