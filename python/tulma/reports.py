"""Readers for the report files TULMA writes into the host's working directory.

Every reader returns a pandas DataFrame, one row per record (per record and
kind for the map and elevation files, which put the kinds side by side),
with the columns named as in the file (or as described at each reader). All
numeric columns read from a file are float64, the integer ones included
(kind, cross section, point, death code), so that a field the library filled
with asterisks because its value was too wide can be NaN wherever it occurs.
pandas is imported by the readers only, so that the command line starts
without it.

Units: times are hours on the host's clock; ages are years; lengths
(stations, elevations, coordinates, heights) are feet or metres and areas
square feet or square metres, as the host's unit system was (the files do not
say which). ``column_unit`` gives the unit of a column as text.

Files with repeated header blocks (the host's clock started at 0) are read as
one table; the ``event`` column numbers the report events from 0 in the order
they were written.
"""

import datetime
import json
import math
import os
import re
from dataclasses import dataclass

import numpy as np

HOURS_PER_YEAR = 8766.0  # a Julian year of 365.25 days
TIME_UNIT = 'h'

SUM_FILE = 'veg_sum_out.dat'
AGE_FILE = 'veg_age_out.dat'
OUT_FILE = 'veg_out.txt'
GIS_FILE = 'veg_GIS_out.dat'
ELE_FILE = 'veg_Ele_out.dat'
MAN_FILE = 'veg_Man_out.dat'
ERR_FILE = 'veg_err.dat'
PARAMETER_FILE = 'vegetation.txt'
RUN_FILE = 'run.json'
# tulma-run copies veg_out.txt after every report event to
# events/veg_out_NNNNN.txt, NNNNN the event number as the event column counts.
SNAPSHOT_NAME = re.compile(r'veg_out_(\d{5})\.txt')

SUM_COLUMNS = ('time', 'm_veg', 'i_xc', 'total_area', 'veg_area', 'scour_area', 'bury_area',
               'drown_area', 'dry_area', 'comp_area', 'min_ele', 'max_ele', 'a0to1ft', 'a1to2ft',
               'a2to4ft', 'a4to6ft', 'a6to8ft', 'a8to10ft', 'a10to12ft', 'a12to16ft', 'a16ft')
AGE_COLUMNS = ('time', 'm_veg', 'i_xc', 'a0to1', 'a1to2', 'a2to3', 'a3to4', 'a4to5', 'a5to10',
               'a10to20', 'a20to30', 'a30', 'aAll')
OUT_COLUMNS = ('time', 'm_veg', 'i_xc', 'dth_id', 'x', 'y', 'sta', 'ele', 'gw_ele', 'cap_ele',
               'crown_ele', 'plant_height', 'root_depth', 'age')

# The five causes of death that the area summary counts, by column.
DEATH_AREA_COLUMNS = ('scour_area', 'bury_area', 'drown_area', 'dry_area', 'comp_area')
AGE_CLASS_COLUMNS = AGE_COLUMNS[3:12]  # a0to1 .. a30; aAll is their sum
HEIGHT_CLASS_COLUMNS = SUM_COLUMNS[12:]

# Labels of the map file, and the death codes a kind uses when its parameter
# block names none.
LABELS = ('LIVE', 'SCOR', 'BURY', 'DRON', 'DRYG', 'COMP', 'NONE')
# The state each label stands for, in words: living, or the cause of the
# last death; 'none' where the kind never stood or its plant died of age or ice.
LABEL_CAUSES = {'LIVE': 'living', 'SCOR': 'scour', 'BURY': 'burial', 'DRON': 'drowning',
                'DRYG': 'drying', 'COMP': 'competition', 'NONE': 'none'}
DEFAULT_DEATH_CODES = {'scour': 1, 'burial': 2, 'drown': 3, 'dry': 4, 'comp': 7}

_LENGTH_COLUMNS = {'min_ele', 'max_ele', 'x', 'y', 'sta', 'ele', 'gw_ele', 'cap_ele', 'z_gw',
                   'crown_ele', 'plant_height', 'root_depth', 'top_ele', 'root_tip_ele', 'loc_rr'}
