"""Faults of the network, the server, the feeds and the files around the
program, each met by the real Tansy.exe against the real feed server.

Every case checks that the outcome is logged with the right keyword, that the
cycle goes on (later slots are still fetched, Refresh starts a new pass), and
that status.dat, the other sites' folders and the log are left whole. Cases
share program runs, one per slot of a nine-slot status.dat, to keep the time
down."""
import re
import shutil
import time

import pytest

from conftest import (IDM_REFRESH, SITE_COMMANDS, refused_url, shortcuts, status_file,
                      tray_tooltip, unix_to_windows, wait_for_download, wait_until)


WM_TIMER = 0x0113
LM1 = "Wed, 21 Oct 2015 07:28:00 GMT"
BLINK_S = 5.5  # the end-of-pass blink holds the program this long
LOG_LINE = re.compile(r"\d\d:\d\d:\d\d (START|[0-8] (UPDATE|NOMODIFY|ERROR|CANCEL) .*)\Z")
IDC_OK, IDC_NAME = 1012, 1018

# A host name with a label longer than DNS allows: the resolver refuses it on
# this machine without sending any query, so the lookup fails at once.
UNKNOWN_HOST_URL = "http://" + "x" * 70 + ".invalid/feed.xml"


def feed(items, encoding="utf-8", declared=None, bom=b""):
    """An RSS 2.0 feed of (title, link) items in the given character code."""
    declared = declared or encoding
    body = "".join(f"<item><title>{t}</title><link>{l}</link></item>\n" for t, l in items)
    text = (f'<?xml version="1.0" encoding="{declared}"?>\n<rss version="2.0"><channel>'
            f"<title>テスト</title>\n{body}</channel></rss>\n")
    return bom + text.encode(encoding)


def plain_feed(tag, count=2):
    return feed([(f"{tag} {i}", f"http://example.jp/{tag}/{i}") for i in range(count)])


def tree(folder):
    """Every file below folder with its bytes, by relative path."""
    return {str(p.relative_to(folder)): p.read_bytes()
            for p in sorted(folder.rglob("*")) if p.is_file()}


def pass_log(urls, keywords, first=0):
    return [f"{first + i} {keywords[i]} {urls[i]}" for i in range(len(urls))]


def run_pass(tansy, count, timeout=90):
    """Refresh, then wait for the pass's nine lines and its blink."""
    tansy.command(IDM_REFRESH)
    messages = tansy.wait_for_messages(count, timeout)
    tansy.wait_blink_end()
    return messages


def assert_log_whole(tansy):
    for line in tansy.log_lines():
        assert LOG_LINE.match(line), f"broken log line {line!r}"


def hold(tansy, path, seconds):
    """Another program holds path open without sharing; returns its process."""
    proc = tansy.wine.spawn([tansy.wine.tansyctl, "hold",
                             unix_to_windows(path), seconds], name="hold")
    out = proc.log_files[0].name

    def held():
        assert proc.poll() is None, open(out, "rb").read()
        return b"held" in open(out, "rb").read()

    wait_until(held, "the file was never held", 30, 0.1)
    return proc


@pytest.fixture
def favorites(wine):
    """The Favorites folder with one site folder of another program's run that
    no case may touch; it checks that folder after the test."""
    fav = wine.favorites
    fav.mkdir(parents=True, exist_ok=True)
    for entry in fav.iterdir():
        if entry.name.startswith("Fault "):
            if entry.is_dir():
                shutil.rmtree(entry)
            else:
                entry.unlink()
    other = fav / "Fault other site"
    other.mkdir()
    (other / "Kept.url").write_bytes(b"[InternetShortcut]\r\nURL=http://example.jp/kept\r\n")
    before = tree(other)
    yield fav
    assert tree(other) == before, "another site's folder was changed"


