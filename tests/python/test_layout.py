"""The ctypes Structures against the C compiler's layout of capi/tarnwick.h: every struct's
size and alignment, every member's offset and size."""

import ctypes
import json
import os
import shutil
import subprocess

import pytest

from conftest import ROOT
from tarnwick import _capi

STRUCTS = [
    value
    for name, value in vars(_capi).items()
    if name.startswith("tarnwick_")
    and isinstance(value, type)
    and issubclass(value, (ctypes.Structure, ctypes.Union))
]


def ctypes_layout():
    return {
        cls.__name__: {
            "size": ctypes.sizeof(cls),
            "align": ctypes.alignment(cls),
            "members": {
                name: [getattr(cls, name).offset, getattr(cls, name).size]
                for name, _ in cls._fields_
            },
        }
        for cls in STRUCTS
    }


def test_every_struct_of_the_header_is_mirrored():
    header = (ROOT / "capi" / "tarnwick.h").read_text() + (
        ROOT / "client" / "records.h"
    ).read_text()
    for cls in STRUCTS:
        assert (
            f"typedef {'union' if issubclass(cls, ctypes.Union) else 'struct'} {cls.__name__} "
            in header
        )
    assert len(STRUCTS) == header.count("} tarnwick_") - header.count(
        "} tarnwick_error;"
    )


def test_structures_match_the_c_layout(tmp_path):
    compiler = os.environ.get("CC") or shutil.which("cc") or shutil.which("gcc")
    if compiler is None:
        pytest.fail("no C compiler (cc) to compare the layout with")
    lines = ["#include <stdalign.h>", "#include <stddef.h>", "#include <stdio.h>"]
    lines += ['#include "capi/tarnwick.h"', "int main(void) {", 'printf("{");']
    for index, cls in enumerate(STRUCTS):
        name = cls.__name__
        kind = "union" if issubclass(cls, ctypes.Union) else "struct"
        comma = "," if index else ""
        lines.append(
            f'printf("{comma}\\"{name}\\": {{\\"size\\": %zu, \\"align\\": %zu, \\"members\\": {{",'
            f" sizeof({kind} {name}), alignof({kind} {name}));"
        )
        for member_index, (member, _) in enumerate(cls._fields_):
            sep = "," if member_index else ""
            lines.append(
                f'printf("{sep}\\"{member}\\": [%zu, %zu]", offsetof({kind} {name}, {member}),'
                f" sizeof((({kind} {name}*)0)->{member}));"
            )
        lines.append('printf("}}");')
    lines += ['printf("}\\n");', "return 0;", "}"]
    source = tmp_path / "layout.c"
    source.write_text("\n".join(lines) + "\n")
    program = tmp_path / "layout"
    subprocess.run(
        [compiler, "-std=c11", "-I", str(ROOT), str(source), "-o", str(program)],
        check=True,
    )
    c_layout = json.loads(
        subprocess.run(
            [str(program)], check=True, capture_output=True, text=True
        ).stdout
    )
    assert c_layout == ctypes_layout()
