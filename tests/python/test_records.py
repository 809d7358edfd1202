"""Conversions of C values into Python ones, and the records' conveniences."""

import struct

import pytest

import tarnwick
from tarnwick.records import character, shortest_float


def single(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


@pytest.mark.parametrize(
    "value, shown",
    [
        (12.2, 12.2),
        (45.0, 45.0),
        (0.1, 0.1),
        (-0.0, -0.0),
        (1e-30, 1e-30),
        (16777217.0, 16777216.0),
    ],
)
def test_reals_are_the_shortest_decimal_of_their_single_precision_value(value, shown):
    assert shortest_float(single(value)) == shown
    assert single(shortest_float(single(value))) == single(value)


@pytest.mark.parametrize(
    "raw, text", [(b"\0", None), (b"", None), (b"A", "A"), (b"\xb0", "\u00b0")]
)
def test_characters_are_one_letter_strings_or_none(raw, text):
    assert character(raw) == text


@pytest.mark.parametrize(
    "hemi, sign", [("N", 1), ("S", -1), (None, None)], ids=["north", "south", "empty"]
)
def test_positions_give_signed_degrees(hemi, sign):
    at = tarnwick.Position(51, 30.0, hemi, 0, 7.5, "W")
    assert at.latitude == (None if sign is None else sign * 51.5)
    assert at.longitude == -0.125


def test_gsa_used_and_gsv_listed_skip_the_empty_markers():
    prn = [4, tarnwick.EMPTY, 9] + [tarnwick.EMPTY] * 27
    prn[20] = 17  # beyond prn_count: not a field the sentence carried
    gsa = tarnwick.GSA("A", 3, prn, 12, 1.9, 1.1, 1.5)
    assert gsa.used == [4, 9]
    empty = tarnwick.Satellite(tarnwick.EMPTY, 0xFF, tarnwick.EMPTY_AZIMUTH, 0xFF, 0)
    seen = tarnwick.Satellite(7, 40, 210, 0xFF, 0)
    assert tarnwick.GSV(1, [seen] + [empty] * 29).listed == [seen]
    as_dict = tarnwick.message_dict(gsa)
    assert list(as_dict)[:3] == ["type", "id", "mode"]
    assert "sequence" not in as_dict
