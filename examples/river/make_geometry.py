#!/usr/bin/python3
"""Write the river's cross sections, the scenario and the vegetation map's text geometry.

The river is synthetic: a meandering gravel-sand river in a semi-arid valley,
flowing west-south-west, in two reaches (an upper reach of 12 cross sections,
and a lower reach of 10 below a tributary mouth).  Every cross section is laid
out across the valley, looking downstream from left to right:

    left terrace | high floodplain | low floodplain | bank | channel | bank |
    low floodplain | (levee) | high floodplain | right terrace

The channel is asymmetric as in a meander bend: on the outer side of the bend
a steep cut bank with the deepest point close to it, on the inner side a
gently sloping point bar (the bare bed where willows and cottonwoods recruit
as the snowmelt flood recedes).  The low floodplain, about a bank height
above the bed, carries a low natural levee along the channel and a swale
behind it; larger snowmelt floods cover it.  A step of 1.1 to 1.4 m leads up
to the high floodplain, an older surface that only the largest flood of the
record reaches, and a scarp to the terrace above all floods.  Five cross
sections of the lower reach have an artificial levee at the outer edge of the
right low floodplain (grassed: the LEV ranges of the scenario).

Outputs (beside this script):

- sections.csv: the points of every cross section (section, station,
  elevation, x, y), stations increasing from the left end;
- scenario.toml: the scenario of the stand-in host, with the run period, the
  input files, the hydrology settings and one entry per cross section (banks,
  reach lengths, distance, reference elevation, stress class, roughness
  sections, levee ranges, the cross sections listed in the elevation report);
- veg_polygons.csv: the initial vegetation map as text geometry (WKT
  polygons with their VEGCODE), turned into the shapefile by make_map.sh.

Coordinates are metres in a projected system (UTM zone 10 north, WGS 84,
EPSG:32610), elevations metres above an arbitrary datum.  The river and its
map are made up; nothing is measured.  The layout is drawn from Python's
random.Random with a fixed seed, so the same command always writes the same
files.  Standard library only.  Usage, from the repository root:

    /usr/bin/python3 examples/river/make_geometry.py

Options: --seed S, --output-dir DIR.
"""

import argparse
import math
import pathlib
import random

DEFAULT_SEED = 19980634

# Centre line of the channel: it starts at ORIGIN and heads in the direction
# HEADING_DEG (degrees counter-clockwise from east; 192 = west-south-west),
# swinging from side to side with amplitude SWING_DEG over a meander
# wavelength MEANDER_LENGTH (m).  The smallest bend radius is then about
# MEANDER_LENGTH / (2 pi SWING) = 880 m, much wider than the valley section, so
# neighbouring cross sections never cross.
ORIGIN = (688000.0, 4167000.0)
HEADING_DEG = 192.0
SWING_DEG = 25.0
MEANDER_LENGTH = 2400.0
# Bed slope of the valley (m/m): the thalweg falls this much per metre of channel.
BED_SLOPE = 0.0015
# Thalweg elevation at the first cross section (m).
THALWEG_TOP = 100.0

# The reaches: name, prefix of the cross-section names, number of cross
# sections and their spacing along the channel (m).
REACHES = [
    ("upper", "U", 12, 300.0),
    ("lower", "L", 10, 350.0),
]
# Gap between the last cross section of the upper reach and the first of the
# lower reach (the tributary mouth lies between them), m of channel.
CONFLUENCE_GAP = 320.0

# Cross sections of the lower reach (1-based within the reach) with an
# artificial levee on the right floodplain edge.
LEVEE_SECTIONS = {3, 4, 5, 6, 7}
# Cross sections listed in the elevation report (gis_xc).
GIS_SECTIONS = {"U03", "U08", "L02", "L05", "L09"}

# Manning's n the host starts with: floodplain and terrace (open riparian
# woodland and grass), and the main channel (gravel and sand bed); within the
# ranges of Arcement & Schneider 1989 (USGS Water-Supply Paper 2339).
N_OVERBANK = 0.060
N_CHANNEL = 0.035