_AREA_COLUMNS = set(SUM_COLUMNS[3:10]) | set(HEIGHT_CLASS_COLUMNS) | set(AGE_COLUMNS[3:])
_COUNT_COLUMNS = {'m_veg', 'i_xc', 'k', 'dth_id', 'event', 'block', 'section'}


class ReportFormatError(ValueError):
    """A report file does not have the layout the library writes."""

    def __init__(self, path, line_no, message):
        super().__init__(f'{path}, line {line_no}: {message}')
        self.path = path
        self.line_no = line_no


def unit_text(quantity, system=None):
    """The unit of a quantity ('time', 'age', 'length', 'area', 'roughness', 'count').

    system is 'metric', 'english' or None (not known: both are named)."""
    if quantity == 'time':
        return TIME_UNIT
    if quantity == 'age':
        return 'years'
    if quantity == 'length':
        return {'metric': 'm', 'english': 'ft'}.get(system, 'm (metric) or ft (English)')
    if quantity == 'area':
        return {'metric': 'm²', 'english': 'ft²'}.get(system, 'm² (metric) or ft² (English)')
    if quantity == 'roughness':
        return "Manning's n, as the host uses it"
    if quantity == 'count':
        return ''
    raise ValueError(f'unknown quantity {quantity!r}')


def column_quantity(column):
    """The quantity a report column measures: 'time', 'age', 'length', 'area', 'roughness' or 'count'."""
    if column == 'time':
        return 'time'
    if column == 'age':
        return 'age'
    if column in _AREA_COLUMNS:
        return 'area'
    if column in _LENGTH_COLUMNS:
        return 'length'
    if column == 'n':
        return 'roughness'
    if column in _COUNT_COLUMNS:
        return 'count'
    raise ValueError(f'unknown report column {column!r}')


def column_unit(column, system=None):
    """The unit of a report column as text, e.g. 'h' for time."""
    return unit_text(column_quantity(column), system)


# A general field with a three-digit exponent leaves out the letter E: " 0.494066-323".
_EXPONENT_WITHOUT_E = re.compile(r'^([+-]?\d*\.\d*)([+-]\d{3})$')


def parse_number(text):
    """One number field of a report: asterisks (too wide for the field) read as NaN."""
    field = text.strip()
    if field and field.strip('*') == '':
        return math.nan
    m = _EXPONENT_WITHOUT_E.match(field)
    if m:
        return float(f'{m.group(1)}e{m.group(2)}')
    return float(field)  # also takes the texts NaN, Infinity and -Infinity


def _is_number(text):
    try:
        parse_number(text)
    except ValueError:
        return False
    return True


def _lines(path):
    with open(path, encoding='utf-8', errors='replace', newline='') as f:
        for line_no, line in enumerate(f, start=1):
            yield line_no, line.rstrip('\r\n')


def _numbers(path, line_no, fields):
    try:
        return [parse_number(f) for f in fields]
    except ValueError as e:
        raise ReportFormatError(path, line_no, f'not a number: {e}') from None


def _floats(path, texts, line_nos):
    """One column of number fields. numpy parses the common texts in one go;
    only a column it refuses (asterisks, an exponent without E, a damaged
    field) goes field by field, so that a long run's files read quickly and
    a bad field is still named by its line."""
    try:
        return np.array(texts, dtype=str).astype('f8')
    except ValueError:
        pass
    values = np.empty(len(texts))
    for i, text in enumerate(texts):
        try:
            values[i] = parse_number(text)
        except ValueError as e:
            raise ReportFormatError(path, line_nos[i], f'not a number: {e}') from None
    return values


def _frame(columns):
    import pandas as pd
    return pd.DataFrame(columns)


def _transpose(records, width):
    """Fields of records (lists of equal length) as columns."""
    return list(zip(*records)) if records else [()] * width


