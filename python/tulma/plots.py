"""Figures of a TULMA run, drawn from its report files with matplotlib (Agg).

Each figure function returns a Plot: the PNG's path, the matplotlib Figure and
its Axes, and the data behind every panel (``series[panel][label] = (x, y)``),
so that callers and tests can see exactly what was drawn.

Colours keep one meaning across all figures: each kind has its colour
(``kind_colour``), each cause of death another from a palette that shares
none of them (``CAUSE_COLOURS``), and age classes run from light (young) to
dark (old).
"""

import datetime
import itertools
import math
import os
from dataclasses import dataclass, field

import numpy as np

from . import export, reports


def _figure(**options):
    """A matplotlib Figure: matplotlib is imported only when a figure is drawn,
    so that the readers and the summary work without it."""
    from matplotlib.figure import Figure
    return Figure(**options)


DEATH_CAUSES = (('scour_area', 'scour'), ('bury_area', 'burial'), ('drown_area', 'drowning'),
                ('dry_area', 'drying'), ('comp_area', 'competition'))
AGE_CLASS_LABELS = ('0-1', '1-2', '2-3', '3-4', '4-5', '5-10', '10-20', '20-30', '30+')
LABEL_NAMES = {'LIVE': 'living', 'SCOR': 'scour', 'BURY': 'burial', 'DRON': 'drowning',
               'DRYG': 'drying', 'COMP': 'competition', 'NONE': 'never stood, age or ice'}
NO_KIND = 'no living plant'
SEVERAL_KINDS = 'several kinds'
NOT_GROWN = 'sizes not simulated'

# Kinds take greens, teals, orange and red; the causes of death the colours
# their processes suggest (water blue for drowning, sand for drying, soil
# brown for burial), so that no colour means a kind in one panel and a cause
# in the next. Kinds beyond the palette repeat it.
KIND_COLOURS = ('#1b9e77', '#d95f02', '#e31a1c', '#80cdc1', '#66a61e', '#666666', '#b8e186',
                '#01665e')
CAUSE_COLOURS = {'scour': '#6a3d9a', 'burial': '#8c510a', 'drowning': '#1f78b4',
                 'drying': '#e6ab02', 'competition': '#e7298a'}
EMPTY_COLOUR = '#d9d9d9'  # never stood, or died of age or ice
SEVERAL_COLOUR = '#000000'
# Young plants light, old ones dark; the lightest end of the map is left out
# so that the youngest class still shows on white.
AGE_COLOUR_MAP, AGE_COLOUR_RANGE = 'YlGn', (0.2, 1.0)
# Lines that are neither kinds nor causes (roughness sections, the water
# levels of cross sections) are told apart by greys and dashes.
NEUTRAL_STYLES = (('#000000', '-'), ('#8c8c8c', '-'), ('#000000', '--'), ('#8c8c8c', '--'),
                  ('#000000', ':'), ('#8c8c8c', ':'))
MAX_ROUGHNESS_PANELS = 30
# 1 ha = 10,000 m², 1 acre = 43,560 ft².
AREA_UNITS = {'metric': ('ha', 1.0e4), 'english': ('acres', 43560.0)}


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

    def event_text(self, hours):
        """'72 h, 2000-01-04', or '72 h, 0.01 years' without a start."""
        when = self.values([hours])[0]
        when = f'{when:.2f} years' if self.start is None else str(when.astype('datetime64[D]'))
        return f'{hours:g} {reports.TIME_UNIT}, {when}'


