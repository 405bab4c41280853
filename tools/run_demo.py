#!/usr/bin/env python3
"""Runs Tansy under Wine against the bundled sample feeds, with no internet.

    tools/run_demo.py BUILD_DIR        (BUILD_DIR holds Tansy.exe, jis1997.dll, tansyctl.exe)

The feeds in demo/feeds/ are served by tools/feed_server.py on 127.0.0.1. A
fresh run folder (run/ in the repository) gets Tansy.exe, jis1997.dll, a
status.dat whose sites point at the feeds, and an empty log.txt, so that the
log is on. Tansy then runs in a Wine prefix of its own beside the build
folder, and this script prints the log lines and the Favorites site folders as
they fill. Ctrl-C ends Tansy through its Exit command, then the feed server,
the wineserver and Xvfb, if this script started one.
"""
import argparse
import os
import shutil
import signal
import subprocess
import tempfile
import sys
import time
import unicodedata
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
FEEDS = ROOT / "demo" / "feeds"
RUN = ROOT / "run"

WM_TRAYNOTIFY = 0x0464
IDM_EXIT, IDM_REFRESH = 32774, 32777

# Slot order, site name, feed file. The names become the Favorites folders.
SITES = [
    ("みなと町図書館", "library-eucjp.xml"),     # RSS 2.0, EUC-JP
    ("山歩き日記", "hiking-utf8.xml"),           # RSS 2.0, UTF-8
    ("ひまわり商店街", "shops-sjis.xml"),        # RSS 2.0, Shift_JIS
    ("お天気メモ", "weather-rss10.xml"),         # RSS 1.0, <item rdf:about="...">
    ("鉄道ファン通信", "trains-rss091.xml"),     # RSS 0.91 in upper case, Shift_JIS
]
SLOTS = 9

_POLL_S = 0.5                  # how often the log and the Favorites are looked at
_SECOND_PASS_DELAY_S = 8.0     # after the first pass: its end blinks the icon for 5 s


def status_dat(base_url):
    """The 27 lines of status.dat (URL, name, sound per slot), CP932 with CR LF."""
    lines = []
    for slot in range(SLOTS):
        if slot < len(SITES):
            name, feed = SITES[slot]
            lines += [base_url + feed, name, ""]
        else:
            lines += ["", "", ""]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def pad(text, width):
    """Pads text to a width in terminal columns (full-width characters take two)."""
    used = sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)
    return text + " " * max(1, width - used)


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def say(text=""):
    print(text, flush=True)


def free_display():
    for n in range(50, 200):
        if not Path(f"/tmp/.X{n}-lock").exists() and not Path(f"/tmp/.X11-unix/X{n}").exists():
            return n
    raise RuntimeError("no free X display number")


