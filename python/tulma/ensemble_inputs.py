"""The inputs of one ensemble member: the base scenario's files as bytes,
with parameter values of vegetation.txt replaced and the water levels
varied, and a scenario file that names them in one flat folder.

Everything here works on bytes and text only (no pandas), so that drawing and
checking an ensemble is quick and a worker needs nothing but these bytes.
"""

import csv
import io
import math
import json
import os
import re
import tomllib


class EnsembleInputError(ValueError):
    """An ensemble that cannot be made from its inputs; the message names the
    file, the line or key and what was expected."""


# Items the library reads as whole numbers (days, counts, method switches and
# death codes); every other value of the records we edit is a real.
_WHOLE_RECORDS = {'VNM', 'LEV', 'MDY'}
_WHOLE_POSITIONS = {'MPR': {1, 2}}


def _whole(record, position):
    return (record in _WHOLE_RECORDS or position in _WHOLE_POSITIONS.get(record, ())
            or record.endswith('MT') or record.endswith('ID'))


def _item_spans(line):
    """(begin, end) of each free-form value after the record name: values are
    separated by blanks, tabs or a comma; a quoted value may hold both; a "!"
    starts the line's comment and a "/" ends its values."""
    spans = []
    i, n = 3, len(line)
    while i < n:
        c = line[i]
        if c in ' \t\r\n,':
            i += 1
        elif c in '!/':
            break
        elif c in '"\'':
            close = line.find(c, i + 1)
            end = n if close < 0 else close + 1
            spans.append((i, end))
            i = end
        else:
            j = i
            while j < n and line[j] not in ' \t\r\n,!/':
                j += 1
            spans.append((i, j))
            i = j
    return spans


def _lines(text):
    """Lines with their ends; only a line feed ends a line, as for the library."""
    return re.findall(r'[^\n]*\n|[^\n]+$', text)


def _is_comment(line):
    return not line.strip() or line[0] in '*! \t' or line[:3].upper() == 'COM'


def parameter_lines(text):
    """Data lines of a parameter file up to END, each as (line index, record,
    kind, row). Kind 0 is the run-wide part before the first kind block; a
    block starts at its MMT record, or at the VVN that names it just before.
    Row counts the kind's lines of that record from 1 (tables have several)."""
    found = []
    kind, after_name, rows = 0, False, {}
    for index, line in enumerate(_lines(text)):
        if _is_comment(line):
            continue
        record = line[:3].upper()
        if record == 'END':
            break
        if record == 'VVN' or (record == 'MMT' and not after_name):
            kind += 1
            rows = {}
        after_name = record == 'VVN'
        rows[record] = rows.get(record, 0) + 1
        found.append((index, record, kind, rows[record]))
    return found


def _format(value, whole):
    if whole:
        return str(math.floor(value + 0.5))  # halves up, as a day 150.5 is read as day 151
    return repr(float(value))  # the shortest text that reads back as the same number


