#!/usr/bin/env python3
"""Takes the screenshots of the user guide under Wine and Xvfb.

    tools/screenshots.py BUILD_DIR OUT_DIR     (make screenshots: BUILD/win64 and docs/)

Tansy runs from a scratch folder with a status.dat of sample sites, on an Xvfb
display of its own, in a Wine prefix beside the build folder (screenshots-prefix).
The script opens each window the way a user would reach it, through the
window messages that tansyctl.exe posts, and cuts it out of a grab of the
whole screen (ImageMagick's `import -window root`):

    tray-menu.png    Wine's own tray window (there is no system tray under
                     Xvfb) with Tansy's icon, and the tray menu opened on it
                     with its Site submenu, after a first pass in which one
                     site's feed came from a local feed server and the
                     others' hosts could not be reached
    notice.png       the notice at the icon after that site's feed gained
                     two items in steady polling
    news-menu.png    the tray menu with that site's submenu open, its new
                     items checked
    site-dialog.png  the site dialog of menu item 1
    about.png        the About box
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

WM_TRAYNOTIFY, WM_RBUTTONUP, WM_TIMER = 0x0464, 0x0205, 0x0113
IDM_ABOUT, IDM_EXIT, IDM_SITE1, IDM_REFRESH = 32773, 32774, 32775, 32777
IDC_BUTTON_CANCEL = 1013
VK_ESCAPE, VK_RIGHT, VK_DOWN = 0x1B, 0x27, 0x28
MARGIN = 4  # pixels of screen kept around the tray window and its menus

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
from feed_server import FeedServer  # noqa: E402

# The first two hosts cannot be reached, so their slots end the first pass
# as ERROR; the third site's feed comes from the local feed server.
SITES = [
    ("http://library.example.jp/news/rss.xml", "みなと町図書館", r"C:\Windows\Media\chimes.wav"),
    ("https://yama.example.jp/index.rdf", "山歩き日記", ""),
    (None, "ひまわり商店街", ""),
]
SHOPS_FEED = ROOT / "demo" / "feeds" / "shops-sjis.xml"
# Two items that the shops' feed gains once the first pass is over.
NEW_SHOPS_ITEMS = "".join(
    f"<item><title>{title}</title><link>http://himawari.example.jp/info/{page}</link></item>"
    for title, page in (("年末年始の営業", "nenmatsu.html"),
                        ("福引きの当選番号", "fukubiki.html"))).encode("cp932")


def status_dat(local_url):
    lines = []
    for slot in range(9):
        if slot < len(SITES):
            url, name, sound = SITES[slot]
            lines += (url or local_url, name, sound)
        else:
            lines += ("", "", "")
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def free_display():
    for n in range(70, 200):
        if not Path(f"/tmp/.X{n}-lock").exists() and not Path(f"/tmp/.X11-unix/X{n}").exists():
            return n
    raise RuntimeError("no free X display number")


class Session:
    """Xvfb, a persistent wineserver and Tansy, stopped again on leaving."""

    def __init__(self, build, scratch):
        self.build = build
        self.scratch = scratch
        self.prefix = build.parent / "screenshots-prefix"
        # The local feed server is on loopback: no proxy (WinINet under Wine
        # would take one from http_proxy).
        self.env = {k: v for k, v in os.environ.items()
                    if k.lower() not in ("http_proxy", "https_proxy", "all_proxy")}
        self.env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                        LC_ALL="ja_JP.UTF-8", LANG="ja_JP.UTF-8", WINEARCH="win64")
        self.procs = []

    def spawn(self, args, name, cwd=None):
        proc = subprocess.Popen(args, cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                                stdout=open(self.scratch / f"{name}.out", "wb"),
                                stderr=open(self.scratch / f"{name}.err", "wb"),
                                start_new_session=True)
        self.procs.append(proc)
        return proc

    def __enter__(self):
        n = free_display()
        self.spawn(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"], "xvfb")
        self.env["DISPLAY"] = f":{n}"
        for _ in range(100):
            if Path(f"/tmp/.X11-unix/X{n}").exists():
                break
            time.sleep(0.05)
        self.wine_quiet(["wineboot", "--init"], timeout=600)
        # Xvfb has no window manager: Wine then draws the captions and frames
        # itself, as Windows would, instead of leaving them to one. The
        # setting holds for programs started after it, so Wine's own
        # programs (the tray window) are restarted with it.
        self.wine_quiet(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v",
                         "Decorated", "/t", "REG_SZ", "/d", "N", "/f"], check=True)
        self.wine_quiet(["wineserver", "-k"])
        self.wine_quiet(["wineserver", "-w"])
        self.spawn(["wineserver", "-p", "-f"], "wineserver")
        time.sleep(0.5)
        return self

    def wine_quiet(self, args, timeout=120, check=False):
        subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=timeout, check=check)

    def __exit__(self, *exc):
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()

    def ctl(self, *args, check=True):
        # Output through a file, not a pipe: a Wine process tansyctl starts
        # (explorer.exe /desktop) would inherit the pipe and outlive it.
        with tempfile.TemporaryFile() as output:
            result = subprocess.run(["wine", str(self.build / "tansyctl.exe"), *map(str, args)],
                                    env=self.env, stdin=subprocess.DEVNULL, stdout=output,
                                    stderr=subprocess.DEVNULL, timeout=60)
            output.seek(0)
            out = output.read().decode("utf-8", "replace")
        if check and result.returncode != 0:
            raise RuntimeError(f"tansyctl {' '.join(map(str, args))}: {out.strip()}")
        return out

    def x11_windows(self):
        """Mapped top-level X windows larger than 1x1: [(name, (x, y, w, h))]."""
        out = subprocess.run(["xwininfo", "-root", "-children"], env=self.env,
                             capture_output=True, text=True, check=True).stdout
        found = []
        for line in out.splitlines():
            match = re.search(r'0x[0-9a-f]+ (.*?):.*\s(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s', line + " ")
            if match and (int(match.group(2)), int(match.group(3))) != (1, 1):
                found.append((match.group(1), tuple(int(match.group(i)) for i in (4, 5, 2, 3))))
        return found

    def window_rect(self, title):
        """The screen rectangle (x, y, w, h) of Tansy's window with that title."""
        out = self.ctl("show", title)
        left, top, right, bottom = map(int, re.search(r"rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+)",
                                                      out).groups())
        return left, top, right - left, bottom - top

    def grab(self, rects, target, margin=0):
        """Grabs the screen and keeps the bounding box of rects, with a margin."""
        left = max(0, min(x for x, _, _, _ in rects) - margin)
        top = max(0, min(y for _, y, _, _ in rects) - margin)
        right = max(x + w for x, _, w, _ in rects) + margin
        bottom = max(y + h for _, y, _, h in rects) + margin
        full = self.scratch / "screen.png"
        subprocess.run(["import", "-window", "root", str(full)], env=self.env, check=True)
        subprocess.run(["convert", str(full), "-crop",
                        f"{right - left}x{bottom - top}+{left}+{top}", "+repage", str(target)],
                       check=True)
        print(f"screenshots: {target} ({right - left}x{bottom - top})")