class Demo:
    def __init__(self, build):
        self.build = build
        self.prefix = build.parent / "demo-prefix"
        self.logs = build.parent / "demo-logs"
        # The demo's feeds are on loopback: no proxy (WinINet under Wine
        # would take one from http_proxy).
        self.env = {k: v for k, v in os.environ.items()
                    if k.lower() not in ("http_proxy", "https_proxy", "all_proxy")}
        self.env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                        LC_ALL="ja_JP.UTF-8", LANG="ja_JP.UTF-8", WINEARCH="win64")
        self.xvfb = None
        self.wineserver = None
        self.server = None
        self.tansy = None
        self.log_offset = 0
        self.log_partial = b""
        self.folders = {}  # site folder names seen at the last look

    # --- helpers ---------------------------------------------------------

    def _files(self, name):
        return (open(self.logs / f"{name}.out", "wb"), open(self.logs / f"{name}.err", "wb"))

    def _spawn(self, args, name, cwd=None):
        out, err = self._files(name)
        return subprocess.Popen(args, cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=err, start_new_session=True)

    def ctl(self, *args, timeout=60):
        # Output through a file, not a pipe: a Wine process tansyctl starts
        # (explorer.exe /desktop) would inherit the pipe and outlive it.
        with tempfile.TemporaryFile() as output:
            result = subprocess.run(["wine", str(self.build / "tansyctl.exe"), *map(str, args)],
                                    env=self.env, stdin=subprocess.DEVNULL, stdout=output,
                                    stderr=subprocess.DEVNULL, timeout=timeout)
            output.seek(0)
            return result.returncode, output.read().decode("utf-8", "replace")

    def favorites(self):
        users = self.prefix / "drive_c" / "users"
        if users.is_dir():
            for user in sorted(users.iterdir()):
                if user.name != "Public" and (user / "Favorites").is_dir():
                    return user / "Favorites"
        return users / os.environ.get("USER", "root") / "Favorites"

    # --- start -----------------------------------------------------------

    def start_display(self):
        if self.env.get("DISPLAY"):
            say(f"Display:          {self.env['DISPLAY']} (yours: the tray icon and menu show there)")
            return
        n = free_display()
        self.xvfb = self._spawn(["Xvfb", f":{n}", "-screen", "0", "1024x768x24",
                                 "-nolisten", "tcp"], "xvfb")
        self.env["DISPLAY"] = f":{n}"
        for _ in range(100):
            if Path(f"/tmp/.X11-unix/X{n}").exists():
                break
            time.sleep(0.05)
        say(f"Display:          :{n}, an Xvfb of this demo (DISPLAY is not set, so nothing shows"
            " on a screen)")

    def start_wine(self):
        first = not (self.prefix / "system.reg").exists()
        if first:
            say(f"Wine prefix:      {self.prefix} (new: setting it up takes a minute)")
        else:
            say(f"Wine prefix:      {self.prefix}")
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        out, err = self._files("wineboot")
        subprocess.run(["wineboot", "--init"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=out, stderr=err, timeout=600)
        # wineboot's own server must be gone, or the persistent one gives up.
        for args in (["wineserver", "-k"], ["wineserver", "-w"]):
            subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        self.wineserver = self._spawn(["wineserver", "-p", "-f"], "wineserver")
        time.sleep(0.5)

    def start_feeds(self):
        self.server = self._spawn([sys.executable, str(ROOT / "tools" / "feed_server.py"),
                                   "--port", "0", "--dir", str(FEEDS)], "feed_server")
        out = self.logs / "feed_server.out"
        deadline = time.time() + 15
        while time.time() < deadline:
            text = out.read_text(errors="replace") if out.exists() else ""
            if text.startswith("serving on "):
                url = text.split()[2]
                say(f"Feed server:      {url} serving {FEEDS.relative_to(ROOT)}/ "
                    "(127.0.0.1 only)")
                return url
            if self.server.poll() is not None:
                break
            time.sleep(0.1)
        raise RuntimeError(f"the feed server did not start; see {self.logs}/feed_server.err")

    def make_run_folder(self, base_url):
        if RUN.exists():
            shutil.rmtree(RUN)
        RUN.mkdir()
        for name in ("Tansy.exe", "jis1997.dll"):
            shutil.copy2(self.build / name, RUN / name)
        (RUN / "status.dat").write_bytes(status_dat(base_url))
        (RUN / "log.txt").write_bytes(b"")
        for name in self.site_names():
            folder = self.favorites() / name
            if folder.is_dir():  # left by an earlier demo: start from nothing
                shutil.rmtree(folder)
        say(f"Run folder:       {RUN}  ({windows_path(RUN)})")
        say(f"Log:              {RUN / 'log.txt'}")
        say(f"Favorites:        {self.favorites()}")
        say("Sites (status.dat):")
        for slot, (name, feed) in enumerate(SITES):
            say(f"  menu {slot + 1} (log slot {slot})  {pad(name, 16)}{base_url}{feed}")
        say(f"  menu {len(SITES) + 1}-{SLOTS} (log slots {len(SITES)}-{SLOTS - 1})  empty: "
            "logged as ERROR on every visit")

    @staticmethod
    def site_names():
        return [name for name, _ in SITES]

    def start_tansy(self):
        self.tansy = self._spawn(["wine", str(RUN / "Tansy.exe")], "tansy", cwd=RUN)
        code, out = self.ctl("wait", "Tansy", 60000, timeout=90)
        if code != 0:
            raise RuntimeError(f"Tansy's window never appeared ({out.strip()})")
        say("Tansy:            running; its tray icon is up (right-click it for the menu)")

    def refresh(self, why):
        code, out = self.ctl("command", "Tansy", IDM_REFRESH)
        if code == 0:
            say(f"[demo] Posted Refresh (WM_COMMAND {IDM_REFRESH} to the window \"Tansy\") {why}")
        else:
            say(f"[demo] Could not post Refresh: {out.strip()}")

    # --- watching --------------------------------------------------------

    def new_log_lines(self):
        path = RUN / "log.txt"
        if not path.exists():
            return []
        data = path.read_bytes()
        if len(data) < self.log_offset:  # emptied past 10240 bytes
            self.log_offset, self.log_partial = 0, b""
        chunk = self.log_partial + data[self.log_offset:]
        self.log_offset = len(data)
        *lines, self.log_partial = chunk.split(b"\r\n")
        return [line.decode("cp932", "replace") for line in lines]

    def slot_names(self):
        """The site names by slot as status.dat holds them now (the site dialog may change them)."""
        path = RUN / "status.dat"
        lines = path.read_bytes().decode("cp932", "replace").split("\r\n") if path.exists() else []
        lines += [""] * (3 * SLOTS)
        return [lines[3 * slot + 1] for slot in range(SLOTS)]

    def site_items(self, name):
        """The shortcuts of one site folder as (title, url), or None without a folder."""
        folder = self.favorites() / name
        if not name or not folder.is_dir():
            return None
        items = []
        for f in sorted(folder.iterdir()):
            if f.suffix.lower() != ".url":
                items.append((f.name, ""))
                continue
            url = ""
            for line in f.read_bytes().decode("cp932", "replace").splitlines():
                if line.startswith("URL="):
                    url = line[4:]
            items.append((f.stem, url))
        return items

    def show_folder(self, name):
        items = self.site_items(name)
        if items is None:
            say(f"  Favorites/{name}/ is not there")
            return
        say(f"  Favorites/{name}/  ({len(items)} shortcuts)")
        for i, (title, url) in enumerate(items):
            branch = "└─" if i == len(items) - 1 else "├─"
            say(f"    {branch} {title}  ->  {url}" if url else f"    {branch} {title}")

    def removed_folders(self):
        """Site folders that were there at the last look and are gone now."""
        favorites = self.favorites()
        now = {p.name for p in favorites.iterdir() if p.is_dir()} if favorites.is_dir() else set()
        gone = sorted(self.folders.keys() - now)
        self.folders = dict.fromkeys(now)
        return gone

    def watch(self):
        outcomes = 0
        second_pass_at = None
        second_pass_done = False
        while True:
            for line in self.new_log_lines():
                say(f"log.txt | {line}")
                slot, _, keyword = line[9:].partition(" ")
                if keyword.startswith("UPDATE ") and slot.isdigit():
                    self.show_folder(self.slot_names()[int(slot)])
                if line[9:] and line[9:] != "START":
                    outcomes += 1
                    if outcomes == SLOTS and not second_pass_done:
                        second_pass_at = time.time() + _SECOND_PASS_DELAY_S
                        say("[demo] First pass over the nine slots done; the tray icon blinks "
                            "for 5 s. From now on one slot every 5 minutes.")
            for name in self.removed_folders():
                say(f"  Favorites/{name}/ removed (its site was edited)")
            if second_pass_at and time.time() >= second_pass_at:
                second_pass_at, second_pass_done = None, True
                self.refresh("again: the feeds have not changed, so this pass logs NOMODIFY.")
            if self.tansy.poll() is not None:
                say(f"[demo] Tansy has ended (exit code {self.tansy.returncode}).")
                return
            time.sleep(_POLL_S)

    # --- stop ------------------------------------------------------------

    def stop_tansy(self):
        if not self.tansy or self.tansy.poll() is not None:
            return
        say(f"[demo] Choosing Exit (WM_COMMAND {IDM_EXIT} to the window \"Tansy\") ...")
        # Exit while a fetch runs only cancels it; the next Exit then ends Tansy.
        deadline = time.time() + 30
        while time.time() < deadline and self.tansy.poll() is None:
            self.ctl("command", "Tansy", IDM_EXIT, timeout=20)
            try:
                self.tansy.wait(timeout=2)
            except subprocess.TimeoutExpired:
                pass
        for line in self.new_log_lines():
            say(f"log.txt | {line}")
        if self.tansy.poll() is None:
            say("[demo] Tansy did not end through Exit; stopping it.")
            stop(self.tansy)
        else:
            say("[demo] Tansy ended through its Exit command.")

    def stop_all(self):
        try:
            self.stop_tansy()
        except Exception as error:  # the rest must still be stopped
            say(f"[demo] stopping Tansy failed: {error}")
            stop(self.tansy)
        if self.server:
            stop(self.server, signal.SIGINT)
            say("[demo] Feed server stopped.")
        if self.wineserver:
            subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            stop(self.wineserver)
        if self.xvfb:
            stop(self.xvfb)
            say("[demo] Xvfb stopped.")
        say(f"[demo] The run folder stays for a look: {RUN}")


def stop(proc, sig=signal.SIGTERM):
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, sig)
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait(timeout=10)
    except ProcessLookupError:
        pass


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", type=Path, help="folder with Tansy.exe, jis1997.dll, tansyctl.exe")
    args = parser.parse_args(argv)
    build = args.build.resolve()
    for name in ("Tansy.exe", "jis1997.dll", "tansyctl.exe"):
        if not (build / name).is_file():
            print(f"run-demo: {build / name} is missing (make build first)", file=sys.stderr)
            return 1

    # Ctrl-C and a plain kill both end the demo through the same clean-up.
    def interrupted(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, interrupted)

    demo = Demo(build)
    demo.logs.mkdir(parents=True, exist_ok=True)
    say("Tansy demo: sample feeds on a local server, no internet needed. Ctrl-C ends it.")
    return_code = 0
    try:
        demo.start_display()
        demo.start_wine()
        base_url = demo.start_feeds()
        demo.make_run_folder(base_url)
        demo.start_tansy()
        say("Tansy waits 30 s after start-up before its first fetch.")
        demo.refresh("so the first pass over the nine slots starts now.")
        say("Log lines and Favorites folders follow as they change (Ctrl-C to stop):")
        demo.watch()
    except KeyboardInterrupt:
        say()
        say("[demo] Ctrl-C: stopping.")
    except Exception as error:
        say(f"[demo] {error}")
        say(f"[demo] Output of the programs: {demo.logs}")
        return_code = 1
    finally:
        # A second Ctrl-C or a kill must not cut the clean-up short.
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        demo.stop_all()
    return return_code


if __name__ == "__main__":
    sys.exit(main())
