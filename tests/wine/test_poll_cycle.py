"""The whole program under Wine against the real feed server: a pass over
nine slots mixing changed, unchanged, failing and empty sites, cancelled
downloads, and the notification of a change in steady polling."""
import email.utils
import itertools
import re
import subprocess
import time
from pathlib import Path

import pytest

from conftest import (IDM_EXIT, IDM_REFRESH, OWN_FEEDS, clean_favorites, corpus_feed, refused_url,
                      shortcuts, status_file, tray_tooltip, wait_for_download)
from conftest import WM_TRAYNOTIFY, wait_until


WM_TIMER, WM_RBUTTONUP, VK_ESCAPE = 0x0113, 0x0205, 0x1B
LM1 = "Wed, 21 Oct 2015 07:28:00 GMT"
LM2 = "Thu, 22 Oct 2015 08:00:00 GMT"

EUC_FEED = OWN_FEEDS / "eucjp_rss091_halfwidth_kana.xml"
EUC_NAME = "町内ニュース"
UTF8_NAME = "日本語のサイト"
PLAIN_NAME = "Plain news"


def utf8_feed(count, tag=""):
    items = "".join(
        f"<item><title>記事{i}{tag}：その{i}</title><link>http://example.jp/a/{i}</link></item>\n"
        for i in range(count))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel>'
            f"<title>テスト</title>\n{items}</channel></rss>\n").encode("utf-8")


def icon_blinks(tansy, timeout=4.0):
    """Whether the tray shows the red alert icon within `timeout` seconds."""
    red = lambda: tansy.red_pixels() or 0  # noqa: E731
    try:
        return wait_until(red, "", timeout, 0.1) > 0
    except AssertionError:
        return False


@pytest.fixture
def favorites(wine):
    return clean_favorites(wine, (EUC_NAME, UTF8_NAME, PLAIN_NAME))


def test_a_pass_over_nine_slots(start_tansy, server, favorites):
    server.set_route("/euc.xml", EUC_FEED.read_bytes(), last_modified=LM1)
    server.set_route("/utf8.xml", utf8_feed(3), last_modified=LM1)
    server.set_route("/nolm.xml", utf8_feed(2, "b"), last_modified=None)
    server.set_route("/gone.xml", b"not here", status=404)
    refused = refused_url()
    slots = [(server.url("/euc.xml"), EUC_NAME, ""), (server.url("/utf8.xml"), UTF8_NAME, ""),
             (server.url("/nolm.xml"), PLAIN_NAME, ""), (server.url("/gone.xml"), "Gone", ""),
             (refused, "Refused", "")]
    tansy = start_tansy(status=status_file(slots))
    tansy.command(IDM_REFRESH)
    messages = tansy.wait_for_messages(10)
    assert messages == [
        "START",
        f"0 UPDATE {slots[0][0]}",
        f"1 UPDATE {slots[1][0]}",
        f"2 UPDATE {slots[2][0]}",
        f"3 ERROR {slots[3][0]}",
        f"4 ERROR {refused}",
        "5 ERROR ", "6 ERROR ", "7 ERROR ", "8 ERROR ",
    ]
    euc = shortcuts(favorites / EUC_NAME)
    assert len(euc) == 15
    assert "図書館の休館日.url" in euc
    assert "HDD･DVDﾚｺｰﾀﾞｰの比較.url" in euc  # half-width katakana kept
    assert shortcuts(favorites / UTF8_NAME) == ["記事0：その0.url", "記事1：その1.url",
                                                "記事2：その2.url"]
    content = (favorites / UTF8_NAME / "記事1：その1.url").read_bytes()
    assert b"URL=http://example.jp/a/1" in content
    assert not (tansy.folder / "dl.dat").exists()
    for missing in ("Gone", "Refused"):
        assert not (favorites / missing).exists()

    # A second pass: where the time held the feed is unchanged; a feed
    # without Last-Modified that calls for the same shortcuts is too.
    tansy.wait_blink_end()  # the end-of-pass blink
    tansy.command(IDM_REFRESH)
    messages = tansy.wait_for_messages(19)
    assert messages[10:13] == [f"0 NOMODIFY {slots[0][0]}", f"1 NOMODIFY {slots[1][0]}",
                               f"2 NOMODIFY {slots[2][0]}"]