def wait_until(condition, what, timeout=15):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    raise RuntimeError(f"timed out waiting for {what}")


def close_menus(session):
    """Escape until no popup menu is open (one press closes one level)."""
    deadline = time.time() + 15
    while session.ctl("menu", check=False).startswith("menu"):
        if time.time() > deadline:
            raise RuntimeError("the tray menu does not close")
        session.ctl("menukey", VK_ESCAPE, check=False)
        time.sleep(0.3)


def take(build, out_dir):
    out_dir.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch_name:
        scratch = Path(scratch_name)
        folder = scratch / "Tansy"
        folder.mkdir()
        for name in ("Tansy.exe", "jis1997.dll"):
            shutil.copy2(build / name, folder / name)
        (folder / "log.txt").write_bytes(b"")
        with FeedServer() as feeds, Session(build, scratch) as session:
            feeds.set_route("/info.xml", body=SHOPS_FEED.read_bytes(),
                            last_modified="Mon, 07 Dec 2026 09:00:00 GMT")
            (folder / "status.dat").write_bytes(status_dat(feeds.url("/info.xml")))
            tansy = session.spawn(["wine", str(folder / "Tansy.exe")], "tansy", cwd=folder)
            session.ctl("wait", "Tansy", 60000)

            # The site dialog first: while it is open no fetch can start (the
            # first one would come 30 s after start-up), and Cancel leaves
            # the sites as they are.
            session.ctl("command", "Tansy", IDM_SITE1)
            session.ctl("wait", "Site 1", 15000)
            time.sleep(1.0)
            session.grab([session.window_rect("Site 1")], out_dir / "site-dialog.png")
            session.ctl("click", "Site 1", IDC_BUTTON_CANCEL)
            session.ctl("gone", "Site 1", 15000)

            # A first pass at once, so that the Site submenu shows which
            # sites failed; the menu opens again after the end-of-pass blink.
            session.ctl("command", "Tansy", IDM_REFRESH)
            wait_until(lambda: re.search(rb"^\S+ 8 ", (folder / "log.txt").read_bytes(), re.M),
                       "the end of the first pass", timeout=120)
            time.sleep(6.0)

            # The tray menu opens just below Wine's tray window, so that the
            # icon stays in sight.
            tray = wait_until(lambda: [r for name, r in session.x11_windows()
                                       if name == '"Wine System Tray"'], "Wine's tray window")[0]
            icon_x, icon_y = tray[0] + 10, tray[1] + tray[3] + 2
            subprocess.run(["xdotool", "mousemove", str(icon_x), str(icon_y)], env=session.env,
                           check=True)

            # Steady polling now: the shops' feed gains two items, and the
            # next ticks (posted, not waited for) reach its slot, the third.
            feed = SHOPS_FEED.read_bytes()
            at = feed.index(b"<item>")
            feeds.set_route("/info.xml", body=feed[:at] + NEW_SHOPS_ITEMS + feed[at:],
                            last_modified="Tue, 08 Dec 2026 09:00:00 GMT")
            before = {r for _, r in session.x11_windows()}
            for lines in (11, 12, 13):  # START and the first pass's nine, then one a tick
                session.ctl("post", "Tansy", WM_TIMER, 1, 0)
                wait_until(lambda: (folder / "log.txt").read_bytes().count(b"\r\n") >= lines,
                           "a fetch of steady polling", timeout=60)
            # The notice shows as the blink starts.
            def notice():
                rects = [r for _, r in session.x11_windows() if r not in before]
                return rects or None
            wait_until(notice, "the notice", timeout=30)
            time.sleep(1.0)
            session.grab([tray, *notice()], out_dir / "notice.png", MARGIN)
            wait_until(lambda: not notice(), "the notice to go", timeout=60)

            def open_menu(downs, target):
                before = {r for _, r in session.x11_windows()}
                session.ctl("post", "Tansy", WM_TRAYNOTIFY, 0, WM_RBUTTONUP)
                wait_until(lambda: session.ctl("menu", check=False).startswith("menu"),
                           "the tray menu")
                for _ in range(downs):
                    session.ctl("menukey", VK_DOWN)
                time.sleep(0.3)
                session.ctl("menukey", VK_RIGHT)

                def new_windows():
                    rects = [r for _, r in session.x11_windows() if r not in before]
                    return rects if len(rects) >= 2 else None
                wait_until(new_windows, "the submenu")
                time.sleep(0.5)
                session.grab([tray, *new_windows()], out_dir / target, MARGIN)
                close_menus(session)

            # Rows: the three sites' submenus, a separator, Site.
            open_menu(3, "news-menu.png")
            open_menu(4, "tray-menu.png")

            session.ctl("command", "Tansy", IDM_ABOUT)
            session.ctl("wait", "About Tansy", 15000)
            time.sleep(1.0)
            session.grab([session.window_rect("About Tansy")], out_dir / "about.png")
            session.ctl("click", "About Tansy", 1)
            session.ctl("gone", "About Tansy", 15000)

            session.ctl("command", "Tansy", IDM_EXIT)
            tansy.wait(timeout=30)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", type=Path, help="folder with Tansy.exe, jis1997.dll, tansyctl.exe")
    parser.add_argument("out", type=Path, help="folder for the PNG files")
    args = parser.parse_args(argv)
    try:
        take(args.build.resolve(), args.out.resolve())
    except (RuntimeError, OSError, subprocess.SubprocessError) as error:
        print(f"screenshots: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
