"""The examples of the READMEs run as they are written."""

import re

import pytest

import tarnwick
from conftest import ROOT, next_of, python_cli


@pytest.mark.parametrize("readme", ["README.md", "python/README.md"])
def test_the_readme_example_prints_the_fix_and_messages(connected, readme):
    text = (ROOT / readme).read_text()
    example = re.search(r"```python\n(.*?)```", text, re.S).group(1)
    with connected.watch(timeout=30) as watcher:
        # A fix kept first, for the example to print.
        next_of(watcher, tarnwick.RMC)
        next_of(watcher, tarnwick.RMC)
        result = python_cli("-c", example, timeout=120, module=False)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert "Time(hour=" in lines[0]
    assert len(lines) >= 2
