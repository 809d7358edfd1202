"""Several watchers at once, in Python and in the command-line client, see the same stream."""

import json
import subprocess
import threading

import pytest

import tarnwick
from conftest import CLI, next_of


class Collector(threading.Thread):
    """Reads a watcher in its own thread until it is told to stop and the stream is quiet:
    the ring holds only a few seconds of a fast receiver, so every watcher must keep
    reading."""

    def __init__(self, watcher):
        super().__init__()
        self.watcher = watcher
        self.messages = []
        self.failure = None
        self.stop = threading.Event()

    def run(self):
        try:
            while True:
                try:
                    self.messages.append(self.watcher.next(timeout=0.2))
                except tarnwick.TimedOutError:
                    # Told to stop once the input is closed: a quiet stream is then drained.
                    if self.stop.is_set():
                        return
        except BaseException as error:  # reported by the test, not lost in the thread
            self.failure = error


def as_cli_json(message):
    """A Python message as `tarnwick watch --format json` writes it."""
    out = tarnwick.message_dict(message)
    out.pop("sequence", None)
    for satellite in (
        out.get("satellites", []) if isinstance(message, tarnwick.GSV) else []
    ):
        # Satellites carry a tag only with the gnss setting; the CLI then names its parts.
        assert satellite.pop("tag") == 0
    return out


def test_two_python_watchers_and_the_cli_see_the_same_records(client, receiver):
    watchers = [client.watch(), client.watch()]
    collectors = [Collector(watcher) for watcher in watchers]
    for collector in collectors:
        collector.start()
    cli = subprocess.Popen(
        [str(CLI), "watch", "--no-start", "--format", "json", "--count", "40"],
        stdin=subprocess.DEVNULL,
        stdout=subprocess.PIPE,
        text=True,
    )
    try:
        client.connect_port(receiver.name, 4800)
        output, _ = cli.communicate(timeout=60)
        assert cli.returncode == 0
    finally:
        if cli.poll() is None:
            cli.kill()
            cli.wait()
        client.disconnect()
        for collector in collectors:
            collector.stop.set()
            collector.join()
        for watcher in watchers:
            watcher.close()
    for collector in collectors:
        assert collector.failure is None, collector.failure
        assert collector.watcher.lost == 0

    first, second = (collector.messages for collector in collectors)
    for messages in (first, second):
        sequences = [message.sequence for message in messages]
        assert sequences == list(range(sequences[0], sequences[0] + len(sequences)))
    # Both joined before the input opened, so they saw the same messages from its start.
    common = min(len(first), len(second))
    assert common >= 40
    assert first[:common] == second[:common]
    assert {type(message) for message in first} >= {
        tarnwick.RMC,
        tarnwick.GGA,
        tarnwick.GSA,
        tarnwick.GSV,
        tarnwick.VTG,
        tarnwick.GLL,
    }

    # The command-line client may have joined a little later: its 40 messages are a run of
    # the same stream, field for field.
    from_cli = [json.loads(line) for line in output.splitlines()]
    assert len(from_cli) == 40
    python = [as_cli_json(message) for message in first]
    start = python.index(from_cli[0])
    assert python[start : start + 40] == from_cli


@pytest.mark.parametrize("service", [["tstamp"]], indirect=True)
def test_with_tstamp_every_rmc_carries_the_service_tick(client, receiver):
    assert client.time_stamp_mode() is True
    with client.watch(timeout=30) as watcher:
        client.connect_port(receiver.name, 4800)
        ticks = [next_of(watcher, tarnwick.RMC).tick for _ in range(3)]
        client.disconnect()
    assert all(isinstance(tick, int) for tick in ticks)
    # Milliseconds of a monotonic clock, ten epochs a second (the clock may wrap).
    assert ticks[0] != ticks[1] != ticks[2]
