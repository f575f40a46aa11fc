"""Figures of a TULMA run, drawn from its report files with matplotlib (Agg).

Each figure function returns a Plot: the PNG's path, the matplotlib Figure and
its Axes, and the data behind every panel (``series[panel][label] = (x, y)``),
so that callers and tests can see exactly what was drawn.
"""

import datetime
import math
import os
import warnings
from dataclasses import dataclass, field

import numpy as np

from . import reports


def _figure(**options):
    """A matplotlib Figure: matplotlib is imported only when a figure is drawn,
    so that the readers and the summary work without it."""
    from matplotlib.figure import Figure
    return Figure(**options)

DEATH_CAUSES = (('scour_area', 'scour'), ('bury_area', 'burial'), ('drown_area', 'drowning'),
                ('dry_area', 'drying'), ('comp_area', 'competition'))
AGE_CLASS_LABELS = ('0-1', '1-2', '2-3', '3-4', '4-5', '5-10', '10-20', '20-30', '30+')
LABEL_COLOURS = {'LIVE': '#1b9e77', 'SCOR': '#7570b3', 'BURY': '#a6761d', 'DRON': '#1f78b4',
                 'DRYG': '#e6ab02', 'COMP': '#e7298a', 'NONE': '#d9d9d9'}
LABEL_NAMES = {'LIVE': 'living', 'SCOR': 'scour', 'BURY': 'burial', 'DRON': 'drowning',
               'DRYG': 'drying', 'COMP': 'competition', 'NONE': 'never stood, age or ice'}
NO_KIND = 'no living plant'
SEVERAL_KINDS = 'several kinds'


class PlotError(Exception):
    """A figure cannot be drawn from the reports at hand."""


@dataclass
class Plot:
    name: str
    path: str
    figure: 'matplotlib.figure.Figure'
    axes: list
    series: dict = field(default_factory=dict)


@dataclass
class TimeAxis:
    """How host hours become the time axis: years since time 0, or dates
    counted from the calendar day of time 0."""
    start: datetime.date = None  # or a datetime.datetime

    def values(self, hours):
        hours = np.asarray(hours, dtype=float)
        if self.start is None:
            return hours / reports.HOURS_PER_YEAR
        origin = np.datetime64(self.start.isoformat(), 's')
        return origin + np.round(hours * 3600.0).astype('i8').astype('timedelta64[s]')

    @property
    def label(self):
        if self.start is None:
            return 'time since start [years]'
        return f'date (time 0 = {day_text(self.start)})'


def day_text(moment):
    """A date or date-time in ISO form, without the time of day at midnight."""
    if isinstance(moment, datetime.datetime) and moment.time() == datetime.time():
        moment = moment.date()
    return moment.isoformat()


def unit_label(name, quantity, units=None):
    """An axis label with its unit, e.g. 'living area [m² (metric) or ft² (English)]'."""
    return f'{name} [{reports.unit_text(quantity, units)}]'


def kind_label(kinds, m):
    """'kind 2: Grass and forbs', or 'kind 2' when the kind has no name."""
    for kind in kinds:
        if kind.number == m and kind.name and kind.name != 'NoName':
            return f'kind {m}: {kind.name}'
    return f'kind {m}'


def _events(table):
    """Event numbers in file order and the time of each."""
    events, first = np.unique(table['event'], return_index=True)
    return events, table['time'].to_numpy()[first]


def _per_event_sum(table, column, mask):
    events, _ = _events(table)
    return np.array([np.nansum(table[column][(table['event'] == e) & mask]) for e in events])


def _save(fig, out_dir, name):
    os.makedirs(out_dir, exist_ok=True)
    path = os.path.join(out_dir, name + '.png')
    fig.savefig(path, dpi=100)
    return path


def _need(table, file_name):
    if table is None:
        raise PlotError(f'{file_name} is missing')
    if len(table) == 0:
        raise PlotError(f'{file_name} holds no records')
    return table


