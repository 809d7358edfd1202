"""Fixtures that run the real programs of a build tree in a private namespace.

TARNWICK_BUILD_DIR names the build tree (scripts/test.sh sets it; build/release otherwise):
its server/tarnwickd, tools/tarnwick-sim/tarnwick-sim, tools/tarnwick/tarnwick and
capi/libtarnwick.so.0, which TARNWICK_LIBRARY may name instead."""

import os
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))
BUILD = Path(os.environ.get("TARNWICK_BUILD_DIR", ROOT / "build" / "release")).resolve()
LIBRARY = Path(os.environ.get("TARNWICK_LIBRARY", BUILD / "capi" / "libtarnwick.so.0"))
TARNWICKD = BUILD / "server" / "tarnwickd"
SIM = BUILD / "tools" / "tarnwick-sim" / "tarnwick-sim"
CLI = BUILD / "tools" / "tarnwick" / "tarnwick"

for needed in (LIBRARY, TARNWICKD, SIM, CLI):
    if not needed.exists():
        raise pytest.UsageError(
            f"{needed} is missing: build it or set TARNWICK_BUILD_DIR"
        )
os.environ["TARNWICK_LIBRARY"] = str(LIBRARY)

import tarnwick  # noqa: E402  (after the library's path is known)

# Upper bounds for things that normally take milliseconds: generous, so that a loaded machine
# does not fail a test, yet a hang ends.
READY_SECONDS = 20
EXIT_SECONDS = 20


@pytest.fixture
def home(tmp_path, monkeypatch):
    """A private namespace for the test, for this process and the programs it starts."""
    namespace = tmp_path / "home"
    namespace.mkdir()
    monkeypatch.setenv("TARNWICK_HOME", str(namespace))
    monkeypatch.delenv("TARNWICK_DEBUG", raising=False)
    return namespace


def wait_until(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError(f"{what} did not happen within {seconds} s")
        time.sleep(0.02)


def _stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGKILL)
    process.wait()


@pytest.fixture
def service(request, home):
    """A running tarnwickd (its arguments by indirect parametrization); at the end it must quit
    with status 0 (the test may quit it itself), else it is killed and the test fails.
    """
    args = getattr(request, "param", [])
    process = subprocess.Popen([str(TARNWICKD), *args], stdin=subprocess.DEVNULL)
    try:
        wait_until(
            lambda: process.poll() is not None or tarnwick.service_running(),
            READY_SECONDS,
            "the service's start",
        )
        assert process.poll() is None, f"tarnwickd ended with {process.returncode}"
        yield process
        if process.poll() is None:
            with tarnwick.Client(may_start=False) as client:
                client.quit()
        assert process.wait(EXIT_SECONDS) == 0
    finally:
        _stop(process)


@pytest.fixture
def client(service):
    with tarnwick.Client(may_start=False) as opened:
        yield opened


class Receiver:
    """tarnwick-sim as a receiver on a pseudo-terminal, bound to a COM name."""

    def __init__(self, name, *args):
        self.name = name
        # The simulator logs each command it reads on standard error.
        self.log_file = tempfile.TemporaryFile("w+")
        self.process = subprocess.Popen(
            [str(SIM), "serial", "--name", name, *args],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=self.log_file,
            text=True,
        )
        self.first_line = self.process.stdout.readline().strip()
        assert self.first_line.startswith(name + " /dev/"), self.first_line

    def log(self):
        self.log_file.seek(0)
        return self.log_file.read()

    def close(self):
        _stop(self.process)
        self.process.stdout.close()
        self.log_file.close()


@pytest.fixture
def receiver(home):
    """A simulated receiver on COM4: at 4800 baud, ten epochs a second."""
    sim = Receiver("COM4:", "--rate", "10")
    yield sim
    sim.close()


def next_of(watcher, kind, limit=500):
    """The next message of type `kind`, skipping others (a bounded number)."""
    for _ in range(limit):
        message = watcher.next()
        if isinstance(message, kind):
            return message
    raise AssertionError(f"no {kind.__name__} among {limit} messages")


def python_cli(*args, module=True, **kwargs):
    """python -m tarnwick (or, module False, python with `args`) from the source tree, with
    this interpreter."""
    env = dict(os.environ, PYTHONPATH=str(ROOT / "python"))
    return subprocess.run(
        [sys.executable, *(["-m", "tarnwick"] if module else []), *args],
        env=env,
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        **kwargs,
    )


@pytest.fixture
def connected(client, receiver):
    """The client, its service connected to the simulated receiver."""
    client.connect_port(receiver.name, 4800)
    return client
