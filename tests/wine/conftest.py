"""Shared fixtures for the tests that run Tansy's Windows programs under Wine.

One Wine prefix and one Xvfb display serve the whole test session: the first
start of a prefix takes several seconds, and a persistent wineserver keeps
later starts quick and safe when several Wine processes run at once.

Both programs are tested: every test that asks for `wine` (and so every test
that starts Tansy or a probe) runs once on the i686 build (`[win32]` in its
id) and once on the x86_64 build (`[win64]`), in the same 64-bit prefix, which
runs 32-bit programs too once 32-bit Wine is installed. TANSY_WIN_BUILD=dir
tests the one build in dir instead. A test marked `one_width` runs on
ONE_WIDTH only. On a machine whose kernel runs no 32-bit x86 code at all,
the 32-bit runs are skipped with that reason.
"""
import errno
import itertools
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tools"))
from feed_server import FeedServer  # noqa: E402
WIDTHS = ("win32", "win64")


def _runs_32bit_code():
    """Whether this machine runs 32-bit x86 programs, which 32-bit Wine is.
    Tried with the smallest such program (exit(0) through int 0x80): a
    kernel built or booted without 32-bit emulation refuses to start it."""
    base = 0x08048000
    code = bytes.fromhex("b801000000" "31db" "cd80")  # mov eax,1; xor ebx,ebx; int 0x80
    header = (b"\x7fELF\x01\x01\x01" + bytes(9) +
              struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0))
    program = struct.pack("<IIIIIIII", 1, 0, base, base, 84 + len(code), 84 + len(code), 5,
                          0x1000)
    with tempfile.TemporaryDirectory() as folder:
        exe = Path(folder) / "probe32"
        exe.write_bytes(header + program + code)
        exe.chmod(0o755)
        try:
            return subprocess.run([str(exe)], timeout=10).returncode == 0
        except OSError as error:
            # Another failure (a folder mounted noexec, say) tells nothing:
            # then the 32-bit runs go ahead and show what happens.
            return error.errno != errno.ENOEXEC


RUNS_32BIT = _runs_32bit_code()
NO_32BIT = ("this machine's kernel runs no 32-bit x86 code (its 32-bit emulation is off), "
            "so 32-bit Wine cannot start the 32-bit program here")
# Where a test that needs only one run (see the one_width marker) runs.
ONE_WIDTH = "win32" if RUNS_32BIT else "win64"
MINGW = {"win32": "i686-w64-mingw32", "win64": "x86_64-w64-mingw32"}
PE_MACHINE = {0x014C: "win32", 0x8664: "win64"}


def width_of(build):
    """win32 or win64: the width of the programs in a build folder."""
    if build.name in WIDTHS:
        return build.name
    try:
        data = (build / "Tansy.exe").read_bytes()[:4096]
        pe = int.from_bytes(data[0x3C:0x40], "little")
        return PE_MACHINE[int.from_bytes(data[pe + 4:pe + 6], "little")]
    except (OSError, KeyError, IndexError):
        return "win64"


def _builds():
    one = os.environ.get("TANSY_WIN_BUILD")
    if one:
        return {width_of(Path(one)): Path(one)}
    root = Path(os.environ.get("TANSY_BUILD", ROOT / "build"))
    return {width: root / width for width in WIDTHS}


# {width: build folder} of the programs under test: build/win32 and
# build/win64 (or TANSY_BUILD/...), or the one folder TANSY_WIN_BUILD names.
BUILDS = _builds()
# The 64-bit build, or the only one.
BUILD = BUILDS.get("win64", next(iter(BUILDS.values())))
# Parallel test workers each get a prefix (and so a Favorites folder) of
# their own.
PREFIX = Path(str(Path(os.environ.get("TANSY_WINEPREFIX", ROOT / "build" / "wineprefix")))
              + os.environ.get("PYTEST_XDIST_WORKER", "").replace("gw", "-"))
