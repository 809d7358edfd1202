"""python -m tarnwick: a first try of the service from Python.

    python -m tarnwick fix              the last valid fix
    python -m tarnwick watch --count 5  the next messages, one JSON object a line

Exit status as tarnwick's: 0 done, 1 the request failed (no fix yet, no message in time),
2 usage, 3 the service is not running or did not answer."""

import argparse
import json
import sys
from typing import List, Optional

from . import (
    Client,
    LibraryNotFoundError,
    ServiceNotRunningError,
    TarnwickError,
    TimedOutError,
    Watcher,
    message_dict,
)
from .records import RMC

EXIT_OK, EXIT_FAILED, EXIT_USAGE, EXIT_NOT_RUNNING = 0, 1, 2, 3


def fix_text(fix: RMC) -> str:
    def hemi(value: Optional[str]) -> str:
        return value or "-"

    at = fix.position
    return (
        f"20{fix.year:02d}-{fix.month:02d}-{fix.day:02d} "
        f"{fix.time.hour:02d}:{fix.time.minute:02d}:{fix.time.second:06.3f} UTC  "
        f"{at.lat_deg}°{at.lat_min:07.4f}' {hemi(at.lat_hemi)}  "
        f"{at.lon_deg}°{at.lon_min:07.4f}' {hemi(at.lon_hemi)}  "
        f"{fix.speed:.1f} kn  course {fix.course:.1f}°"
    )


def run_fix(args: argparse.Namespace) -> int:
    with Client(may_start=not args.no_start, answer_timeout=args.timeout) as client:
        fix = client.valid_rmc()
    if args.json:
        print(json.dumps({"fix": None if fix is None else message_dict(fix)}))
    elif fix is not None:
        print(fix_text(fix))
    if fix is None:
        print("tarnwick: no valid fix stored yet", file=sys.stderr)
        return EXIT_FAILED
    return EXIT_OK


def run_watch(args: argparse.Namespace) -> int:
    with Client(may_start=not args.no_start) as client:
        watcher = Watcher(client, timeout=args.timeout)
    with watcher:
        seen = 0
        while args.count is None or seen < args.count:
            try:
                message = watcher.next()
            except TimedOutError:
                print(f"tarnwick: no message within {args.timeout} s", file=sys.stderr)
                return EXIT_FAILED
            print(json.dumps(message_dict(message)), flush=True)
            seen += 1
    return EXIT_OK


def parser() -> argparse.ArgumentParser:
    top = argparse.ArgumentParser(
        prog="python -m tarnwick", description=__doc__.split("\n")[0]
    )
    commands = top.add_subparsers(dest="command", required=True)

    fix = commands.add_parser("fix", help="print the last valid fix")
    fix.add_argument("--json", action="store_true", help="the whole RMC record as JSON")
    fix.add_argument(
        "--timeout", type=float, default=20.0, help="seconds for the answer"
    )
    fix.set_defaults(run=run_fix)

    watch = commands.add_parser(
        "watch", help="print messages of the data stream as JSON lines"
    )
    watch.add_argument("--count", type=_count, help="stop after N messages")
    watch.add_argument(
        "--timeout",
        type=float,
        default=None,
        help="give up after S seconds without a message",
    )
    watch.set_defaults(run=run_watch)

    for command in (fix, watch):
        command.add_argument(
            "--no-start",
            action="store_true",
            help="fail instead of starting the service",
        )
    return top


def _count(text: str) -> int:
    value = int(text)
    if value < 0:
        raise argparse.ArgumentTypeError("must not be negative")
    return value


def main(argv: Optional[List[str]] = None) -> int:
    args = parser().parse_args(argv)
    try:
        return args.run(args)
    except (ServiceNotRunningError, LibraryNotFoundError) as error:
        print(f"tarnwick: {error}", file=sys.stderr)
        return EXIT_NOT_RUNNING
    except TimedOutError as error:
        print(f"tarnwick: {error}", file=sys.stderr)
        return EXIT_NOT_RUNNING
    except TarnwickError as error:
        print(f"tarnwick: {error}", file=sys.stderr)
        return EXIT_FAILED
    except KeyboardInterrupt:
        return EXIT_OK


if __name__ == "__main__":
    sys.exit(main())