def test_a_real_euc_jp_feed(start_tansy, server, favorites):
    """A feed of the third-party corpus, with half-width katakana."""
    feed = corpus_feed("chardet/eucjp_rss091_halfwidth-kana_artifact-jp.com.xml")
    server.set_route("/euc.xml", feed.read_bytes(), last_modified=LM1)
    tansy = start_tansy(status=status_file([(server.url("/euc.xml"), EUC_NAME, "")]))
    tansy.command(IDM_REFRESH)
    assert tansy.wait_for_messages(10)[1] == f"0 UPDATE {server.url('/euc.xml')}"
    euc = shortcuts(favorites / EUC_NAME)
    assert len(euc) == 15
    assert "Linuxで動作するTV録画サーバーのベアボーンセット.url" in euc
    assert "HDD･DVDレコーダーのレビュー.url" in euc


def menu_builders_running(prefix):
    """Process ids of Wine's menu builder at work in the given prefix: a
    process started for it that has loaded its program (a disabled one is
    refused before that)."""
    found = set()
    for proc in Path("/proc").iterdir():
        try:
            if b"winemenubuilder" not in (proc / "cmdline").read_bytes():
                continue
            if f"WINEPREFIX={prefix}".encode() not in (proc / "environ").read_bytes().split(b"\0"):
                continue
            if b"winemenubuilder.exe" in (proc / "maps").read_bytes():
                found.add(proc.name)
        except OSError:
            pass
    return found


def test_saving_shortcuts_starts_no_menu_builder(start_tansy, server, favorites, wine):
    # Left on, Wine's menu builder runs once for every shortcut saved (about
    # 100 ms each) and may touch the host's menus.
    server.set_route("/many.xml", utf8_feed(40), last_modified=LM1)
    tansy = start_tansy(status=status_file([(server.url("/many.xml"), UTF8_NAME, "")]))
    tansy.command(IDM_REFRESH)
    seen = set()
    deadline = time.time() + 60
    while len(tansy.messages()) < 10 and time.time() < deadline:
        seen |= menu_builders_running(wine.prefix)
        time.sleep(0.02)
    assert len(shortcuts(favorites / UTF8_NAME)) == 40
    assert not seen


def test_refresh_cancels_a_slow_download(start_tansy, server, favorites):
    body = utf8_feed(400)
    server.set_route("/slow.xml", body, trickle=(512, 0.2))
    url = server.url("/slow.xml")
    tansy = start_tansy(status=status_file([(url, UTF8_NAME, "")]))
    tansy.command(IDM_REFRESH)
    wait_for_download(tansy)
    tansy.command(IDM_REFRESH)
    assert tansy.wait_for_messages(2) == ["START", f"0 CANCEL {url}"]
    assert not (tansy.folder / "dl.dat").exists()
    time.sleep(3)
    assert tansy.messages() == ["START", f"0 CANCEL {url}"]
    assert len(server.requests) == 1
    assert not (favorites / UTF8_NAME).exists()


def test_exit_during_a_download_only_cancels_it(start_tansy, server):
    server.set_route("/slow.xml", utf8_feed(400), trickle=(512, 0.2))
    url = server.url("/slow.xml")
    tansy = start_tansy(status=status_file([(url, "Slow", "")]))
    tansy.command(IDM_REFRESH)
    wait_for_download(tansy)
    tansy.command(IDM_EXIT)
    assert tansy.wait_for_messages(2) == ["START", f"0 CANCEL {url}"]
    time.sleep(1)
    assert tansy.running()
    assert not (tansy.folder / "dl.dat").exists()
    tansy.exit()
    assert tansy.messages() == ["START", f"0 CANCEL {url}"]