# A folder of third-party feeds that some tests read on top of the project's
# own feeds in tests/feeds; `make test-wine` passes the one it found or was
# given. Set by hand it is required, unless TANSY_FEEDS_REQUIRED=OFF.
FEEDS = Path(os.environ["TANSY_FEEDS"]) if os.environ.get("TANSY_FEEDS") else None
FEEDS_REQUIRED = os.environ.get("TANSY_FEEDS_REQUIRED", "ON" if FEEDS else "OFF") == "ON"
OWN_FEEDS = ROOT / "tests" / "feeds"


def corpus_feed(rel):
    """A file of the feed corpus; skips the test (or fails it, when the corpus
    is required) if the corpus is missing or empty."""
    how = "point TANSY_FEEDS at a folder of feeds to run this test"
    if FEEDS is None:
        missing = f"no feed corpus: {how}"
    elif not FEEDS.is_dir():
        missing = f"feed corpus {FEEDS} not found: {how}"
    elif not any(FEEDS.iterdir()):
        missing = f"feed corpus {FEEDS} is empty: {how}"
    else:
        return FEEDS / rel
    if FEEDS_REQUIRED:
        pytest.fail(missing)
    pytest.skip(missing)


def unix_to_windows(path):
    """The Z: drive path under which Wine sees a Linux path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def _free_display():
    # Workers start their search apart, so that two never race for one number.
    worker = os.environ.get("PYTEST_XDIST_WORKER", "gw0")[2:] or "0"
    first = 90 + 20 * int(worker)
    for n in range(first, first + 100):
        if not Path(f"/tmp/.X{n}-lock").exists() and not Path(f"/tmp/.X11-unix/X{n}").exists():
            return n
    raise RuntimeError("no free X display number")


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "one_width: run on one program only (the 32-bit one where it can run): "
        "long tests whose second run would add time and no check")


def pytest_generate_tests(metafunc):
    if "width" in metafunc.fixturenames:
        widths = list(BUILDS)
        if metafunc.definition.get_closest_marker("one_width") and ONE_WIDTH in widths:
            widths = [ONE_WIDTH]
        metafunc.parametrize("width", widths, indirect=True, scope="session")


@pytest.fixture(scope="session")
def width(request):
    """win32 or win64: the build a test runs on (one run per build)."""
    return request.param


_spawned = itertools.count(1)


class Wine:
    """Runs Windows programs in the test session's prefix; build_dir holds
    the programs of one width."""

    def __init__(self, env, prefix, logdir, width=None):
        self.env = env
        self.prefix = prefix
        self.width = width or width_of(BUILD)
        self.build_dir = BUILDS.get(self.width, BUILD)
        self.logdir = logdir

    @property
    def tansyctl(self):
        """tansyctl.exe, which drives Tansy from outside through window
        messages: the 64-bit one serves both builds."""
        return BUILD / "tansyctl.exe"

    def run(self, args, cwd=None, timeout=120, check=False):
        """Runs `wine args...` to its end and returns the CompletedProcess."""
        # Output goes through files, not pipes: a Wine process the command
        # starts (explorer.exe /desktop) inherits them and outlives it.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run(["wine", *map(str, args)], cwd=cwd, env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    timeout=timeout)
            out.seek(0)
            err.seek(0)
            result.stdout = out.read().decode("utf-8", "replace")
            result.stderr = err.read().decode("utf-8", "replace")
        if check and result.returncode != 0:
            raise AssertionError(f"wine {args} failed ({result.returncode}):\n"
                                 f"{result.stdout}\n{result.stderr}")
        return result

    def spawn(self, args, cwd=None, name="proc"):
        """Starts `wine args...` in the background, output into files of its own."""
        count = next(_spawned)
        out = open(self.logdir / f"{name}-{count}.out", "wb")
        err = open(self.logdir / f"{name}-{count}.err", "wb")
        proc = subprocess.Popen(["wine", *map(str, args)], cwd=cwd, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                start_new_session=True)
        proc.log_files = (out, err)
        return proc

    @property
    def favorites(self):
        """The current user's Favorites folder inside the prefix."""
        users = self.prefix / "drive_c" / "users"
        for user in sorted(users.iterdir()):
            if user.name != "Public" and (user / "Favorites").is_dir():
                return user / "Favorites"
        return users / os.environ.get("USER", "root") / "Favorites"


