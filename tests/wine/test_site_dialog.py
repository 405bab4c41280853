"""The site dialog and the nine slot commands, driven through the dialog's
controls as a user would: typing into the fields and clicking the buttons."""
import os
import subprocess
import time

import pytest

from conftest import (IDM_EXIT, IDM_REFRESH, SITE_COMMANDS, clean_favorites, numbered_feed,
                      status_file, wait_for_download, wait_until)


IDC_OK, IDC_CANCEL, IDC_FILE = 1012, 1013, 1014
IDC_URL, IDC_NAME, IDC_SOUND = 1017, 1018, 1019
WM_KEYDOWN, VK_RETURN = 0x0100, 0x0D
LM = "Wed, 21 Oct 2015 07:28:00 GMT"


def read_slots(folder):
    lines = (folder / "status.dat").read_bytes().decode("cp932").split("\r\n")
    return [tuple(lines[3 * i:3 * i + 3]) for i in range(9)]


def wait_for_slots(folder, timeout=10):
    # The dialog's window is gone before the program saves: OK ends the
    # modal loop, and the save follows once DoModal has returned.
    wait_until((folder / "status.dat").exists, "status.dat was not written", timeout, 0.05)
    return read_slots(folder)


def fields(out):
    values = {}
    for line in out.splitlines():
        if line.startswith("control id="):
            ident = int(line.split()[1].split("=")[1])
            values[ident] = line.split(" text=", 1)[1] if " text=" in line else ""
    return values


@pytest.fixture
def favorites(wine):
    return clean_favorites(wine, ("Site news", "Renamed news", "a／b：c", "Old"))


def open_dialog(tansy, slot):
    tansy.command(SITE_COMMANDS[slot])
    title = f"Site {slot + 1}"
    code, out = tansy.ctl("wait", title, 10000)
    assert code == 0, f"no site dialog: {out}"
    return title


def edit(tansy, title, **values):
    ids = {"url": IDC_URL, "name": IDC_NAME, "sound": IDC_SOUND}
    for key, value in values.items():
        assert tansy.ctl("settext", title, ids[key], value)[0] == 0


def press(tansy, title, button):
    tansy.ctl("click", title, button)
    assert tansy.ctl("gone", title, 10000)[0] == 0


def test_dialog_shows_the_slot_with_its_caption(start_tansy):
    tansy = start_tansy(status=status_file([("http://a.test/rss", "ニュース", "C:\\ding.wav")]))
    title = open_dialog(tansy, 0)
    values = fields(tansy.ctl("show", title)[1])
    assert values[IDC_URL] == "http://a.test/rss"
    assert values[IDC_NAME] == "ニュース"
    assert values[IDC_SOUND] == "C:\\ding.wav"
    assert {IDC_OK, IDC_CANCEL, IDC_FILE} <= set(values)
    press(tansy, title, IDC_CANCEL)
    title = open_dialog(tansy, 8)
    assert title == "Site 9"
    press(tansy, title, IDC_CANCEL)


def test_ok_without_edits_writes_nothing(start_tansy, server):
    server.set_route("/a.xml", numbered_feed("a"))
    status = status_file([(server.url("/a.xml"), "Site news", "")])
    tansy = start_tansy(status=status)
    before = (tansy.folder / "status.dat").stat().st_mtime_ns
    title = open_dialog(tansy, 0)
    press(tansy, title, IDC_OK)
    time.sleep(2)
    assert (tansy.folder / "status.dat").read_bytes() == status
    assert (tansy.folder / "status.dat").stat().st_mtime_ns == before
    assert server.requests == []
    assert tansy.messages() == ["START"]


