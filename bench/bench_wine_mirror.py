#!/usr/bin/env python3
"""Mirroring a large feed into a site folder, timed from outside under Wine.

    bench_wine_mirror.py BUILD_DIR [ITEMS]

Runs the real Tansy.exe of BUILD_DIR (with its tansyctl.exe) in a Wine prefix
of its own, serves it a feed of ITEMS items (2000 by default) from loopback
and times, for slot 0, the span from the end of the download to the slot's
log line (decoding, the item scan and the folder work):

    BENCH case=mirror_into_empty_per_s value=...    shortcuts per second, empty folder
    BENCH case=mirror_10_changed_s value=...        seconds, the same feed with 10 items changed
    BENCH case=mirror_unchanged_s value=...         seconds, the same feed again, nothing changed

Each pass checks that the folder then holds one shortcut per item.
"""
import email.utils
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
sys.path.insert(0, str(ROOT / "tests" / "wine"))
from feed_server import FeedServer  # noqa: E402
import conftest  # noqa: E402
from conftest import IDM_REFRESH, Tansy, Wine, status_file, stop_process  # noqa: E402

SITE = "Mirror bench"


def feed(items):
    body = "".join(f"<item><title>{t}</title><link>{link}</link></item>\n" for t, link in items)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel>\n'
            f"<title>Bench</title>\n{body}</channel></rss>\n").encode()


def items_of(count):
    return [(f"News item {i:05d} 日本語の見出し", f"http://example.jp/news/{i:05d}.html")
            for i in range(count)]


def with_ten_changed(items):
    changed = list(items)
    step = len(items) // 10
    for k in range(10):
        i = k * step
        title, link = changed[i]
        # Half get a new link, half a new title.
        changed[i] = (title, link + "?v=2") if k % 2 else (title + " (updated)", link)
    return changed


def start_display(logdir):
    display = conftest._free_display()
    xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1024x768x24", "-nolisten",
                             "tcp"], stdin=subprocess.DEVNULL,
                            stdout=open(logdir / "xvfb.out", "wb"),
                            stderr=open(logdir / "xvfb.err", "wb"), start_new_session=True)
    for _ in range(100):
        if Path(f"/tmp/.X11-unix/X{display}").exists():
            break
        time.sleep(0.05)
    return xvfb, f":{display}"


def ctl(tansy, *args):
    """tansyctl with its arguments (for questions only: a command could be
    posted twice); a start that hangs on a busy machine is tried again."""
    for attempt in range(3):
        try:
            return tansy.ctl(*args)
        except subprocess.TimeoutExpired:
            if attempt == 2:
                raise
    return None


def timed_pass(tansy, server, items, stamp):
    """Serves `items` as a changed feed, starts a pass and returns the seconds
    from the end of the download to slot 0's log line."""
    server.set_route("/bench.xml", feed(items),
                     last_modified=email.utils.formatdate(stamp, usegmt=True))
    served = len(server.requests)
    logged = len(tansy.messages())
    tansy.command(IDM_REFRESH)
    deadline = time.monotonic() + 900
    downloaded = None
    while time.monotonic() < deadline:
        if downloaded is None and len(server.requests) > served and server.requests[served].finished:
            downloaded = time.monotonic()
        messages = tansy.messages()[logged:]
        if any(m.startswith("0 ") for m in messages):
            done = time.monotonic()
            break
        time.sleep(0.005)
    else:
        raise SystemExit("slot 0 was never logged")
    assert [m for m in messages if m.startswith("0 ")][0].startswith("0 UPDATE "), messages
    # Let the rest of the pass (the eight empty slots) end before the next one.
    tansy.wait_for_log(lambda m: any(x.startswith("8 ") for x in m[logged:]))
    return done - (downloaded or done)


def main():
    build = Path(sys.argv[1]).resolve()
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    prefix = ROOT / "build" / "wineprefix-bench"
    work = Path(tempfile.mkdtemp(prefix="tansy-bench-"))
    env = {k: v for k, v in os.environ.items()
           if k.lower() not in ("http_proxy", "https_proxy", "all_proxy")}
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
               LC_ALL="ja_JP.UTF-8", LANG="ja_JP.UTF-8", WINEARCH="win64")
    xvfb, env["DISPLAY"] = start_display(work)
    wineserver = None
    tansy = None
    ok = False
    try:
        prefix.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["wineboot", "--init"], env=env, stdin=subprocess.DEVNULL,
                       stdout=open(work / "wineboot.out", "wb"),
                       stderr=open(work / "wineboot.err", "wb"), timeout=300)
        wineserver = subprocess.Popen(["wineserver", "-p", "-f"], env=env,
                                      stdin=subprocess.DEVNULL,
                                      stdout=open(work / "wineserver.out", "wb"),
                                      stderr=open(work / "wineserver.err", "wb"),
                                      start_new_session=True)
        time.sleep(0.5)
        wine = Wine(env, prefix, work)
        wine.build_dir = build
        folder = wine.favorites / SITE
        shutil.rmtree(folder, ignore_errors=True)

        with FeedServer() as server:
            run = work / "run"
            run.mkdir()
            for name in ("Tansy.exe", "jis1997.dll"):
                shutil.copy2(build / name, run / name)
            (run / "status.dat").write_bytes(
                status_file([(server.url("/bench.xml"), SITE, "")]))
            (run / "log.txt").write_bytes(b"")
            tansy = Tansy(wine, run, wine.spawn([run / "Tansy.exe"], cwd=work, name="tansy"))
            code, out = ctl(tansy, "wait", "Tansy", 30000)
            if code != 0:
                raise SystemExit(f"Tansy's window never appeared: {out}")

            items = items_of(count)
            changed = with_ten_changed(items)
            results = []
            for case, feed_items, stamp in (("into_empty", items, 1500000000),
                                            ("10_changed", changed, 1500000100),
                                            ("unchanged", changed, 1500000200)):
                seconds = timed_pass(tansy, server, feed_items, stamp)
                found = len(list(folder.glob("*.url")))
                if found != count:
                    raise SystemExit(f"{case}: {found} shortcuts in the folder, {count} expected")
                results.append((case, seconds))
            tansy.exit()

        into_empty = results[0][1]
        print(f"BENCH case=mirror_into_empty_per_s items={count} seconds={into_empty:.2f} "
              f"value={count / into_empty:.0f}")
        print(f"BENCH case=mirror_10_changed_s items={count} value={results[1][1]:.2f}")
        print(f"BENCH case=mirror_unchanged_s items={count} value={results[2][1]:.2f}")
        ok = True
    finally:
        if tansy is not None:
            stop_process(tansy.proc)
        if (prefix / "drive_c" / "users").is_dir():
            shutil.rmtree(Wine(env, prefix, work).favorites / SITE, ignore_errors=True)
        if wineserver is not None:
            subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            stop_process(wineserver)
        stop_process(xvfb)
        if ok:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print(f"bench-wine: the logs are in {work}", file=sys.stderr)


if __name__ == "__main__":
    main()
