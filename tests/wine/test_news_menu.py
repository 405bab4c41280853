"""The sites' submenus of the tray menu, chosen from with keys as a user would."""
import os
from pathlib import Path

import pytest

from conftest import IDM_REFRESH, WM_TRAYNOTIFY, clean_favorites, status_file, wait_until

WM_RBUTTONUP, VK_RETURN, VK_RIGHT, VK_DOWN = 0x205, 0x0D, 0x27, 0x28
WM_TIMER, NIN_BALLOONUSERCLICK = 0x113, 0x405


@pytest.fixture
def browser(wine, tmp_path):
    """The browser Wine starts for a web address: a script recording its arguments."""
    script, record = tmp_path / "browser.sh", tmp_path / "browser.txt"
    script.write_text(f'#!/bin/sh\necho "$@" >>"{record}"\n')
    script.chmod(0o755)
    wine.run(["reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/t", "REG_SZ",
              "/d", str(script), "/f"], check=True)
    return record


def news_feed(count):
    """Items count-1 down to 0 (not by name)."""
    items = "".join(f"<item><title>item {i}</title><link>http://example.jp/item/{i}</link></item>"
                    for i in reversed(range(count)))
    return f"<rss><channel>{items}</channel></rss>".encode()


def start_news(start_tansy, server, wine, count):
    """Tansy with one site, News, after the first pass over its `count` items."""
    clean_favorites(wine, ["News"])
    server.set_route("/feed.xml", body=news_feed(count), last_modified=None)
    tansy = start_tansy(status=status_file([(server.url("/feed.xml"), "News", "")]))
    tansy.command(IDM_REFRESH)
    return tansy


def choose_in_site(start_tansy, server, wine, count, downs):
    """The site's row `downs` below the first chosen."""
    tansy = start_news(start_tansy, server, wine, count)
    tansy.wait_for_log(lambda m: "0 UPDATE " + server.url("/feed.xml") in m)
    tansy.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, WM_RBUTTONUP)
    wait_until(lambda: tansy.ctl("menu")[0] == 0, "the tray menu did not open")
    for key in [VK_DOWN, VK_RIGHT] + [VK_DOWN] * downs + [VK_RETURN]:
        tansy.ctl("menukey", key)


def test_first_item_opens_its_link_in_the_browser(start_tansy, server, wine, browser):
    choose_in_site(start_tansy, server, wine, 3, 0)
    opened = wait_until(lambda: browser.exists() and browser.read_text(), "no browser ran", 20)
    assert opened.split() == ["http://example.jp/item/2"]


def test_a_click_on_the_notice_opens_its_one_new_item(start_tansy, server, wine, browser):
    tansy = start_news(start_tansy, server, wine, 2)
    tansy.wait_for_messages(10)  # START and the nine slots of the first pass
    server.set_route("/feed.xml", body=news_feed(3), last_modified=None)
    tansy.ctl("post", "Tansy", WM_TIMER, 1, 0)  # a steady visit of slot 0
    assert tansy.wait_for_messages(11)[10].startswith("0 UPDATE ")
    tansy.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, NIN_BALLOONUSERCLICK)
    opened = wait_until(lambda: browser.exists() and browser.read_text(), "no browser ran", 20)
    assert opened.split() == ["http://example.jp/item/2"]


def folder_explorers(wine, folder):
    """The ids of the prefix's Explorer processes that show `folder`."""
    found = []
    for proc in Path("/proc").iterdir():
        try:
            args = (proc / "cmdline").read_bytes().decode("utf-8", "replace").split("\0")
            env = (proc / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if (b"WINEPREFIX=" + str(wine.prefix).encode() in env and
                args[0].lower().endswith("explorer.exe") and
                " ".join(args).strip().endswith(folder)):
            found.append(int(proc.name))
    return found


def test_a_long_folder_lists_25_and_then_opens_the_folder(start_tansy, server, wine, browser):
    choose_in_site(start_tansy, server, wine, 30, 25)  # past the 25 items and the separator
    opened = wait_until(lambda: folder_explorers(wine, "\\Favorites\\News"),
                        "no Explorer showed the site folder", 20)
    for pid in opened:
        os.kill(pid, 15)
    assert not browser.exists()