# Depth of the baseflow above the thalweg (m): the reference elevation of a
# cross section is set there, so the height classes of the reports count the
# bed height above the usual low water.
REFERENCE_ABOVE_THALWEG = 0.6


def centre_line(total_length, step=5.0):
    """Points of the channel centre line every `step` m: list of (s, x, y, heading)."""
    heading0 = math.radians(HEADING_DEG)
    swing = math.radians(SWING_DEG)
    x, y = ORIGIN
    s = -400.0
    # Start 400 m upstream of the first cross section, so the map reaches past it.
    x -= 400.0 * math.cos(heading0)
    y -= 400.0 * math.sin(heading0)
    line = []
    n = int(math.ceil((total_length + 800.0) / step))
    for _ in range(n + 1):
        theta = heading0 + swing * math.sin(2.0 * math.pi * s / MEANDER_LENGTH)
        line.append((s, x, y, theta))
        x += step * math.cos(theta)
        y += step * math.sin(theta)
        s += step
    return line


def locate(line, s):
    """Position and heading of the centre line at channel distance s (linear between samples)."""
    step = line[1][0] - line[0][0]
    i = int((s - line[0][0]) // step)
    i = max(0, min(len(line) - 2, i))
    s0, x0, y0, t0 = line[i]
    s1, x1, y1, t1 = line[i + 1]
    w = (s - s0) / (s1 - s0)
    return x0 + w * (x1 - x0), y0 + w * (y1 - y0), t0 + w * (t1 - t0)


def curvature(s):
    """Signed curvature of the centre line (1/m): positive where it turns left."""
    swing = math.radians(SWING_DEG)
    k = 2.0 * math.pi / MEANDER_LENGTH
    return swing * k * math.cos(k * s)


def to_map(line, s, offset):
    """Map coordinates of the point `offset` m to the right of the centre line at s."""
    x, y, theta = locate(line, s)
    # Looking downstream, the right-hand normal of the heading (cos t, sin t).
    return x + offset * math.sin(theta), y - offset * math.cos(theta)


class Section:
    """One cross section: its profile across the valley and its zones."""

    def __init__(self, name, reach, index_in_reach, s, thalweg, rng):
        self.name = name
        self.reach = reach
        self.index_in_reach = index_in_reach
        self.s = s
        self.thalweg = thalweg
        self.profile = []        # (offset from the channel centre, elevation), left to right
        self.zones = {}          # zone boundary name -> offset
        self.levee = None        # (start offset, end offset) of the levee body
        self._build(rng)

    def _build(self, rng):
        t = self.thalweg
        c = curvature(self.s)
        # Inner side of the bend: the side the channel turns to.  The sharper
        # the bend, the longer the point bar.
        bar_left = c > 0.0
        bar_strength = min(1.0, abs(c) / (math.radians(SWING_DEG) * 2.0 * math.pi / MEANDER_LENGTH))
        half_channel = rng.uniform(17.0, 21.0)
        bank_height = rng.uniform(2.35, 2.6)
        sides = ("left", "right")
        low_width = {side: rng.uniform(30.0, 60.0) for side in sides}
        high_rise = {side: rng.uniform(1.1, 1.4) for side in sides}
        high_width = {side: rng.uniform(25.0, 50.0) for side in sides}
        terrace_rise = {side: rng.uniform(0.6, 1.2) for side in sides}
        terrace_width = {side: rng.uniform(24.0, 40.0) for side in sides}

        def half(side, inner):
            """Points from the channel centre outwards (offset >= 0) for one side."""
            out = []
            if inner:
                # Point bar: from the channel bed up to the bank top over a
                # long gentle slope; the thalweg lies towards the other side.
                bar_start = 2.0
                bar_end = half_channel + 4.0 + 6.0 * bar_strength
                top = t + bank_height - 0.15
                out.append((0.0, t + 0.15))
                n_bar = 16
                for i in range(1, n_bar + 1):
                    f = i / n_bar
                    # Slightly concave bar face: flat near the water, steeper at the top.
                    z = t + 0.15 + (top - t - 0.15) * (0.55 * f + 0.45 * f * f)
                    out.append((bar_start + (bar_end - bar_start) * f, z))
                edge = bar_end
                bank_top = top
            else:
                # Cut bank: the deepest bed close to the outer bank, a steep bank face.
                out.append((0.0, t + 0.1))
                out.append((half_channel * 0.35, t))
                out.append((half_channel * 0.6, t + 0.05))
                out.append((half_channel * 0.8, t + 0.3))
                toe = half_channel
                out.append((toe, t + 0.7))
                for dx, dz in [(1.0, 1.2), (2.0, 1.7), (3.0, 2.1), (4.0, bank_height)]:
                    out.append((toe + dx, t + dz))
                edge = toe + 4.0
                bank_top = t + bank_height
            self.zones[side + "_bank_top"] = edge
            # Low (active) floodplain: a natural levee along the channel and a
            # swale behind it, flooded by the larger snowmelt floods.
            w = low_width[side]
            fp = [(3.0, 0.15), (6.0, 0.2), (10.0, 0.15), (15.0, 0.05), (20.0, 0.0)]
            x = 20.0
            while x + 5.0 < w:
                x += 5.0
                fp.append((x, -0.05 - 0.25 * math.sin(math.pi * (x - 20.0) / max(w - 20.0, 1.0))))
            for dx, dz in fp:
                out.append((edge + dx, bank_top + dz + rng.uniform(-0.04, 0.04)))
            x = edge + fp[-1][0]
            z_low = out[-1][1]
            self.zones[side + "_low_outer"] = x + 3.0
            if side == "right" and self.levee_here:
                # Levee: 2.3 m over the low floodplain, 4 m crest, side slopes
                # 1 in 2.5; behind it farm land on the high floodplain.
                crest = z_low + 2.3
                start = x + 3.0
                out.append((start, z_low + 0.05))
                out.append((start + 2.9, z_low + 1.2))
                out.append((start + 5.75, crest))
                out.append((start + 7.75, crest))
                out.append((start + 9.75, crest))
                out.append((start + 12.6, z_low + 1.2 + high_rise[side] * 0.5))
                self.levee = (start + 2.9, start + 12.6)
                x = start + 15.5
                out.append((x, z_low + high_rise[side]))
                self.zones[side + "_low_outer"] = start - 1.0
            else:
                # Step up to the high floodplain, the older surface that only
                # the largest floods reach.
                out.append((x + 3.0, z_low + 0.3 * high_rise[side]))
                out.append((x + 6.0, z_low + high_rise[side]))
                x += 6.0
            z_high = out[-1][1]
            n = max(3, int(high_width[side] // 6.0))
            for i in range(1, n + 1):
                out.append((x + 6.0 * i, z_high + 0.03 * i + rng.uniform(-0.04, 0.04)))
            x += 6.0 * n
            z_high = out[-1][1]
            # Terrace scarp and terrace.
            rise = terrace_rise[side]
            self.zones[side + "_high_outer"] = x + 3.0
            out.append((x + 3.0, z_high + 0.3 * rise))
            out.append((x + 6.0, z_high + rise))
            x += 6.0
            z_top = z_high + rise
            n = int(terrace_width[side] // 8.0)
            for i in range(1, n + 1):
                out.append((x + 8.0 * i, z_top + 0.04 * i + rng.uniform(-0.05, 0.05)))
            self.zones[side + "_end"] = x + 8.0 * n
            return out

        self.levee_here = self.reach == "lower" and self.index_in_reach in LEVEE_SECTIONS
        right = half("right", inner=not bar_left)
        left = half("left", inner=bar_left)
        # Mirror the left half; the centre point belongs to the side with the
        # lower bed there (the bar side starts higher), the other copy is dropped.
        left_pts = [(-dx, z) for dx, z in reversed(left) if dx > 0.0]
        right_pts = [(dx, z) for dx, z in right if dx > 0.0]
        centre = min(left[0][1], right[0][1])
        pts = left_pts + [(0.0, centre)] + right_pts
        for key in list(self.zones):
            if key.startswith("left"):
                self.zones[key] = -self.zones[key]
        self.profile = [(round(o, 2), round(z, 3)) for o, z in pts]
        # Banks: the first and last point of the main channel are the bank tops.
        offs = [o for o, _ in self.profile]
        self.lbank_k = offs.index(round(self.zones["left_bank_top"], 2)) + 1
        self.rbank_k = offs.index(round(self.zones["right_bank_top"], 2)) + 1
        self.bar_left = bar_left

    @property
    def left_end(self):
        return self.profile[0][0]

    def stations(self):
        o0 = self.profile[0][0]
        return [round(o - o0, 2) for o, _ in self.profile]


def build_sections(seed):
    rng = random.Random(seed)
    sections = []
    s = 0.0
    for r, (reach, prefix, count, spacing) in enumerate(REACHES):
        if r > 0:
            s += CONFLUENCE_GAP - spacing
        for i in range(1, count + 1):
            if i > 1 or r > 0:
                s += spacing
            # The bed falls with the valley slope, give or take a riffle or a pool.
            thalweg = THALWEG_TOP - BED_SLOPE * s + rng.uniform(-0.08, 0.08)
            name = "%s%02d" % (prefix, i)
            sections.append(Section(name, reach, i, s, round(thalweg, 3), rng))
    return sections


# ---------------------------------------------------------------------------
# The initial vegetation map.  Each cross section names a code for each of
# the seven zones across the valley; a zone keeps its code along the river
# until a cross section names another one, and the boundary then lies half
# way between the two cross sections.

ZONES = ["left_terrace", "left_high", "left_low", "left_bank", "channel",
         "right_bank", "right_low", "right_high", "right_terrace"]


def zone_codes(sec):
    """Vegetation code of every zone of a cross section."""
    n = sec.index_in_reach
    upper = sec.reach == "upper"
    codes = {
        "left_terrace": "GRASS",
        "left_high": "CW_FOREST",
        "left_low": "CW/WILLOW YOUNG",
        "left_bank": "WILLOW",
        "channel": "BAR",
        "right_bank": "WILLOW",
        "right_low": "CW/WILLOW YOUNG",
        "right_high": "CW_FOREST",
        "right_terrace": "GRASS",
    }
    # A stand of old cottonwoods on the left terrace of the upper reach and
    # on the right terrace at the foot of the lower reach: the trees reach
    # the end of their lives during the run.
    if (upper and 4 <= n <= 7) or (not upper and n >= 9):
        codes["left_terrace" if upper else "right_terrace"] = "CW_OLD"
    # Willow thickets on the low floodplain in the middle of the upper reach,
    # pasture on the high floodplain across from them.
    if upper and 8 <= n <= 10:
        codes["left_low"] = "WILLOW"
        codes["right_high"] = "GRASS"
    # Pasture on both sides of the levee stretch.
    if not upper and sec.levee_here:
        codes["right_low"] = "GRASS"
        codes["right_high"] = "GRASS"
    # Open gravel on the bar side of the sharpest bends: no willow fringe.
    if abs(curvature(sec.s)) > 0.9 * math.radians(SWING_DEG) * 2.0 * math.pi / MEANDER_LENGTH:
        codes["left_bank" if sec.bar_left else "right_bank"] = "BAR"
    return codes


def zone_bounds(sec, margin):
    """Offsets of the boundaries between the zones, left to right (10 values)."""
    z = sec.zones
    # The willow fringe covers the bank face and the outer 6 m of the floodplain
    # on a cut bank; on a bar it covers the upper third of the bar.
    def bank_inner(side):
        sign = -1.0 if side == "left" else 1.0
        inner_is_bar = sec.bar_left if side == "left" else not sec.bar_left
        top = abs(z[side + "_bank_top"])
        if inner_is_bar:
            return sign * (top * 0.7)
        return sign * (top - 5.0)
    return [
        sec.left_end - margin,
        z["left_high_outer"],
        z["left_low_outer"],
        z["left_bank_top"] - 6.0,
        bank_inner("left"),
        bank_inner("right"),
        z["right_bank_top"] + 6.0,
        z["right_low_outer"],
        z["right_high_outer"],
        sec.profile[-1][0] + margin,
    ]


def map_polygons(sections, line, margin=60.0, ends=300.0, step=20.0):
    """WKT polygons (code, wkt) of the vegetation map, zone by zone."""
    ss = [sec.s for sec in sections]
    bounds = [zone_bounds(sec, margin) for sec in sections]
    codes = [zone_codes(sec) for sec in sections]

    def bound_at(s, b):
        if s <= ss[0]:
            return bounds[0][b]
        if s >= ss[-1]:
            return bounds[-1][b]
        for i in range(len(ss) - 1):
            if ss[i] <= s <= ss[i + 1]:
                w = (s - ss[i]) / (ss[i + 1] - ss[i])
                return bounds[i][b] + w * (bounds[i + 1][b] - bounds[i][b])
        raise AssertionError(s)

    # Every polygon takes its vertices from one common list of positions along
    # the river (a regular spacing, the cross sections and the half-way points
    # between them), so that neighbouring polygons share their edges exactly:
    # no gaps, no overlaps.
    first, last = ss[0] - ends, ss[-1] + ends
    grid = {round(first + step * k, 6) for k in range(int((last - first) // step) + 1)}
    grid |= {first, last} | set(ss) | {0.5 * (a + b) for a, b in zip(ss, ss[1:])}
    grid = sorted(grid)

    polygons = []
    for zi, zone in enumerate(ZONES):
        i = 0
        while i < len(sections):
            j = i
            while j + 1 < len(sections) and codes[j + 1][zone] == codes[i][zone]:
                j += 1
            s0 = first if i == 0 else 0.5 * (ss[i - 1] + ss[i])
            s1 = last if j == len(sections) - 1 else 0.5 * (ss[j] + ss[j + 1])
            along = [s for s in grid if s0 <= s <= s1]
            inner = [to_map(line, s, bound_at(s, zi)) for s in along]
            outer = [to_map(line, s, bound_at(s, zi + 1)) for s in reversed(along)]
            ring = inner + outer + [inner[0]]
            wkt = "POLYGON ((" + ", ".join("%.2f %.2f" % p for p in ring) + "))"
            polygons.append((codes[i][zone], wkt))
            i = j + 1
    return polygons


# ---------------------------------------------------------------------------
# Writers.

def stress_class(sec):
    """Bank material: gravelly at the head of the upper reach, sandy below, fine at the foot."""
    if sec.reach == "upper":
        return 3 if sec.index_in_reach <= 4 else 2
    return 2 if sec.index_in_reach <= 6 else 1


def write_sections_csv(path, sections, line):
    rows = ["section,station,elevation,x,y"]
    for sec in sections:
        for sta, (o, z) in zip(sec.stations(), sec.profile):
            x, y = to_map(line, sec.s, o)
            rows.append("%s,%.2f,%.3f,%.2f,%.2f" % (sec.name, sta, z, x, y))
    path.write_text("\n".join(rows) + "\n", encoding="ascii")


def reach_lengths(sec, nxt, line):
    """Channel, left and right overbank lengths to the next cross section downstream."""
    ch = nxt.s - sec.s
    # Overbank flow paths: along the floodplains, 50 m out from the channel centre.
    def path(offset):
        n = 20
        total = 0.0
        prev = to_map(line, sec.s, offset)
        for k in range(1, n + 1):
            cur = to_map(line, sec.s + ch * k / n, offset)
            total += math.hypot(cur[0] - prev[0], cur[1] - prev[1])
            prev = cur
        return total
    return ch, path(-50.0), path(50.0)


SCENARIO_HEAD = '''\
# scenario.toml - the bundled river example for the stand-in host tulma-run.
# Generated by examples/river/make_geometry.py (do not edit by hand):
#   /usr/bin/python3 examples/river/make_geometry.py --seed %(seed)d
# See README.md beside this file for the river, the vegetation kinds and how
# every input was made.

[run]
units = "metric"
start = "2005-01-01"          # time 0 of the host's clock; 1 January, so the
                              # cottonwood's degree days start with the year
time_step_hours = 24.0        # one host call a day
end = "2015-01-01"            # ten years
run_dir = "run"
snapshots = 365               # keep the plant state of a report event once a
                              # year (events/), for maps and the GeoPackage

[inputs]
vegetation = "vegetation.txt"
map = "veg_polygons.shp"
temperature = "temperature.txt"

[geometry]
points = "sections.csv"

[hydrology]
water_levels = "water_levels.csv"   # daily water-surface elevations, make_hydrology.py
capillary_fringe = 0.35             # m: 30-40 cm (Mahoney & Rood 1998, Wetlands 18:634)
energy_slope = 0.0015               # the valley slope: uniform flow
'''


def fmt(v):
    return ("%.2f" % v).rstrip("0").rstrip(".") if abs(v - round(v)) > 1e-9 else "%.1f" % v


def write_scenario(path, sections, line, seed):
    out = [SCENARIO_HEAD % {"seed": seed}]
    for reach, _, _, spacing in REACHES:
        out.append("")
        out.append("[[reach]]")
        out.append('name = "%s"' % reach)
        members = [sec for sec in sections if sec.reach == reach]
        for sec in members:
            i = sections.index(sec)
            stations = sec.stations()
            if i + 1 < len(sections):
                ch, lob, rob = reach_lengths(sec, sections[i + 1], line)
            else:
                # The model's last cross section stands for the river below it:
                # it takes the spacing of its reach.
                ch, lob, rob = spacing, spacing, spacing
            offs = [o for o, _ in sec.profile]
            rough = [(0.0, N_OVERBANK), (stations[sec.lbank_k - 1], N_CHANNEL)]
            # The right overbank starts at the first point beyond the right bank
            # top.  Every fifth cross section has two roughness sections only:
            # the channel's n runs on to its right end, as in surveys that lump
            # a narrow overbank with the channel.
            if sec.index_in_reach % 5 != 0:
                rough.append((stations[sec.rbank_k], N_OVERBANK))
            out.append("")
            out.append("  [[reach.section]]")
            out.append('  name = "%s"' % sec.name)
            out.append("  banks = [%d, %d]" % (sec.lbank_k, sec.rbank_k))
            out.append("  lengths = { channel = %.1f, left = %.1f, right = %.1f }" % (ch, lob, rob))
            out.append("  distance = %.1f" % ch)
            out.append("  reference_elevation = %.2f" % (sec.thalweg + REFERENCE_ABOVE_THALWEG))
            out.append("  class = %d" % stress_class(sec))
            out.append("  roughness = [ " + ", ".join(
                "{ start = %s, n = %.3f }" % (fmt(st), n) for st, n in rough) + " ]")
            if sec.levee is not None:
                o0 = offs[0]
                out.append("  lev = [ [%.2f, %.2f] ]" % (sec.levee[0] - o0, sec.levee[1] - o0))
            if sec.name in GIS_SECTIONS:
                out.append("  gis = true")
    path.write_text("\n".join(out) + "\n", encoding="ascii")


def write_polygons(path, polygons):
    rows = ["VEGCODE,WKT"]
    for code, wkt in polygons:
        rows.append('"%s","%s"' % (code, wkt))
    path.write_text("\n".join(rows) + "\n", encoding="ascii")


def main():
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED,
                        help="seed of the layout (default %(default)s)")
    parser.add_argument("--output-dir", type=pathlib.Path, default=here,
                        help="folder to write into (default: beside this script)")
    args = parser.parse_args()
    sections = build_sections(args.seed)
    line = centre_line(sections[-1].s)
    args.output_dir.mkdir(parents=True, exist_ok=True)
    write_sections_csv(args.output_dir / "sections.csv", sections, line)
    write_scenario(args.output_dir / "scenario.toml", sections, line, args.seed)
    polygons = map_polygons(sections, line)
    write_polygons(args.output_dir / "veg_polygons.csv", polygons)
    npts = [len(sec.profile) for sec in sections]
    print("wrote %d cross sections (%d to %d points), %d map polygons to %s"
          % (len(sections), min(npts), max(npts), len(polygons), args.output_dir))


if __name__ == "__main__":
    main()
