"""Site folders in the prefix's Favorites folder: the 255-byte path limits
and what emptying a folder leaves alone."""
import shutil

import pytest

from conftest import IDM_REFRESH, shortcuts, status_file

LM = "Wed, 21 Oct 2015 07:28:00 GMT"


def feed(titles):
    items = "".join(f"<item><title>{t}</title><link>http://example.jp/{i}</link></item>"
                    for i, t in enumerate(titles))
    return f'<?xml version="1.0" encoding="UTF-8"?><rss><channel>{items}</channel></rss>'.encode()


@pytest.fixture
def site(wine):
    """A fresh site folder name and its Linux path."""
    name = "Limits"
    folder = wine.favorites / name
    shutil.rmtree(folder, ignore_errors=True)
    yield name, folder
    shutil.rmtree(folder, ignore_errors=True)


def windows_favorites(wine):
    # The shell's Favorites folder as the program sees it.
    return "C:\\users\\" + wine.favorites.parent.name + "\\Favorites"


def run_one_pass(start_tansy, server, name, body):
    server.set_route("/f.xml", body, last_modified=LM)
    tansy = start_tansy(status=status_file([(server.url("/f.xml"), name, "")]))
    tansy.command(IDM_REFRESH)
    tansy.wait_for_log(lambda m: len(m) >= 2)
    return tansy


def test_shortcut_paths_stop_at_255_bytes(start_tansy, server, wine, site):
    name, folder = site
    folder_path = len(windows_favorites(wine)) + 1 + len(name)
    longest = 255 - folder_path - len("\\.url")  # complete path of exactly 255 bytes
    titles = ["a" * longest, "b" * (longest + 1), "short"]
    tansy = run_one_pass(start_tansy, server, name, feed(titles))
    assert tansy.messages()[1].startswith("0 UPDATE ")
    assert shortcuts(folder) == sorted(["a" * longest + ".url", "short.url"])


def test_emptying_keeps_dot_files_and_subfolders(start_tansy, server, site):
    name, folder = site
    (folder / "sub").mkdir(parents=True)
    (folder / "sub" / "inner.url").write_bytes(b"[InternetShortcut]\r\nURL=http://x/\r\n")
    (folder / ".keep").write_bytes(b"mine")
    for stale in ("old.url", "notes.txt", "noext"):
        (folder / stale).write_bytes(b"stale")
    run_one_pass(start_tansy, server, name, feed(["fresh"]))
    assert sorted(p.name for p in folder.iterdir()) == [".keep", "fresh.url", "sub"]
    assert (folder / "sub" / "inner.url").exists()
    assert (folder / ".keep").read_bytes() == b"mine"
    content = (folder / "fresh.url").read_bytes()
    assert b"[InternetShortcut]" in content and b"URL=http://example.jp/0" in content
