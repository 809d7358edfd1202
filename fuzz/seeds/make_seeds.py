#!/usr/bin/env python3
"""Writes the hand-made seeds of the request dispatcher, producer block, stored files and channel
header fuzz targets into fuzz/seeds/<target>/. Run from anywhere; the seeds are tiny and are
committed, so this only needs running again when a target's input layout changes.

Targets that read their input through libFuzzer's FuzzedDataProvider take plain bytes from the
front and numbers and choices from the back (the first number taken is the input's last byte);
the Provided class below lays out an input the same way."""

import pathlib
import struct

SEEDS = pathlib.Path(__file__).resolve().parent


def sentence(body):
    checksum = 0
    for c in body.encode():
        checksum ^= c
    return f"${body}*{checksum:02X}\r\n".encode()


EPOCH = [
    "GPRMC,093000.00,A,4530.10200,N,07334.03800,W,0.000,62.00,140326,14.2,W,A",
    "GPGGA,093000.00,4530.10200,N,07334.03800,W,1,12,1.10,36.0,M,-32.4,M,,",
    "GPGSA,A,3,02,05,07,09,12,13,15,17,20,21,25,29,1.87,1.10,1.51",
    "GPGSV,2,1,05,02,67,041,43,05,08,302,25,07,45,133,35,09,07,210,28",
    "GPGSV,2,2,05,12,81,275,45",
    "GPVTG,62.00,T,76.20,M,0.000,N,0.000,K,A",
]
RMC = sentence(EPOCH[0])
CRLF_EPOCH = b"".join(sentence(s) for s in EPOCH)


def i32(*values):
    return b"".join(struct.pack("<i", v) for v in values)