def test_change_in_steady_polling_is_notified(start_tansy, server, favorites, tmp_path):
    server.set_route("/utf8.xml", utf8_feed(2), last_modified=LM1)
    url = server.url("/utf8.xml")
    tansy = start_tansy(status=status_file([(url, UTF8_NAME, "Z:\\no\\such.wav")]))
    tansy.command(IDM_REFRESH)
    tansy.wait_for_messages(10)
    first_pass = [r for r in server.requests if r.path == "/utf8.xml"]
    assert len(first_pass) == 1
    tansy.wait_blink_end()  # the end-of-pass blink
    # A change in the first pass leaves the tooltip alone.
    assert tray_tooltip(tansy) == "Tansy"

    # Steady polling: the next tick fetches slot 0, which has changed now.
    server.set_route("/utf8.xml", utf8_feed(3, "新"), last_modified=LM2)
    tansy.ctl("post", "Tansy", WM_TIMER, 1, 0)
    server.wait_for_requests(2, timeout=20)
    messages = tansy.wait_for_messages(11, timeout=30)
    assert messages[10] == f"0 UPDATE {url}"
    # Sound and blink started before the log line; the menu opens meanwhile.
    subprocess.run(["xdotool", "mousemove", "600", "400"], env=tansy.wine.env,
                   stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
    tansy.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, WM_RBUTTONUP)
    wait_until(lambda: tansy.ctl("menu")[0] == 0, "no menu while the icon blinks")
    assert icon_blinks(tansy), "the icon did not blink while the menu was open"
    tansy.ctl("menukey", VK_ESCAPE)
    assert shortcuts(favorites / UTF8_NAME) == [f"記事{i}新：その{i}.url" for i in range(3)]
    # The tooltip now names the site, with the hour and minute below.
    tip = tray_tooltip(tansy)
    assert tip is not None and tip.startswith(UTF8_NAME + "\r\n"), tip
    assert re.fullmatch(r"\d\d:\d\d", tip[len(UTF8_NAME) + 2:]), tip


def date_of_every_answer():
    """A Last-Modified a day later on every answer, as a feed stamped with the
    time it is served."""
    days = itertools.count()
    return lambda: email.utils.formatdate(1445412480 + 86400 * next(days), usegmt=True)


@pytest.mark.parametrize("dated", [False, True], ids=["no date", "new date every answer"])
def test_feed_is_compared_by_its_shortcuts(start_tansy, server, favorites, dated):
    last_modified = date_of_every_answer() if dated else None
    server.set_route("/nolm.xml", utf8_feed(2), last_modified=last_modified)
    url = server.url("/nolm.xml")
    tansy = start_tansy(status=status_file([(url, UTF8_NAME, "Z:\\no\\such.wav")]))
    tansy.command(IDM_REFRESH)
    assert tansy.wait_for_messages(10)[1] == f"0 UPDATE {url}"
    folder = favorites / UTF8_NAME
    written = {p.name: p.stat().st_mtime_ns for p in folder.iterdir()}
    assert sorted(written) == ["記事0：その0.url", "記事1：その1.url"]
    tansy.wait_blink_end()  # the end-of-pass blink

    def visit_slot_0(count):
        """Ticks of steady polling up to slot 0's outcome, the `count`th log
        message."""
        while len(tansy.messages()) < count - 1:  # the empty slots 1-8
            seen = len(tansy.messages())
            tansy.ctl("post", "Tansy", WM_TIMER, 1, 0)
            try:
                tansy.wait_for_messages(seen + 1, timeout=3)
            except AssertionError:
                pass  # the tick came while the last outcome was handled; again
        before = len(server.requests)
        tansy.ctl("post", "Tansy", WM_TIMER, 1, 0)
        server.wait_for_requests(before + 1, timeout=20)
        tansy.wait_for_messages(count, timeout=30)

    # The same body again in steady polling: downloaded, found to call for
    # the same shortcuts, and left alone. No sound, tooltip or blink: the log
    # line follows at once.
    visit_slot_0(11)
    assert tansy.messages()[10] == f"0 NOMODIFY {url}"
    assert not icon_blinks(tansy, 1.5), "the change was announced"
    assert tray_tooltip(tansy) == "Tansy"
    assert {p.name: p.stat().st_mtime_ns for p in folder.iterdir()} == written
    assert not (tansy.folder / "dl.dat").exists()
    assert [r.path for r in server.requests].count("/nolm.xml") == 2

    # One item more: written and announced.
    server.set_route("/nolm.xml", utf8_feed(3), last_modified=last_modified)
    visit_slot_0(20)
    assert tansy.messages()[19] == f"0 UPDATE {url}"
    assert icon_blinks(tansy), "no blink"
    wait_until(lambda: not icon_blinks(tansy, 1.5), "the blink did not end", 10)
    assert shortcuts(folder) == [f"記事{i}：その{i}.url" for i in range(3)]
    assert tray_tooltip(tansy).startswith(UTF8_NAME + "\r\n")

    # Items only removed: the folder follows, and nothing is announced.
    server.set_route("/nolm.xml", utf8_feed(1), last_modified=last_modified)
    visit_slot_0(29)
    assert tansy.messages()[28] == f"0 UPDATE {url}"
    assert not icon_blinks(tansy, 1.5), "the removal was announced"
    assert shortcuts(folder) == ["記事0：その0.url"]
