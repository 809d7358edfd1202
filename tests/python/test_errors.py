"""The error paths: no service, a refused request, a watcher without messages, bad arguments,
and the mapping of every C error code."""

import pytest

import tarnwick
from tarnwick import _capi


def test_without_a_service_a_client_that_may_not_start_it_is_told(home):
    assert tarnwick.service_running() is False
    with pytest.raises(tarnwick.ServiceNotRunningError) as caught:
        tarnwick.Client(may_start=False)
    assert caught.value.code == 1
    assert not isinstance(caught.value, tarnwick.StartFailedError)


def test_a_namespace_where_the_service_never_ran_cannot_start_it(home):
    # No "path" was ever recorded here, so there is nothing to start.
    with pytest.raises(tarnwick.StartFailedError) as caught:
        tarnwick.Client(may_start=True, start_timeout=1)
    assert caught.value.code == 2
    assert isinstance(caught.value, tarnwick.ServiceNotRunningError)
    assert tarnwick.service_running() is False


def test_a_watcher_without_input_times_out_and_outlives_its_client(client):
    watcher = client.watch(timeout=0.2)
    client.close()
    assert client.closed
    with watcher:
        with pytest.raises(tarnwick.TimedOutError) as caught:
            next(watcher)
        assert isinstance(caught.value, TimeoutError)
        assert caught.value.code == 5
        with pytest.raises(tarnwick.TimedOutError):
            watcher.next(timeout=0)
        assert watcher.lost == 0
    with pytest.raises(tarnwick.InvalidArgumentError):
        watcher.next()


@pytest.mark.parametrize(
    "request_call, system_error",
    [
        (lambda c, tmp: c.connect_port("COM9:", 4800), 2),
        (lambda c, tmp: c.open_file(tmp / "missing.nmea"), None),
        (lambda c, tmp: c.start_write(tmp / "drive.nmea"), None),
    ],
    ids=["no-such-port", "missing-file", "record-without-input"],
)
def test_a_request_the_service_says_no_to_is_refused(
    client, tmp_path, request_call, system_error
):
    with pytest.raises(tarnwick.RequestRefusedError) as caught:
        request_call(client, tmp_path)
    assert caught.value.system_error == system_error
    assert client.input_mode() == tarnwick.InputMode.NONE
    assert not (tmp_path / "drive.nmea").exists()


@pytest.mark.parametrize(
    "request_call",
    [
        lambda c: c.connect_port("COM\udcff:", 4800),
        lambda c: c.open_memory("feed\udcc3"),
        lambda c: c.open_file(b"/tmp/\xffdrive.nmea"),
    ],
    ids=["port", "producer", "path"],
)
def test_strings_that_are_not_utf8_are_refused_by_the_library(client, request_call):
    with pytest.raises(tarnwick.InvalidArgumentError) as caught:
        request_call(client)
    assert caught.value.code == 100
    assert isinstance(caught.value, ValueError)


def test_a_string_with_a_nul_or_too_long_for_the_channel_is_refused(client):
    with pytest.raises(tarnwick.InvalidArgumentError):
        client.connect_port("COM1:\0", 4800)
    with pytest.raises(tarnwick.RequestTooLargeError) as caught:
        client.open_memory("x" * 100000)
    assert caught.value.code == 4
    # The client is still good after both.
    assert client.input_mode() == tarnwick.InputMode.NONE


def test_a_closed_client_is_refused_and_closing_again_does_nothing(client):
    client.close()
    client.close()
    with pytest.raises(tarnwick.InvalidArgumentError):
        client.ports()


@pytest.mark.parametrize(
    "code, cls",
    [
        (1, tarnwick.ServiceNotRunningError),
        (2, tarnwick.StartFailedError),
        (3, tarnwick.ChannelError),
        (4, tarnwick.RequestTooLargeError),
        (5, tarnwick.TimedOutError),
        (6, tarnwick.MalformedRequestError),
        (100, tarnwick.InvalidArgumentError),
        (101, tarnwick.BufferTooSmallError),
        (102, tarnwick.OutOfMemoryError),
        (103, tarnwick.InternalError),
        (7, tarnwick.TarnwickError),
    ],
)
def test_every_error_code_has_its_exception_with_the_library_message(code, cls):
    message = _capi.library().tarnwick_error_message(code).decode()
    error = tarnwick.error_for_code(code, message)
    assert type(error) is cls
    assert error.code == code
    assert str(error) == message
    assert (message == "unknown error") == (cls is tarnwick.TarnwickError)


def test_a_library_path_that_does_not_load_says_where_it_looked(monkeypatch, tmp_path):
    monkeypatch.setenv("TARNWICK_LIBRARY", str(tmp_path))
    assert _capi.library_candidates() == [str(tmp_path / "libtarnwick.so.0")]
    with pytest.raises(tarnwick.LibraryNotFoundError, match="libtarnwick.so.0"):
        _capi._load()
