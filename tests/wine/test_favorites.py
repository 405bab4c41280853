"""Site folders in the prefix's Favorites folder: the 255-byte path limits,
what emptying a folder leaves alone, and a changed feed rewriting only the
shortcuts that changed."""
import email.utils
import shutil
import time

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
    tansy.wait_for_messages(2)
    return tansy


def test_shortcut_paths_stop_at_255_bytes(start_tansy, server, wine, site):
    name, folder = site
    folder_path = len(windows_favorites(wine)) + 1 + len(name)
    longest = 255 - folder_path - len("\\.url")  # complete path of exactly 255 bytes
    titles = ["a" * longest, "b" * (longest + 1), "short"]
    tansy = run_one_pass(start_tansy, server, name, feed(titles))
    assert tansy.messages()[1].startswith("0 UPDATE ")
    assert shortcuts(folder) == sorted(["a" * longest + ".url", "short.url"])


def test_emptying_deletes_only_shortcut_files(start_tansy, server, site):
    name, folder = site
    (folder / "sub").mkdir(parents=True)
    (folder / "sub" / "inner.url").write_bytes(b"[InternetShortcut]\r\nURL=http://x/\r\n")
    (folder / ".keep").write_bytes(b"mine")
    for stale in ("old.url", "OLD2.URL", "notes.txt", "noext"):
        (folder / stale).write_bytes(b"stale " + stale.encode())
    (folder / "fresh.url").write_bytes(b"[InternetShortcut]\r\nURL=http://old.example.jp/\r\n")
    run_one_pass(start_tansy, server, name, feed(["fresh"]))
    assert sorted(p.name for p in folder.iterdir()) == [
        ".keep", "fresh.url", "noext", "notes.txt", "sub"]
    assert (folder / "sub" / "inner.url").exists()
    assert (folder / ".keep").read_bytes() == b"mine"
    assert (folder / "notes.txt").read_bytes() == b"stale notes.txt"
    assert (folder / "noext").read_bytes() == b"stale noext"
    content = (folder / "fresh.url").read_bytes()
    assert b"[InternetShortcut]" in content and b"URL=http://example.jp/0" in content


# --- Rewriting only what changed ---------------------------------------------
#
# Slot 0 mirrors the feed into a folder that keeps its files from pass to
# pass; slot 1 gets the same feed into a folder emptied before every pass, as
# the program used to leave it. After each pass both must hold the same names
# and URLs, and those of a model of writing every item in order.

MIRROR, FRESH = "Mirror", "Fresh"

FEED_1 = [
    ("Alpha", "http://example.jp/a"),
    ("Beta", "http://example.jp/b"),
    ("Gamma", "http://example.jp/g"),
    ("Delta", "http://example.jp/d"),
    ("Dup", "http://example.jp/dup1"),
    ("Dup", "http://example.jp/dup2"),
    ("Case", "http://example.jp/case1"),
    ("CASE", "http://example.jp/case2"),
    ("ｆｕｌｌ", "http://example.jp/f1"),
    ("ＦＵＬＬ", "http://example.jp/f2"),
    ("日本語", "http://example.jp/日本"),
    ("Spaced", "http://example.jp/a b"),
    ("Title", "http://example.jp/t"),
    ("Cafe", "http://example.jp/cafe"),
    ("Zeta & Eta", "http://example.jp/z?p=1&c=2"),
]

FEED_2 = [
    ("Alpha", "http://example.jp/a"),       # unchanged
    ("Beta", "http://example.jp/b2"),       # relinked
    ("Delta 2", "http://example.jp/d"),     # renamed; Gamma removed
    ("Epsilon", "http://example.jp/e"),     # added
    ("Dup", "http://example.jp/dup1"),
    ("Dup", "http://example.jp/dup2"),      # duplicates as before
    ("CASE", "http://example.jp/case2"),
    ("Case", "http://example.jp/case1"),    # duplicates reordered: renamed and relinked
    ("ｆｕｌｌ", "http://example.jp/f1"),
    ("ＦＵＬＬ", "http://example.jp/f2"),    # as before
    ("日本語", "http://example.jp/日本"),
    ("Spaced", "http://example.jp/a b"),
    ("title", "http://example.jp/t"),       # only the title's case changed
    ("Cafe", "http://example.jp/cafe"),
]


def mirror_feed(items):
    """An RSS feed of (title, link) items; a title with '&' is written as a
    CDATA section, and each '&' of a link as a character reference."""
    def title(t):
        return f"<![CDATA[{t}]]>" if "&" in t else t

    body = "".join(f"<item><title>{title(t)}</title><link>{link.replace('&', '&#038;')}</link>"
                   "</item>" for t, link in items)
    return f'<?xml version="1.0" encoding="UTF-8"?><rss><channel>{body}</channel></rss>'.encode()


