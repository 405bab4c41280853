"""Soak: a thousand fetches and more under Wine over feeds that change, with
the program's handle, GDI and USER object counts and its memory taken after
a warm-up and at the end. Runs only with TANSY_SOAK=1 (`make soak`);
TANSY_SOAK_FETCHES sets the number of fetches (default 1000).

Changes come in through repeated first passes (Refresh), where they are
handled silently; in between, WM_TIMER ticks posted to the main window make
steady-polling fetches of unchanged feeds without the five-minute wait."""
import os
import sys
import time

import pytest

from conftest import IDM_REFRESH, ROOT, wait_until

sys.path.insert(0, str(ROOT / "tools"))
from feed_server import FeedServer, Route  # noqa: E402

pytestmark = pytest.mark.skipif(os.environ.get("TANSY_SOAK") != "1",
                                reason="soak runs only with TANSY_SOAK=1 (make soak)")

WM_TIMER = 0x0113
FETCHES = int(os.environ.get("TANSY_SOAK_FETCHES", "1000"))
TICKS_PER_ROUND = 75
BLINK_S = 5.5
# Growth allowed between the warm-up figures and the end: a few handles,
# objects and descriptors of noise (WinINet keeps a small connection cache),
# and 4 MiB of memory. Under Wine, GetProcessHandleCount, GetGuiResources and
# the private usage of another process read 0; the system's process list
# (syshandles, sysprivate) and the Linux side (/proc: rss, data, fds) stand in.
ALLOWED = {"handles": 10, "syshandles": 10, "gdi": 5, "user": 5, "private": 4 << 20,
           "sysprivate": 4 << 20, "rss": 8 << 20, "data": 8 << 20, "fds": 5}


def linux_figures(folder):
    """Resident and data memory and open descriptors of the Wine process."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            cmdline = open(f"/proc/{entry}/cmdline", "rb").read().decode("utf-8", "replace")
            if "Tansy.exe" not in cmdline or folder.parent.name not in cmdline:
                continue
            status = open(f"/proc/{entry}/status").read()
            fields = dict(line.split(":", 1) for line in status.splitlines() if ":" in line)
            return {"rss": int(fields["VmRSS"].split()[0]) * 1024,
                    "data": int(fields["VmData"].split()[0]) * 1024,
                    "fds": len(os.listdir(f"/proc/{entry}/fd"))}
        except (OSError, KeyError, ValueError):
            continue
    return {"rss": 0, "data": 0, "fds": 0}


@pytest.fixture
def changing_feed_server():
    """Nine feeds whose items and Last-Modified change with each bump()."""
    epoch = [0]

    def route(path):
        slot = int(path.strip("/").split(".")[0][4:])
        items = "".join(
            f"<item><title>Soak {slot}-{epoch[0]}-{i}</title>"
            f"<link>http://example.jp/{slot}/{epoch[0]}/{i}</link></item>\n" for i in range(20))
        body = f'<?xml version="1.0"?><rss><channel>{items}</channel></rss>'.encode()
        day = 1 + epoch[0] % 28
        month = ("Jan", "Feb", "Mar", "Apr")[epoch[0] // 28 % 4]
        return Route(body=body, last_modified=f"Sun, {day:02d} {month} 2017 10:00:00 GMT")

    def bump():
        epoch[0] += 1

    with FeedServer() as server:
        server.set_resolver(route)
        slots = [(server.url(f"/feed{i}.xml"), f"Soak site {i}", "") for i in range(9)]
        lines = [value for slot in slots for value in slot]
        yield server, "".join(v + "\r\n" for v in lines).encode(), bump


def stats(tansy):
    code, out = tansy.ctl("stats", "Tansy")
    assert code == 0, out
    figures = {k: int(v) for k, v in (pair.split("=") for pair in out.split())}
    figures.update(linux_figures(tansy.folder))
    return figures


def wait_requests(server, count, timeout=30):
    wait_until(lambda: len(server.requests) >= count,
               lambda: f"{count} requests expected, got {len(server.requests)}", timeout, 0.05)


def test_a_thousand_fetches_grow_nothing(start_tansy, changing_feed_server):
    server, status, bump = changing_feed_server
    tansy = start_tansy(status=status)
    started = time.time()
    figures = []

    def refresh_round():
        bump()  # every feed changes for this first pass
        before = len(server.requests)
        tansy.command(IDM_REFRESH)
        wait_requests(server, before + 9, timeout=60)
        time.sleep(BLINK_S)

    def ticks(count):
        for _ in range(count):
            before = len(server.requests)
            tansy.ctl("post", "Tansy", WM_TIMER, 1, 0)
            try:
                wait_requests(server, before + 1, timeout=3)
            except AssertionError:
                # The tick came while the last outcome was still being
                # handled and was dropped; post it again.
                tansy.ctl("post", "Tansy", WM_TIMER, 1, 0)
                wait_requests(server, before + 1, timeout=10)

    refresh_round()
    ticks(20)
    warm = stats(tansy)
    figures.append(("warm", len(server.requests), warm))
    while len(server.requests) < FETCHES:
        refresh_round()
        ticks(TICKS_PER_ROUND)
        figures.append(("round", len(server.requests), stats(tansy)))
    time.sleep(1)
    end = stats(tansy)
    elapsed = time.time() - started

    print(f"\nsoak: {len(server.requests)} fetches in {elapsed:.0f} s")
    for label, fetched, f in figures + [("end", len(server.requests), end)]:
        print(f"  {label:5} after {fetched:5} fetches: handles={f['handles']}/"
              f"{f['syshandles']} gdi={f['gdi']} user={f['user']} "
              f"private={f['private'] / 2**20:.1f}/{f['sysprivate'] / 2**20:.1f} MiB "
              f"workingset={f['workingset'] / 2**20:.1f} MiB rss={f['rss'] / 2**20:.1f} MiB "
              f"data={f['data'] / 2**20:.1f} MiB fds={f['fds']}")
    messages = tansy.messages()
    assert all(not m.split(" ")[1:2] == ["ERROR"] for m in messages[-20:] if m != "START")
    assert tansy.running()
    for key, allowed in ALLOWED.items():
        assert end[key] - warm[key] <= allowed, f"{key} grew from {warm[key]} to {end[key]}"
