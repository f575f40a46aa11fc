"""Readers for the report files TULMA writes into the host's working directory.

Every reader returns a numpy structured array, one row per record, with the
columns named as in the file (or as described at each reader). All numeric
columns are float64, the integer ones included (kind, cross section, point,
death code), so that a field the library filled with asterisks because its
value was too wide can be read as NaN wherever it occurs.

Units: times are hours on the host's clock; ages are years; lengths
(stations, elevations, coordinates, heights) are feet or metres and areas
square feet or square metres, as the host's unit system was (the files do not
say which). ``column_unit`` gives the unit of a column as text.

Files with repeated header blocks (the host's clock started at 0) are read as
one table; the ``event`` column numbers the report events from 0 in the order
they were written.
"""

import math
import os
import re

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


def _comma_table(path, default_columns):
    """A comma-separated report with '#' comment lines and column lines, which
    may repeat when the file holds more than one header block."""
    columns = None
    rows = []
    event = -1
    header_seen = True
    last_time = None
    for line_no, line in _lines(path):
        if line.startswith('#'):
            header_seen = True
            continue
        if not line.strip():
            continue
        fields = [f.strip() for f in line.split(',')]
        if fields[0] == 'time':
            names = tuple(f for f in fields if f)
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
        rows.append(tuple([event] + _numbers(path, line_no, fields)))
    columns = columns or tuple(default_columns)
    dtype = [('event', 'i8')] + [(name, 'f8') for name in columns]
    return np.array(rows, dtype=dtype)


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
    """veg_out.txt: every kind at every point at the last event.

    Besides the file's columns, k is the point's number within its cross
    section, counted from the order of the lines (the file does not hold it)."""
    table = _comma_table(path, OUT_COLUMNS)
    names = table.dtype.names
    out = np.zeros(len(table), dtype=table.dtype.descr + [('k', 'f8')])
    for name in names:
        out[name] = table[name]
    k = 0
    previous = None
    for row in range(len(table)):
        key = (table['event'][row], table['m_veg'][row], table['i_xc'][row])
        k = k + 1 if key == previous else 1
        previous = key
        out['k'][row] = k
    return out


_GIS_TITLE = re.compile(r',\s*(veg|DII|DID)\s*([0-9*]+)')


def read_gis(path):
    """veg_GIS_out.dat: one row per point at the last event.

    Columns: time [h], i_xc, k, x, y, veg0 (bool: one of the shown kinds lives
    there), and per shown kind (the file leaves out the last kind of the
    parameter file) age [years], DII (the label the run started with) and DID
    (the present label: LIVE, SCOR, BURY, DRON, DRYG, COMP or NONE), each an
    array of shape (rows, shown kinds)."""
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
    dtype = [('time', 'f8'), ('i_xc', 'f8'), ('k', 'f8'), ('x', 'f8'), ('y', 'f8'), ('veg0', '?'),
             ('age', 'f8', (n_shown,)), ('DII', 'U7', (n_shown,)), ('DID', 'U7', (n_shown,))]
    table = np.zeros(len(data), dtype=dtype)
    for row, (line_no, fields) in enumerate(data):
        if len(fields) != 6 + 3 * n_shown:
            raise ReportFormatError(path, line_no,
                                    f'{len(fields)} fields, expected {6 + 3 * n_shown} '
                                    f'for {n_shown} shown kinds')
        values = _numbers(path, line_no, fields[:5])
        for name, value in zip(('time', 'i_xc', 'k', 'x', 'y'), values):
            table[name][row] = value
        if fields[5] not in ('T', 'F'):
            raise ReportFormatError(path, line_no, f'living flag {fields[5]!r} is not T or F')
        table['veg0'][row] = fields[5] == 'T'
        table['age'][row] = _numbers(path, line_no, fields[6:6 + n_shown])
        table['DII'][row] = fields[6 + n_shown:6 + 2 * n_shown]
        table['DID'][row] = fields[6 + 2 * n_shown:]
    return table


