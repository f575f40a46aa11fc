#!/usr/bin/python3
"""Write the example's daily water-surface elevations "water_levels.csv".

The series is synthetic: a seeded daily discharge record of a snowmelt river
in a semi-arid valley, turned into a water-surface elevation at every cross
section with the section's own rating curve.  No measured data are used.

Discharge, year by year (calendar years, the run starts on 1 January):

- Winter baseflow BASEFLOW, with a few rain storms between October and March
  (STORMS_PER_YEAR on average, peaks drawn around STORM_MEDIAN, each falling
  off with a time constant of STORM_DAYS).
- A snowmelt flood every spring.  Each year has a type, and the years of a
  decade are a seeded shuffle of YEAR_TYPES (three dry, four normal, two wet
  and one big flood year).  A type sets, as ranges the year's values are drawn
  from: the day of the year of the peak, the peak discharge, the days of the
  rising limb, the time constant of the recession after the peak, and the
  summer low flow the recession falls to.  Dry years peak early and low and
  recede fast to a low summer stage; wet and big years flood the floodplains
  and scour the bars.  Warm spells put weekly pulses on the rising limb.
- In autumn the flow climbs back from the summer low to the baseflow.
- Day-to-day noise: a factor exp(e), e first-order autoregressive with
  standard deviation NOISE_SD and lag-one correlation PERSISTENCE.

The lower reach starts below a tributary mouth and carries TRIBUTARY_FACTOR
times the discharge of the upper reach.

Water levels: every cross section gets the elevation at which uniform flow
carries the day's discharge, from Manning's equation with the section's
roughness sections (their n as scenario.toml gives them) and the energy
slope of scenario.toml:

    Q = sum over the wetted parts of the section of (1 / n) A R^(2/3) S^(1/2)

computed as a rating curve (elevation steps of RATING_STEP m) and
interpolated.  The water surface is flat across the section; land below it
behind a higher bank counts as wet too (the stand-in host's water table).

Random numbers come from Python's random.Random with a fixed seed, so the same
command always writes the same file.  The run period, the cross sections and
their roughness are read from scenario.toml, their points from sections.csv
(both written by make_geometry.py).  Standard library and numpy.  Usage, from
the repository root:

    /usr/bin/python3 examples/river/make_hydrology.py

Options: --seed S, --scenario PATH, --output PATH, --discharge PATH (also
write the daily discharge of the upper reach, for plotting).
"""

import argparse
import csv
import datetime
import math
import pathlib
import random
import tomllib

import numpy as np

DEFAULT_SEED = 20170401

BASEFLOW = 7.0              # m3/s, winter baseflow
STORMS_PER_YEAR = 3.0       # mean number of rain storms, October to March
STORM_MEDIAN = 15.0         # m3/s, median peak of a storm above the flow it falls on
STORM_SPREAD = 0.6          # standard deviation of the logarithm of a storm peak
STORM_DAYS = 3.0            # days, time constant of a storm's falling limb
AUTUMN_START = 290          # day of year the flow starts to climb back to the baseflow
AUTUMN_DAYS = 45            # days it takes
NOISE_SD = 0.05             # standard deviation of the daily noise (of log discharge)
PERSISTENCE = 0.8           # lag-one correlation of the daily noise
MELT_PULSE = 0.08           # relative size of the weekly warm-spell pulses on the rising limb
TRIBUTARY_FACTOR = 1.15     # discharge of the lower reach over that of the upper reach
RATING_STEP = 0.005         # m, elevation step of the rating curves

# Year types: ranges (low, high) of the day of year of the peak, the peak
# discharge (m3/s), the days of the rising limb, the recession time constant
# (days) and the summer low flow (m3/s).
TYPES = {
    "dry":    dict(peak_day=(125, 140), peak=(35.0, 60.0), rise=(25, 35), recession=(8.0, 12.0), low=(1.8, 2.5)),
    "normal": dict(peak_day=(140, 155), peak=(100.0, 150.0), rise=(35, 45), recession=(18.0, 24.0), low=(3.5, 4.5)),
    "wet":    dict(peak_day=(145, 160), peak=(250.0, 330.0), rise=(40, 50), recession=(25.0, 32.0), low=(5.0, 6.0)),
    "big":    dict(peak_day=(150, 160), peak=(450.0, 520.0), rise=(45, 55), recession=(28.0, 35.0), low=(6.0, 7.0)),
}
YEAR_TYPES = ["dry", "dry", "dry", "normal", "normal", "normal", "normal", "wet", "wet", "big"]