def _comma_table(path, default_columns):
    """A comma-separated report with '#' comment lines and column lines, which
    may repeat when the file holds more than one header block."""
    columns = None
    records, line_nos, events = [], [], []
    event = -1
    header_seen = True
    last_time = None
    for line_no, line in _lines(path):
        if line.startswith('#'):
            header_seen = True
            continue
        if not line.strip():
            continue
        fields = line.split(',')  # numbers keep their padding: the parsers skip it
        if fields[0].strip() == 'time':
            names = tuple(f.strip() for f in fields if f.strip())
            if columns is not None and names != columns:
                raise ReportFormatError(path, line_no, 'column line differs from the first one')
            columns = names
            header_seen = True
            continue
        if columns is None:
            columns = tuple(default_columns)
        if len(fields) != len(columns):
            raise ReportFormatError(path, line_no,
                                    f'{len(fields)} fields, the column line names {len(columns)}')
        if header_seen or fields[0] != last_time:
            event += 1
        header_seen = False
        last_time = fields[0]
        records.append(fields)
        line_nos.append(line_no)
        events.append(event)
    columns = columns or tuple(default_columns)
    texts = np.array(records, dtype=str).reshape(len(records), len(columns))
    try:
        values = texts.astype('f8')
    except ValueError:  # some field needs the report's own rules, or is damaged
        values = np.column_stack([_floats(path, texts[:, j], line_nos) for j in range(len(columns))])
    table = {'event': np.array(events, dtype='i8')}
    table.update((name, values[:, j]) for j, name in enumerate(columns))
    return _frame(table)


def read_sum(path):
    """veg_sum_out.dat: one row per event, kind and cross section.

    Columns: event, time [h], m_veg, i_xc, total_area, veg_area, the five death
    areas, min_ele, max_ele (1e10 and -1e10 where the kind lives nowhere on the
    cross section), and the living area by the bed's height above the cross
    section's reference elevation (a0to1ft .. a16ft; metres in metric runs)."""
    return _comma_table(path, SUM_COLUMNS)


def read_age(path):
    """veg_age_out.dat: living area by age class, one row per event, kind and cross section."""
    return _comma_table(path, AGE_COLUMNS)


def read_out(path):
    """veg_out.txt (or a snapshot of it): every kind at every point at one event.

    Besides the file's columns, k is the point's number within its cross
    section, counted from the order of the lines (the file does not hold it)."""
    table = _comma_table(path, OUT_COLUMNS)
    key = table[['event', 'm_veg', 'i_xc']]
    runs = key.ne(key.shift()).any(axis=1).cumsum()
    table['k'] = (table.groupby(runs).cumcount() + 1).astype('f8')
    return table


def _per_kind(base, kinds):
    """A long table: every point's base columns repeated for each shown kind,
    with m_veg and the kind's columns (arrays of shape points x shown kinds).
    A file that shows no kind (a run of one kind) keeps one row per point,
    its kind columns missing, so that its points are not lost."""
    n_points, n_shown = next(iter(kinds.values())).shape
    table = {name: np.repeat(values, max(n_shown, 1)) for name, values in base.items()}
    if n_shown:
        table['m_veg'] = np.tile(np.arange(1.0, n_shown + 1), n_points)
        table.update((name, values.ravel()) for name, values in kinds.items())
    else:
        table['m_veg'] = np.full(n_points, np.nan)
        table.update((name, np.full(n_points, None if values.dtype == object else np.nan,
                                    dtype=values.dtype)) for name, values in kinds.items())
    return _frame(table)


_GIS_TITLE = re.compile(r',\s*(veg|DII|DID)\s*([0-9*]+)')


