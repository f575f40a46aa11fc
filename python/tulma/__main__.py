"""Command line: python3 -m tulma plot RUN_DIR | summary RUN_DIR."""

import argparse
import datetime
import os
import sys

from . import __version__, plots, reports


def _date(text):
    try:
        return datetime.date.fromisoformat(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f'{text!r} is not a date YYYY-MM-DD') from None


def _parser():
    parser = argparse.ArgumentParser(prog='python3 -m tulma',
                                     description='Figures and summaries of a TULMA run.')
    parser.add_argument('--version', action='version', version=f'%(prog)s {__version__}')
    commands = parser.add_subparsers(dest='command', required=True)
    units = dict(choices=('metric', 'english'),
                 help="the run's unit system (default: name both, m² or ft²)")

    plot = commands.add_parser('plot', help='write PNG figures of the reports')
    plot.add_argument('run_dir', metavar='RUN_DIR', help='directory holding the report files')
    plot.add_argument('--out', metavar='DIR', help='where to write the figures (default RUN_DIR/figures)')
    plot.add_argument('--section', metavar='I_XC', type=int,
                      help='cross section of the profile (default: the first one in veg_Ele_out.dat)')
    plot.add_argument('--start', metavar='YYYY-MM-DD', type=_date,
                      help='calendar day of time 0: time axes show dates instead of years')
    plot.add_argument('--units', **units)

    summary = commands.add_parser('summary', help='print the living area of each kind at the last event')
    summary.add_argument('run_dir', metavar='RUN_DIR', help='directory holding the report files')
    summary.add_argument('--units', **units)
    return parser


def _plot(args):
    run = reports.Run(args.run_dir)
    out_dir = args.out or os.path.join(args.run_dir, 'figures')
    time_axis = plots.TimeAxis(args.start)
    made, problems = plots.plot_all(run, out_dir, args.section, time_axis, args.units)
    if made:
        print(f'figures written to {os.path.abspath(out_dir)}:')
        for plot in made:
            print(f'  {os.path.abspath(plot.path)}')
    for name, reason in problems:
        print(f'tulma: no {name} figure: {reason}', file=sys.stderr)
    return 1 if problems else 0


def _summary(args):
    run = reports.Run(args.run_dir)
    time, rows = plots.living_summary(run)
    area = reports.unit_text('area', args.units)
    print(f'Living area at the last report event, {time:g} {reports.TIME_UNIT} '
          f'({time / reports.HOURS_PER_YEAR:.2f} years since time 0), area in {area}')
    width = max([len('name')] + [len(name) for _, name, _, _ in rows])
    print(f'{"kind":>4}  {"name":<{width}}  {"living area":>14}  {"share of total":>14}')
    for m, name, living, total in rows:
        share = f'{100.0 * living / total:.1f} %' if total > 0 else '-'
        print(f'{m:>4}  {name:<{width}}  {living:>14.1f}  {share:>14}')
    return 0


def main(argv=None):
    args = _parser().parse_args(argv)
    try:
        return _plot(args) if args.command == 'plot' else _summary(args)
    except (FileNotFoundError, reports.ReportFormatError, plots.PlotError) as e:
        print(f'tulma: {e}', file=sys.stderr)
        return 1


if __name__ == '__main__':
    sys.exit(main())
