"""A polite fetcher, under Wine against the feed server: validators sent back
and 304 taken as unchanged, gzip bodies decoded by WinINet, and a server's
"gone" (410) or "wait" (429, 503 with Retry-After) respected."""
import gzip
import json
import random

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

def test_a_gzip_body_is_not_judged_by_its_compressed_length(server, run, tmp_path):
    # Random bytes grow when compressed: the decoded body is shorter than the
    # Content-Length, and still whole.
    body = random.Random(7).randbytes(20000)
    server.set_route("/rss.xml", body=body, compress="gzip")
    [report] = run(server.url("/rss.xml"))
    [request] = server.wait_for_requests(1)
    assert request.body_length > len(body)
    assert report["error"] is False and (tmp_path / "dl.dat").read_bytes() == body


# --- the whole program over two passes -------------------------------------

IDC_OK, IDC_NAME = 1012, 1018
NAMES = ("ETag news", "Dated news", "Zipped news", "Gone", "Gone again", "Busy", "Down", "Bomb")


def folder_state(folder):
    return {p.name: (p.stat().st_mtime_ns, p.read_bytes()) for p in folder.iterdir()}


def requests_for(server, path):
    return [r for r in server.requests if r.path == path and r.finished]


def test_two_passes_over_polite_and_refusing_servers(start_tansy, server, wine):
    favorites = clean_favorites(wine, NAMES)
    server.set_route("/etag.xml", numbered_feed("etag", 3), last_modified=None, etag='"v1"',
                     conditional=True)
    server.set_route("/dated.xml", numbered_feed("dated", 3), last_modified=LM, conditional=True)
    server.set_route("/zipped.xml", numbered_feed("zipped", 300), last_modified=LM,
                     compress="gzip")
    server.set_route("/gone.xml", b"gone", status=410)
    server.set_route("/busy.xml", b"busy", status=429, headers={"Retry-After": "3600"})
    server.set_route("/down.xml", b"down", status=503, headers={"Retry-After": "1"})
    server.set_route("/bomb.xml", BOMB, headers={"Content-Encoding": "gzip"})
    paths = ["/etag.xml", "/dated.xml", "/zipped.xml", "/gone.xml", "/busy.xml", "/down.xml",
             "/bomb.xml"]
    slots = [(server.url(p), name, "") for p, name in
             zip(paths, ("ETag news", "Dated news", "Zipped news", "Gone", "Busy", "Down",
                         "Bomb"))]
    urls = [url for url, _, _ in slots]
    tansy = start_tansy(status=status_file(slots))

    tansy.command(IDM_REFRESH)
    assert tansy.wait_for_messages(10, timeout=120) == [
        "START", f"0 UPDATE {urls[0]}", f"1 UPDATE {urls[1]}", f"2 UPDATE {urls[2]}",
        f"3 ERROR {urls[3]}", f"4 ERROR {urls[4]}", f"5 ERROR {urls[5]}", f"6 ERROR {urls[6]}",
        "7 ERROR ", "8 ERROR "]
    assert len(list((favorites / "ETag news").glob("*.url"))) == 3
    assert len(list((favorites / "Dated news").glob("*.url"))) == 3
    assert len(list((favorites / "Zipped news").glob("*.url"))) == 300
    zipped = requests_for(server, "/zipped.xml")[0]
    assert zipped.headers["accept-encoding"] == "gzip" and zipped.content_encoding == "gzip"
    assert not (favorites / "Bomb").exists() and not (tansy.folder / "dl.dat").exists()
    written = {name: folder_state(favorites / name)
               for name in ("ETag news", "Dated news", "Zipped news")}

    tansy.wait_blink_end()  # the end-of-pass blink
    tansy.command(IDM_REFRESH)
    assert tansy.wait_for_messages(19, timeout=120)[10:] == [
        f"0 NOMODIFY {urls[0]}", f"1 NOMODIFY {urls[1]}", f"2 NOMODIFY {urls[2]}",
        f"3 ERROR {urls[3]}", f"4 ERROR {urls[4]}", f"5 ERROR {urls[5]}", f"6 ERROR {urls[6]}",
        "7 ERROR ", "8 ERROR "]
    for name, state in written.items():
        assert folder_state(favorites / name) == state, f"{name} was touched"
    assert not (tansy.folder / "dl.dat").exists()
    etag, dated = requests_for(server, "/etag.xml"), requests_for(server, "/dated.xml")
    assert [r.status for r in etag] == [200, 304] and etag[1].headers["if-none-match"] == '"v1"'
    assert [r.status for r in dated] == [200, 304]
    assert dated[1].headers["if-modified-since"] == LM
    # Gone and a wait of an hour: asked once; a wait of a second: asked again.
    assert [len(requests_for(server, p)) for p in paths[3:]] == [1, 1, 2, 2]

    # An edit of the gone slot lets it be asked again, at once.
    tansy.command(SITE_COMMANDS[3])
    assert tansy.ctl("wait", "Site 4", 10000)[0] == 0
    assert tansy.ctl("settext", "Site 4", IDC_NAME, "Gone again")[0] == 0
    tansy.ctl("click", "Site 4", IDC_OK)
    tansy.wait_for_messages(20)
    assert tansy.messages()[19] == f"3 ERROR {urls[3]}"
    assert len(requests_for(server, "/gone.xml")) == 2


# --- what it saves ---------------------------------------------------------

def test_bytes_sent_for_an_unchanged_feed(server, run, capsys):
    """The second of two fetches of an unchanged feed, in bytes the server
    sent (head and body), for each way the server can tell."""
    cases = {
        "dateless_unconditional": dict(last_modified=None),
        "dated_unconditional": dict(last_modified=LM),
        "etag_304": dict(last_modified=None, etag='"v1"', conditional=True),
        "dated_304": dict(last_modified=LM, conditional=True),
        "dateless_gzip": dict(last_modified=None, compress="gzip"),
    }
    sent = {}
    for name, route in cases.items():
        server.set_route(f"/{name}.xml", body=FEED, **route)
        run(server.url(f"/{name}.xml"), "--fetches", 2)
        second = requests_for(server, f"/{name}.xml")[1]
        sent[name] = second.head_bytes + second.body_bytes_sent
    with capsys.disabled():
        for name, value in sent.items():
            print(f"\nBYTES case={name} feed={len(FEED)} value={value}", end="")
        print()
    assert sent["dateless_unconditional"] > len(FEED)
    assert sent["etag_304"] < 400 and sent["dated_304"] < 400
    assert sent["dateless_gzip"] < sent["dateless_unconditional"] // 4