def test_changed_sound_saves_clears_and_fetches_at_once(start_tansy, server, favorites):
    server.set_route("/a.xml", numbered_feed("fresh"), last_modified=LM)
    url = server.url("/a.xml")
    (favorites / "Site news").mkdir()
    (favorites / "Site news" / "stale item.url").write_bytes(b"[InternetShortcut]\r\nURL=http://x/\r\n")
    tansy = start_tansy(status=status_file([(url, "Site news", "")]))
    title = open_dialog(tansy, 0)
    edit(tansy, title, sound="C:\\sounds\\new.wav")
    press(tansy, title, IDC_OK)
    # The first pass follows a quarter of a second later.
    assert tansy.wait_for_messages(2)[:2] == ["START", f"0 UPDATE {url}"]
    assert read_slots(tansy.folder)[0] == (url, "Site news", "C:\\sounds\\new.wav")
    assert sorted(p.name for p in (favorites / "Site news").iterdir()) == [
        "fresh 0.url", "fresh 1.url"]


def test_renamed_site_moves_its_shortcuts(start_tansy, server, favorites):
    server.set_route("/a.xml", numbered_feed("item"), last_modified=LM)
    url = server.url("/a.xml")
    (favorites / "Old").mkdir()
    (favorites / "Old" / "item 0.url").write_bytes(b"[InternetShortcut]\r\nURL=http://x/\r\n")
    tansy = start_tansy(status=status_file([(url, "Old", "")]))
    title = open_dialog(tansy, 0)
    edit(tansy, title, name="Renamed news")
    press(tansy, title, IDC_OK)
    tansy.wait_for_messages(2)
    assert not (favorites / "Old").exists()
    assert sorted(p.name for p in (favorites / "Renamed news").iterdir()) == [
        "item 0.url", "item 1.url"]


def test_renamed_site_leaves_the_users_files_in_the_old_folder(start_tansy, server, favorites):
    server.set_route("/a.xml", numbered_feed("item"), last_modified=LM)
    url = server.url("/a.xml")
    (favorites / "Old").mkdir()
    (favorites / "Old" / "item 0.url").write_bytes(b"[InternetShortcut]\r\nURL=http://x/\r\n")
    (favorites / "Old" / "notes.txt").write_bytes(b"mine")
    tansy = start_tansy(status=status_file([(url, "Old", "")]))
    title = open_dialog(tansy, 0)
    edit(tansy, title, name="Renamed news")
    press(tansy, title, IDC_OK)
    tansy.wait_for_messages(2)
    assert sorted(p.name for p in (favorites / "Old").iterdir()) == ["notes.txt"]
    assert (favorites / "Old" / "notes.txt").read_bytes() == b"mine"
    assert sorted(p.name for p in (favorites / "Renamed news").iterdir()) == [
        "item 0.url", "item 1.url"]


def test_cleared_url_saves_and_fetches_nothing(start_tansy, server, favorites):
    server.set_route("/a.xml", numbered_feed("a"))
    (favorites / "Site news").mkdir()
    (favorites / "Site news" / "x.url").write_bytes(b"")
    tansy = start_tansy(status=status_file([(server.url("/a.xml"), "Site news", "")]))
    title = open_dialog(tansy, 0)
    edit(tansy, title, url="")
    press(tansy, title, IDC_OK)
    time.sleep(2)
    assert read_slots(tansy.folder)[0] == ("", "Site news", "")
    assert not (favorites / "Site news").exists()
    assert server.requests == []
    assert tansy.messages() == ["START"]
    # The next Site command opens the dialog as usual.
    press(tansy, open_dialog(tansy, 0), IDC_CANCEL)


def test_name_is_made_safe_and_stays_unchanged_on_reopen(start_tansy):
    tansy = start_tansy()
    title = open_dialog(tansy, 1)
    edit(tansy, title, name="a/b:c")
    press(tansy, title, IDC_OK)
    assert wait_for_slots(tansy.folder)[1] == ("", "a／b：c", "")
    stamp = (tansy.folder / "status.dat").stat().st_mtime_ns
    title = open_dialog(tansy, 1)
    assert fields(tansy.ctl("show", title)[1])[IDC_NAME] == "a／b：c"
    time.sleep(0.05)
    press(tansy, title, IDC_OK)
    time.sleep(1)  # time for a save that must not happen
    assert (tansy.folder / "status.dat").stat().st_mtime_ns == stamp