def read_gis(path):
    """veg_GIS_out.dat: the points at the last event, one row per point and
    shown kind (the file leaves out the last kind of the parameter file).

    Columns: time [h], i_xc, k, x, y, veg0 (bool: one of the shown kinds lives
    at the point), m_veg, age [years], DII (the label the run started with)
    and DID (the present label: LIVE, SCOR, BURY, DRON, DRYG, COMP or NONE)."""
    title_text = ''
    data = []
    for line_no, line in _lines(path):
        if not line.strip():
            continue
        fields = [f.strip() for f in line.split(',')]
        if _is_number(fields[0]):
            data.append((line_no, fields))
        elif data:
            raise ReportFormatError(path, line_no, 'title line after the point lines')
        else:
            title_text += line
    titles = _GIS_TITLE.findall(title_text)
    if titles:
        n_shown = sum(1 for word, _ in titles if word == 'DII')
    elif data:
        n_shown = (len(data[0][1]) - 6) // 3
    else:
        n_shown = 0
    width = 6 + 3 * n_shown
    for line_no, fields in data:
        if len(fields) != width:
            raise ReportFormatError(path, line_no, f'{len(fields)} fields, expected {width} '
                                                   f'for {n_shown} shown kinds')
        if fields[5] not in ('T', 'F'):
            raise ReportFormatError(path, line_no, f'living flag {fields[5]!r} is not T or F')
    line_nos = [line_no for line_no, _ in data]
    columns = _transpose([fields for _, fields in data], width)
    base = {name: _floats(path, columns[j], line_nos)
            for j, name in enumerate(('time', 'i_xc', 'k', 'x', 'y'))}
    base['veg0'] = np.array(columns[5], dtype=object) == 'T'
    shape = (len(data), n_shown)
    ages = [_floats(path, columns[6 + m], line_nos) for m in range(n_shown)]
    kinds = {'age': np.array(ages, dtype='f8').T.reshape(shape),
             'DII': np.array(columns[6 + n_shown:6 + 2 * n_shown], dtype=object).T.reshape(shape),
             'DID': np.array(columns[6 + 2 * n_shown:], dtype=object).T.reshape(shape)}
    return _per_kind(base, kinds)


ELE_KINDS_PER_LINE = 20
_ELE_BASE = (('time', 12), ('i_xc', 5), ('k', 5), ('x', 12), ('y', 12), ('sta', 12), ('ele', 12),
             ('z_gw', 12))
ELE_KIND_COLUMNS = ('age', 'crown_ele', 'top_ele', 'root_tip_ele')


def _ele_title_line(line):
    return line.split()[:2] == ['time', 'i_xc'] or 'crowEle(' in line


def read_ele(path, n_shown=None):
    """veg_Ele_out.dat: one row per event, listed point and shown kind (the
    file leaves out the last kind of the parameter file).

    Columns: event, time [h], i_xc, k, x, y, sta, ele, z_gw, m_veg, age
    [years], crown_ele (root crown), top_ele (crown + plant height) and
    root_tip_ele (crown - root depth). The number of shown kinds is taken
    from the column titles; give n_shown for a file without them."""
    lines = list(_lines(path))
    if n_shown is None:
        tops = 0
        for _, line in lines:
            if _ele_title_line(line):
                tops += line.count('TopPEle(')
            elif tops and _is_number(line[:12]):
                break
        n_shown = tops
    lines_per_point = 1 + max(n_shown - 1, 0) // ELE_KINDS_PER_LINE
    records, line_nos, events = [], [], []
    kind_fields, kind_line_nos = [], []
    event = -1
    header_seen = True
    last_time = None
    i = 0
    while i < len(lines):
        line_no, line = lines[i]
        i += 1
        if not line.strip():
            continue
        if not _is_number(line[:12]):
            header_seen = True  # a header line (with or without '#') or a title line
            continue
        values = []
        pos = 0
        for _, width in _ELE_BASE:
            values.append(line[pos:pos + width])
            pos += width
        pieces = [(line_no, line[pos:])]
        for _ in range(lines_per_point - 1):
            if i >= len(lines):
                raise ReportFormatError(path, line_no, 'the record of a point is cut short')
            pieces.append(lines[i])
            i += 1
        remaining = 4 * n_shown
        for piece_no, text in pieces:
            expected = min(remaining, 4 * ELE_KINDS_PER_LINE)
            if len(text) != 13 * expected:
                raise ReportFormatError(path, piece_no,
                                        f'expected {expected} plant columns of 13 characters '
                                        f'for {n_shown} shown kinds')
            kind_fields += [text[j:j + 13] for j in range(0, len(text), 13)]
            kind_line_nos += [piece_no] * expected
            remaining -= expected
        if header_seen or values[0] != last_time:
            event += 1
        header_seen = False
        last_time = values[0]
        records.append(values)
        line_nos.append(line_no)
        events.append(event)
    base = {'event': np.array(events, dtype='i8')}
    for (name, _), texts in zip(_ELE_BASE, _transpose(records, len(_ELE_BASE))):
        base[name] = _floats(path, texts, line_nos)
    plants = _floats(path, kind_fields, kind_line_nos).reshape(len(records), n_shown, 4)
    kinds = {name: plants[:, :, j] for j, name in enumerate(ELE_KIND_COLUMNS)}
    return _per_kind(base, kinds)


