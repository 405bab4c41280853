#!/usr/bin/env python3
"""Makes the archives that Windows users download.

    tools/make_dist.py BUILD OUT      e.g. tools/make_dist.py build dist

For each of BUILD/win32 and BUILD/win64 it writes OUT/Tansy-<version>-<arch>.zip
holding exactly Tansy.exe, jis1997.dll (both stripped of symbols) and
README.txt. The version is the ProductVersion of res/tansy.rc. README.txt is
kept in the repository as res/README.txt in UTF-8 with LF line ends and goes
into the archive in Shift_JIS with CR LF, so that Notepad on a Japanese
Windows reads it.
"""
import argparse
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
README = ROOT / "res" / "README.txt"
RC_FILE = ROOT / "res" / "tansy.rc"
PROGRAM_FILES = ("Tansy.exe", "jis1997.dll")
ARCHES = {"win32": "i686-w64-mingw32", "win64": "x86_64-w64-mingw32"}


def product_version():
    """The ProductVersion text of the program's version resource, e.g. "1.00"."""
    match = re.search(r'VALUE\s+"ProductVersion",\s*"([^"]+)"', RC_FILE.read_text("cp932"))
    if not match:
        raise ValueError(f"no ProductVersion in {RC_FILE}")
    return match.group(1)


def readme_bytes():
    """README.txt as it goes into the archive: Shift_JIS, CR LF line ends."""
    text = README.read_text(encoding="utf-8")
    if "\r" in text:
        raise ValueError(f"{README} must have LF line ends only")
    data = text.replace("\n", "\r\n").encode("cp932")
    data.decode("shift_jis")  # only characters that plain Shift_JIS has
    return data


def archive_name(arch, version=None):
    return f"Tansy-{version or product_version()}-{arch}.zip"


def _stripped(tool_prefix, source, target):
    strip = shutil.which(f"{tool_prefix}-strip")
    if strip is None:
        raise FileNotFoundError(f"{tool_prefix}-strip is not installed (make deps)")
    subprocess.run([strip, "--strip-all", "-o", str(target), str(source)], check=True)


def make_archive(build_dir, arch, out_dir):
    """Writes the archive of one architecture; returns its path."""
    build_dir, out_dir = Path(build_dir), Path(out_dir)
    for name in PROGRAM_FILES:
        if not (build_dir / name).is_file():
            raise FileNotFoundError(f"{build_dir / name} is missing (make build)")
    out_dir.mkdir(parents=True, exist_ok=True)
    target = out_dir / archive_name(arch)
    partial = target.with_suffix(".zip.part")
    with tempfile.TemporaryDirectory() as scratch, \
            zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in PROGRAM_FILES:
            stripped = Path(scratch) / name
            _stripped(ARCHES[arch], build_dir / name, stripped)
            info = zipfile.ZipInfo(name, time.localtime((build_dir / name).stat().st_mtime)[:6])
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            archive.writestr(info, stripped.read_bytes())
        info = zipfile.ZipInfo("README.txt", time.localtime(README.stat().st_mtime)[:6])
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        archive.writestr(info, readme_bytes())
    partial.replace(target)
    return target


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", type=Path, help="folder holding win32/ and win64/")
    parser.add_argument("out", type=Path, help="folder for the archives")
    args = parser.parse_args(argv)
    try:
        for arch in ARCHES:
            path = make_archive(args.build / arch, arch, args.out)
            print(f"dist: {path} ({path.stat().st_size} bytes)")
    except (OSError, ValueError, subprocess.CalledProcessError) as error:
        print(f"dist: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
