"""Command line: python3 -m tulma plot | summary | export RUN_DIR, and ensemble ENSEMBLE.toml."""

import argparse
import datetime
import os
import sys

from . import __version__, plots, reports


def _moment(text):
    try:
        return datetime.datetime.fromisoformat(text)
    except ValueError:
        raise argparse.ArgumentTypeError(
            f'{text!r} is not a date YYYY-MM-DD or a date-time YYYY-MM-DDTHH:MM:SS') from None


def _event(text):
    try:
        return plots.EventChoice.parse(text)
    except ValueError:
        raise argparse.ArgumentTypeError(
            f'{text!r} is not a date YYYY-MM-DD, a date-time YYYY-MM-DDTHH:MM, host hours '
            f'(8760h) or an event number (14)') from None


def _parser():
    parser = argparse.ArgumentParser(prog='python3 -m tulma',
                                     description='Figures, summaries and exports of a TULMA run.')
    parser.add_argument('--version', action='version', version=f'%(prog)s {__version__}')
    commands = parser.add_subparsers(dest='command', required=True)

    def command(name, help_text):
        sub = commands.add_parser(name, help=help_text)
        sub.add_argument('run_dir', metavar='RUN_DIR', help='directory holding the report files')
        sub.add_argument('--start', metavar='YYYY-MM-DD', type=_moment,
                         help='calendar day (or date-time) of time 0; default: from RUN_DIR/run.json; '
                              'without either, times are hours or years since time 0')
        sub.add_argument('--units', choices=('metric', 'english'),
                         help="the run's unit system; default: from RUN_DIR/run.json; "
                              'without either, both are named (m² or ft²)')
        return sub

    plot = command('plot', 'write PNG figures of the reports')
    plot.add_argument('--out', metavar='DIR', help='where to write the figures (default RUN_DIR/figures)')
    plot.add_argument('--section', metavar='NAME|I_XC',
                      help='cross section of the profile, by its name in run.json (U03) or its number '
                           '(default: the first one in veg_Ele_out.dat)')
    plot.add_argument('--event', metavar='WHEN', type=_event,
                      help='report event of the profile, strip chart and map: a date or date-time '
                           '(the last kept event at or before it), host hours (8760h) or an event '
                           'number as events/veg_out_NNNNN.txt counts them (default: the last event)')
    command('summary', 'print the living area of each kind at the last event')
    export = command('export', 'write the plants, cross sections, roughness and map to GIS or table files')
    export.add_argument('-o', '--out', metavar='OUT', required=True,
                        help='OUT.gpkg (GeoPackage), OUT.nc (NetCDF), or a directory or OUT.csv (CSV files)')
    export.add_argument('--format', choices=('gpkg', 'csv', 'netcdf'),
                        help='the format, when the name of OUT does not tell it')
    ensemble = commands.add_parser('ensemble', help='run an ensemble of tulma-run runs on a Dask cluster')
    ensemble.add_argument('ensemble_file', metavar='ENSEMBLE.toml', help='the ensemble file')
    ensemble.add_argument('--out', metavar='DIR', required=True,
                          help='where the members, ensemble.nc and the figures go; a second run with '
                               'the same DIR runs only the members not finished yet')
    where = ensemble.add_mutually_exclusive_group()
    where.add_argument('--workers', metavar='N', type=int,
                       help='worker processes of the local cluster (default: one per core)')
    where.add_argument('--scheduler', metavar='ADDRESS',
                       help='use the Dask cluster of this scheduler (tcp://HOST:8786) instead')
    ensemble.add_argument('--tulma-run', metavar='PATH',
                          help='tulma-run on the workers (default: $TULMA_RUN, else tulma-run on PATH, '
                               'else build/tulma-run of the source tree)')
    return parser


def _ensemble(args):
    from . import ensemble
    try:
        written = ensemble.run(args.ensemble_file, args.out, args.workers, args.scheduler, args.tulma_run)
    except ensemble.EnsembleInputError as e:
        print(f'tulma: {e}', file=sys.stderr)
        return 2
    return _say_written(written)


def _say_written(paths):
    print('written:')
    for path in paths:
        print(f'  {os.path.abspath(path)}')
    return 0


def _run(args):
    """The run, its start and unit system: the options win over run.json."""
    run = reports.Run(args.run_dir)
    info = run.info
    start = args.start or (info.start if info else None)
    units = args.units or (info.units if info else None)
    return run, start, units


def _plot(args):
    run, start, units = _run(args)
    section = None if args.section is None else run.find_section(args.section)
    out_dir = args.out or os.path.join(args.run_dir, 'figures')
    made, problems = plots.plot_all(run, out_dir, section, plots.TimeAxis(start), units, args.event)
    if made:
        print(f'figures written to {os.path.abspath(out_dir)}:')
        for plot in made:
            print(f'  {os.path.abspath(plot.path)}')
    for name, reason in problems:
        print(f'tulma: no {name} figure: {reason}', file=sys.stderr)
    return 1 if problems else 0


def _summary(args):
    run, start, units = _run(args)
    time, rows = plots.living_summary(run)
    area = reports.unit_text('area', units)
    when = f'{time / reports.HOURS_PER_YEAR:.2f} years since time 0'
    if start is not None:
        when = f'{plots.day_text(start + datetime.timedelta(hours=time))}, {when}'
    print(f'Living area at the last report event, {time:g} {reports.TIME_UNIT} ({when}), area in {area}')
    width = max([len('name')] + [len(name) for _, name, _, _ in rows])
    print(f'{"kind":>4}  {"name":<{width}}  {"living area":>14}  {"share of total":>14}')
    for m, name, living, total in rows:
        share = f'{100.0 * living / total:.1f} %' if total > 0 else '-'
        print(f'{m:>4}  {name:<{width}}  {living:>14.1f}  {share:>14}')
    return 0


def _export(args):
    from . import export
    run, start, units = _run(args)
    try:
        written = export.export(run, args.out, args.format, start, units)
    except export.ExportError as e:
        print(f'tulma: {e}', file=sys.stderr)
        return 1
    return _say_written(written)


def main(argv=None):
    args = _parser().parse_args(argv)
    action = {'plot': _plot, 'summary': _summary, 'export': _export, 'ensemble': _ensemble}[args.command]
    try:
        return action(args)
    except (FileNotFoundError, reports.ReportFormatError, reports.UnknownSectionError,
            plots.PlotError) as e:
        print(f'tulma: {e}', file=sys.stderr)
        return 1


if __name__ == '__main__':
    sys.exit(main())