@dataclass(frozen=True)
class EventChoice:
    """A report event asked for by its number (as the snapshots events/
    veg_out_NNNNN.txt count), by host hours, or by a date or date-time. The
    event drawn is the last one kept at or before it: between kept events
    the plants are not known."""
    number: int = None
    hours: float = None
    moment: datetime.datetime = None

    @classmethod
    def parse(cls, text):
        """'14' (an event number), '8760h' (host hours), '2009-06-30' or
        '2009-06-30T12:00'; ValueError for anything else."""
        text = text.strip()
        if text.isdigit():
            return cls(number=int(text))
        if text[-1:].lower() == 'h':
            return cls(hours=float(text[:-1]))
        return cls(moment=datetime.datetime.fromisoformat(text))

    def is_after(self, table, start):
        """Whether the plant table of an event lies after the moment asked for."""
        if self.number is not None:
            return table['event'].iloc[0] > self.number
        hours = self.hours
        if hours is None:
            if start is None:
                raise PlotError(f'{day_text(self.moment)} is a date, and the calendar day of '
                                f'time 0 is not known: give --start, or an event number or hours')
            origin = (start if isinstance(start, datetime.datetime)
                      else datetime.datetime.combine(start, datetime.time()))
            hours = (self.moment - origin).total_seconds() / 3600.0
        time = table['time'].iloc[0]
        return time > hours and not reports.same_time(time, hours)

    def __str__(self):
        if self.number is not None:
            return f'event {self.number}'
        return f'{self.hours:g} h' if self.hours is not None else day_text(self.moment)


def day_text(moment):
    """A date or date-time in ISO form, without the time of day at midnight."""
    if isinstance(moment, datetime.datetime) and moment.time() == datetime.time():
        moment = moment.date()
    return moment.isoformat()


def unit_label(name, quantity, units=None):
    """An axis label with its unit, e.g. 'living area [m² (metric) or ft² (English)]'."""
    return f'{name} [{reports.unit_text(quantity, units)}]'


def area_unit(units):
    """(unit text, square units per unit): hectares in a metric run, acres in
    an English one; the file's own square units when the system is not known."""
    return AREA_UNITS.get(units, (reports.unit_text('area', units), 1.0))


def kind_label(kinds, m):
    """'kind 2: Grass and forbs', or 'kind 2' when the kind has no name."""
    for kind in kinds:
        if kind.number == m and kind.name and kind.name != 'NoName':
            return f'kind {m}: {kind.name}'
    return f'kind {m}'


def kind_colour(m):
    """The colour of kind m in every figure."""
    return KIND_COLOURS[(m - 1) % len(KIND_COLOURS)]


def state_colour(m, label):
    """The colour of a map label of kind m: the kind's own while it lives,
    the cause's once its last plant died."""
    if label == 'LIVE':
        return kind_colour(m)
    return CAUSE_COLOURS.get(reports.LABEL_CAUSES[label], EMPTY_COLOUR)


def age_colours(count=len(AGE_CLASS_LABELS)):
    """Colours of the age classes, youngest (lightest) to oldest (darkest)."""
    from matplotlib import colormaps
    from matplotlib.colors import to_hex
    colour_map = colormaps[AGE_COLOUR_MAP]
    return [to_hex(colour_map(v)) for v in np.linspace(*AGE_COLOUR_RANGE, count)]


def kinds_without_growth(run):
    """Kinds that neither grow nor age: those without growth (GMT 0). The
    growth step is also what ages a plant, so such a kind keeps the age and
    sizes it was placed with for the whole run; its sizes say nothing about
    the simulation."""
    return {kind.number for kind in run.kinds if kind.grow_method == 0}


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


def section_text(run, i_xc):
    """A cross section's name from run.json, else 'xc I'."""
    return run.section_name(i_xc) or f'xc {int(i_xc)}'


def water_levels(run):
    """The water level z_gw at the deepest point (lowest bed) of each cross
    section the host lists for veg_Ele_out.dat, at every report event:
    ({section: (hours, level)}, source). Without a listed cross section, the
    first cross section of the plant snapshots, at the kept events."""
    ele = run.ele
    if ele is not None and len(ele):
        points = ele.drop_duplicates(['event', 'i_xc', 'k'])
        source = reports.ELE_FILE
    else:
        plants = [table[table['i_xc'] == table['i_xc'].iloc[0]] for table in run.plant_events()]
        if not plants:
            return {}, None
        import pandas as pd
        points = pd.concat(plants, ignore_index=True).drop_duplicates(['event', 'k'])
        points = points.rename(columns={'gw_ele': 'z_gw'})
        source = 'the plant snapshots'
    points = points.dropna(subset=['ele'])
    deepest = points.loc[points.groupby(['event', 'i_xc'], sort=False)['ele'].idxmin()]
    levels = {section_text(run, i): (rows['time'].to_numpy(), rows['z_gw'].to_numpy())
              for i, rows in deepest.groupby('i_xc', sort=False)}
    return levels, source


