"""The download worker against a real HTTP server, under Wine.

Each test runs the fetch probe (the real worker, built as Tansy.exe with a
hidden window as its owner) in a folder of its own and looks at what the
probe reports, what the server saw and what is left in dl.dat.
"""
import json
import os
import socket

import pytest


LM = "Wed, 21 Oct 2015 07:28:00 GMT"
FEED = (b'<?xml version="1.0" encoding="UTF-8"?>\r\n<rss version="2.0"><channel>\r\n' +
        b"".join(b"<item><title>Item %d</title><link>http://example.com/%d</link></item>\r\n"
                 % (i, i) for i in range(80)) + b"</channel></rss>\r\n")
PREVIOUS = b"the previous download\r\n"
BLOCK = 1024
MAX_BODY = 32 * 1024 * 1024
UNRECOGNIZED_SCHEME = 12006  # ERROR_INTERNET_UNRECOGNIZED_SCHEME
# Short time-outs for the stall tests, so they end in seconds.
QUICK_TIMEOUTS = ["--connect-ms", "2000", "--send-ms", "2000", "--receive-ms", "2000"]


@pytest.fixture
def run(wine, probe, tmp_path):
    """Runs the probe in tmp_path (which holds an old dl.dat) and returns one
    report per fetch."""
    (tmp_path / "dl.dat").write_bytes(PREVIOUS)

    def run_probe(url, *args, timeout=120):
        result = wine.run([probe, "--url", url, *map(str, args)], cwd=tmp_path, timeout=timeout)
        reports = [json.loads(line) for line in result.stdout.splitlines()
                   if line.startswith("{")]
        assert result.returncode == 0, (result.returncode, result.stdout, result.stderr)
        for report in reports:
            check_message_order(report["sequence"])
        return reports
    return run_probe


def check_message_order(sequence):
    """BEGIN at most once and first; PROGRESS only after it; one DONE, last."""
    names = [name for name, _ in sequence]
    counts = dict((name, count) for name, count in sequence)
    assert names.count("DONE") == 1 and names[-1] == "DONE" and counts["DONE"] == 1, sequence
    assert names.count("BEGIN") <= 1 and counts.get("BEGIN", 1) == 1, sequence
    if "PROGRESS" in names:
        assert names == ["BEGIN", "PROGRESS", "DONE"], sequence
    else:
        assert names in (["DONE"], ["BEGIN", "DONE"]), sequence


def count(report, name):
    return dict((n, c) for n, c in report["sequence"]).get(name, 0)


def dl_dat(tmp_path):
    return (tmp_path / "dl.dat").read_bytes()


def assert_failed_before_download(report, tmp_path):
    assert report["error"] is True and report["modified"] is False
    assert report["sequence"] == [["DONE", 1]]
    assert dl_dat(tmp_path) == PREVIOUS


# --- the change test on Last-Modified --------------------------------------