def stop_process(proc, timeout=10):
    """Ends a background process and its group, closing its output files."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait(timeout=timeout)
    for f in getattr(proc, "log_files", ()):
        f.close()


@pytest.fixture(scope="session")
def wine_prefix(tmp_path_factory):
    """The session's prefix, display and persistent wineserver, shared by
    both builds: a Wine whose build_dir is the 64-bit build."""
    if not shutil.which("wine"):
        pytest.fail("wine is not installed (run `make deps`)")
    logdir = tmp_path_factory.mktemp("wine-logs")
    # WinINet under Wine takes its proxy from http_proxy; the tests' servers
    # are all on loopback and must be reached directly.
    env = {k: v for k, v in os.environ.items()
           if k.lower() not in ("http_proxy", "https_proxy", "all_proxy")}
    # No Mono or Gecko prompts, and no menu builder process for every saved
    # shortcut (it costs about 100 ms each and can touch the host's menus).
    env.update(WINEPREFIX=str(PREFIX), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
               LC_ALL="ja_JP.UTF-8", LANG="ja_JP.UTF-8", WINEARCH="win64")

    display = _free_display()
    xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"],
                            stdin=subprocess.DEVNULL,
                            stdout=open(logdir / "xvfb.out", "wb"),
                            stderr=open(logdir / "xvfb.err", "wb"),
                            start_new_session=True)
    env["DISPLAY"] = f":{display}"
    for _ in range(100):
        if Path(f"/tmp/.X11-unix/X{display}").exists():
            break
        time.sleep(0.05)

    PREFIX.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["wineboot", "--init"], env=env, stdin=subprocess.DEVNULL,
                   stdout=open(logdir / "wineboot.out", "wb"),
                   stderr=open(logdir / "wineboot.err", "wb"), timeout=300)
    # wineboot's own server must be gone before the persistent one starts, or
    # the new one gives up at once; a server started later by a test's `wine`
    # would then hold that command's output pipe open as long as it runs.
    for args in (["wineserver", "-k"], ["wineserver", "-w"]):
        subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
    server = subprocess.Popen(["wineserver", "-p", "-f"], env=env, stdin=subprocess.DEVNULL,
                              stdout=open(logdir / "wineserver.out", "wb"),
                              stderr=open(logdir / "wineserver.err", "wb"),
                              start_new_session=True)
    time.sleep(0.5)
    if server.poll() is not None:
        pytest.fail(f"the persistent wineserver did not start (exit {server.returncode})")
    # Xvfb runs no window manager, and Wine waits two seconds for one at every
    # managed window hidden (each tray icon removed, dialog closed, exit).
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                    "/d", "N", "/f"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)
    # A prefix made before 32-bit Wine was installed lacks the 32-bit system
    # files; updating it adds them.
    wow64 = PREFIX / "drive_c" / "windows" / "syswow64" / "kernel32.dll"
    if "win32" in BUILDS and RUNS_32BIT and not wow64.exists():
        subprocess.run(["wineboot", "-u"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    try:
        yield Wine(env, PREFIX, logdir)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        for proc in (server, xvfb):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()


@pytest.fixture(scope="session")
def wines(wine_prefix):
    """{width: Wine} for every build under test, all in the one prefix."""
    p = wine_prefix
    return {width: Wine(p.env, p.prefix, p.logdir, width) for width in BUILDS}


@pytest.fixture(scope="session")
def wine(wines, width):
    """The session's Wine, its build_dir the build of the test's width."""
    build = wines[width].build_dir
    if width == "win32" and not RUNS_32BIT:
        pytest.skip(NO_32BIT)
    if not (build / "Tansy.exe").exists():
        pytest.fail(f"{build / 'Tansy.exe'} is missing: run `make {width}`")
    if width == "win32" and not (PREFIX / "drive_c" / "windows" / "syswow64" /
                                 "kernel32.dll").exists():
        pytest.fail("the prefix cannot run 32-bit programs: install 32-bit Wine (make deps)")
    return wines[width]


WM_COMMAND = 0x0111
WM_TRAYNOTIFY = 0x0464
IDM_ABOUT, IDM_EXIT, IDM_REFRESH = 32773, 32774, 32777
SITE_COMMANDS = [32775, 32776, 32780, 32781, 32782, 32783, 32784, 32785, 32786]


class Tansy:
    """One running Tansy.exe in a run folder of its own."""

    def __init__(self, wine, folder, proc):
        self.wine = wine
        self.folder = folder
        self.proc = proc

    def ctl(self, *args, timeout=60):
        """Runs tansyctl with the arguments; returns (exit code, stdout)."""
        result = self.wine.run([self.wine.tansyctl, *args], timeout=timeout)
        return result.returncode, result.stdout

    def command(self, command_id):
        code, out = self.ctl("command", "Tansy", command_id)
        assert code == 0, out

    def log_lines(self):
        path = self.folder / "log.txt"
        if not path.exists():
            return []
        return path.read_bytes().decode("cp932", "replace").split("\r\n")[:-1]

    def messages(self):
        """The log lines without their time stamps."""
        return [line[9:] for line in self.log_lines()]

    def wait_for_log(self, predicate, timeout=60):
        """Waits until predicate(messages) holds; returns the messages."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            messages = self.messages()
            if predicate(messages):
                return messages
            if self.proc.poll() is not None:
                break
            time.sleep(0.2)
        raise AssertionError(f"log never matched; it holds {self.messages()}")

    def wait_for_messages(self, count, timeout=60):
        """Waits until the log holds at least `count` messages; returns them."""
        return self.wait_for_log(lambda m: len(m) >= count, timeout=timeout)

    def red_pixels(self):
        """How many red pixels the tray shows (the alert icon); None when
        tansyctl could not say (Wine now and then fails to start a process)."""
        code, out = self.ctl("redpixels", "Wine System Tray")
        return int(out) if code == 0 and out.strip().isdigit() else None

    def wait_blink_end(self, timeout=30):
        """Waits until the tray shows no red alert icon for a second: longer
        than the normal icon's phase of a blink, so the blink has ended."""
        deadline = time.time() + timeout
        quiet_since = time.time()
        while time.time() - quiet_since < 1.0:
            assert time.time() < deadline, "the icon never stopped blinking"
            if self.red_pixels() != 0:  # a tansyctl that did not start tells nothing
                quiet_since = time.time()
            time.sleep(0.05)

    def running(self):
        return self.proc.poll() is None

    def exit(self, timeout=30):
        """Chooses Exit and waits for the process to end."""
        self.command(IDM_EXIT)
        self.proc.wait(timeout=timeout)