def test_enter_in_a_field_closes_without_applying(start_tansy):
    status = status_file([("http://a.test/rss", "News", "")])
    tansy = start_tansy(status=status)
    title = open_dialog(tansy, 0)
    edit(tansy, title, name="Changed")
    tansy.ctl("postitem", title, IDC_NAME, WM_KEYDOWN, VK_RETURN, 0)
    assert tansy.ctl("gone", title, 10000)[0] == 0
    assert (tansy.folder / "status.dat").read_bytes() == status
    press(tansy, open_dialog(tansy, 0), IDC_CANCEL)


def test_site_item_during_a_fetch_only_cancels_it(start_tansy, server):
    server.set_route("/slow.xml", numbered_feed("slow", 400), trickle=(512, 0.2))
    url = server.url("/slow.xml")
    tansy = start_tansy(status=status_file([(url, "Slow", "")]))
    tansy.command(IDM_REFRESH)
    wait_for_download(tansy)
    tansy.command(SITE_COMMANDS[3])
    assert tansy.wait_for_messages(2) == ["START", f"0 CANCEL {url}"]
    assert tansy.ctl("wait", "Site 4", 1500)[0] != 0
    # Chosen again after the cancelled fetch, it opens the dialog.
    press(tansy, open_dialog(tansy, 3), IDC_CANCEL)


def test_second_site_item_while_a_dialog_is_open_does_nothing(start_tansy):
    tansy = start_tansy()
    title = open_dialog(tansy, 0)
    tansy.command(SITE_COMMANDS[1])
    assert tansy.ctl("wait", "Site 2", 1500)[0] != 0
    assert tansy.ctl("count", "Site 1")[1].strip() == "1"
    press(tansy, title, IDC_CANCEL)


def test_read_only_status_file_is_left_intact(start_tansy):
    status = status_file([("http://a.test/rss", "News", "")])
    tansy = start_tansy(status=status)
    os.chmod(tansy.folder / "status.dat", 0o444)
    try:
        title = open_dialog(tansy, 2)
        edit(tansy, title, url="http://127.0.0.1:9/x", name="")
        press(tansy, title, IDC_OK)
        time.sleep(1)
        assert (tansy.folder / "status.dat").read_bytes() == status
        assert not (tansy.folder / "status.tmp").exists()
        assert tansy.running()
    finally:
        os.chmod(tansy.folder / "status.dat", 0o644)


CHOOSER = "　ファイルの選択"
IDOK, IDCANCEL, CMB13 = 1, 2, 0x47C


def test_file_chooser_fills_only_the_sound_field(start_tansy, tmp_path):
    from conftest import unix_to_windows
    wave = tmp_path / "chime.wav"
    wave.write_bytes(b"RIFF\x24\0\0\0WAVEfmt ")
    tansy = start_tansy()
    title = open_dialog(tansy, 0)
    edit(tansy, title, url="http://typed.test/rss", name="Typed")

    # Cancelled: nothing changes.
    tansy.ctl("click", title, IDC_FILE)
    assert tansy.ctl("wait", CHOOSER, 15000)[0] == 0, "no file chooser"
    tansy.ctl("click", CHOOSER, IDCANCEL)
    assert tansy.ctl("gone", CHOOSER, 10000)[0] == 0
    values = fields(tansy.ctl("show", title)[1])
    assert (values[IDC_URL], values[IDC_NAME], values[IDC_SOUND]) == (
        "http://typed.test/rss", "Typed", "")

    # A chosen file: its full path lands in the Sound field, typed text stays.
    tansy.ctl("click", title, IDC_FILE)
    assert tansy.ctl("wait", CHOOSER, 15000)[0] == 0
    assert tansy.ctl("settext", CHOOSER, CMB13, unix_to_windows(wave))[0] == 0
    tansy.ctl("click", CHOOSER, IDOK)
    assert tansy.ctl("gone", CHOOSER, 10000)[0] == 0
    values = fields(tansy.ctl("show", title)[1])
    assert values[IDC_SOUND].lower() == unix_to_windows(wave).lower()
    assert (values[IDC_URL], values[IDC_NAME]) == ("http://typed.test/rss", "Typed")
    press(tansy, title, IDC_CANCEL)
    assert not (tansy.folder / "status.dat").exists()