def year_plan(rng, n_years):
    """The type and drawn values of every year."""
    plan = []
    while len(plan) < n_years:
        block = list(YEAR_TYPES)
        rng.shuffle(block)
        for kind in block:
            t = TYPES[kind]
            plan.append(dict(
                kind=kind,
                peak_day=rng.randint(*t["peak_day"]),
                peak=rng.uniform(*t["peak"]),
                rise=rng.randint(*t["rise"]),
                recession=rng.uniform(*t["recession"]),
                low=rng.uniform(*t["low"]),
                storms=[(rng.choice([rng.randint(1, 90), rng.randint(AUTUMN_START, 365)]),
                         STORM_MEDIAN * math.exp(rng.gauss(0.0, STORM_SPREAD)))
                        for _ in range(poisson(rng, STORMS_PER_YEAR))],
            ))
    return plan[:n_years]


def poisson(rng, mean):
    """A Poisson-distributed count (Knuth's method; small means only)."""
    limit, k, p = math.exp(-mean), 0, 1.0
    while True:
        p *= rng.random()
        if p <= limit:
            return k
        k += 1


def seasonal_flow(doy, year):
    """Discharge of the snowmelt season and the autumn recovery, without storms and noise."""
    start = year["peak_day"] - year["rise"]
    if doy < start:
        return BASEFLOW
    if doy <= year["peak_day"]:
        f = (doy - start) / year["rise"]
        shape = (0.5 - 0.5 * math.cos(math.pi * f)) ** 1.5
        pulse = 1.0 + MELT_PULSE * math.sin(2.0 * math.pi * (doy - start) / 7.0) * math.sin(math.pi * f)
        return BASEFLOW + (year["peak"] - BASEFLOW) * shape * pulse
    q = year["low"] + (year["peak"] - year["low"]) * math.exp(-(doy - year["peak_day"]) / year["recession"])
    if doy > AUTUMN_START:
        w = min(1.0, (doy - AUTUMN_START) / AUTUMN_DAYS)
        q = (1.0 - w) * q + w * BASEFLOW
    return q


def discharge(start, end, seed):
    """Daily discharge (m3/s) of the upper reach from start to end, and the year plan."""
    rng = random.Random(seed)
    years = list(range(start.year, end.year + 1))
    plan = dict(zip(years, year_plan(rng, len(years))))
    days = (end - start).days + 1
    noise = rng.gauss(0.0, NOISE_SD)
    innovation = NOISE_SD * math.sqrt(1.0 - PERSISTENCE * PERSISTENCE)
    flows = []
    storm_flow = 0.0
    for i in range(days):
        date = start + datetime.timedelta(days=i)
        doy = date.timetuple().tm_yday
        year = plan[date.year]
        if i > 0:
            noise = PERSISTENCE * noise + rng.gauss(0.0, innovation)
        storm_flow *= math.exp(-1.0 / STORM_DAYS)
        for day, peak in year["storms"]:
            if day == doy:
                storm_flow += peak
        q = (seasonal_flow(doy, year) + storm_flow) * math.exp(noise)
        flows.append((date, q))
    return flows, plan


def read_sections(scenario_path):
    """Cross sections in model order: name, reach index, points (station, elevation), roughness."""
    with open(scenario_path, "rb") as f:
        scenario = tomllib.load(f)
    points = {}
    with open(scenario_path.parent / scenario["geometry"]["points"], newline="") as f:
        for row in csv.DictReader(f):
            points.setdefault(row["section"], []).append((float(row["station"]), float(row["elevation"])))
    sections = []
    for r, reach in enumerate(scenario["reach"]):
        for sec in reach["section"]:
            sections.append(dict(name=sec["name"], reach=r, points=np.array(points[sec["name"]]),
                                 rough=[(s["start"], s["n"]) for s in sec["roughness"]]))
    return scenario, sections