class _Starter:
    """Starts Tansy from fresh run folders and ends them all at teardown."""

    def __init__(self, tmp_path):
        self.tmp_path = tmp_path
        self.started = []

    def start(self, wine, status=None, log=True, folder=None, cwd=None):
        folder = folder or (self.tmp_path / f"run{len(self.started)}")
        folder.mkdir(exist_ok=True)
        for name in ("Tansy.exe", "jis1997.dll"):
            shutil.copy2(wine.build_dir / name, folder / name)
        if status is not None:
            (folder / "status.dat").write_bytes(status)
        if log:
            (folder / "log.txt").write_bytes(b"")
        cwd = cwd or (self.tmp_path / "elsewhere")
        cwd.mkdir(exist_ok=True)
        proc = wine.spawn([folder / "Tansy.exe"], cwd=cwd, name=f"tansy-{wine.width}")
        tansy = Tansy(wine, folder, proc)
        self.started.append(tansy)
        code, out = tansy.ctl("wait", "Tansy", 30000)
        assert code == 0, f"Tansy's window never appeared: {out}"
        return tansy

    def stop_all(self):
        for tansy in self.started:
            if tansy.running():
                # Close any popup menu or dialog left open, then Exit; kill last.
                tansy.ctl("menukey", 0x1B)
                tansy.command(IDM_EXIT)
                try:
                    tansy.proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    pass
            stop_process(tansy.proc)


@pytest.fixture
def start_tansy(wine, tmp_path):
    """Starts Tansy (of the test's width) from a fresh run folder, from
    another working directory.

    start_tansy(status=bytes|None, log=True) -> Tansy
    """
    starter = _Starter(tmp_path)
    yield lambda **kwargs: starter.start(wine, **kwargs)
    starter.stop_all()