def test_edit_while_refresh_runs_a_fetch_waits_for_it(start_tansy, server, favorites):
    # Refresh re-arms the timer while the dialog is open, so a fetch is
    # running when the dialog closes with a change: the edited slot is
    # fetched after that one ends, never beside it.
    server.set_route("/slow.xml", numbered_feed("slow", 100), trickle=(512, 0.1),
                     last_modified=LM)
    server.set_route("/b.xml", numbered_feed("b"), last_modified=LM)
    slow, other = server.url("/slow.xml"), server.url("/b.xml")
    tansy = start_tansy(status=status_file([(slow, "Old", ""), (other, "Site news", "")]))
    title = open_dialog(tansy, 1)
    tansy.command(IDM_REFRESH)
    wait_for_download(tansy)  # started by Refresh
    edit(tansy, title, name="Renamed news")
    press(tansy, title, IDC_OK)
    messages = tansy.wait_for_messages(3, timeout=60)
    assert messages[1:3] == [f"0 UPDATE {slow}", f"1 UPDATE {other}"]
    slow_request, other_request = server.requests[0], server.requests[1]
    assert slow_request.path == "/slow.xml" and not slow_request.closed_early
    assert other_request.path == "/b.xml"
    assert sorted(p.name for p in (favorites / "Renamed news").iterdir()) == ["b 0.url", "b 1.url"]


def test_browsing_the_chooser_elsewhere_keeps_the_download_in_the_program_folder(
        start_tansy, server, favorites, tmp_path):
    # The chooser, browsed into another folder, may leave the process there;
    # the download must still be made, read and deleted in the program folder.
    from conftest import unix_to_windows
    sounds = tmp_path / "sounds"
    sounds.mkdir()
    (sounds / "chime.wav").write_bytes(b"RIFF\x24\0\0\0WAVEfmt ")
    server.set_route("/a.xml", numbered_feed("a"), last_modified=LM)
    url = server.url("/a.xml")
    tansy = start_tansy(status=status_file([(url, "Site news", "")]))
    title = open_dialog(tansy, 0)
    tansy.ctl("click", title, IDC_FILE)
    assert tansy.ctl("wait", CHOOSER, 15000)[0] == 0, "no file chooser"
    # A folder typed into the name box and confirmed is browsed into.
    assert tansy.ctl("settext", CHOOSER, CMB13, unix_to_windows(sounds))[0] == 0
    tansy.ctl("click", CHOOSER, IDOK)
    # The click is posted: the chooser has browsed once it empties the box.
    wait_until(lambda: not fields(tansy.ctl("show", CHOOSER)[1]).get(CMB13), "not browsed")
    assert tansy.ctl("settext", CHOOSER, CMB13, "chime.wav")[0] == 0
    tansy.ctl("click", CHOOSER, IDOK)
    assert tansy.ctl("gone", CHOOSER, 10000)[0] == 0
    values = fields(tansy.ctl("show", title)[1])
    assert values[IDC_SOUND].lower() == unix_to_windows(sounds / "chime.wav").lower()
    press(tansy, title, IDC_CANCEL)

    tansy.command(IDM_REFRESH)
    tansy.wait_for_log(lambda m: f"0 UPDATE {url}" in m, timeout=30)
    assert sorted(p.name for p in sounds.iterdir()) == ["chime.wav"]
    assert not (tansy.folder / "dl.dat").exists()
    assert sorted(p.name for p in (favorites / "Site news").iterdir()) == ["a 0.url", "a 1.url"]


@pytest.mark.parametrize("edited", [{"url": ""}, {"name": ""}, {"name": "Renamed news"}],
                         ids=["url-cleared", "name-cleared", "renamed"])