def plot_areas(run, out_dir, time_axis=None, units=None):
    """Living area of each kind over time, and dead area by cause (all kinds),
    summed over the cross sections, from veg_sum_out.dat."""
    time_axis = time_axis or TimeAxis()
    table = _need(run.sum, reports.SUM_FILE)
    _, hours = _events(table)
    t = time_axis.values(hours)
    fig = _figure(figsize=(9, 7), constrained_layout=True)
    living_ax, dead_ax = fig.subplots(2, 1, sharex=True)
    series = {'living': {}, 'dead': {}}
    for m in range(1, run.kind_count() + 1):
        label = kind_label(run.kinds, m)
        area = _per_event_sum(table, 'veg_area', table['m_veg'] == m)
        living_ax.plot(t, area, marker='.', label=label)
        series['living'][label] = (t, area)
    everything = np.ones(len(table), dtype=bool)
    for column, cause in DEATH_CAUSES:
        area = _per_event_sum(table, column, everything)
        dead_ax.plot(t, area, marker='.', label=cause)
        series['dead'][cause] = (t, area)
    living_ax.set_title('Living area of each kind, all cross sections')
    living_ax.set_ylabel(unit_label('living area', 'area', units))
    dead_ax.set_title('Area where the last plant died, by cause (all kinds and cross sections)')
    dead_ax.set_ylabel(unit_label('dead area', 'area', units))
    dead_ax.set_xlabel(time_axis.label)
    for ax in (living_ax, dead_ax):
        ax.legend(fontsize='small')
        ax.grid(True, alpha=0.3)
    return Plot('areas', _save(fig, out_dir, 'areas'), fig, [living_ax, dead_ax], series)


def plot_age_classes(run, out_dir, time_axis=None, units=None):
    """Living area by age class over time, one panel per kind, summed over the
    cross sections, from veg_age_out.dat."""
    time_axis = time_axis or TimeAxis()
    table = _need(run.age, reports.AGE_FILE)
    _, hours = _events(table)
    t = time_axis.values(hours)
    n_kinds = run.kind_count()
    fig = _figure(figsize=(9, 2.6 * n_kinds + 1), constrained_layout=True)
    axes = list(np.atleast_1d(fig.subplots(n_kinds, 1, sharex=True, squeeze=False)[:, 0]))
    series = {}
    for m, ax in zip(range(1, n_kinds + 1), axes):
        label = kind_label(run.kinds, m)
        mask = table['m_veg'] == m
        panel = {}
        for column, age_class in zip(reports.AGE_CLASS_COLUMNS, AGE_CLASS_LABELS):
            panel[f'{age_class} years'] = (t, _per_event_sum(table, column, mask))
        ax.stackplot(t, *[y for _, y in panel.values()], labels=list(panel))
        ax.set_title(f'{label}: living area by age class')
        ax.set_ylabel(unit_label('living area', 'area', units))
        ax.grid(True, alpha=0.3)
        series[label] = panel
    axes[0].legend(fontsize='small', ncol=3, title='age')
    axes[-1].set_xlabel(time_axis.label)
    return Plot('age_classes', _save(fig, out_dir, 'age_classes'), fig, axes, series)


def _profile_rows(run, section):
    """The points of a cross section at the last event: stations, bed, water
    level, and per kind (number, crown, top, root tip, living mask)."""
    ele, out = run.ele, run.out
    if ele is not None and len(ele) and section in set(ele['i_xc']):
        rows = ele[(ele['event'] == ele['event'].max()) & (ele['i_xc'] == section)]
        # A cross section listed twice is written twice: keep its first listing.
        rows = rows.drop_duplicates(['k', 'm_veg'])
        points = rows.drop_duplicates('k')
        time = points['time'].iloc[0]
        out_now = out is not None and len(out) and reports.same_time(out['time'].iloc[0], time)
        plants = []
        n_shown = int(np.nan_to_num(rows['m_veg'].max()))
        for m in range(1, n_shown + 1):
            mine = rows[rows['m_veg'] == m]
            living = None
            if out_now:
                living = _living(out, m, section, mine['k'])
            if living is None:
                living = (mine['top_ele'] > mine['crown_ele']).to_numpy()
            plants.append((m, mine['crown_ele'].to_numpy(), mine['top_ele'].to_numpy(),
                           mine['root_tip_ele'].to_numpy(), living))
        kinds_from_out = range(n_shown + 1, run.kind_count() + 1) if out_now else ()
        base = dict(time=time, sta=points['sta'].to_numpy(), ele=points['ele'].to_numpy(),
                    water=points['z_gw'].to_numpy(), source=reports.ELE_FILE)
    elif out is not None and len(out) and section in set(out['i_xc']):
        kinds_from_out = range(1, run.kind_count() + 1)
        first = out[(out['m_veg'] == out['m_veg'].iloc[0]) & (out['i_xc'] == section)]
        plants = []
        base = dict(time=out['time'].iloc[0], sta=first['sta'].to_numpy(),
                    ele=first['ele'].to_numpy(), water=first['gw_ele'].to_numpy(),
                    source=reports.OUT_FILE)
    else:
        raise PlotError(f'cross section {section} is in neither {reports.ELE_FILE} '
                        f'nor {reports.OUT_FILE}')
    for m in kinds_from_out:
        rows = out[(out['m_veg'] == m) & (out['i_xc'] == section)]
        if len(rows) != len(base['sta']):
            continue
        crown = rows['crown_ele'].to_numpy()
        plants.append((m, crown, crown + rows['plant_height'].to_numpy(),
                       crown - rows['root_depth'].to_numpy(), (rows['dth_id'] == -1).to_numpy()))
    return base, plants