def test_network_and_status_faults_are_errors_and_the_cycle_goes_on(start_tansy, server,
                                                                    favorites):
    server.set_route("/301.xml", plain_feed("moved"), status=301)  # no Location
    server.set_route("/304.xml", b"", status=304)
    server.set_route("/404.xml", b"missing", status=404)
    server.set_route("/500.xml", b"oops", status=500)
    server.set_route("/drop.xml", plain_feed("dropped", 200), drop_after=3000)
    server.set_route("/empty.xml", b"", last_modified=LM1)
    garbage = bytes((i * 7919 + 13) % 256 for i in range(70000))
    server.set_route("/garbage.xml", garbage, last_modified=LM1)
    urls = [refused_url(), UNKNOWN_HOST_URL] + [
        server.url(p) for p in ("/301.xml", "/304.xml", "/404.xml", "/500.xml", "/drop.xml",
                                "/empty.xml", "/garbage.xml")]
    names = ["Fault refused", "Fault unknown host", "Fault 301", "Fault 304", "Fault 404",
             "Fault 500", "Fault dropped", "Fault empty", "Fault garbage"]
    status = status_file(list(zip(urls, names, [""] * 9)))
    tansy = start_tansy(status=status)

    messages = run_pass(tansy, 10)
    assert messages == ["START"] + pass_log(urls, ["ERROR"] * 7 + ["UPDATE"] * 2)
    for failed in names[:7]:
        assert not (favorites / failed).exists()
    assert shortcuts(favorites / "Fault empty") == []
    assert (favorites / "Fault garbage").is_dir()  # whatever the bytes gave, no crash
    assert not (tansy.folder / "dl.dat").exists()
    dropped = [r for r in server.requests if r.path == "/drop.xml"]
    assert dropped and dropped[0].body_bytes_sent == 3000

    # A second pass: the same failures, and the two dated feeds unchanged.
    messages = run_pass(tansy, 19)
    assert messages[10:] == pass_log(urls, ["ERROR"] * 7 + ["NOMODIFY"] * 2)
    # Steady polling goes on after the failures as well.
    tansy.ctl("post", "Tansy", WM_TIMER, 1, 0)
    assert tansy.wait_for_messages(20)[19] == f"0 ERROR {urls[0]}"
    assert tansy.running()
    assert (tansy.folder / "status.dat").read_bytes() == status
    # The dropped download of the second pass is the last one: its partial
    # dl.dat stays until the next download replaces it.
    assert sorted(p.name for p in tansy.folder.iterdir()) == [
        "Tansy.exe", "dl.dat", "jis1997.dll", "log.txt", "status.dat"]
    partial = (tansy.folder / "dl.dat").read_bytes()
    assert len(partial) <= 3000 and plain_feed("dropped", 200).startswith(partial)
    assert_log_whole(tansy)