def test_edit_during_its_slots_fetch_drops_that_result(start_tansy, server, favorites, edited):
    # Refresh fetches slot 0's old address while its dialog is open, and the
    # answer comes after OK: the old feed must not refill the slot. It is
    # logged as cancelled, and the pass goes on (with the edited slot first
    # where it has an address and a name).
    server.set_route("/slow.xml", numbered_feed("old"), last_modified=LM, stall_before_headers=4)
    url = server.url("/slow.xml")
    (favorites / "Site news").mkdir()
    (favorites / "Site news" / "old 0.url").write_bytes(b"[InternetShortcut]\r\nURL=http://x/\r\n")
    tansy = start_tansy(status=status_file([(url, "Site news", "")]))
    title = open_dialog(tansy, 0)
    tansy.command(IDM_REFRESH)
    wait_until(lambda: server.requests, "Refresh fetched nothing", 10, 0.05)
    edit(tansy, title, **edited)
    press(tansy, title, IDC_OK)
    refetched = [f"0 UPDATE {url}"] if "Renamed news" in edited.values() else []
    count = 10 + len(refetched)
    messages = tansy.wait_for_messages(count, timeout=60)
    assert messages[1:] == [f"0 CANCEL {url}"] + refetched + [f"{i} ERROR " for i in range(1, 9)]
    assert not (favorites / "Site news").exists()
    assert (favorites / "Renamed news").exists() == bool(refetched)
    if refetched:
        assert sorted(p.name for p in (favorites / "Renamed news").iterdir()) == [
            "old 0.url", "old 1.url"]
    assert not (tansy.folder / "dl.dat").exists()


# status.dat saved through the dialog by one build, then read by the other:
# the bytes, the dialog's fields and a first pass over the sites. The names
# hold Shift_JIS characters whose trail byte is 0x5C.
@pytest.mark.parametrize("writer,reader", [("win32", "win64"), ("win64", "win32")])
def test_status_dat_of_one_build_is_read_by_the_other(start_tansy_of, wines, server, writer,
                                                      reader):
    server.set_route("/a.xml", numbered_feed("a"), last_modified=LM)
    server.set_route("/b.xml", numbered_feed("b"), last_modified=LM)
    first = (server.url("/a.xml"), "ソフト表示", "C:\\音\\ding.wav")
    last = (server.url("/b.xml"), "予定 ニュース", "")
    favorites = clean_favorites(wines[reader], (first[1], last[1]))
    tansy = start_tansy_of(writer, status=status_file([first]))
    title = open_dialog(tansy, 8)
    edit(tansy, title, url=last[0], name=last[1], sound=last[2])
    press(tansy, title, IDC_OK)
    tansy.wait_for_log(lambda m: f"8 UPDATE {last[0]}" in m)
    # The first pass follows the edit's fetch; Exit during one of its fetches
    # only cancels that one, and chosen again it ends the program.
    for _ in range(10):
        tansy.ctl("command", "Tansy", IDM_EXIT)
        try:
            tansy.proc.wait(timeout=3)
            break
        except subprocess.TimeoutExpired:
            pass
    assert not tansy.running()
    written = (tansy.folder / "status.dat").read_bytes()
    assert written == status_file([first] + [("", "", "")] * 7 + [last])
    clean_favorites(wines[reader], (first[1], last[1]))

    tansy = start_tansy_of(reader, status=written)
    title = open_dialog(tansy, 0)
    values = fields(tansy.ctl("show", title)[1])
    assert (values[IDC_URL], values[IDC_NAME], values[IDC_SOUND]) == first
    press(tansy, title, IDC_CANCEL)
    tansy.command(IDM_REFRESH)
    messages = tansy.wait_for_messages(10, timeout=90)
    assert messages[1] == f"0 UPDATE {first[0]}" and messages[9] == f"8 UPDATE {last[0]}"
    assert sorted(p.name for p in (favorites / first[1]).iterdir()) == ["a 0.url", "a 1.url"]
    assert sorted(p.name for p in (favorites / last[1]).iterdir()) == ["b 0.url", "b 1.url"]
    assert (tansy.folder / "status.dat").read_bytes() == written