def plot_areas(run, out_dir, time_axis=None, units=None):
    """Living area of each kind over time and dead area by cause (all kinds),
    summed over the cross sections, from veg_sum_out.dat; below them the
    water level of the listed cross sections."""
    time_axis = time_axis or TimeAxis()
    table = _need(run.sum, reports.SUM_FILE)
    _, hours = _events(table)
    t = time_axis.values(hours)
    area_text, per_unit = area_unit(units)
    fig = _figure(figsize=(9, 9.5), constrained_layout=True)
    living_ax, dead_ax, water_ax = fig.subplots(3, 1, sharex=True, height_ratios=(3, 3, 2))
    series = {'living': {}, 'dead': {}, 'water level': {}}
    for m in range(1, run.kind_count() + 1):
        label = kind_label(run.kinds, m)
        area = _per_event_sum(table, 'veg_area', table['m_veg'] == m) / per_unit
        living_ax.plot(t, area, marker='.', color=kind_colour(m), label=label)
        series['living'][label] = (t, area)
    everything = np.ones(len(table), dtype=bool)
    for column, cause in DEATH_CAUSES:
        area = _per_event_sum(table, column, everything) / per_unit
        dead_ax.plot(t, area, marker='.', color=CAUSE_COLOURS[cause], label=cause)
        series['dead'][cause] = (t, area)
    levels, source = water_levels(run)
    for (name, (level_hours, level)), style in zip(levels.items(), itertools.cycle(NEUTRAL_STYLES)):
        level_t = time_axis.values(level_hours)
        water_ax.plot(level_t, level, color=style[0], linestyle=style[1], linewidth=1, label=name)
        series['water level'][name] = (level_t, level)
    living_ax.set_title('Living area of each kind, all cross sections')
    living_ax.set_ylabel(f'living area [{area_text}]')
    dead_ax.set_title('Area where the last plant died, by cause (all kinds and cross sections)')
    dead_ax.set_ylabel(f'dead area [{area_text}]')
    water_ax.set_title(f'Water level z_gw at the deepest point of each cross section ({source})'
                       if levels else 'Water level: no cross section listed, and no plant snapshot')
    water_ax.set_ylabel(unit_label('water level', 'length', units))
    water_ax.set_xlabel(time_axis.label)
    for ax in (living_ax, dead_ax, water_ax):
        if ax.get_legend_handles_labels()[0]:
            ax.legend(fontsize='small', loc='upper left', bbox_to_anchor=(1.01, 1.0))
        ax.grid(True, alpha=0.3)
    return Plot('areas', _save(fig, out_dir, 'areas'), fig, [living_ax, dead_ax, water_ax], series)


def plot_age_classes(run, out_dir, time_axis=None, units=None):
    """Living area by age class over time, one panel per kind, summed over the
    cross sections, from veg_age_out.dat."""
    time_axis = time_axis or TimeAxis()
    table = _need(run.age, reports.AGE_FILE)
    _, hours = _events(table)
    t = time_axis.values(hours)
    area_text, per_unit = area_unit(units)
    n_kinds = run.kind_count()
    static = kinds_without_growth(run)
    colours = age_colours()
    fig = _figure(figsize=(9, 2.6 * n_kinds + 1), constrained_layout=True)
    axes = list(np.atleast_1d(fig.subplots(n_kinds, 1, sharex=True, squeeze=False)[:, 0]))
    series = {}
    for m, ax in zip(range(1, n_kinds + 1), axes):
        label = kind_label(run.kinds, m)
        mask = table['m_veg'] == m
        panel = {}
        for column, age_class in zip(reports.AGE_CLASS_COLUMNS, AGE_CLASS_LABELS):
            panel[f'{age_class} years'] = (t, _per_event_sum(table, column, mask) / per_unit)
        ax.stackplot(t, *[y for _, y in panel.values()], labels=list(panel), colors=colours,
                     edgecolor='white', linewidth=0.3)
        note = ' (neither grows nor ages)' if m in static else ''
        ax.set_title(f'{label}: living area by age class{note}')
        ax.set_ylabel(f'living area [{area_text}]')
        ax.grid(True, alpha=0.3)
        series[label] = panel
    axes[0].legend(fontsize='small', title='age', loc='upper left', bbox_to_anchor=(1.01, 1.0))
    axes[-1].set_xlabel(time_axis.label)
    return Plot('age_classes', _save(fig, out_dir, 'age_classes'), fig, axes, series)


