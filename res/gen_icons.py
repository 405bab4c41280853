#!/usr/bin/env python3
"""Draws Tansy's three icons as 256-colour .ico files.

The glyph is a tansy sprig: a cluster of button flowers on a short stem with
two leaves. Icon 128 (32 x 32) and icon 133 (16 x 16) draw it in green, icon
134 (16 x 16), the alert shown while the tray icon blinks, in red. Run it to
rewrite res/icons/*.ico; the files are kept in the repository.
"""
import math
import struct
import sys
from pathlib import Path

# Button flowers (centre x, centre y, radius) and the stem, in a unit square.
FLOWERS = [(0.30, 0.30, 0.17), (0.62, 0.22, 0.16), (0.70, 0.52, 0.15), (0.42, 0.56, 0.14)]
STEM = ((0.50, 0.62), (0.50, 0.95), 0.05)
LEAVES = [((0.50, 0.82), (0.24, 0.70), 0.07), ((0.50, 0.78), (0.78, 0.68), 0.07)]


def _segment_distance(p, a, b):
    ax, ay = a
    bx, by = b
    px, py = p
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def shade(x, y):
    """0 transparent, 1 dark outline, 2 body, 3 highlight."""
    for cx, cy, r in FLOWERS:
        d = math.hypot(x - cx, y - cy)
        if d <= r:
            if d > r * 0.78:
                return 1
            return 3 if math.hypot(x - cx + r * 0.3, y - cy + r * 0.3) < r * 0.35 else 2
    (a, b, w) = STEM
    if _segment_distance((x, y), a, b) <= w:
        return 1
    for a, b, w in LEAVES:
        if _segment_distance((x, y), a, b) <= w:
            return 2
    return 0


PALETTES = {
    "green": [(0, 0, 0), (20, 90, 30), (50, 170, 60), (170, 235, 150)],
    "red": [(0, 0, 0), (120, 10, 10), (220, 40, 40), (255, 180, 160)],
}


def make_icon(size, palette):
    colours = PALETTES[palette]
    samples = 4  # supersampling per axis for smoother edges
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            votes = [0] * 4
            for sy in range(samples):
                for sx in range(samples):
                    x = (col + (sx + 0.5) / samples) / size
                    y = (row + (sy + 0.5) / samples) / size
                    votes[shade(x, y)] += 1
            covered = samples * samples - votes[0]
            if covered * 2 < samples * samples:
                line.append(0)
            else:
                line.append(max(range(1, 4), key=lambda i: votes[i]))
        pixels.append(line)

    # BITMAPINFOHEADER with doubled height (XOR image and AND mask), 8 bpp.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette_bytes = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in colours)
    palette_bytes += b"\0\0\0\0" * (256 - len(colours))
    xor = b"".join(bytes(pixels[size - 1 - r]) for r in range(size))  # bottom-up
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for r in range(size - 1, -1, -1):
        bits = 0
        row = pixels[r]
        for c in range(size):
            if row[c] == 0:
                bits |= 1 << (mask_stride * 8 - 1 - c)
        mask += bits.to_bytes(mask_stride, "big")
    image = header + palette_bytes + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent / "icons"
    out.mkdir(parents=True, exist_ok=True)
    (out / "tansy.ico").write_bytes(make_icon(32, "green"))
    (out / "tray.ico").write_bytes(make_icon(16, "green"))
    (out / "tray_alert.ico").write_bytes(make_icon(16, "red"))


if __name__ == "__main__":
    main()
