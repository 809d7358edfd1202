"""The package installs as README.md says, without a network: into a virtual environment that
sees Debian's setuptools and wheel, then imported from outside the source tree."""

import os
import shutil
import subprocess
import sys

from conftest import ROOT


def test_a_venv_installs_the_package_offline_and_runs_it(tmp_path, home):
    source = tmp_path / "source"
    # A copy: the build leaves its folders beside the sources.
    shutil.copytree(
        ROOT / "python", source, ignore=shutil.ignore_patterns("build", "*.egg-info")
    )
    venv = tmp_path / "venv"
    subprocess.run(
        [sys.executable, "-m", "venv", "--system-site-packages", str(venv)], check=True
    )
    env = {k: v for k, v in os.environ.items() if not k.startswith(("PIP_", "PYTHON"))}
    subprocess.run(
        [
            str(venv / "bin" / "pip"),
            "install",
            "--quiet",
            "--no-cache-dir",
            "--no-index",
            "--no-build-isolation",
            str(source),
        ],
        check=True,
        env=env,
        stdin=subprocess.DEVNULL,
    )
    python = str(venv / "bin" / "python")
    where = subprocess.run(
        [python, "-c", "import tarnwick; print(tarnwick.__file__)"],
        check=True,
        capture_output=True,
        text=True,
        cwd=tmp_path,
        env=env,
    ).stdout.strip()
    assert where.startswith(str(venv))
    # An empty namespace: the library loads and tells that no service runs.
    result = subprocess.run(
        [python, "-m", "tarnwick", "fix", "--no-start"],
        capture_output=True,
        text=True,
        cwd=tmp_path,
        env=env,
    )
    assert result.returncode == 3, result.stderr
    assert "not running" in result.stderr
