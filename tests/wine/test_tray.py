"""The tray program started for real under Wine and driven through its window
messages: start-up, the tray menu, the About box and Exit."""
import time

import pytest

from conftest import IDM_ABOUT, WM_TRAYNOTIFY, unix_to_windows, wait_until

WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP = 0x200, 0x201, 0x202
WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONUP = 0x203, 0x204, 0x205, 0x208
WM_HELP = 0x0053
VK_ESCAPE, VK_RETURN, VK_UP = 0x1B, 0x0D, 0x26
WS_EX_TOOLWINDOW, WS_EX_APPWINDOW = 0x80, 0x40000


def test_start_up_logs_start_in_the_program_folder(start_tansy, tmp_path):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    (elsewhere / "log.txt").write_bytes(b"")
    tansy = start_tansy(cwd=elsewhere)
    lines = tansy.wait_for_log(lambda m: m == ["START"], timeout=20)
    assert lines == ["START"]
    stamp = tansy.log_lines()[0][:8]
    assert stamp[2] == ":" and stamp[5] == ":" and stamp.replace(":", "").isdigit()
    assert (elsewhere / "log.txt").read_bytes() == b""


def test_without_log_file_none_is_created(start_tansy):
    tansy = start_tansy(log=False)
    time.sleep(1)
    assert not (tansy.folder / "log.txt").exists()
    tansy.exit()
    assert not (tansy.folder / "log.txt").exists()


def test_main_window_stays_hidden_without_taskbar_button(start_tansy):
    tansy = start_tansy()
    code, out = tansy.ctl("show", "Tansy")
    assert code == 0, out
    fields = dict(item.split("=", 1) for item in out.splitlines()[1].split())
    exstyle = int(fields["exstyle"], 16)
    left, top, right, bottom = map(int, fields["rect"].split(","))
    assert exstyle & WS_EX_TOOLWINDOW and not exstyle & WS_EX_APPWINDOW
    assert (right - left, bottom - top) == (0, 0)
    assert "control" not in out


def test_menu_opens_on_button_up_only(start_tansy):
    tansy = start_tansy()
    for mouse in (WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_MBUTTONUP):
        assert tansy.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, mouse)[0] == 0
        time.sleep(0.3)
        assert tansy.ctl("menu")[0] != 0, f"a menu opened for mouse message {mouse:#x}"
    for mouse in (WM_LBUTTONUP, WM_RBUTTONUP):
        tansy.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, mouse)
        wait_until(lambda: tansy.ctl("menu")[0] == 0, f"no menu for mouse message {mouse:#x}")
        tansy.ctl("menukey", VK_ESCAPE)

        def closed():
            if tansy.ctl("menu")[0] != 0:
                return True
            tansy.ctl("menukey", VK_ESCAPE)
            return False

        wait_until(closed, "the menu did not close on Escape")
    assert tansy.running()


def test_about_box_shows_name_and_version_and_swallows_help(start_tansy):
    tansy = start_tansy()
    tansy.command(IDM_ABOUT)
    assert tansy.ctl("wait", "About Tansy", 10000)[0] == 0
    code, out = tansy.ctl("show", "About Tansy")
    assert "text=Tansy Version 1.00" in out
    assert "control id=1 class=Button" in out
    tansy.ctl("post", "About Tansy", WM_HELP, 0, 0)
    time.sleep(0.5)
    assert tansy.ctl("wait", "About Tansy", 1000)[0] == 0
    tansy.ctl("click", "About Tansy", 1)
    assert tansy.ctl("gone", "About Tansy", 10000)[0] == 0
    assert tansy.running()


def test_exit_ends_the_process_writing_nothing(start_tansy):
    status = b"http://127.0.0.1:9/feed\r\nNews\r\n\r\n" + b"\r\n" * 24
    tansy = start_tansy(status=status)
    tansy.wait_for_log(lambda m: m == ["START"], timeout=20)
    before = (tansy.folder / "status.dat").stat().st_mtime_ns
    tansy.exit()
    assert tansy.proc.returncode == 0
    assert tansy.messages() == ["START"]
    assert (tansy.folder / "status.dat").read_bytes() == status
    assert (tansy.folder / "status.dat").stat().st_mtime_ns == before
    assert not (tansy.folder / "status.tmp").exists()


def seconds_of(line):
    h, m, s = map(int, line[:8].split(":"))
    return h * 3600 + m * 60 + s


# Half a minute of waiting on a timer: run on one program only.
@pytest.mark.one_width
def test_first_pass_starts_thirty_seconds_after_start_up(start_tansy):
    tansy = start_tansy()
    tansy.wait_for_messages(10, timeout=60)
    lines = tansy.log_lines()
    assert [line[9:] for line in lines] == ["START"] + [f"{i} ERROR " for i in range(9)]
    delay = (seconds_of(lines[1]) - seconds_of(lines[0])) % 86400
    assert 29 <= delay <= 32, lines
    # The rest of the pass follows at once, 250 ms after each outcome.
    assert (seconds_of(lines[9]) - seconds_of(lines[1])) % 86400 <= 4, lines


def test_tray_icon_comes_back_when_the_taskbar_is_created_anew(start_tansy):
    tansy = start_tansy()
    def icon():
        return tansy.ctl("trayicon", "Tansy", "has")[1].strip()

    assert icon() == "yes"
    # Explorer restarted: the icons of the old taskbar are gone.
    assert tansy.ctl("trayicon", "Tansy", "remove")[0] == 0
    assert icon() == "no"
    tansy.ctl("taskbarcreated", "Tansy")
    wait_until(lambda: icon() == "yes", "the tray icon was not added again")
    tansy.exit()


def choose_start_with_windows(tansy):
    """Opens the tray menu and chooses Start with Windows, the third item up."""
    tansy.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, WM_RBUTTONUP)
    wait_until(lambda: tansy.ctl("menu")[0] == 0, "the tray menu did not open")
    for key in (VK_UP, VK_UP, VK_UP, VK_RETURN):
        tansy.ctl("menukey", key)


def test_start_with_windows_is_ticked_and_unticked(start_tansy, wine):
    startup = wine.favorites.parent / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp"
    link = startup / "Tansy.lnk"
    link.unlink(missing_ok=True)
    tansy = start_tansy()
    choose_start_with_windows(tansy)
    wait_until(link.exists, "no link was put into the Startup folder")
    program, data = unix_to_windows(tansy.folder / "Tansy.exe").lower(), link.read_bytes().lower()
    assert program.encode() in data or program.encode("utf-16-le") in data
    # Read as ticked when the menu opens again: choosing it takes the link away.
    choose_start_with_windows(tansy)
    wait_until(lambda: not link.exists(), "the link stayed in the Startup folder")