def test_changed_feed_is_written_to_dl_dat_whole(server, run, tmp_path):
    server.set_route("/rss.xml", body=FEED, last_modified=LM)
    [report] = run(server.url("/rss.xml"))
    assert report["error"] is False and report["modified"] is True and report["cancel"] is False
    assert report["lastModified"] != 0
    assert count(report, "BEGIN") == 1
    assert count(report, "PROGRESS") >= -(-len(FEED) // BLOCK)
    assert report["dl_dat"] == len(FEED), "dl.dat must be complete and closed before DONE"
    assert dl_dat(tmp_path) == FEED
    assert report["fileName"] == "dl.dat" and report["url"] == server.url("/rss.xml")


def test_request_is_one_get_named_after_the_program_and_conditional_after_a_download(
        server, run):
    server.set_route("/rss.xml", body=FEED, last_modified=LM)
    run(server.url("/rss.xml"), "--fetches", 2)
    requests = server.wait_for_requests(2)
    assert len(server.requests) == 2
    for request in requests:
        assert request.method == "GET" and request.path == "/rss.xml"
        assert request.headers.get("user-agent") == "Tansy"
        assert request.headers.get("accept-encoding") == "gzip"
        for conditional in ("if-none-match", "if-range"):
            assert conditional not in request.headers
    assert "if-modified-since" not in requests[0].headers
    assert requests[1].headers.get("if-modified-since") == LM


def test_equal_time_is_unchanged_and_the_body_is_not_read(server, run, tmp_path):
    # Trickled, so a client that read the body would take seconds over it.
    body = FEED * 8
    server.set_route("/rss.xml", body=body, last_modified=LM, trickle=(2048, 0.05))
    first, second = run(server.url("/rss.xml"), "--fetches", 2)
    assert first["modified"] is True and dl_dat(tmp_path) == body
    assert second["sequence"] == [["DONE", 1]]
    assert second["error"] is False and second["modified"] is False
    assert second["lastModified"] == first["lastModified"]
    assert second["elapsed_ms"] < 1500
    requests = server.wait_for_requests(2)
    assert requests[1].closed_early and requests[1].body_bytes_sent < len(body)
    assert dl_dat(tmp_path) == body, "an unchanged feed leaves dl.dat alone"


def test_a_different_time_downloads_again(server, run, tmp_path):
    server.set_route("/rss.xml", body=FEED, last_modified=LM)
    [stored] = run(server.url("/rss.xml"))
    server.set_route("/rss.xml", body=FEED + b"<!-- new -->",
                     last_modified="Wed, 21 Oct 2015 07:28:01 GMT")
    [report] = run(server.url("/rss.xml"), "--last-modified", stored["lastModified"])
    assert report["modified"] is True and report["error"] is False
    assert report["lastModified"] == stored["lastModified"] + 1
    assert dl_dat(tmp_path) == FEED + b"<!-- new -->"


@pytest.mark.parametrize("last_modified", [None, "garbage", "", "Sun, 31 Dec 1899 23:59:59 GMT",
                                           "Mon, 01 Jan 0001 00:00:00 GMT"],
                         ids=["missing", "garbage", "empty", "1899", "year-1"])
def test_without_a_usable_date_every_poll_downloads_and_stores_zero(server, run, tmp_path,
                                                                    last_modified):
    server.set_route("/rss.xml", body=FEED, last_modified=last_modified)
    first, second = run(server.url("/rss.xml"), "--last-modified", 777, "--fetches", 2)
    for report in (first, second):
        assert report["modified"] is True and report["error"] is False
        assert report["lastModified"] == 0
    assert dl_dat(tmp_path) == FEED


@pytest.mark.parametrize("date", ["Sunday, 21-Oct-15 07:28:00 GMT", "Wed Oct 21 07:28:00 2015",
                                  "wed, 21 OCT 2015 07:28:00 UTC", " Wed, 21 Oct 2015 07:28:00 +0000"],
                         ids=["rfc850", "asctime", "utc", "plus-zero"])
def test_the_older_date_forms_are_compared_too(server, run, tmp_path, date):
    server.set_route("/rss.xml", body=FEED, last_modified=date)
    first, second = run(server.url("/rss.xml"), "--fetches", 2)
    assert first["modified"] is True and first["lastModified"] != 0
    assert second["sequence"] == [["DONE", 1]] and second["modified"] is False


@pytest.mark.parametrize("date", ["Thu, 01 Jan 1970 00:00:00 GMT", "Thu, 01 Jun 1950 12:00:00 GMT",
                                  "Fri, 01 Jan 3001 00:00:00 GMT"],
                         ids=["1970", "1950", "3001"])
def test_a_date_the_time_conversion_cannot_represent_counts_as_no_date(server, run, tmp_path,
                                                                        date):
    server.set_route("/rss.xml", body=FEED, last_modified=date)
    first, second = run(server.url("/rss.xml"), "--last-modified", 5, "--fetches", 2)
    for report in (first, second):
        assert report["modified"] is True and report["error"] is False
        assert report["lastModified"] == 0
    assert dl_dat(tmp_path) == FEED


# --- statuses, redirects and addresses -------------------------------------

@pytest.mark.parametrize("status,headers", [
    (304, {}), (404, {}), (500, {}), (301, {}), (302, {"Location": "/rss.xml"}),
], ids=["304", "404", "500", "301-without-location", "redirect-loop"])
def test_a_status_other_than_200_is_an_error_and_leaves_dl_dat(server, run, tmp_path,
                                                               status, headers):
    server.set_route("/rss.xml", body=b"<html>no feed here</html>", status=status,
                     headers=headers)
    [report] = run(server.url("/rss.xml"), "--last-modified", 99)
    assert_failed_before_download(report, tmp_path)
    assert report["lastModified"] == 99
    assert len(server.requests) <= 11, "redirects are followed a bounded number of times"


def test_redirects_to_http_are_followed(server, run, tmp_path):
    server.set_route("/rss.xml", body=FEED)
    server.set_route("/old", status=301, headers={"Location": "/moved"})
    server.set_route("/moved", status=302, headers={"Location": server.url("/rss.xml")})
    [report] = run(server.url("/old"))
    assert report["modified"] is True and report["error"] is False
    assert dl_dat(tmp_path) == FEED
    assert [r.path for r in server.requests] == ["/old", "/moved", "/rss.xml"]


def test_a_redirect_to_a_local_file_is_refused(server, run, tmp_path):
    secret = tmp_path / "secret.txt"
    secret.write_bytes(b"not for the network")
    server.set_route("/rss.xml", status=302,
                     headers={"Location": "file:///" + str(secret).lstrip("/")})
    [report] = run(server.url("/rss.xml"))
    assert_failed_before_download(report, tmp_path)
    assert report["errorCode"] == UNRECOGNIZED_SCHEME


def _closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@pytest.mark.parametrize("url", [
    lambda: f"http://127.0.0.1:{_closed_port()}/rss.xml",
    lambda: "http://no-such-host.invalid/rss.xml",
], ids=["refused", "unknown-host"])
def test_an_unreachable_server_is_an_error_before_the_download(run, tmp_path, url):
    [report] = run(url(), "--last-modified", 42)
    assert_failed_before_download(report, tmp_path)
    assert report["errorCode"] != 0 and report["lastModified"] == 42


@pytest.mark.parametrize("url", [
    "", "file:///C:/windows/win.ini", "C:\\windows\\win.ini", "ftp://127.0.0.1/rss.xml",
    "gopher://127.0.0.1/", "example.com/rss.xml",
], ids=["empty", "file", "path", "ftp", "gopher", "no-scheme"])
def test_a_url_that_is_not_http_is_never_opened(run, tmp_path, url):
    [report] = run(url)
    assert_failed_before_download(report, tmp_path)
    assert report["errorCode"] == UNRECOGNIZED_SCHEME


# --- the download ----------------------------------------------------------

def test_an_empty_body_gives_an_empty_dl_dat(server, run, tmp_path):
    server.set_route("/rss.xml", body=b"")
    [report] = run(server.url("/rss.xml"))
    assert report["sequence"] == [["BEGIN", 1], ["DONE", 1]]
    assert report["modified"] is True and report["error"] is False
    assert dl_dat(tmp_path) == b""


def test_a_chunked_body_arrives_decoded(server, run, tmp_path):
    server.set_route("/rss.xml", body=FEED, chunked=True, trickle=(700, 0.01))
    [report] = run(server.url("/rss.xml"))
    assert report["modified"] is True and report["error"] is False
    assert dl_dat(tmp_path) == FEED


def test_a_20_mb_body_arrives_byte_for_byte(server, run, tmp_path):
    body = os.urandom(20 * 1000 * 1000)
    server.set_route("/big.xml", body=body)
    [report] = run(server.url("/big.xml"))
    assert report["error"] is False and report["modified"] is True
    assert count(report, "PROGRESS") >= len(body) // BLOCK
    assert dl_dat(tmp_path) == body


def test_a_body_past_32_mib_ends_as_an_error_and_leaves_no_dl_dat(server, run, tmp_path):
    body = bytes(range(256)) * ((MAX_BODY + 4096) // 256)
    server.set_route("/huge.xml", body=body)
    [report] = run(server.url("/huge.xml"))
    assert report["error"] is True and report["modified"] is True
    assert report["dl_dat"] == -1 and not (tmp_path / "dl.dat").exists()


def test_a_connection_dropped_mid_body_is_an_error_with_a_partial_file(server, run, tmp_path):
    body = FEED * 20
    server.set_route("/rss.xml", body=body, drop_after=30000)
    [report] = run(server.url("/rss.xml"))
    assert report["error"] is True and report["modified"] is True
    assert report["lastModified"] != 0
    kept = dl_dat(tmp_path)
    assert len(kept) <= 30000 and kept == body[:len(kept)]


# --- cancel ----------------------------------------------------------------

def test_cancel_while_connecting_leaves_an_empty_dl_dat(server, run, tmp_path):
    server.set_route("/rss.xml", body=FEED)
    [report] = run(server.url("/rss.xml"), "--cancel-at-start")
    assert report["sequence"] == [["BEGIN", 1], ["DONE", 1]]
    assert report["cancel"] is True and report["modified"] is True and report["error"] is False
    assert dl_dat(tmp_path) == b""


def test_cancel_during_the_download_keeps_the_blocks_written(server, run, tmp_path):
    body = FEED * 20
    server.set_route("/rss.xml", body=body)
    [report] = run(server.url("/rss.xml"), "--cancel-after", 3)
    assert count(report, "PROGRESS") == 3
    assert report["cancel"] is True and report["modified"] is True and report["error"] is False
    kept = dl_dat(tmp_path)
    assert 0 < len(kept) <= 3 * BLOCK and kept == body[:len(kept)]


def test_cancel_does_not_change_an_unchanged_outcome(server, run, tmp_path):
    server.set_route("/rss.xml", body=FEED, last_modified=LM)
    first, second = run(server.url("/rss.xml"), "--fetches", 2, "--cancel-at-start")
    assert second["sequence"] == [["DONE", 1]] and second["modified"] is False
    assert second["cancel"] is True


# --- servers that stall ----------------------------------------------------
# A server that goes silent holds the worker, and with it the poll cycle,
# only until the receive time-out; the probe shortens it to two seconds.

def test_a_server_silent_before_its_headers_ends_as_an_error(server, run, tmp_path):
    server.set_route("/rss.xml", body=FEED, stall_before_headers=20)
    [report] = run(server.url("/rss.xml"), *QUICK_TIMEOUTS, "--last-modified", 3)
    assert_failed_before_download(report, tmp_path)
    assert 1500 <= report["elapsed_ms"] <= 15000


def test_a_server_stalling_mid_body_ends_as_an_error(server, run, tmp_path):
    body = FEED * 20
    server.set_route("/rss.xml", body=body, stall_after=(10000, 20))
    [report] = run(server.url("/rss.xml"), *QUICK_TIMEOUTS)
    assert report["error"] is True and report["modified"] is True
    assert report["elapsed_ms"] <= 15000
    kept = dl_dat(tmp_path)
    assert len(kept) <= 10000 and kept == body[:len(kept)]


def test_a_slow_server_that_never_pauses_past_the_time_out_is_not_cut_off(server, run, tmp_path):
    # Five seconds in all, but never two seconds without data.
    body = FEED * 10
    server.set_route("/rss.xml", body=body, trickle=(len(body) // 10 + 1, 0.5))
    [report] = run(server.url("/rss.xml"), *QUICK_TIMEOUTS)
    assert report["error"] is False and report["modified"] is True
    assert report["elapsed_ms"] >= 4000
    assert dl_dat(tmp_path) == body
