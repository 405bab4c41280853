"""A polite fetcher, under Wine against the feed server: validators sent back
and 304 taken as unchanged, compressed bodies decoded by WinINet, and a
server's "gone" (410) or "wait" (429, 503 with Retry-After) respected.

The worker's part runs in the fetch probe; the poll cycle's part in the
whole program over two passes."""
import gzip
import json
import random
import time
import zlib

import pytest

from conftest import IDM_REFRESH, SITE_COMMANDS, clean_favorites, numbered_feed, status_file


LM = "Wed, 21 Oct 2015 07:28:00 GMT"
FEED = (b'<?xml version="1.0" encoding="UTF-8"?>\r\n<rss version="2.0"><channel>\r\n' +
        b"".join(b"<item><title>Item %d</title><link>http://example.com/%d</link></item>\r\n"
                 % (i, i) for i in range(300)) + b"</channel></rss>\r\n")
MAX_BODY = 32 * 1024 * 1024
# Decodes to 33 MiB of blanks after the start of a feed; about 33 KB sent.
BOMB = gzip.compress(b"<rss><channel>" + b" " * (MAX_BODY + 1024 * 1024))


@pytest.fixture
def run(wine, probe, tmp_path):
    """Runs the probe in tmp_path; returns one report per fetch."""
    def run_probe(url, *args, timeout=120):
        result = wine.run([probe, "--url", url, *map(str, args)], cwd=tmp_path, timeout=timeout)
        assert result.returncode == 0, (result.returncode, result.stdout, result.stderr)
        return [json.loads(line) for line in result.stdout.splitlines() if line.startswith("{")]
    return run_probe


# --- the worker ------------------------------------------------------------

@pytest.mark.parametrize("etag,last_modified,sent", [
    ('"v1"', None, {"if-none-match": '"v1"'}),
    (None, LM, {"if-modified-since": LM}),
    ('W/"v 2"', LM, {"if-none-match": 'W/"v 2"', "if-modified-since": LM}),
], ids=["etag", "dated", "both"])
def test_validators_are_sent_back_and_304_is_unchanged(server, run, tmp_path, etag,
                                                       last_modified, sent):
    server.set_route("/rss.xml", body=FEED, last_modified=last_modified, etag=etag,
                     conditional=True)
    first, second = run(server.url("/rss.xml"), "--fetches", 2)
    assert first["status"] == 200 and first["modified"] is True and first["error"] is False
    assert first["etag"] == (etag or "") and first["lastModifiedText"] == (last_modified or "")
    assert second["status"] == 304 and second["sequence"] == [["DONE", 1]]
    assert second["modified"] is False and second["error"] is False
    assert (tmp_path / "dl.dat").read_bytes() == FEED, "a 304 leaves dl.dat alone"
    requests = server.wait_for_requests(2)
    conditional = ("if-none-match", "if-modified-since")
    assert not any(name in requests[0].headers for name in conditional)
    assert {name: requests[1].headers[name] for name in conditional
            if name in requests[1].headers} == sent
    assert requests[1].status == 304 and requests[1].body_bytes_sent == 0


@pytest.mark.parametrize("coding,asked", [("gzip", True), ("deflate", False)])
def test_a_gzip_body_is_asked_for_and_arrives_decoded(server, run, tmp_path, coding, asked):
    server.set_route("/rss.xml", body=FEED, compress=coding)
    [report] = run(server.url("/rss.xml"))
    assert report["error"] is False and report["modified"] is True
    [request] = server.wait_for_requests(1)
    assert request.headers.get("accept-encoding") == "gzip"
    assert request.content_encoding == (coding if asked else None)
    assert (request.body_length < len(FEED) // 4) == asked
    assert (tmp_path / "dl.dat").read_bytes() == FEED


def test_a_gzip_body_is_not_judged_by_its_compressed_length(server, run, tmp_path):
    # Random bytes grow when compressed: the decoded body is shorter than the
    # Content-Length, and still whole.
    body = random.Random(7).randbytes(20000)
    server.set_route("/rss.xml", body=body, compress="gzip")
    [report] = run(server.url("/rss.xml"))
    [request] = server.wait_for_requests(1)
    assert request.body_length > len(body)
    assert report["error"] is False and (tmp_path / "dl.dat").read_bytes() == body


def test_a_compressed_body_that_expands_past_the_bound_leaves_no_dl_dat(server, run, tmp_path):
    server.set_route("/rss.xml", body=BOMB, headers={"Content-Encoding": "gzip"})
    [report] = run(server.url("/rss.xml"))
    assert report["error"] is True and report["modified"] is True
    assert report["dl_dat"] == -1 and not (tmp_path / "dl.dat").exists()


@pytest.mark.parametrize("status,retry_after", [(429, "3600"), (503, "Wed, 21 Oct 2015 07:28:00 GMT"),
                                                (410, None)])
def test_a_refusal_is_an_error_that_reports_its_status(server, run, tmp_path, status, retry_after):
    server.set_route("/rss.xml", body=b"slow down", status=status,
                     headers={"Retry-After": retry_after} if retry_after else {})
    [report] = run(server.url("/rss.xml"))
    assert report["error"] is True and report["modified"] is False
    assert report["status"] == status and report["retryAfter"] == (retry_after or "")