def _living(out, m, section, points):
    rows = out[(out['m_veg'] == m) & (out['i_xc'] == section)]
    by_point = {k: d for k, d in zip(rows['k'], rows['dth_id'])}
    if not all(k in by_point for k in points):
        return None
    return np.array([by_point[k] == -1 for k in points])


def default_section(run):
    """The first cross section listed in veg_Ele_out.dat, else the first of veg_out.txt."""
    for table in (run.ele, run.out):
        if table is not None and len(table):
            return int(table['i_xc'].iloc[0])
    raise PlotError(f'neither {reports.ELE_FILE} nor {reports.OUT_FILE} lists any point')


def plot_profile(run, out_dir, section=None, units=None, time_axis=None):
    """A cross section at the last event: the bed, the water level z_gw and
    the living plants as lines from the root tip to the top of the plant with
    a mark at the root crown. Kinds 1 .. N-1 come from veg_Ele_out.dat; the
    last kind, which that file leaves out, from veg_out.txt (which holds the
    last event only). A section that veg_Ele_out.dat does not list is drawn
    from veg_out.txt alone."""
    time_axis = time_axis or TimeAxis()
    section = default_section(run) if section is None else section
    base, plants = _profile_rows(run, section)
    fig = _figure(figsize=(11, 5.5), constrained_layout=True)
    ax = fig.subplots()
    panel = {'bed': (base['sta'], base['ele']), 'water level': (base['sta'], base['water'])}
    ax.plot(base['sta'], base['ele'], color='saddlebrown', linewidth=2, label='bed')
    ax.plot(base['sta'], base['water'], color='tab:blue', linestyle='--', label='water level (z_gw)')
    colours = ['tab:green', 'tab:olive', 'tab:purple', 'tab:red', 'tab:cyan', 'tab:orange']
    for index, (m, crown, top, root_tip, living) in enumerate(plants):
        label = kind_label(run.kinds, m)
        colour = colours[index % len(colours)]
        sta = base['sta'][living]
        panel[f'{label} crown'] = (sta, crown[living])
        panel[f'{label} top'] = (sta, top[living])
        panel[f'{label} root tip'] = (sta, root_tip[living])
        if len(sta):
            ax.vlines(sta, root_tip[living], top[living], colors=colour, alpha=0.6, linewidth=3)
        ax.plot(sta, crown[living], linestyle='none', marker='o', color=colour,
                label=f'{label} (root tip to top, o crown)')
    when = time_axis.values([base['time']])[0]
    when_text = (f'{when:.2f} years' if time_axis.start is None
                 else str(when.astype('datetime64[D]')))
    name = run.section_name(section)
    title = f'Cross section {name} (i_xc {section})' if name else f'Cross section {section}'
    ax.set_title(f'{title} at the last report event '
                 f'({base["time"]:g} {reports.TIME_UNIT}, {when_text})')
    ax.set_xlabel(unit_label('station', 'length', units))
    ax.set_ylabel(unit_label('elevation', 'length', units))
    ax.legend(fontsize='small', loc='upper left', bbox_to_anchor=(1.01, 1.0))
    ax.grid(True, alpha=0.3)
    return Plot('profile', _save(fig, out_dir, f'profile_xc{section}'), fig, [ax],
                {'profile': panel})


def map_labels(run):
    """Per point of the map file: x, y, and the label of every kind (kinds
    1 .. N-1 from veg_GIS_out.dat, the last kind from veg_out.txt by its
    death code)."""
    gis = _need(run.gis, reports.GIS_FILE)
    # The reader gives one row per point and shown kind, point by point.
    n_shown = int(np.nan_to_num(gis['m_veg'].max()))
    points = gis[gis['m_veg'] == 1] if n_shown else gis
    n_kinds = max(run.kind_count(), n_shown)
    labels = np.full((len(points), n_kinds), 'NONE', dtype='U7')
    if n_shown:
        labels[:, :n_shown] = gis['DID'].to_numpy().reshape(len(points), n_shown)
    out = run.out
    for m in range(n_shown + 1, n_kinds + 1):
        if out is None:
            raise PlotError(f'{reports.OUT_FILE} is missing: it holds the last kind')
        if not reports.same_time(out['time'].iloc[0], gis['time'].iloc[0]):
            warnings.warn(f'{reports.OUT_FILE} and {reports.GIS_FILE} are of different events')
        rows = out[out['m_veg'] == m]
        codes = {(i, k): d for i, k, d in zip(rows['i_xc'], rows['k'], rows['dth_id'])}
        kind = next((c for c in run.kinds if c.number == m), reports.KindInfo(m))
        for p, point in enumerate(zip(points['i_xc'], points['k'])):
            code = codes.get(point)
            labels[p, m - 1] = 'NONE' if code is None or math.isnan(code) else kind.label(int(code))
    return points['x'].to_numpy(), points['y'].to_numpy(), labels


