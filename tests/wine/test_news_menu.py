"""The sites' submenus of the tray menu, chosen from with keys as a user would."""
import os
from pathlib import Path

import pytest

from conftest import IDM_REFRESH, WM_TRAYNOTIFY, clean_favorites, status_file, wait_until

WM_RBUTTONUP, VK_RETURN, VK_RIGHT, VK_DOWN = 0x205, 0x0D, 0x27, 0x28


@pytest.fixture
def browser(wine, tmp_path):
    """The browser Wine starts for a web address: a script recording its arguments."""
    script, record = tmp_path / "browser.sh", tmp_path / "browser.txt"
    script.write_text(f'#!/bin/sh\necho "$@" >>"{record}"\n')
    script.chmod(0o755)
    wine.run(["reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/t", "REG_SZ",
              "/d", str(script), "/f"], check=True)
    return record


def choose_in_site(start_tansy, server, wine, count, downs):
    """One site, items count-1 down to 0 (not by name); its row `downs` below the first chosen."""
    clean_favorites(wine, ["News"])
    items = "".join(f"<item><title>item {i}</title><link>http://example.jp/item/{i}</link></item>"
                    for i in reversed(range(count)))
    server.set_route("/feed.xml", body=f"<rss><channel>{items}</channel></rss>".encode())
    tansy = start_tansy(status=status_file([(server.url("/feed.xml"), "News", "")]))
    tansy.command(IDM_REFRESH)
    tansy.wait_for_log(lambda m: "0 UPDATE " + server.url("/feed.xml") in m)
    tansy.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, WM_RBUTTONUP)
    wait_until(lambda: tansy.ctl("menu")[0] == 0, "the tray menu did not open")
    for key in [VK_DOWN, VK_RIGHT] + [VK_DOWN] * downs + [VK_RETURN]:
        tansy.ctl("menukey", key)


def test_first_item_opens_its_link_in_the_browser(start_tansy, server, wine, browser):
    choose_in_site(start_tansy, server, wine, 3, 0)
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
