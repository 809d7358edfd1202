"""A whole session through the Python client against a real service and simulated receiver."""

import itertools
import re

import tarnwick
from conftest import next_of


def time_of(rmc):
    return (rmc.time.hour, rmc.time.minute, round(rmc.time.second, 3))


def rmc_times(path):
    """The times of the RMC sentences of an NMEA file, in order."""
    found = re.findall(r"RMC,(\d\d)(\d\d)(\d\d(?:\.\d+)?),", path.read_text("ascii"))
    return [(int(h), int(m), round(float(s), 3)) for h, m, s in found]


def test_connect_watch_record_replay_fix_and_quit(service, client, receiver, tmp_path):
    assert "COM4:" in client.ports()
    assert client.time_stamp_mode() is False
    with client.watch(timeout=30) as watcher:
        client.connect_port("COM4:", 4800)
        assert client.connection() == tarnwick.Connection(True, "COM4:", 4800, False)
        assert client.input_mode() == tarnwick.InputMode.SERIAL

        rmcs = [next_of(watcher, tarnwick.RMC) for _ in range(5)]
        for rmc in rmcs:
            assert rmc.status == "A"
            assert rmc.position.lat_hemi in ("N", "S")
            assert rmc.position.lon_hemi in ("E", "W")
            assert rmc.tick is None
        sequences = [rmc.sequence for rmc in rmcs]
        assert sequences == sorted(set(sequences))

        recording = tmp_path / "drive.nmea"
        client.start_write(recording)
        assert (
            client.input_mode()
            == tarnwick.InputMode.SERIAL | tarnwick.InputMode.RECORDING
        )
        recorded = [next_of(watcher, tarnwick.RMC) for _ in range(6)]
        assert client.stop_write() is True
        assert client.input_mode() == tarnwick.InputMode.SERIAL
        in_file = rmc_times(recording)
        # Every RMC watched after the recording began, but perhaps the first (it may have been
        # on its way already), is in the file, in order.
        watched = [time_of(rmc) for rmc in recorded[1:]]
        assert [t for t in in_file if t in watched] == watched

        fix = client.valid_rmc()
        assert isinstance(fix, tarnwick.RMC)
        assert fix.status == "A"
        assert fix.sequence is None

        client.disconnect()
        assert client.connection() == tarnwick.Connection(False, "", 0, False)
        assert client.input_mode() == tarnwick.InputMode.NONE

        client.open_file(recording, speed=10)
        assert client.input_mode() == tarnwick.InputMode.FILE
        replayed = []
        for message in itertools.islice(watcher, 2000):
            if isinstance(message, tarnwick.InputEnded):
                break
            if isinstance(message, tarnwick.RMC):
                replayed.append(message)
        else:
            raise AssertionError("the replay did not end")
        # The replay is the file, but for its start, which only confirms that it decodes.
        replayed_times = [time_of(rmc) for rmc in replayed]
        assert replayed_times == in_file[len(in_file) - len(replayed_times) :]
        assert set(watched[1:]) <= set(replayed_times)
        assert watcher.lost == 0
    assert watcher.closed

    # The kept fix is the replay's last valid RMC.
    last = client.valid_rmc()
    assert time_of(last) == replayed_times[-1]
    assert last.position == replayed[-1].position

    client.quit()
    assert service.wait(20) == 0
