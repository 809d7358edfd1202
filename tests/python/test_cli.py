"""python -m tarnwick fix and watch, beside the command-line client's own answers."""

import json
import subprocess

import pytest

import tarnwick
from conftest import CLI, next_of, python_cli


def tarnwick_cli(*args):
    return subprocess.run(
        [str(CLI), *args, "--no-start"],
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        timeout=60,
    )


@pytest.fixture
def with_fix(connected):
    """A service that kept a fix and has no input any more."""
    with connected.watch(timeout=30) as watcher:
        next_of(watcher, tarnwick.RMC)
        next_of(watcher, tarnwick.RMC)
        connected.disconnect()
    assert connected.valid_rmc() is not None
    return connected


@pytest.mark.parametrize("json_flag", [[], ["--json"]], ids=["text", "json"])
def test_fix_prints_what_tarnwick_fix_prints(with_fix, json_flag):
    ours = python_cli("fix", "--no-start", *json_flag, timeout=60)
    theirs = tarnwick_cli("fix", *json_flag)
    assert ours.returncode == theirs.returncode == 0, ours.stderr
    if json_flag:
        assert json.loads(ours.stdout) == json.loads(theirs.stdout)
    else:
        assert ours.stdout == theirs.stdout
        assert " UTC  " in ours.stdout


def test_fix_without_a_fix_fails(client):
    nothing = python_cli("fix", "--no-start", timeout=60)
    assert nothing.returncode == 1
    assert nothing.stdout == ""
    assert "no valid fix" in nothing.stderr


def test_fix_and_watch_without_a_service_exit_3(home):
    for args in (["fix"], ["watch", "--count", "1"]):
        result = python_cli(*args, "--no-start", timeout=60)
        assert result.returncode == 3, args
        assert "not running" in result.stderr


def test_watch_prints_count_messages_as_json_lines(connected):
    with connected.watch():
        result = python_cli(
            "watch", "--no-start", "--count", "3", "--timeout", "30", timeout=60
        )
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert len(lines) == 3
    names = {cls.__name__ for cls in tarnwick.MESSAGE_TYPES}
    for line in lines:
        message = json.loads(line)
        assert message["type"] in names
        assert isinstance(message["sequence"], int)
    rmcs = [json.loads(line) for line in lines if json.loads(line)["type"] == "RMC"]
    for rmc in rmcs:
        assert rmc["id"] == 4
        assert rmc["status"] == "A"
        assert set(rmc["time"]) == {"hour", "minute", "second"}


def test_watch_without_messages_gives_up_after_its_timeout(client):
    result = python_cli(
        "watch", "--no-start", "--count", "1", "--timeout", "0.2", timeout=60
    )
    assert result.returncode == 1
    assert result.stdout == ""
    assert "no message within 0.2 s" in result.stderr


def test_usage_errors_exit_2(home):
    assert python_cli("watch", "--count", "-1", timeout=60).returncode == 2
    assert python_cli(timeout=60).returncode == 2