def rating_curve(points, rough, slope):
    """Water-surface elevations and the uniform-flow discharge (m3/s) at each."""
    sta, ele = points[:, 0], points[:, 1]
    starts = np.array([s for s, _ in rough])
    ns = np.array([n for _, n in rough])
    # Roughness section of each segment between two points, by its middle.
    mid = 0.5 * (sta[:-1] + sta[1:])
    seg_section = np.searchsorted(starts, mid + 1e-9, side="right") - 1
    dx = np.diff(sta)
    levels = np.arange(ele.min() + RATING_STEP, ele.max() + RATING_STEP, RATING_STEP)
    flows = np.empty_like(levels)
    for i, w in enumerate(levels):
        d = np.maximum(0.0, w - ele)
        wet = (d[:-1] > 0.0) | (d[1:] > 0.0)
        # Each segment between two points: its wetted area (trapezoid, cut
        # where the bed rises out of the water) and its wetted bed length.
        d1, d2 = d[:-1], d[1:]
        z1, z2 = ele[:-1], ele[1:]
        full = (d1 > 0.0) & (d2 > 0.0)
        frac = np.where(full, 1.0, np.where(wet, np.maximum(d1, d2) / np.maximum(np.abs(z2 - z1), 1e-9), 0.0))
        frac = np.minimum(frac, 1.0)
        area = np.where(full, 0.5 * (d1 + d2) * dx, 0.5 * np.maximum(d1, d2) * dx * frac)
        perimeter = np.hypot(dx, z2 - z1) * frac
        q = 0.0
        for s, n in enumerate(ns):
            sel = wet & (seg_section == s)
            a, p = area[sel].sum(), perimeter[sel].sum()
            if a > 0.0 and p > 0.0:
                q += a * (a / p) ** (2.0 / 3.0) * math.sqrt(slope) / n
        flows[i] = q
    return levels, flows


def main():
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED,
                        help="seed of the discharge record (default %(default)s)")
    parser.add_argument("--scenario", type=pathlib.Path, default=here / "scenario.toml",
                        help="scenario giving the run period and the cross sections")
    parser.add_argument("--output", type=pathlib.Path, default=here / "water_levels.csv",
                        help="file to write (default: water_levels.csv beside this script)")
    parser.add_argument("--discharge", type=pathlib.Path, default=None,
                        help="also write the daily discharge of the upper reach to this CSV")
    args = parser.parse_args()

    scenario, sections = read_sections(args.scenario)
    start = datetime.date.fromisoformat(scenario["run"]["start"])
    end_text = str(scenario["run"]["end"])
    end = datetime.date.fromisoformat(end_text[:10])
    if end_text[11:].strip("0:") != "":
        # The run ends during its last day: the series must reach the next midnight.
        end += datetime.timedelta(days=1)
    slope = scenario["hydrology"]["energy_slope"]
    flows, plan = discharge(start, end, args.seed)
    q = np.array([v for _, v in flows])

    columns = []
    for sec in sections:
        levels, rated = rating_curve(sec["points"], sec["rough"], slope)
        factor = TRIBUTARY_FACTOR if sec["reach"] > 0 else 1.0
        columns.append(np.interp(q * factor, rated, levels))

    lines = ["date," + ",".join(sec["name"] for sec in sections)]
    for i, (date, _) in enumerate(flows):
        lines.append(date.isoformat() + "," + ",".join("%.3f" % col[i] for col in columns))
    args.output.write_text("\n".join(lines) + "\n", encoding="ascii")
    if args.discharge is not None:
        args.discharge.write_text("date,discharge\n" + "".join(
            "%s,%.2f\n" % (d.isoformat(), v) for d, v in flows), encoding="ascii")
    print("wrote %d days x %d cross sections to %s" % (len(flows), len(sections), args.output))
    for year in sorted(plan):
        p = plan[year]
        if datetime.date(year, 1, 1) + datetime.timedelta(days=p["peak_day"] - 1) > end:
            continue
        print("  %d  %-6s  peak %5.0f m3/s on day %3d, recession %4.1f days, summer low %.1f m3/s"
              % (year, p["kind"], p["peak"], p["peak_day"], p["recession"], p["low"]))


if __name__ == "__main__":
    main()