class ParameterAddress:
    """One value of vegetation.txt: record name, kind (0 or None for the
    run-wide records before the first kind block), row among the kind's lines
    of that record (1 unless the record is a table) and value position after
    the record name (from 1)."""

    def __init__(self, record, kind=None, position=1, row=1):
        self.record = str(record).upper()
        self.kind = int(kind or 0)
        self.position = int(position)
        self.row = int(row)
        self.whole = _whole(self.record, self.position)

    def __repr__(self):
        kind = f' kind {self.kind}' if self.kind else ''
        return f'{self.record}{kind} row {self.row} value {self.position}'

    def locate(self, text, file_name='vegetation.txt'):
        """(line index, begin, end) of the value in text; EnsembleInputError
        when the file has no such record, kind, row or value."""
        lines = parameter_lines(text)
        kinds = max((k for _, _, k, _ in lines), default=0)
        where = f'kind {self.kind}' if self.kind else 'the run-wide records before the first kind'
        if self.kind > kinds:
            raise EnsembleInputError(f'{file_name}: no kind {self.kind} (the file has {kinds} kind blocks)')
        rows = [i for i, record, kind, _ in lines if record == self.record and kind == self.kind]
        if not rows:
            raise EnsembleInputError(f'{file_name}: no {self.record} record in {where}')
        if not 1 <= self.row <= len(rows):
            raise EnsembleInputError(f'{file_name}: {where} has {len(rows)} {self.record} row(s); '
                                     f'row {self.row} asked for')
        index = rows[self.row - 1]
        line = _lines(text)[index]
        spans = _item_spans(line)
        if not 1 <= self.position <= len(spans):
            raise EnsembleInputError(f'{file_name}:{index + 1}: {self.record} has {len(spans)} value(s); '
                                     f'value {self.position} asked for')
        begin, end = spans[self.position - 1]
        try:
            float(line[begin:end])
        except ValueError:
            raise EnsembleInputError(f'{file_name}:{index + 1}: value {self.position} of {self.record} '
                                     f'is {line[begin:end]!r}, not a number') from None
        return index, begin, end

    def written(self, value):
        """The value as the file will hold it, read back: what the library gets."""
        return float(_format(value, self.whole))


def edit_parameters(data, edits, file_name='vegetation.txt'):
    """The parameter file (bytes) with each (ParameterAddress, value) written
    in place of the old value; every other byte stays as it was."""
    text = data.decode('latin-1')  # one byte, one character: the bytes come back unchanged
    lines = _lines(text)
    for address, value in edits:
        index, begin, end = address.locate(text, file_name)
        line = lines[index]
        lines[index] = line[:begin] + _format(value, address.whole) + line[end:]
        text = ''.join(lines)
    return text.encode('latin-1')


# Water levels ------------------------------------------------------------

def _csv_rows(text):
    """(line, fields or None) of a scenario CSV: comments, empty lines and
    the header keep their text."""
    for line in text.splitlines(keepends=True):
        body = line.rstrip('\r\n')
        if not body.strip() or body.lstrip().startswith('#'):
            yield line, None
        else:
            yield line, next(csv.reader([body]))


def lowest_beds(points_data):
    """The lowest bed elevation of each cross section of the points CSV."""
    lowest, header = {}, None
    for _, fields in _csv_rows(points_data.decode('utf-8-sig')):
        if fields is None:
            continue
        fields = [f.strip() for f in fields]
        if header is None:
            header = fields
            continue
        row = dict(zip(header, fields))
        section, elevation = row['section'], float(row['elevation'])
        lowest[section] = min(elevation, lowest.get(section, elevation))
    return lowest


def vary_levels(data, scale=1.0, shift=0.0, beds=None, file_name='water_levels.csv'):
    """The water-level CSV with every level column changed: the depth above
    the cross section's lowest bed point multiplied by scale, then shift
    added. Scaling the depth, not the elevation, keeps the thalweg where it is:
    a scale of 1.2 is a flow 20 % deeper everywhere. Time column, comments and
    header keep their text."""
    text = data.decode('utf-8-sig')
    bom = data.startswith(b'\xef\xbb\xbf')
    out, header = [], None
    for line, fields in _csv_rows(text):
        if fields is None or header is None:
            if fields is not None:
                header = [f.strip() for f in fields]
                missing = [h for h in header[1:] if scale != 1.0 and h not in (beds or {})]
                if missing:
                    raise EnsembleInputError(f'{file_name}: a water-level scale needs the bed of '
                                             f'{", ".join(missing)} from the points file')
            out.append(line)
            continue
        ending = line[len(line.rstrip('\r\n')):]
        values = [fields[0]]
        for name, field in zip(header[1:], fields[1:]):
            level = float(field)
            if scale != 1.0:
                level = beds[name] + scale * (level - beds[name])
            values.append(repr(round(level + shift, 6)))
        buffer = io.StringIO()
        csv.writer(buffer, lineterminator=ending).writerow(values)
        out.append(buffer.getvalue())
    return (('\ufeff' if bom else '') + ''.join(out)).encode('utf-8')