def read_man(path):
    """veg_Man_out.dat: one row per block, cross section and roughness section.

    Columns: block (blocks numbered from 0 in file order), step (False for an
    'Initial input value' block, True for a 'tt=' step block), time [h] (NaN
    for the initial blocks), i_xc, section (from 1), loc_rr (start station of
    the section) and n (the host's Manning's n in the initial blocks, the
    vegetation's in the step blocks). A cross section without roughness
    sections has no row."""
    rows = []
    block = -1
    step = False
    time = math.nan
    for line_no, line in _lines(path):
        if not line.strip():
            continue
        if line.startswith('Initial input value'):
            block, step, time = block + 1, False, math.nan
        elif line.startswith('tt='):
            block, step = block + 1, True
            time = _numbers(path, line_no, [line[3:]])[0]
        elif line.split() == ['i_xc', 'loc_rr', 'sect_rr']:
            continue
        else:
            if block < 0:
                raise ReportFormatError(path, line_no, 'a cross-section line before any block')
            fields = [line[j:j + 10] for j in range(0, len(line), 10)]
            if len(line) % 10 or len(fields) % 2 != 1:
                raise ReportFormatError(path, line_no,
                                        'expected a cross section and pairs of 10-character fields')
            values = _numbers(path, line_no, fields)
            for s in range((len(values) - 1) // 2):
                rows.append((block, step, time, values[0], s + 1, values[1 + 2 * s],
                             values[2 + 2 * s]))
    names = ('block', 'step', 'time', 'i_xc', 'section', 'loc_rr', 'n')
    types = ('i8', '?', 'f8', 'f8', 'i8', 'f8', 'f8')
    return _frame({name: np.array(column, dtype=kind)
                   for name, kind, column in zip(names, types, _transpose(rows, len(names)))})


class KindInfo:
    """A vegetation kind as the parameter file describes it: its number, its
    name (VVN; "NoName" without one), the death codes it writes and its
    growth method (GMT; None when unread). A kind without growth (0) neither
    grows nor ages: growth is also what ages a plant, so its plants keep the
    sizes they were placed with."""

    def __init__(self, number, name='NoName'):
        self.number = number
        self.name = name
        self.death_codes = dict(DEFAULT_DEATH_CODES)
        self.grow_method = None

    def label(self, code):
        """The map file's label of a death code (-1 is a living plant)."""
        if code == -1:
            return 'LIVE'
        codes = self.death_codes
        # The same precedence as the map file when two causes share a code.
        for cause, label in (('scour', 'SCOR'), ('drown', 'DRON'), ('dry', 'DRYG'),
                             ('comp', 'COMP'), ('burial', 'BURY')):
            if code == codes[cause]:
                return label
        return 'NONE'

    def __repr__(self):
        return f'KindInfo({self.number}, {self.name!r})'


_ID_RECORDS = {'SID': 'scour', 'BID': 'burial', 'DID': 'drown', 'YID': 'dry', 'CID': 'comp'}


def _kinds_from_records(records):
    """Kinds from parameter-file lines: each block starts at its MMT record,
    named by a VVN record right before it."""
    kinds = []
    pending_name = None
    for line in records:
        name = line[:3].upper()
        if name == 'END':
            break
        if name == 'VVN':
            pending_name = line[3:].lstrip()[:30].rstrip()
        elif name == 'MMT':
            kinds.append(KindInfo(len(kinds) + 1, pending_name or 'NoName'))
            pending_name = None
        elif (name in _ID_RECORDS or name == 'GMT') and kinds:
            words = line[3:].replace(',', ' ').split()
            try:
                value = int(words[0])
            except (IndexError, ValueError):
                continue
            if name == 'GMT':
                kinds[-1].grow_method = value
            else:
                kinds[-1].death_codes[_ID_RECORDS[name]] = value
        else:
            pending_name = None
    return kinds


def _echo_records(path):
    """The record lines of veg_err.dat (the library's echo of the parameter
    file): the line number in 7 characters, three blanks, then the record."""
    for _, line in _lines(path):
        if len(line) > 10 and line[:7].strip().isdigit() and line[7:10] == '   ':
            text = line[10:]
            if not text.startswith(('*', '!', 'COM')):
                yield text


def _parameter_records(path):
    for _, line in _lines(path):
        if not line or line[0] in '*! \t' or line[:3].upper() == 'COM':
            continue
        yield line


def read_kinds(run_dir):
    """The kinds of a run, from the echo veg_err.dat (what the library read),
    else from vegetation.txt; an empty list when neither is there."""
    err = os.path.join(run_dir, ERR_FILE)
    if os.path.exists(err):
        kinds = _kinds_from_records(_echo_records(err))
        if kinds:
            return kinds
    parameters = os.path.join(run_dir, PARAMETER_FILE)
    if os.path.exists(parameters):
        return _kinds_from_records(_parameter_records(parameters))
    return []


def same_time(a, b):
    """Whether two report times are of the same event: veg_out.txt keeps 6
    significant digits of the time, the other files 2 decimals."""
    return abs(a - b) <= max(0.01, 1e-5 * abs(b))


@dataclass(frozen=True)
class Section:
    """A cross section as run.json names it."""
    i_xc: int
    name: str
    reach: str = None
    listed: bool = False  # in the host's list for veg_Ele_out.dat


class UnknownSectionError(LookupError):
    """A cross section asked for by a name or number that the run does not have."""


class RunInfo:
    """What tulma-run records about a run in run.json and the reports do not
    carry: the calendar day of time 0, the unit system, the names of reaches
    and cross sections, the map with its attribute field and CRS, and where
    the plant snapshots are. Other hosts write no run.json, so every reader
    of it has a way without. Keys not known here stay in ``record``."""

    def __init__(self, record):
        self.record = record
        start = record.get('start')
        self.start = datetime.datetime.fromisoformat(start) if start else None
        self.units = record.get('units')
        self.map = record.get('map')
        self.map_field = record.get('map_field')
        self.crs_wkt = (record.get('crs') or {}).get('wkt')
        self.sections = [Section(int(s['i_xc']), s.get('name'), s.get('reach'), bool(s.get('listed')))
                         for s in record.get('sections') or ()]
        self.snapshot_folder = (record.get('snapshots') or {}).get('folder') or 'events'
        self._by_index = {s.i_xc: s for s in self.sections}

    def section(self, i_xc):
        """The Section of a cross-section index (an int or a float of the
        readers), or None."""
        return self._by_index.get(i_xc)


def read_run_info(run_dir):
    """RUN_DIR/run.json as a RunInfo, or None when the run folder has none."""
    path = os.path.join(run_dir, RUN_FILE)
    if not os.path.exists(path):
        return None
    with open(path, encoding='utf-8') as f:
        try:
            record = json.load(f)
        except json.JSONDecodeError as e:
            raise ReportFormatError(path, e.lineno, e.msg) from None
    try:
        return RunInfo(record)
    except (AttributeError, TypeError, KeyError, ValueError) as e:
        raise ReportFormatError(path, 1, f'not a run record: {e!r}') from None


class Run:
    """The report files of one run directory, read on first use; a missing
    file reads as None."""

    _readers = {'sum': (SUM_FILE, read_sum), 'age': (AGE_FILE, read_age),
                'out': (OUT_FILE, read_out), 'gis': (GIS_FILE, read_gis),
                'ele': (ELE_FILE, read_ele), 'man': (MAN_FILE, read_man)}

    def __init__(self, run_dir):
        if not os.path.isdir(run_dir):
            raise FileNotFoundError(f'{run_dir} is not a directory')
        self.run_dir = run_dir
        self._cache = {}

    def path(self, file_name):
        return os.path.join(self.run_dir, file_name)

    def __getattr__(self, name):
        if name not in Run._readers:
            raise AttributeError(name)
        if name not in self._cache:
            file_name, reader = Run._readers[name]
            path = self.path(file_name)
            self._cache[name] = reader(path) if os.path.exists(path) else None
        return self._cache[name]

    @property
    def kinds(self):
        """KindInfo of every kind; numbered from the reports when the
        parameter echo is missing."""
        if 'kinds' not in self._cache:
            kinds = read_kinds(self.run_dir)
            count = self.kind_count()
            while len(kinds) < count:
                kinds.append(KindInfo(len(kinds) + 1))
            self._cache['kinds'] = kinds
        return self._cache['kinds']

    @property
    def info(self):
        """The run's RunInfo from run.json, or None."""
        if 'info' not in self._cache:
            self._cache['info'] = read_run_info(self.run_dir)
        return self._cache['info']

    def section_name(self, i_xc):
        """The name run.json gives a cross section, or None."""
        section = self.info.section(i_xc) if self.info else None
        return section.name if section else None

    def find_section(self, text):
        """The cross-section index that text names: a number, or a name that
        run.json gives (U03; any case)."""
        try:
            return int(text)
        except ValueError:
            pass
        sections = self.info.sections if self.info else []
        match = [s.i_xc for s in sections if s.name and s.name.upper() == text.strip().upper()]
        if match:
            return match[0]
        if not sections:
            raise UnknownSectionError(f'{text!r} is not a cross-section number, and '
                                      f'{self.path(RUN_FILE)}, which names the sections, is missing')
        names = ', '.join(s.name for s in sections[:6]) + (', ...' if len(sections) > 6 else '')
        raise UnknownSectionError(f'no cross section is named {text!r}; the run has {len(sections)}: '
                                  f'{names}')

    def plant_events(self):
        """The plant table (as read_out reads it) of every kept report event,
        oldest first: the snapshots that tulma-run copies after each event,
        then veg_out.txt when its event is not among them. The event column
        is the event's number in veg_sum_out.dat."""
        folder = self.path(self.info.snapshot_folder if self.info else 'events')
        numbered = []
        if os.path.isdir(folder):
            for name in os.listdir(folder):
                match = SNAPSHOT_NAME.fullmatch(name)
                if match:
                    numbered.append((int(match.group(1)), os.path.join(folder, name)))
        numbered.sort()
        times = []
        for event, path in numbered:
            table = read_out(path)
            table['event'] = event
            times += list(table['time'][:1])
            yield table
        current = self.out
        if current is not None and len(current) and not any(
                same_time(t, current['time'].iloc[0]) for t in times):
            # The latest event is the last one of the area summary, written at
            # the same events; without it, the one after the last snapshot.
            if self.sum is not None and len(self.sum):
                last = int(self.sum['event'].max())
            else:
                last = numbered[-1][0] + 1 if numbered else 0
            yield current.assign(event=last)

    def kind_count(self):
        """The number of kinds in the parameter file, from the reports that show them all."""
        for table in (self.sum, self.out, self.age):
            if table is not None and len(table):
                return int(np.nanmax(table['m_veg']))
        return 0
