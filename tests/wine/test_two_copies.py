"""Two copies of Tansy in two folders with the same sites run their own poll
cycles into the same site folders. Neither may crash, status.dat stays a
valid file after an edit in one copy, and the log keeps whole lines. A second
start of the same program file only opens the running copy's menu."""
import re
import shutil
import time

import pytest

from conftest import (IDM_EXIT, IDM_REFRESH, SITE_COMMANDS, Tansy, clean_favorites, numbered_feed,
                      status_file, stop_process, wait_until)


IDC_OK, IDC_URL, IDC_NAME = 1012, 1017, 1018
LOG_LINE = re.compile(r"\d\d:\d\d:\d\d (START|[0-8] (UPDATE|NOMODIFY|ERROR|CANCEL) .*)\Z")
ROUNDS = 3


# Long rounds of timed passes: run on one program only.
@pytest.mark.one_width
def test_two_copies_in_two_folders(start_tansy, wine, server):
    names = ["Twin A", "Twin B", "Twin C", "Twin edited"]
    fav = clean_favorites(wine, names)
    # No Last-Modified: every fetch of either copy downloads into dl.dat.
    for tag in ("a", "b", "c"):
        server.set_route(f"/{tag}.xml", numbered_feed(tag, 40), last_modified=None)
    slots = [(server.url(f"/{t}.xml"), n, "") for t, n in zip("abc", names)]
    status = status_file(slots)
    first = start_tansy(status=status)
    twin = first.folder.parent / "twin"
    shutil.copytree(first.folder, twin)
    second = Tansy(wine, twin, wine.spawn([twin / "Tansy.exe"], name="twin"))
    wait_until(lambda: first.ctl("count", "Tansy")[1].strip() == "2",
               "the second copy never showed its window", 30)

    try:
        for _ in range(ROUNDS):
            before = len(server.requests)
            code, out = first.ctl("commandall", "Tansy", IDM_REFRESH)
            assert code == 0 and out.strip() == "2"
            wait_until(lambda: len(server.requests) >= before + 6, "the two passes never ran", 60)
            time.sleep(7)  # both passes' ends and their blinks
            assert first.running() and second.running()

        # An edit in one copy: status.dat stays 27 whole lines.
        assert first.ctl("command", f"Tansy|{first.folder.name}", SITE_COMMANDS[3])[0] == 0
        title = "Site 4"
        assert first.ctl("wait", title, 10000)[0] == 0
        first.ctl("settext", title, IDC_URL, server.url("/c.xml"))
        first.ctl("settext", title, IDC_NAME, names[3])
        first.ctl("click", title, IDC_OK)
        assert first.ctl("gone", title, 10000)[0] == 0
        # The save follows the end of the dialog's modal loop.
        edited = server.url("/c.xml").encode()
        def saved():
            lines = (first.folder / "status.dat").read_bytes().split(b"\r\n")
            return lines if len(lines) > 9 and lines[9] == edited else None

        lines = wait_until(saved, "the edit was never saved", 15)
        assert len(lines) == 28 and lines[27] == b""
        assert lines[9:12] == [server.url("/c.xml").encode(), names[3].encode(), b""]
        assert lines[:9] == status.split(b"\r\n")[:9]
        assert first.running() and second.running()

        messages = [line for line in first.log_lines()]
        for line in messages:
            assert LOG_LINE.match(line), f"broken log line {line!r}"
        fetch_lines = [m for m in messages if not m.endswith("START")]
        errors = [m for m in fetch_lines if " ERROR http" in m]
        print(f"\ntwo copies: {len(fetch_lines)} fetch lines of {2 * ROUNDS * 9 + 1} "
              f"outcomes, {len(errors)} errors on a shared dl.dat")
        # Lines may be lost when both write at once, but not most of them.
        assert len(fetch_lines) >= ROUNDS * 9
        for name, tag in zip(names, "abcc"):
            folder = fav / name
            if folder.is_dir():
                assert all(p.suffix == ".url" for p in folder.iterdir())
                foreign = [p.name for p in folder.iterdir() if not p.name.startswith(tag + " ")]
                print(f"  {name}: {len(list(folder.iterdir()))} shortcuts, "
                      f"{len(foreign)} from another site's feed")
    finally:
        for tansy in (first, second):
            for _ in range(3):
                if not tansy.running():
                    break
                tansy.ctl("commandall", "Tansy", IDM_EXIT)
                time.sleep(2)
        stop_process(second.proc)


def test_a_second_start_opens_the_running_copys_menu(start_tansy, wine):
    first = start_tansy()
    again = wine.spawn([first.folder / "Tansy.exe"], name="again")
    try:
        again.wait(timeout=30)
    finally:
        stop_process(again)
    wait_until(lambda: first.ctl("menu")[0] == 0, "the running copy opened no menu")
    assert first.ctl("count", "Tansy")[1].strip() == "1"
