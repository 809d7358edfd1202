"""Notifications of the data stream: a scan with its summary, a receiver lost and found."""

import tarnwick
from conftest import Receiver, next_of


def test_a_scan_reports_its_steps_and_ends_with_the_ports_that_answered(client, home):
    sim = Receiver("COM2:", "--baud", "9600")
    try:
        with client.watch(timeout=60) as watcher:
            started = client.connect(parallel_scan=True)
            assert started == tarnwick.Connection(
                False, "", 0, False
            ), "nothing remembered"
            events = [next_of(watcher, tarnwick.ScanEvent)]
            while events[-1].name != "EndScan":
                events.append(next_of(watcher, tarnwick.ScanEvent))
    finally:
        sim.close()
    assert events[-1].code == 17
    assert events[-1].summary == [tarnwick.ScanPortRates("COM2:", [9600])]
    assert all(event.summary == [] for event in events[:-1])
    tried = [
        e.value for e in events if e.name == "StartTryBaudRate" and e.port == "COM2:"
    ]
    assert 9600 in tried
    answered = [e.value for e in events if e.name == "EndTryBaudRate" and e.value > 0]
    assert answered == [9600]
    assert watcher.lost == 0


def test_a_receiver_that_vanishes_is_lost_and_found_again(client, home):
    with client.watch(timeout=60) as watcher:
        first = Receiver("COM4:", "--rate", "10", "--vanish-after", "1")
        try:
            client.connect_port("COM4:", 4800)
            next_of(watcher, tarnwick.InputLost)
        finally:
            first.close()
        again = Receiver("COM4:", "--rate", "10")
        try:
            found = next_of(watcher, tarnwick.Reconnected)
            assert found.input_mode == tarnwick.InputMode.SERIAL
            assert next_of(watcher, tarnwick.RMC).status == "A"
            client.disconnect()
        finally:
            again.close()
    assert tarnwick.message_dict(found) == {
        "type": "Reconnected",
        "id": 1013,
        "input_mode": 1,
        "sequence": found.sequence,
    }