@pytest.fixture
def start_tansy_of(wines, tmp_path):
    """Like start_tansy, for tests that run both builds side by side:
    start_tansy_of(width, status=..., ...) -> Tansy."""
    starter = _Starter(tmp_path)
    for width in WIDTHS:
        if width not in wines:
            pytest.skip(f"no {width} build under test")
    if not RUNS_32BIT:
        pytest.skip(NO_32BIT)
    yield lambda width, **kwargs: starter.start(wines[width], **kwargs)
    starter.stop_all()


@pytest.fixture
def server():
    """A feed server on loopback for one test."""
    with FeedServer() as srv:
        yield srv


def status_file(slots):
    """status.dat bytes for up to nine (url, name, sound) slots, in code page 932."""
    lines = []
    for i in range(9):
        url, name, sound = slots[i] if i < len(slots) else ("", "", "")
        lines += [url, name, sound]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def numbered_feed(tag, count=2, base="http://example.jp"):
    """UTF-8 RSS bytes with `count` items titled "tag 0", "tag 1", ... and
    linked to base/tag/0, base/tag/1, ..."""
    items = "".join(f"<item><title>{tag} {i}</title><link>{base}/{tag}/{i}</link></item>"
                    for i in range(count))
    return f'<?xml version="1.0" encoding="UTF-8"?><rss><channel>{items}</channel></rss>'.encode()


def clean_favorites(wine, names):
    """The prefix's Favorites folder, made if missing, without the site
    folders `names` an earlier test may have left."""
    fav = wine.favorites
    fav.mkdir(parents=True, exist_ok=True)
    for name in names:
        shutil.rmtree(fav / name, ignore_errors=True)
    return fav


@pytest.fixture(scope="session")
def probe(wine):
    """fetch-probe/Tansy.exe: the real download worker run on its own (see
    fetch_probe.cpp)."""
    exe = wine.build_dir / "fetch-probe" / "Tansy.exe"
    if not exe.exists():
        pytest.fail(f"{exe} is missing: build the fetch_probe target first")
    return exe


def refused_url():
    """A loopback URL on a port where nobody listens."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    return f"http://127.0.0.1:{port}/feed.xml"


def shortcuts(folder):
    """The names of the shortcuts in a site folder."""
    return sorted(p.name for p in folder.glob("*.url")) if folder.is_dir() else []


def wait_until(condition, what, timeout=10, interval=0.2):
    """Calls condition() until it gives a true value, and returns that value;
    fails with `what` (a text, or a function giving one) after `timeout`
    seconds."""
    deadline = time.time() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.time() >= deadline:
            raise AssertionError(what() if callable(what) else what)
        time.sleep(interval)


def wait_for_download(tansy, timeout=20):
    """Waits until the running fetch has begun writing dl.dat."""
    wait_until(lambda: (tansy.folder / "dl.dat").exists(), "the download never began",
               timeout, 0.05)


def tray_tooltip(tansy, attempts=4):
    """The tooltip Wine's tray window shows for Tansy's icon, as a user sees
    it hovering the icon: a tip already showing is read as it is; otherwise
    the pointer is moved onto the icon (and about on it) until one shows."""
    def showing():
        tips = [line[4:].replace("\\r", "\r").replace("\\n", "\n")
                for line in tansy.ctl("tooltips")[1].splitlines()
                if line.startswith("tip=") and line[4:].strip()]
        return tips[0] if tips else None

    code, out = tansy.ctl("rect", "Wine System Tray")
    assert code == 0, "no tray window"
    left, top, right, bottom = map(int, out.split())
    tip = showing()
    for attempt in range(attempts):
        if tip is not None:
            return tip
        for x, y in ((right + 40, bottom + 40), (left + 8 + 4 * attempt, (top + bottom) // 2)):
            subprocess.run(["xdotool", "mousemove", str(x), str(y)], env=tansy.wine.env,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
            time.sleep(0.5)
        time.sleep(1.0)
        tip = showing()
    return tip