def plot_roughness(run, out_dir, time_axis=None):
    """Manning's n of each roughness section over time, one panel per cross
    section (downstream order; at most MAX_ROUGHNESS_PANELS, evenly picked),
    with the host's own n of the initial block as a pale band, from
    veg_Man_out.dat."""
    time_axis = time_axis or TimeAxis()
    _need(run.man, reports.MAN_FILE)
    blocks = export.Tables(run).roughness_blocks()
    initial, steps = blocks[~blocks['step']], blocks[blocks['step']]
    sections = list(dict.fromkeys(initial['i_xc']))
    if not sections:
        raise PlotError(f'{reports.MAN_FILE} has no initial block with roughness sections')
    shown = sections
    if len(sections) > MAX_ROUGHNESS_PANELS:
        picked = np.linspace(0, len(sections) - 1, MAX_ROUGHNESS_PANELS).round().astype(int)
        shown = [sections[i] for i in sorted(set(picked))]
    # Without vegetation roughness the file has no step block: the host's n
    # then stands over the report events of the area summary.
    hours = steps['time'] if len(steps) else _events(_need(run.sum, reports.SUM_FILE))[1]
    t_ends = time_axis.values([np.min(hours), np.max(hours)])
    columns = min(4, len(shown))
    fig = _figure(figsize=(3.6 * columns + 1.5, 2.3 * -(-len(shown) // columns) + 1),
                  constrained_layout=True)
    axes = _panel_grid(fig, len(shown), columns, sharex=True, sharey=True)
    series = {}
    for i_xc, ax in zip(shown, axes):
        panel = {}
        for s, host in initial[initial['i_xc'] == i_xc].groupby('section'):
            colour, dashes = NEUTRAL_STYLES[(s - 1) % len(NEUTRAL_STYLES)]
            rows = steps[(steps['i_xc'] == i_xc) & (steps['section'] == s)]
            n, host_n = rows['n'].to_numpy(), np.repeat(host['n'].iloc[0], 2)
            panel[f'section {s}'] = (time_axis.values(rows['time']), n)
            panel[f'section {s}, host'] = (t_ends, host_n)
            ax.plot(t_ends, host_n, color=colour, linewidth=4, alpha=0.25, solid_capstyle='butt')
            ax.plot(panel[f'section {s}'][0], n, color=colour, linestyle=dashes, linewidth=1.2,
                    label=f'section {s}')
        series[section_text(run, i_xc)] = panel
        ax.set_title(f'{section_text(run, i_xc)} (i_xc {int(i_xc)})', fontsize='medium')
        ax.grid(True, alpha=0.3)
    for p, ax in enumerate(axes):
        if p % columns == 0:
            ax.set_ylabel("Manning's n")
        if p + columns >= len(axes):  # the lowest panel of its column
            ax.tick_params(axis='x', labelbottom=True, labelrotation=45)
    subset = (f', {len(shown)} of {len(sections)} cross sections' if len(shown) < len(sections)
              else '')
    fig.suptitle(f"Manning's n of the roughness sections (numbered from the left), "
                 f"pale band: the host's own n{subset}")
    axes[0].legend(fontsize='x-small')
    fig.supxlabel(time_axis.label, fontsize='medium')
    return Plot('roughness', _save(fig, out_dir, 'roughness'), fig, axes, series)


def plant_table(run, event=None, time_axis=None):
    """The plant table of a report event and its text for titles: the last
    event (veg_out.txt) when event is None, else the last kept event at or
    before the EventChoice (from the snapshots)."""
    time_axis = time_axis or TimeAxis()
    if event is None:
        table = _need(run.out, reports.OUT_FILE)
        return table, f'the last report event ({time_axis.event_text(table["time"].iloc[0])})'
    chosen = None
    for table in run.plant_events():
        if event.is_after(table, time_axis.start):
            break
        chosen = table
    if chosen is None:
        raise PlotError(f'no kept report event lies at or before {event} '
                        f'(the plant snapshots and {reports.OUT_FILE})')
    hours = chosen['time'].iloc[0]
    return chosen, f'report event {chosen["event"].iloc[0]} ({time_axis.event_text(hours)})'


@dataclass
class PointStates:
    """Every point of one event, in file order (reach by reach, as i_xc
    runs), with the map label of each kind there (points x kinds)."""
    i_xc: np.ndarray
    x: np.ndarray
    y: np.ndarray
    sta: np.ndarray
    labels: np.ndarray


def point_states(run, table):
    """The PointStates of a plant table, labelled by each kind's own death codes."""
    first = table[table['m_veg'] == table['m_veg'].iloc[0]]
    n_kinds = int(np.nanmax(table['m_veg']))
    labels = np.full((len(first), n_kinds), 'NONE', dtype='U4')
    kinds = {kind.number: kind for kind in run.kinds}
    for m in range(1, n_kinds + 1):
        codes = table.loc[table['m_veg'] == m, 'dth_id'].to_numpy()
        if len(codes) != len(first):
            raise PlotError(f'kind {m} has {len(codes)} points in {reports.OUT_FILE}, '
                            f'kind {int(first["m_veg"].iloc[0])} {len(first)}')
        kind = kinds.get(m) or reports.KindInfo(m)
        labels[:, m - 1] = ['NONE' if math.isnan(c) else kind.label(int(c)) for c in codes]
    return PointStates(*(first[c].to_numpy() for c in ('i_xc', 'x', 'y', 'sta')), labels)


def _draw_states(run, axes, x, y, labels, draw):
    """The panels of the map and the strip chart: the kinds living at each
    point, then one panel per kind coloured by its label. draw(ax, mask,
    colour, name, zorder) draws the points of mask."""
    n_kinds = labels.shape[1]
    living = labels == 'LIVE'
    count = living.sum(axis=1)
    categories = {NO_KIND: (count == 0, EMPTY_COLOUR)}
    for m in range(1, n_kinds + 1):
        categories[kind_label(run.kinds, m)] = ((count == 1) & living[:, m - 1], kind_colour(m))
    categories[SEVERAL_KINDS] = (count > 1, SEVERAL_COLOUR)
    series = {'living kinds': {}}
    for name, (mask, colour) in categories.items():
        series['living kinds'][name] = (x[mask], y[mask])
        # Points without a plant go underneath, so that dense cross sections
        # still show the plants standing on them.
        if mask.any():
            draw(axes[0], mask, colour, name, 1 if name == NO_KIND else 2)
    axes[0].set_title('Living kinds')
    for m, ax in zip(range(1, n_kinds + 1), axes[1:]):
        name = kind_label(run.kinds, m)
        panel = {}
        for label in reports.LABELS:
            mask = labels[:, m - 1] == label
            panel[label] = (x[mask], y[mask])
            if mask.any():
                draw(ax, mask, state_colour(m, label), LABEL_NAMES[label], 1 if label == 'NONE' else 2)
        series[name] = panel
        ax.set_title(name)
    for ax in axes:
        ax.legend(fontsize='x-small', loc='upper left', bbox_to_anchor=(1.01, 1.0), markerscale=2)
    return series


def _panel_grid(fig, panels, columns, **options):
    grid = fig.subplots(-(-panels // columns), columns, squeeze=False, **options)
    axes = list(grid.ravel())
    for ax in axes[panels:]:
        ax.set_visible(False)
    return axes[:panels]


def plot_map(run, out_dir, units=None, time_axis=None, event=None):
    """Plan view of the points at an event: a panel of the living kinds at
    each point, then one panel per kind coloured by its label (living, or the
    cause of the last death). Each cross section is a thin line through its
    points, and some are named."""
    table, when = plant_table(run, event, time_axis)
    states = point_states(run, table)
    x, y = states.x, states.y
    panels = states.labels.shape[1] + 1
    # Panels follow the river's shape: a long, narrow river gets one wide
    # panel per row, so that its cross sections are not squeezed to dots.
    width, height = np.nanmax(x) - np.nanmin(x), np.nanmax(y) - np.nanmin(y)
    ratio = width / height if height > 0 else 10.0
    columns = min(panels, 1 if ratio > 3 else 2 if ratio > 1.2 else 3)
    panel_width = 12.0 / columns
    panel_height = min(max(panel_width / max(ratio, 1e-3), 2.5), 9.0)
    rows = -(-panels // columns)
    fig = _figure(figsize=(panel_width * columns + 2.5, (panel_height + 0.9) * rows),
                  constrained_layout=True)
    axes = _panel_grid(fig, panels, columns)

    def draw(ax, mask, colour, name, zorder):
        ax.scatter(x[mask], y[mask], s=6, marker='s', linewidths=0, color=colour, label=name,
                   zorder=zorder)

    series = _draw_states(run, axes, x, y, states.labels, draw)
    from matplotlib.collections import LineCollection
    starts = np.flatnonzero(np.r_[True, states.i_xc[1:] != states.i_xc[:-1]])
    lines = [np.column_stack((x[a:b], y[a:b])) for a, b in zip(starts, np.r_[starts[1:], len(x)])]
    step = max(1, -(-len(lines) // 12))
    for ax in axes:
        ax.add_collection(LineCollection(lines, colors='#8c8c8c', linewidths=0.6, zorder=0))
        for a in starts[::step]:
            ax.annotate(section_text(run, states.i_xc[a]), (x[a], y[a]), fontsize=7,
                        xytext=(2, 2), textcoords='offset points')
        ax.set_xlabel(unit_label('x', 'length', units))
        ax.set_ylabel(unit_label('y', 'length', units))
        ax.set_aspect('equal', adjustable='datalim')
        ax.ticklabel_format(useOffset=False, style='plain')
    fig.suptitle(f'Plants at {when}')
    return Plot('map', _save(fig, out_dir, 'map'), fig, axes, series)


def plot_strip(run, out_dir, units=None, time_axis=None, event=None):
    """The river unrolled at an event: cross sections in downstream order
    (reach by reach, as i_xc runs) across, stations down (the left bank on
    top, as on a map of a river running to the right), each point coloured by
    the kinds living there, then by each kind's label."""
    table, when = plant_table(run, event, time_axis)
    states = point_states(run, table)
    sections = list(dict.fromkeys(states.i_xc))
    order = {i_xc: p for p, i_xc in enumerate(sections)}
    position = np.array([order[i_xc] for i_xc in states.i_xc])
    panels = states.labels.shape[1] + 1
    width = min(max(0.3 * len(sections) + 3.5, 9.0), 24.0)
    fig = _figure(figsize=(width, 2.4 * panels + 1), constrained_layout=True)
    axes = _panel_grid(fig, panels, 1, sharex=True, sharey=True)
    # Each point covers the stretch of its cross section it stands for in the
    # area summaries: from half-way to the point before to half-way to the next.
    new_section = np.r_[True, position[1:] != position[:-1]]
    half_way = (states.sta[1:] + states.sta[:-1]) / 2.0
    low = np.where(new_section, states.sta, np.r_[np.nan, half_way])
    high = np.where(np.r_[new_section[1:], True], states.sta, np.r_[half_way, np.nan])

    def draw(ax, mask, colour, name, zorder):
        left, right, bottom, top = position[mask] - 0.4, position[mask] + 0.4, low[mask], high[mask]
        corners = np.stack([left, bottom, right, bottom, right, top, left, top], 1).reshape(-1, 4, 2)
        ax.add_collection(PolyCollection(corners, facecolors=colour, linewidths=0, label=name,
                                         zorder=zorder))

    from matplotlib.collections import PolyCollection
    series = _draw_states(run, axes, position, states.sta, states.labels, draw)
    axes[0].autoscale_view()
    reaches = [(run.info.section(i).reach if run.info and run.info.section(i) else None)
               for i in sections]
    bounds = [p for p in range(1, len(sections)) if reaches[p] != reaches[p - 1]]
    step = max(1, -(-len(sections) // 40))
    for ax in axes:
        ax.set_ylabel(unit_label('station', 'length', units))
        for p in bounds:
            ax.axvline(p - 0.5, color='black', linewidth=0.8)
    axes[0].invert_yaxis()
    if any(reaches):
        starts = [0] + bounds
        ends = bounds + [len(sections)]
        top = axes[0].secondary_xaxis('top')
        top.set_xticks([(a + b - 1) / 2.0 for a, b in zip(starts, ends)],
                       [f'reach {reaches[a]}' for a in starts])
    axes[-1].set_xticks(range(0, len(sections), step),
                        [section_text(run, i) for i in sections[::step]], rotation=90)
    axes[-1].set_xlabel('cross section, downstream →')
    fig.suptitle(f'The river unrolled at {when}')
    return Plot('strip', _save(fig, out_dir, 'strip'), fig, axes, series)


def default_section(run):
    """The first cross section listed in veg_Ele_out.dat, else the first of veg_out.txt."""
    for table in (run.ele, run.out):
        if table is not None and len(table):
            return int(table['i_xc'].iloc[0])
    raise PlotError(f'neither {reports.ELE_FILE} nor {reports.OUT_FILE} lists any point')


def plot_profile(run, out_dir, section=None, units=None, time_axis=None, event=None):
    """A cross section at an event, from its plant table: the bed, the water
    level and the living plants as bars from the root tip to the top of the
    plant with a mark at the root crown. A kind that neither grows nor ages
    is marked on its crown only: its sizes are those it was placed with."""
    section = default_section(run) if section is None else section
    table, when = plant_table(run, event, time_axis)
    rows = table[table['i_xc'] == section]
    if not len(rows):
        raise PlotError(f'cross section {section} is not in {reports.OUT_FILE}')
    static = kinds_without_growth(run)
    fig = _figure(figsize=(11, 5.5), constrained_layout=True)
    ax = fig.subplots()
    bed = rows[rows['m_veg'] == rows['m_veg'].iloc[0]]
    sta = bed['sta'].to_numpy()
    panel = {'bed': (sta, bed['ele'].to_numpy()), 'water level': (sta, bed['gw_ele'].to_numpy())}
    ax.plot(*panel['bed'], color='saddlebrown', linewidth=2, label='bed')
    ax.plot(*panel['water level'], color='tab:blue', linestyle='--', label='water level (z_gw)')
    for m in range(1, int(np.nanmax(rows['m_veg'])) + 1):
        mine = rows[(rows['m_veg'] == m) & (rows['dth_id'] == -1)]
        label, colour = kind_label(run.kinds, m), kind_colour(m)
        x, crown = mine['sta'].to_numpy(), mine['crown_ele'].to_numpy()
        panel[f'{label} crown'] = (x, crown)
        if m in static:
            ax.plot(x, crown, linestyle='none', marker='v', color=colour,
                    label=f'{label} ({NOT_GROWN}: marked on the bed)')
            continue
        top, root_tip = crown + mine['plant_height'].to_numpy(), crown - mine['root_depth'].to_numpy()
        panel[f'{label} top'], panel[f'{label} root tip'] = (x, top), (x, root_tip)
        if len(x):
            ax.vlines(x, root_tip, top, colors=colour, alpha=0.6, linewidth=3)
        ax.plot(x, crown, linestyle='none', marker='o', color=colour,
                label=f'{label} (root tip to top, o crown)')
    name = run.section_name(section)
    title = f'Cross section {name} (i_xc {section})' if name else f'Cross section {section}'
    ax.set_title(f'{title} at {when}')
    ax.set_xlabel(unit_label('station', 'length', units))
    ax.set_ylabel(unit_label('elevation', 'length', units))
    ax.legend(fontsize='small', loc='upper left', bbox_to_anchor=(1.01, 1.0))
    ax.grid(True, alpha=0.3)
    return Plot('profile', _save(fig, out_dir, f'profile_xc{section}'), fig, [ax],
                {'profile': panel})


def plot_all(run, out_dir, section=None, time_axis=None, units=None, event=None):
    """Every figure; returns (plots, problems), problems being the figures
    that could not be drawn, with the reason."""
    plots, problems = [], []
    jobs = [('areas', lambda: plot_areas(run, out_dir, time_axis, units)),
            ('age_classes', lambda: plot_age_classes(run, out_dir, time_axis, units)),
            ('roughness', lambda: plot_roughness(run, out_dir, time_axis)),
            ('profile', lambda: plot_profile(run, out_dir, section, units, time_axis, event)),
            ('strip', lambda: plot_strip(run, out_dir, units, time_axis, event)),
            ('map', lambda: plot_map(run, out_dir, units, time_axis, event))]
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