ELE_KINDS_PER_LINE = 20
_ELE_BASE = (('time', 12), ('i_xc', 5), ('k', 5), ('x', 12), ('y', 12), ('sta', 12), ('ele', 12),
             ('z_gw', 12))
_ELE_BASE_WIDTH = sum(w for _, w in _ELE_BASE)


def _ele_title_line(line):
    return line.split()[:2] == ['time', 'i_xc'] or 'crowEle(' in line


def read_ele(path, n_shown=None):
    """veg_Ele_out.dat: one row per listed point and event.

    Columns: event, time [h], i_xc, k, x, y, sta, ele, z_gw, and per shown kind
    (the file leaves out the last kind of the parameter file) arrays of shape
    (rows, shown kinds): age [years], crown_ele (root crown), top_ele (crown +
    plant height) and root_tip_ele (crown - root depth). The number of shown
    kinds is taken from the column titles; give n_shown for a file without
    them."""
    lines = list(_lines(path))
    if n_shown is None:
        tops = 0
        for _, line in lines:
            if _ele_title_line(line):
                tops += line.count('TopPEle(')
            elif tops and _is_number(line[:12]):
                break
        n_shown = tops
    dtype = ([('event', 'i8')] + [(name, 'f8') for name, _ in _ELE_BASE]
             + [(name, 'f8', (n_shown,)) for name in ('age', 'crown_ele', 'top_ele', 'root_tip_ele')])
    lines_per_point = 1 + max(n_shown - 1, 0) // ELE_KINDS_PER_LINE
    records = []
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
        for name, width in _ELE_BASE:
            values.append(line[pos:pos + width])
            pos += width
        pieces = [(line_no, line[pos:])]
        for _ in range(lines_per_point - 1):
            if i >= len(lines):
                raise ReportFormatError(path, line_no, 'the record of a point is cut short')
            pieces.append(lines[i])
            i += 1
        kind_fields = []
        remaining = 4 * n_shown
        for piece_no, text in pieces:
            expected = min(remaining, 4 * ELE_KINDS_PER_LINE)
            if len(text) != 13 * expected:
                raise ReportFormatError(path, piece_no,
                                        f'expected {expected} plant columns of 13 characters '
                                        f'for {n_shown} shown kinds')
            kind_fields += [text[j:j + 13] for j in range(0, len(text), 13)]
            remaining -= expected
        if header_seen or values[0] != last_time:
            event += 1
        header_seen = False
        last_time = values[0]
        base = _numbers(path, line_no, values)
        plants = np.array(_numbers(path, line_no, kind_fields)).reshape(max(n_shown, 0), 4)
        records.append((event, *base, plants[:, 0], plants[:, 1], plants[:, 2], plants[:, 3]))
    return np.array(records, dtype=dtype)


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
    dtype = [('block', 'i8'), ('step', '?'), ('time', 'f8'), ('i_xc', 'f8'), ('section', 'i8'),
             ('loc_rr', 'f8'), ('n', 'f8')]
    return np.array(rows, dtype=dtype)


class KindInfo:
    """A vegetation kind as the parameter file describes it: its number, its
    name (VVN; "NoName" without one) and the death codes it writes."""

    def __init__(self, number, name='NoName'):
        self.number = number
        self.name = name
        self.death_codes = dict(DEFAULT_DEATH_CODES)

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
        elif name in _ID_RECORDS and kinds:
            words = line[3:].replace(',', ' ').split()
            try:
                kinds[-1].death_codes[_ID_RECORDS[name]] = int(words[0])
            except (IndexError, ValueError):
                pass
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

    def kind_count(self):
        """The number of kinds in the parameter file, from the reports that show them all."""
        for table in (self.sum, self.out, self.age):
            if table is not None and len(table):
                return int(np.nanmax(table['m_veg']))
        return 0