def text(s):
    units = s.encode("utf-16-le")
    return struct.pack("<i", len(units) // 2) + units


class Provided:
    """An input as FuzzedDataProvider takes it apart."""

    def __init__(self):
        self.front = bytearray()
        self.back = []  # in the order they are taken

    def boolean(self, value):
        self.back.append(1 if value else 0)
        return self

    def number(self, value, lowest, highest):
        span, offset, taken = highest - lowest, 0, []
        while offset < 64 and (span >> offset) > 0:
            taken.append(((value - lowest) >> offset) & 0xFF)
            offset += 8
        self.back.extend(reversed(taken))  # the most significant byte is taken first
        return self

    def bytes(self, data):
        self.front += data
        return self

    def build(self):
        return bytes(self.front) + bytes(reversed(self.back))


def write(target, name, data):
    folder = SEEDS / target
    folder.mkdir(exist_ok=True)
    (folder / name).write_bytes(data)


def request_dispatcher():
    t = "fuzz_request_dispatcher"
    write(t, "queries", i32(1015, 1006, 1014, 1017, 1010, 1018, 1001))
    write(t, "receiver", i32(1016, 1, 1020, 7, 1005))
    write(t, "connect_port", i32(1004) + text("COM1:") + i32(4800) + i32(1004, 0, 9600))
    write(
        t, "open_file", i32(1008) + text("track.nmea") + i32(1) + struct.pack("<f", 2.0)
    )
    write(
        t,
        "record_and_memory",
        i32(1009) + text("rec.nmea") + i32(1019) + text("producer"),
    )
    write(
        t, "refused_counts", i32(1004, -1, 4800, 1008, 0x7FFFFFFF, 0, 0, 1019, -2, 1015)
    )
    write(t, "truncated_name", i32(1009, 40) + "abc".encode("utf-16-le"))
    write(t, "not_requests", i32(999, 1003, 1007, 1011, 1021, 0, -1) + b"\x01\x02")
    write(t, "quit_in_batch", i32(1015, 1000, 1006))
    write(t, "connect_scans", i32(1002, 0, 1002, 1))
    # "a" is the replay file and the producer the target provides.
    replay = i32(1008) + text("a") + i32(1) + struct.pack("<f", 0.0)
    write(
        t,
        "replay_and_record",
        replay + i32(1006) + i32(1009) + text("b") + i32(1017, 1010, 1005, 1006),
    )
    write(
        t, "record_over_replay", replay + i32(1009) + text("a") + i32(1010, 1006, 1005)
    )
    write(
        t,
        "memory_input",
        i32(1019) + text("a") + i32(1006, 1018, 1020, 3, 1016, 0, 1005),
    )


def producer_block():
    t = "fuzz_producer_block"

    def block(size, payload, stamp=1):
        return struct.pack("<Iq", size, stamp) + payload

    one = block(len(CRLF_EPOCH), CRLF_EPOCH)
    write(t, "epoch", Provided().number(len(one), 0, 4096).bytes(one).build())
    # A sentence split across two blocks, the second shorter than the first.
    first, second = block(30, RMC[:30]), block(len(RMC) - 30, RMC[30:])
    write(
        t,
        "split",
        Provided()
        .number(len(first), 0, 4096)
        .bytes(first)
        .number(len(second), 0, 4096)
        .bytes(second)
        .build(),
    )
    huge = block(0xFFFFFFFF, RMC)
    write(
        t,
        "size_beyond_mapping",
        Provided().number(len(huge), 0, 4096).bytes(huge).build(),
    )
    empty = block(0, b"")
    write(t, "empty", Provided().number(len(empty), 0, 4096).bytes(empty).build())


def stored_files():
    t = "fuzz_stored_files"
    write(t, "replay_crlf", Provided().boolean(True).bytes(CRLF_EPOCH).build())
    write(
        t,
        "replay_lf_cr",
        Provided()
        .boolean(True)
        .bytes(CRLF_EPOCH.replace(b"\r\n", b"\n") + RMC.replace(b"\r\n", b"\r"))
        .build(),
    )
    write(
        t,
        "replay_nothing_decodable",
        Provided().boolean(True).bytes(b"$GPRMC,1*00\n").build(),
    )

    # Every byte of a record 'A' makes its status 'A' wherever the status sits.
    valid, invalid, short = b"A" * 41, b"V" * 41, b"A" * 20

    def fixes(curr, prev):
        p = Provided().boolean(False)
        for content in (curr, prev):
            p.boolean(content is not None)
            if content is not None:
                p.number(len(content), 0, 64).bytes(content)
        return p.build()

    write(t, "fix_current", fixes(valid, None))
    write(t, "fix_short_current", fixes(short, valid))
    write(t, "fix_invalid_current", fixes(invalid, valid))
    write(t, "fix_empty_current", fixes(b"", valid))


def channel_header():
    t = "fuzz_channel_header"
    payload = i32(1015, 1004) + text("COM1:") + i32(4800)
    # A client creates the channel first: 4096 bytes, capacity 4096, the payload stored.
    memory = struct.pack("<iIi", 4096, 0, len(payload)) + payload
    p = Provided().boolean(True).number(4096, 1, 65536)
    p.boolean(False).number(0, 0, 4095).number(len(memory), 0, 4096).bytes(memory)
    p.boolean(True)  # a reader session
    for n in (4, 4):
        p.number(3, 0, 3).boolean(False).number(n, -4, 4096 + 4)  # read n bytes
    p.number(2, 0, 3)  # a counted string
    write(t, "client_first", p.build())

    # The service creates the channel; the client claims a length beyond it, then a writer runs.
    p = Provided().boolean(False)
    p.boolean(True).number(2, 0, 2).number(1 << 20, -(1 << 31), (1 << 31) - 1)
    p.boolean(False)  # a writer session
    p.number(1, 0, 2).boolean(False).number(8, -4, 32768 + 4).number(0x5A, 0, 255)
    write(t, "length_beyond", p.build())


if __name__ == "__main__":
    request_dispatcher()
    producer_block()
    stored_files()
    channel_header()