def test_header_and_size_faults(start_tansy, server, favorites):
    server.set_route("/nolm.xml", plain_feed("nolm"), last_modified=None)
    server.set_route("/badlm.xml", plain_feed("badlm"), last_modified="yesterday, around noon")
    server.set_route("/old.xml", plain_feed("old"), last_modified="Mon, 01 Jan 1855 00:00:00 GMT")
    server.set_route("/final.xml", plain_feed("moved"), last_modified=LM1)
    server.set_route("/moved.xml", b"", status=301, headers={"Location": "/final.xml"})
    padding = b"<!-- " + b"0123456789abcdef" * (30 * 1000 * 1000 // 16) + b" -->\n"
    big = feed([("big first", "http://example.jp/big/1")]).replace(b"<channel>", b"<channel>" + padding)
    big = big.replace(b"</channel>", b"<item><title>big last</title>"
                      b"<link>http://example.jp/big/2</link></item></channel>")
    assert len(big) > 30 * 1000 * 1000
    server.set_route("/big.xml", big, last_modified=LM1)
    server.set_route("/chunked.xml", plain_feed("chunked"), last_modified=LM1, chunked=True)
    server.set_route("/after.xml", plain_feed("after"), last_modified=LM1)
    # The placeholder date of servers that know no better, and a date whose
    # zone is written UTC.
    server.set_route("/epoch.xml", plain_feed("epoch"), last_modified="Thu, 01 Jan 1970 00:00:00 GMT")
    server.set_route("/utc.xml", plain_feed("utc"), last_modified="Wed, 21 Oct 2015 07:28:00 UTC")
    urls = [server.url(p) for p in ("/nolm.xml", "/badlm.xml", "/old.xml", "/moved.xml",
                                    "/big.xml", "/chunked.xml", "/after.xml", "/epoch.xml",
                                    "/utc.xml")]
    names = ["Fault no date", "Fault bad date", "Fault 1855", "Fault moved", "Fault big",
             "Fault chunked", "Fault after", "Fault 1970", "Fault UTC"]
    status = status_file(list(zip(urls, names, [""] * 9)))
    tansy = start_tansy(status=status)

    started = time.time()
    messages = run_pass(tansy, 10, timeout=240)
    print(f"\nfirst pass with a {len(big) / 1e6:.1f} MB feed: {time.time() - started:.1f} s")
    # A date before 1900 is no usable date, like a missing one.
    assert messages == ["START"] + pass_log(urls, ["UPDATE"] * 9)
    assert shortcuts(favorites / "Fault no date") == ["nolm 0.url", "nolm 1.url"]
    assert shortcuts(favorites / "Fault bad date") == ["badlm 0.url", "badlm 1.url"]
    assert shortcuts(favorites / "Fault 1855") == ["old 0.url", "old 1.url"]
    assert shortcuts(favorites / "Fault moved") == ["moved 0.url", "moved 1.url"]
    assert shortcuts(favorites / "Fault big") == ["big first.url", "big last.url"]
    assert shortcuts(favorites / "Fault chunked") == ["chunked 0.url", "chunked 1.url"]
    assert shortcuts(favorites / "Fault after") == ["after 0.url", "after 1.url"]
    assert shortcuts(favorites / "Fault 1970") == ["epoch 0.url", "epoch 1.url"]
    assert shortcuts(favorites / "Fault UTC") == ["utc 0.url", "utc 1.url"]

    # Again: with a usable date nothing is downloaded; without one the feed is,
    # and calls for the same shortcuts, so it counts as unchanged too.
    messages = run_pass(tansy, 19)
    assert messages[10:] == pass_log(urls, ["NOMODIFY"] * 9)
    assert len([r for r in server.requests if r.path == "/big.xml"]) == 2
    assert (tansy.folder / "status.dat").read_bytes() == status
    assert not (tansy.folder / "dl.dat").exists()
    assert_log_whole(tansy)


# Titles that every character code can carry; "ソ" and "表" end in the byte
# 0x5C in Shift_JIS, which must not turn into a yen sign.
CODE_ITEMS = [("記事1：テスト", "http://example.jp/1"), ("ソース表示", "http://example.jp/2"),
              ("日本語 3", "http://example.jp/3")]
CODE_SHORTCUTS = sorted(["記事1：テスト.url", "ソース表示.url", "日本語 3.url"])
CODES = {
    "EUC-JP": dict(encoding="euc_jp"),
    "Shift_JIS": dict(encoding="cp932", declared="Shift_JIS"),
    "ISO-2022-JP": dict(encoding="iso2022_jp"),
    "UTF-8": dict(encoding="utf-8"),
    "UTF-16LE BOM": dict(encoding="utf-16-le", declared="UTF-16", bom=b"\xff\xfe"),
    "UTF-16LE": dict(encoding="utf-16-le", declared="UTF-16"),
    "UTF-16BE BOM": dict(encoding="utf-16-be", declared="UTF-16", bom=b"\xfe\xff"),
    "UTF-16BE": dict(encoding="utf-16-be", declared="UTF-16"),
}

HOSTILE_TITLES = ["..\\..\\x", "CON", "a" * 300, "...", ". . .", "tab\there\x01\x1f\x7f",
                  "trail\x80\xa0\xfd\xfe\xffend", "lead at end \x81"]
HOSTILE_LINKS = {"file link": "file:///C:/Windows/win.ini", "unc link": "\\\\server\\share\\x",
                 "script link": "javascript:alert(1)", "crlf link": "http://example.jp/a\r\nb",
                 "no host link": "http:///etc/passwd"}


def hostile_feed():
    items = [(t, "http://example.jp/hostile") for t in HOSTILE_TITLES]
    items += list((t, l) for t, l in HOSTILE_LINKS.items())
    items.append(("last good one", "http://example.jp/good"))
    body = "".join(f"<item><title>{t}</title><link>{l}</link></item>\n" for t, l in items)
    raw = (f'<?xml version="1.0" encoding="Shift_JIS"?>\n<rss><channel>{body}'
           "</channel></rss>\n")
    return raw.encode("latin-1")  # the titles' odd bytes go out as they are


def test_every_character_code_and_hostile_items(start_tansy, server, favorites):
    slots = []
    for code, how in CODES.items():
        path = "/" + code.replace(" ", "-") + ".xml"
        server.set_route(path, feed(CODE_ITEMS, **how), last_modified=LM1)
        slots.append((server.url(path), f"Fault {code}", ""))
    server.set_route("/hostile.xml", hostile_feed(), last_modified=LM1)
    slots.append((server.url("/hostile.xml"), "Fault hostile", ""))
    status = status_file(slots)
    before = set(p.name for p in favorites.iterdir())
    tansy = start_tansy(status=status)

    messages = run_pass(tansy, 10)
    assert messages == ["START"] + [f"{i} UPDATE {slots[i][0]}" for i in range(9)]
    for code in CODES:
        assert shortcuts(favorites / f"Fault {code}") == CODE_SHORTCUTS, code
    content = (favorites / "Fault UTF-16BE" / "ソース表示.url").read_bytes()
    assert b"URL=http://example.jp/2" in content

    hostile = favorites / "Fault hostile"
    made = shortcuts(hostile)
    print("\nshortcuts of the hostile feed:", made)
    assert "last good one.url" in made
    assert "．.￥..￥x.url" in made and "CON_.url" in made
    for name in made:
        stem = name[:-4]
        assert stem.strip(". ") and not any(ord(c) < 0x20 or ord(c) == 0x7F for c in stem)
        assert stem.split(".")[0].upper().rstrip(" ") not in ("CON", "PRN", "AUX", "NUL")
    for title in HOSTILE_LINKS:
        assert f"{title}.url" not in made
    assert not any("a" * 200 in name for name in made)
    # Nothing landed outside the site folders.
    assert set(p.name for p in favorites.iterdir()) - before == {
        f"Fault {code}" for code in CODES} | {"Fault hostile"}
    assert all(p.is_file() for p in hostile.iterdir())
    assert (tansy.folder / "status.dat").read_bytes() == status
    assert sorted(p.name for p in tansy.folder.iterdir()) == [
        "Tansy.exe", "jis1997.dll", "log.txt", "status.dat"]
    assert_log_whole(tansy)


def test_files_held_locked_read_only_or_in_the_way(start_tansy, server, favorites):
    # Without a date, so that only a list that reached the folder may make a
    # later visit unchanged.
    server.set_route("/blocked.xml", plain_feed("blocked"), last_modified=None)
    server.set_route("/normal.xml", plain_feed("normal"))
    urls = [server.url("/blocked.xml"), server.url("/normal.xml")]
    status = status_file([(urls[0], "Fault blocked", ""), (urls[1], "Fault normal", "")])
    # The first site's folder is a plain file.
    (favorites / "Fault blocked").write_bytes(b"not a folder")
    tansy = start_tansy(status=status)
    empty = [f"{i} ERROR " for i in range(2, 9)]

    # dl.dat held by another program: both changed feeds fail to download.
    holder = hold(tansy, tansy.folder / "dl.dat", 12)
    messages = run_pass(tansy, 10)
    assert messages[1:] == [f"0 ERROR {urls[0]}", f"1 ERROR {urls[1]}"] + empty
    holder.wait(timeout=30)

    # Free again: both download; the plain file stands in the folder's way
    # and is left as it was, which fails the first site.
    messages = run_pass(tansy, 19)
    assert messages[10:] == [f"0 ERROR {urls[0]}", f"1 UPDATE {urls[1]}"] + empty
    assert (favorites / "Fault blocked").read_bytes() == b"not a folder"
    assert shortcuts(favorites / "Fault normal") == ["normal 0.url", "normal 1.url"]
    assert not (tansy.folder / "dl.dat").exists()
    # The user takes the file away: the next visit makes the folder, since
    # nothing was saved into the file's place.
    (favorites / "Fault blocked").unlink()

    # log.txt held by another program: the lines of that pass are lost, the
    # pass itself runs, and the log is whole afterwards.
    logged = (tansy.folder / "log.txt").read_bytes()
    fetched = len(server.requests)
    holder = hold(tansy, tansy.folder / "log.txt", 8)
    tansy.command(IDM_REFRESH)
    server.wait_for_requests(fetched + 2, timeout=30)
    holder.wait(timeout=30)
    time.sleep(BLINK_S)
    assert (tansy.folder / "log.txt").read_bytes() == logged
    messages = run_pass(tansy, 28)
    assert messages[19:] == [f"0 NOMODIFY {urls[0]}", f"1 NOMODIFY {urls[1]}"] + empty
    assert shortcuts(favorites / "Fault blocked") == ["blocked 0.url", "blocked 1.url"]

    # A read-only status.dat and a site edit: the file stays as it was, the
    # edit still takes effect for this run.
    (tansy.folder / "status.dat").chmod(0o444)
    try:
        tansy.command(SITE_COMMANDS[1])
        assert tansy.ctl("wait", "Site 2", 10000)[0] == 0
        assert tansy.ctl("settext", "Site 2", IDC_NAME, "Fault renamed")[0] == 0
        tansy.ctl("click", "Site 2", IDC_OK)
        assert tansy.ctl("gone", "Site 2", 10000)[0] == 0
        messages = tansy.wait_for_messages(29)
        assert messages[28] == f"1 UPDATE {urls[1]}"
        assert (tansy.folder / "status.dat").read_bytes() == status
        assert not (favorites / "Fault normal").exists()
        assert shortcuts(favorites / "Fault renamed") == ["normal 0.url", "normal 1.url"]
    finally:
        (tansy.folder / "status.dat").chmod(0o644)

    # A shortcut the user made read-only whose item then leaves the feed: the
    # folder cannot be mirrored, which fails at every visit and is never news.
    stuck = favorites / "Fault blocked" / "blocked 1.url"
    stuck.chmod(0o444)
    server.set_route("/blocked.xml", plain_feed("blocked", 1), last_modified=None)
    tip = tray_tooltip(tansy)
    tansy.ctl("post", "Tansy", WM_TIMER, 1, 0)  # a steady visit of slot 0
    assert tansy.wait_for_messages(30)[29] == f"0 ERROR {urls[0]}"
    assert tray_tooltip(tansy) == tip
    assert run_pass(tansy, 39)[30] == f"0 ERROR {urls[0]}"
    assert stuck.exists()
    assert tansy.running()
    assert sorted(p.name for p in tansy.folder.iterdir()) == [
        "Tansy.exe", "jis1997.dll", "log.txt", "status.dat"]
    assert_log_whole(tansy)


# Long and timed (stalls, a cancel inside a pause): run on one program only.
@pytest.mark.one_width
def test_stalling_server_keeps_the_program_responsive_and_cancellable(start_tansy, server,
                                                                      favorites):
    stall_s = 6
    server.set_route("/silent.xml", plain_feed("silent"), stall_before_headers=stall_s)
    server.set_route("/pause.xml", plain_feed("pause", 100), stall_after=(2000, stall_s))
    server.set_route("/after.xml", plain_feed("after"))
    urls = [server.url(p) for p in ("/silent.xml", "/pause.xml", "/after.xml")]
    names = ["Fault silent", "Fault pause", "Fault after"]
    tansy = start_tansy(status=status_file(list(zip(urls, names, [""] * 3))))

    tansy.command(IDM_REFRESH)
    time.sleep(2)
    # The worker waits for the headers; the window still answers at once.
    asked = time.time()
    code, out = tansy.ctl("show", "Tansy")
    assert code == 0 and "title=Tansy" in out
    assert time.time() - asked < 5
    messages = tansy.wait_for_messages(10, timeout=60)
    assert messages[1:4] == [f"{i} UPDATE {urls[i]}" for i in range(3)]
    assert shortcuts(favorites / "Fault pause") == sorted(f"pause {i}.url" for i in range(100))
    tansy.wait_blink_end()

    # Cancelled in the middle of the pause: logged as such once the server
    # goes on, and then the program waits for the user. The pause is longer
    # here, so that the Refresh lands inside it even on a loaded machine.
    server.set_route("/pause.xml", plain_feed("pause", 101), last_modified=None,
                     stall_after=(2000, 2 * stall_s))
    tansy.command(IDM_REFRESH)
    wait_for_download(tansy, timeout=30)
    tansy.command(IDM_REFRESH)
    messages = tansy.wait_for_messages(12, timeout=60)
    assert messages[10:] == [f"0 NOMODIFY {urls[0]}", f"1 CANCEL {urls[1]}"]
    time.sleep(1)
    assert len(tansy.messages()) == 12
    assert not (tansy.folder / "dl.dat").exists()

    # Refresh starts over, and the cancelled feed comes in whole.
    messages = run_pass(tansy, 21, timeout=90)
    assert messages[12:15] == [f"0 NOMODIFY {urls[0]}", f"1 UPDATE {urls[1]}",
                               f"2 NOMODIFY {urls[2]}"]
    assert shortcuts(favorites / "Fault pause") == sorted(f"pause {i}.url" for i in range(101))
    assert_log_whole(tansy)