def full_rewrite(items):
    """Names and URLs after writing every item in order into an empty folder:
    names that differ only in case are one file, named by the first item and
    holding the last one's URL (the shortcut object writes URLs as UTF-8)."""
    files = {}
    for title, link in items:
        name, _ = files.get(title.upper(), (title + ".url", None))
        files[title.upper()] = (name, link.encode("utf-8"))
    return dict(files.values())


def shortcut_urls(folder):
    """{file name: URL} of the shortcut files in a folder, read from the files."""
    urls = {}
    for path in folder.iterdir():
        if path.suffix.lower() == ".url":
            lines = path.read_bytes().split(b"\r\n")
            urls[path.name] = next(line[4:] for line in lines if line.startswith(b"URL="))
    return urls


def stamps(folder):
    return {p.name: p.stat().st_mtime_ns for p in folder.iterdir()}


@pytest.fixture
def mirror_folders(wine):
    folders = [wine.favorites / MIRROR, wine.favorites / FRESH]
    for folder in folders:
        shutil.rmtree(folder, ignore_errors=True)
    yield folders
    for folder in folders:
        shutil.rmtree(folder, ignore_errors=True)


def test_changed_feed_rewrites_only_changed_shortcuts(start_tansy, server, mirror_folders):
    mirror, fresh = mirror_folders
    status = status_file([(server.url("/f.xml"), MIRROR, ""), (server.url("/f.xml"), FRESH, "")])
    passes = [0]

    def mirror_pass(tansy, items, word="UPDATE"):
        # A new Last-Modified makes the feed count as changed.
        passes[0] += 1
        server.set_route("/f.xml", mirror_feed(items),
                         last_modified=email.utils.formatdate(1500000000 + passes[0], usegmt=True))
        shutil.rmtree(fresh, ignore_errors=True)
        def slot_lines(messages):
            return [m for m in messages if m[:2] in ("0 ", "1 ")]

        # The whole pass is waited for, or the next Refresh would only
        # cancel its last slots.
        before = len(tansy.messages())
        tansy.command(IDM_REFRESH)
        messages = tansy.wait_for_log(lambda m: any(x[:2] == "8 " for x in m[before:]))
        assert slot_lines(messages[before:]) == [
            f"0 {word} " + server.url("/f.xml"), f"1 {word} " + server.url("/f.xml")]
        if word == "UPDATE":
            assert shortcut_urls(mirror) == shortcut_urls(fresh) == full_rewrite(items)

    def untouched(before, names):
        after = stamps(mirror)
        return sorted(n for n in names if after.get(n) == before[n])

    # First update into a folder that already holds a file of the user's and
    # shortcuts of an older run.
    mirror.mkdir(parents=True)
    (mirror / "notes.txt").write_bytes(b"mine")
    (mirror / "Stale.url").write_bytes(b"[InternetShortcut]\r\nURL=http://example.jp/stale\r\n")
    (mirror / "Beta.url").write_bytes(b"[InternetShortcut]\r\nURL=http://example.jp/old\r\n")
    # A name outside code page 932, which an ANSI listing would give back as
    # "Cafe.url": it is another file and goes like every shortcut.
    (mirror / "Café.url").write_bytes(b"[InternetShortcut]\r\nURL=http://example.jp/cafe\r\n")
    tansy = start_tansy(status=status)
    mirror_pass(tansy, FEED_1)
    assert (mirror / "notes.txt").read_bytes() == b"mine"

    # Added, removed, renamed, relinked and duplicate titles: only the
    # unchanged shortcuts with plain ASCII links keep their files.
    kept = ["Alpha.url", "Cafe.url", "Dup.url", "ｆｕｌｌ.url"]
    before = stamps(mirror)
    time.sleep(0.05)
    mirror_pass(tansy, FEED_2)
    assert untouched(before, before) == sorted(kept + ["notes.txt"])

    # After a restart the program knows only the files: the one the user
    # relinked and the one the user deleted are written again, the shortcuts
    # whose links the object re-encodes are rewritten, the rest stay.
    tansy.exit()
    (mirror / "Alpha.url").write_bytes(b"[InternetShortcut]\r\nURL=http://user.example.jp/\r\n")
    (mirror / "Epsilon.url").unlink()
    before = stamps(mirror)
    time.sleep(0.05)
    tansy = start_tansy(status=status)
    mirror_pass(tansy, FEED_2)
    assert untouched(before, before) == sorted(
        ["Beta.url", "CASE.url", "Cafe.url", "Delta 2.url", "Dup.url", "title.url", "ｆｕｌｌ.url",
         "notes.txt"])

    # A folder the user emptied by hand stays so while the feed calls for
    # what was written last, whatever its date; the next change fills it.
    for path in mirror.glob("*.url"):
        path.unlink()
    mirror_pass(tansy, FEED_2, "NOMODIFY")
    assert shortcut_urls(mirror) == {}
    mirror_pass(tansy, FEED_1)
    assert (mirror / "notes.txt").read_bytes() == b"mine"