def plot_map(run, out_dir, units=None, time_axis=None):
    """Plan view of the points: a panel of the living kinds at each point,
    then one panel per kind coloured by its label (living or cause of the
    last death), at the last event."""
    time_axis = time_axis or TimeAxis()
    x, y, labels = map_labels(run)
    n_kinds = labels.shape[1]
    panels = n_kinds + 1
    columns = min(panels, 3)
    rows = -(-panels // columns)
    fig = _figure(figsize=(5.0 * columns, 5.0 * rows), constrained_layout=True)
    grid = fig.subplots(rows, columns, squeeze=False)
    axes = list(grid.ravel())
    for ax in axes[panels:]:
        ax.set_visible(False)
    series = {}

    living = labels == 'LIVE'
    count = living.sum(axis=1)
    categories = {}
    categories[NO_KIND] = count == 0
    for m in range(1, n_kinds + 1):
        categories[kind_label(run.kinds, m)] = (count == 1) & living[:, m - 1]
    categories[SEVERAL_KINDS] = count > 1
    colours = ['#d9d9d9'] + [f'C{m % 10}' for m in range(n_kinds)] + ['black']
    ax = axes[0]
    series['living kinds'] = {}
    for (name, mask), colour in zip(categories.items(), colours):
        series['living kinds'][name] = (x[mask], y[mask])
        # Points without a plant go underneath, so that dense cross sections
        # still show the plants standing on them.
        ax.scatter(x[mask], y[mask], s=16, color=colour, label=name, zorder=1 if name == NO_KIND else 2)
    ax.set_title('Living kinds')
    for m in range(1, n_kinds + 1):
        ax = axes[m]
        name = kind_label(run.kinds, m)
        panel = {}
        for label in reports.LABELS:
            mask = labels[:, m - 1] == label
            panel[label] = (x[mask], y[mask])
            if mask.any():
                ax.scatter(x[mask], y[mask], s=16, color=LABEL_COLOURS[label],
                           label=LABEL_NAMES[label], zorder=1 if label == 'NONE' else 2)
        series[name] = panel
        ax.set_title(name)
    for ax in axes[:panels]:
        ax.set_xlabel(unit_label('x', 'length', units))
        ax.set_ylabel(unit_label('y', 'length', units))
        # Equal scales, the limits widened to fill the panel: every panel
        # holds every point, so all panels show the same extent.
        ax.set_aspect('equal', adjustable='datalim')
        ax.legend(fontsize='x-small', loc='upper center', bbox_to_anchor=(0.5, -0.14), ncol=2)
    time = run.gis['time'].iloc[0]
    when = time_axis.values([time])[0]
    when_text = (f'{when:.2f} years' if time_axis.start is None
                 else str(when.astype('datetime64[D]')))
    fig.suptitle(f'Plants at the last report event ({time:g} {reports.TIME_UNIT}, {when_text})')
    return Plot('map', _save(fig, out_dir, 'map'), fig, axes[:panels], series)


def plot_all(run, out_dir, section=None, time_axis=None, units=None):
    """Every figure; returns (plots, problems), problems being the figures
    that could not be drawn, with the reason."""
    plots, problems = [], []
    jobs = [('areas', lambda: plot_areas(run, out_dir, time_axis, units)),
            ('age_classes', lambda: plot_age_classes(run, out_dir, time_axis, units)),
            ('profile', lambda: plot_profile(run, out_dir, section, units, time_axis)),
            ('map', lambda: plot_map(run, out_dir, units, time_axis))]
    for name, job in jobs:
        try:
            plots.append(job())
        except (PlotError, reports.ReportFormatError, OSError) as e:
            problems.append((name, str(e)))
    return plots, problems


def living_summary(run):
    """Living area of each kind at the last event of veg_sum_out.dat, summed
    over the cross sections: (time in hours, [(kind, name, living area,
    total area)])."""
    table = _need(run.sum, reports.SUM_FILE)
    last = table[table['event'] == table['event'].max()]
    rows = []
    for m in range(1, run.kind_count() + 1):
        mine = last[last['m_veg'] == m]
        name = next((k.name for k in run.kinds if k.number == m), 'NoName')
        rows.append((m, name, float(np.nansum(mine['veg_area'])), float(np.nansum(mine['total_area']))))
    return float(last['time'].iloc[0]), rows
