"""The receiver's requests on a simulated receiver, and a shared-memory producer as input."""

import subprocess

import tarnwick
from conftest import SIM, next_of


def test_receiver_setting_read_set_and_restart(connected, receiver):
    with connected.watch(timeout=30) as watcher:
        assert connected.receiver() == 3  # tarnwick-sim's default PORZX reply
        assert connected.set_receiver(5) == 5
        assert connected.receiver() == 5
        connected.restart_receiver(cold=True)
        # The receiver comes back from its restart and the stream goes on.
        next_of(watcher, tarnwick.RMC)
        connected.disconnect()
    log = receiver.log()
    assert "received: PKON1,012,5," in log
    assert "(cold start)" in log


def test_a_producer_in_shared_memory_feeds_the_service(client, home):
    producer = subprocess.Popen(
        [str(SIM), "memory", "gpsfeed", "--rate", "10"],
        stdin=subprocess.DEVNULL,
        stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL,
        text=True,
    )
    try:
        assert producer.stdout.readline().strip() == "gpsfeed"
        with client.watch(timeout=30) as watcher:
            client.open_memory("gpsfeed")
            assert client.input_mode() == tarnwick.InputMode.MEMORY
            assert next_of(watcher, tarnwick.RMC).status == "A"
            client.disconnect()
    finally:
        producer.kill()
        producer.wait()
        producer.stdout.close()
