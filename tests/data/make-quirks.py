#!/usr/bin/env python3
"""Writes the hand-made quirk inputs of the golden decodes into the folder given (default: the
folder of this script). Every byte is spelled out here, so that what each file holds can be
reviewed; README.md says why each one exists. The output is the same on every run."""

import pathlib
import sys


def checksum(body: bytes) -> bytes:
    value = 0
    for byte in body:
        value ^= byte
    return b"%02X" % value


def sentence(body, end=b"\r\n"):
    """'$' + body + '*' + its correct checksum + end."""
    raw = body.encode("latin-1") if isinstance(body, str) else body
    return b"$" + raw + b"*" + checksum(raw) + end


GLL = "GPGLL,4916.45,N,12311.12,W,225444,A"
VTG = "GPVTG,054.7,T,034.4,M,005.5,N,010.2,K"
GGA = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"
RMC = "GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E"
PORZA = "PORZA,1,-2,300"


def noise_between_sentences() -> bytes:
    out = b""
    out += bytes(range(0, 36))  # every control byte, up to but not including '$'
    out += sentence(GLL)
    out += bytes([0xB5, 0x62, 0x01, 0x07, 0x5C, 0x00]) + bytes(range(0x80, 0x100))
    out += sentence(VTG)
    # A binary frame whose payload happens to hold a '$': the line it starts is refused.
    out += bytes([0xB5, 0x62, 0x0A, 0x04]) + b"$\x00\x13\xfe\r\n"
    out += sentence(GGA)
    # Noise glued in front of the '$' on the same line, and CR LF pairs with nothing between.
    out += b"\xff\xfe\x00" + sentence(RMC) + b"\r\n\r\n\r\n"
    # A NUL inside a field leaves the checksum as it was (XOR with zero).
    out += sentence(GLL.replace("4916.45", "4916.4\x005"))
    # A byte flipped in transit: the checksum catches it.
    out += sentence(GLL)[:10] + b"\x8a" + sentence(GLL)[11:]
    # No checksum at all, then one in lower case.
    out += b"$" + PORZA.encode() + b"\r\n"
    lower_hex = sentence("PORZA,1,-2,308")
    out += lower_hex[:-4] + lower_hex[-4:].lower()
    # A lone CR and a lone LF inside a sentence stay in it on a serial line.
    out += sentence("GPGLL,4916.45,N,\r12311.12,W,225444,A")
    out += sentence("GPGLL,4916.45,N,\n12311.12,W,225444,A")
    out += bytes([0x00, 0xFF] * 16)
    out += sentence(PORZA)
    # The last sentence is cut off by the end of the capture.
    out += b"\x00" + sentence(VTG)[:20]
    return out


def bare_line_feeds() -> bytes:
    out = b""
    out += sentence(GLL, b"\n")
    out += sentence(VTG, b"\n")
    out += b"\n\n"  # empty lines
    out += sentence(GGA, b"\r")  # a lone CR ends a sentence too
    out += sentence(RMC, b"\n\r")  # the old Mac order
    out += sentence(PORZA, b"\r\n")
    # A '$' restarts the sentence even without a line end before it.
    out += b"$GPGLL,4916.45,N" + sentence(VTG, b"\n")
    out += sentence(GLL, b"\n")
    out += sentence(VTG, b"")  # the last line has no end at all
    return out


def gsv(
    total: int, number: int, in_view: int, satellites, talker="GP", signal=None
) -> bytes:
    fields = [f"{talker}GSV", str(total), str(number), str(in_view)]
    for prn, elevation, azimuth, snr in satellites:
        fields += [f"{prn:02d}", f"{elevation:02d}", f"{azimuth:03d}", f"{snr:02d}"]
    if signal is not None:
        fields.append(f"{signal:X}")
    return sentence(",".join(fields))


def sky(first_prn: int, count: int):
    """count satellites from first_prn on, spread over the sky, each with its own strength."""
    return [
        (first_prn + i, (7 * i + 5) % 90, (37 * i + 11) % 360, 20 + (3 * i) % 30)
        for i in range(count)
    ]


def gsv_set(in_view: int, first_prn: int, talker="GP", signal=None, per_sentence=4):
    """The sentences of one whole set, per_sentence satellites in each."""
    satellites = sky(first_prn, in_view)
    groups = [
        satellites[i : i + per_sentence]
        for i in range(0, len(satellites), per_sentence)
    ]
    groups = groups or [[]]
    return [
        gsv(len(groups), n + 1, in_view, group, talker, signal)
        for n, group in enumerate(groups)
    ]


def broken_gsv_sets() -> bytes:
    out = b""
    whole = gsv_set(10, 1)  # three sentences: 4, 4 and 2 satellites
    out += b"".join(whole)  # a whole set
    out += whole[0] + whole[2]  # the second sentence missing
    out += (
        whole[1] + whole[0] + whole[1] + whole[2]
    )  # the second sentence first, then all in order
    out += whole[0] + whole[1] + whole[1] + whole[2]  # the second sentence twice
    out += whole[0] + whole[2] + whole[1]  # the last two sentences swapped
    out += (
        whole[0] + whole[1] + whole[0] + whole[1] + whole[2]
    )  # a set begun again midway
    # The total changes midway, then the count of satellites in view does.
    out += whole[0] + gsv(4, 2, 10, sky(5, 4)) + whole[2]
    out += whole[0] + gsv(3, 2, 11, sky(5, 4)) + whole[2]
    # A satellite block of three fields instead of four.
    out += whole[0] + sentence("GPGSV,3,2,10,05,12,048,30,06,19,085") + whole[2]
    # A set of one sentence, then one without satellites, then one with empty numbers.
    out += b"".join(gsv_set(3, 20))
    out += gsv(1, 1, 0, [])
    out += sentence("GPGSV,,,10,01,05,011,20") + sentence("GPGSV,1,1,,02,12,048,23")
    # More satellites than a record holds: 36 in nine sentences.
    out += b"".join(gsv_set(36, 1))
    # Numbers no set reaches: 0 of 0, 2 of 1, and a first sentence numbered 0.
    out += gsv(0, 0, 1, sky(1, 1)) + gsv(1, 2, 1, sky(1, 1)) + gsv(2, 0, 5, sky(1, 4))
    out += b"".join(whole)  # and a whole set still comes through after all that
    return out