# The scenario ------------------------------------------------------------

# (table, key) of every file a scenario names; the map brings its .dbf and .prj.
PATH_KEYS = (('inputs', 'vegetation'), ('inputs', 'map'), ('inputs', 'temperature'),
             ('geometry', 'points'), ('hydrology', 'water_levels'), ('hydrology', 'gauge'),
             ('hydrology', 'groundwater'))
_HEADER = re.compile(r'^\s*\[\[?\s*([A-Za-z0-9_.]+)\s*\]\]?\s*(#.*)?$')


def _set_key(text, table, key, literal):
    """The TOML text with table.key set to literal (a TOML value): replaced
    where the key stands, else added just under the table's header."""
    lines = text.splitlines(keepends=True)
    current, header_at = None, None
    pattern = re.compile(r'^(\s*' + re.escape(key) + r'\s*=\s*)("(?:[^"\\]|\\.)*"|\'[^\']*\'|[^#\s]+)(.*)$',
                         re.S)
    for i, line in enumerate(lines):
        header = _HEADER.match(line)
        if header:
            current = header.group(1)
            if current == table:
                header_at = i
            continue
        match = pattern.match(line) if current == table else None
        if match:
            lines[i] = match.group(1) + literal + match.group(3)
            return ''.join(lines)
    if header_at is None:
        raise EnsembleInputError(f'scenario: no [{table}] table')
    lines.insert(header_at + 1, f'{key} = {literal}\n')
    return ''.join(lines)


class BaseScenario:
    """A tulma-run scenario and the bytes of every file it names, each under
    its own file name (a map keeps its name: the parameter file's VIN names it)."""

    def __init__(self, path):
        self.path = os.path.abspath(path)
        folder = os.path.dirname(self.path)
        try:
            with open(self.path, 'rb') as f:
                raw = f.read()
        except OSError as e:
            raise EnsembleInputError(f'scenario: cannot read {path}: {e.strerror}') from None
        try:
            self.text = raw.decode('utf-8')
            self.toml = tomllib.loads(self.text)
        except (UnicodeDecodeError, tomllib.TOMLDecodeError) as e:
            raise EnsembleInputError(f'{path}: not a scenario TOML file: {e}') from None
        self.files, self.names = {}, {}
        for table, key in PATH_KEYS:
            value = self.toml.get(table, {}).get(key)
            if value is None:
                continue
            source = os.path.join(folder, value)
            sources = [source]
            if key == 'map':
                base = os.path.splitext(source)[0]
                sources += [p for p in (base + '.dbf', base + '.prj') if os.path.exists(p)]
            for i, path_i in enumerate(sources):
                name = os.path.basename(path_i)
                if name in self.files:
                    name = f'{table}_{key}_{name}'
                try:
                    with open(path_i, 'rb') as f:
                        self.files[name] = f.read()
                except OSError as e:
                    raise EnsembleInputError(f'{path}: {table}.{key}: cannot read {path_i}: '
                                             f'{e.strerror}') from None
                if i == 0:
                    self.names[key] = name

    def member_scenario(self):
        """The scenario text for a member's flat folder: every file by its
        own name, no plant snapshots (an ensemble keeps only summaries)."""
        text = self.text
        for table, key in PATH_KEYS:
            if key in self.names:
                text = _set_key(text, table, key, json.dumps(self.names[key]))
        text = _set_key(text, 'run', 'snapshots', '"none"')
        check = tomllib.loads(text)
        for table, key in PATH_KEYS:
            if key in self.names and check[table][key] != self.names[key]:
                raise EnsembleInputError(f'{self.path}: cannot rewrite {table}.{key} for a member '
                                         f'(write it as key = "path" in the [{table}] table)')
        return text