def broken_gsv_sets_gnss() -> bytes:
    out = b""
    gps = gsv_set(6, 1, "GP", 1)
    glonass = gsv_set(5, 65, "GL", 1)
    galileo_e1 = gsv_set(6, 2, "GA", 7)
    galileo_e5 = gsv_set(6, 2, "GA", 2)
    beidou = gsv_set(5, 1, "GB", 1)
    # The sets of several systems and signals interleaved, as they come from some receivers.
    out += gps[0] + glonass[0] + galileo_e1[0] + gps[1] + galileo_e5[0] + glonass[1]
    out += galileo_e1[1] + galileo_e5[1] + beidou[0] + beidou[1]
    # One system's set begun again while another's goes on around it.
    out += gps[0] + glonass[0] + glonass[1] + gps[0] + gps[1]
    # A set whose signal id changes from one sentence to the next, numbering going on.
    out += galileo_e1[0] + galileo_e5[1]
    # The same sentence twice, and sentences out of order, per talker.
    out += beidou[0] + beidou[0] + beidou[1]
    out += glonass[1] + glonass[0] + glonass[1]
    # Sets without a signal id (before NMEA 4.10) and GPS numbers under the GN talker.
    out += b"".join(gsv_set(5, 1, "GP")) + b"".join(gsv_set(5, 1, "GN"))
    # More talker and signal pairs in flight than there are records for them.
    for talker, signal in [
        ("GP", 1),
        ("GP", 8),
        ("GL", 1),
        ("GL", 3),
        ("GA", 7),
        ("GA", 2),
        ("GB", 1),
        ("GB", 5),
        ("GQ", 1),
        ("GI", 1),
    ]:
        out += gsv_set(5, 1, talker, signal)[0]
    for talker, signal in [("GP", 1), ("GI", 1)]:
        out += gsv_set(5, 1, talker, signal)[1]
    return out


def field_count_limit() -> bytes:
    out = b""
    # 24 satellites make a GSV of 3 + 96 = 99 data fields: the most a sentence may have.
    satellites = sky(1, 24)
    out += gsv(1, 1, 24, satellites)
    # A trailing empty field makes it 100; a 25th satellite 103.
    out += sentence(gsv(1, 1, 24, satellites)[1:-5] + b",")
    out += gsv(1, 1, 25, sky(1, 25))
    # A sentence of fewer fields padded with empty ones to 98, 99 and 100 commas.
    for commas in (98, 99, 100):
        out += sentence(PORZA + "," * (commas - PORZA.count(",")))
    # 99 commas all in one row, then 100.
    out += sentence("PORZA" + "," * 99) + sentence("PORZA" + "," * 100)
    return out


def porzx_of_length(length: int) -> bytes:
    """A PORZX sentence of exactly `length` bytes, CR LF included, padded in its sixth field."""
    head = "PORZX,1,2,,,3,"
    pad = length - len(sentence(head))
    return sentence(head + "x" * pad)


def overruns() -> bytes:
    out = b""
    out += sentence(GLL)
    # Sentences of exactly the line's size, one byte over and one byte under.
    out += porzx_of_length(1024) + porzx_of_length(1025) + porzx_of_length(1023)
    out += sentence(VTG)
    # A line four times the size, with no '$' in it: everything up to the next '$' is dropped.
    out += b"$GPGLL," + b"1234567890" * 400 + b"*00\r\n"
    out += sentence(GGA)
    # A line over the size with a '$' after the overrun: that sentence comes through.
    out += b"$GPRMC," + b"A," * 600 + sentence(VTG)
    # A '$' in the middle of a sentence restarts it, also near the end of the line's room.
    out += b"$GPGLL,4916.45,N,123" + sentence(VTG)
    out += b"$PORZX,1,2,,,3," + b"y" * 1000 + sentence(PORZA)
    out += b"$GPGGA,123519,4807.038,N$$$" + sentence(GLL)
    out += sentence(PORZA)
    return out


FILES = {
    "noise-between-sentences": noise_between_sentences,
    "bare-line-feeds": bare_line_feeds,
    "gsv-broken-sets": broken_gsv_sets,
    "gsv-broken-sets-gnss": broken_gsv_sets_gnss,
    "field-count-limit": field_count_limit,
    "overruns": overruns,
}


def main() -> None:
    folder = (
        pathlib.Path(sys.argv[1])
        if len(sys.argv) > 1
        else pathlib.Path(__file__).parent
    )
    for name, make in FILES.items():
        (folder / f"{name}.nmea").write_bytes(make())


if __name__ == "__main__":
    main()
