"""The archives of `make dist`: exactly the three files, Tansy.exe bound to
jis1997.dll by ordinal only, a README.txt that Notepad on a Japanese Windows
reads, the program's own version information, and a program that still starts
after its symbols were stripped."""
import re
import shutil
import struct
import subprocess
import sys
import zipfile

import pytest

from conftest import BUILDS, IDM_EXIT, MINGW, ROOT, stop_process

sys.path.insert(0, str(ROOT / "tools"))
import make_dist  # noqa: E402

JIS_ORDINALS = {5, 31, 43, 51, 63, 66, 70, 71, 72, 73}


@pytest.fixture(scope="session")
def archive(width, tmp_path_factory):
    """(arch, path of the zip, folder it was unpacked into), for the build
    of the test's width."""
    arch = width
    if not (BUILDS[arch] / "Tansy.exe").exists():
        pytest.fail(f"no {arch} build in {BUILDS[arch]}: run `make {arch}`")
    out = tmp_path_factory.mktemp(f"dist-{arch}")
    path = make_dist.make_archive(BUILDS[arch], arch, out)
    unpacked = out / "unpacked"
    with zipfile.ZipFile(path) as zf:
        zf.extractall(unpacked)
    return arch, path, unpacked


# --- the archive -----------------------------------------------------------

def test_archive_is_named_after_version_and_architecture(archive):
    arch, path, _ = archive
    assert path.name == f"Tansy-1.00-{arch}.zip"


def test_archive_holds_exactly_program_library_and_readme(archive):
    _, path, _ = archive
    with zipfile.ZipFile(path) as zf:
        assert sorted(zf.namelist()) == ["README.txt", "Tansy.exe", "jis1997.dll"]
        assert zf.testzip() is None


def test_files_are_built_for_the_archive_architecture(archive):
    arch, _, unpacked = archive
    machine = {"win32": 0x014C, "win64": 0x8664}[arch]
    for name in ("Tansy.exe", "jis1997.dll"):
        data = (unpacked / name).read_bytes()
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0"
        assert struct.unpack_from("<H", data, pe + 4)[0] == machine, name


# --- the binding to jis1997.dll ---------------------------------------------

def objdump(arch, path):
    tool = shutil.which(f"{MINGW[arch]}-objdump")
    assert tool, f"{MINGW[arch]}-objdump is not installed (make deps)"
    return subprocess.run([tool, "-p", str(path)], capture_output=True, text=True,
                          check=True).stdout


def test_program_imports_jis1997_by_ordinal_only(archive):
    arch, _, unpacked = archive
    dump = objdump(arch, unpacked / "Tansy.exe")
    block = re.search(r"DLL Name: jis1997\.dll\n\s*vma:.*?\n(.*?)\n\s*\n", dump, re.S | re.I)
    assert block, "Tansy.exe does not import jis1997.dll"
    entries = [line.split() for line in block.group(1).splitlines() if line.strip()]
    ordinal_flag = 1 << (31 if arch == "win32" else 63)
    ordinals = set()
    for fields in entries:
        assert fields[-1] == "<none>", f"imported by name: {fields}"
        thunk = int(fields[0], 16)
        assert thunk & ordinal_flag, f"not an ordinal import: {fields}"
        ordinals.add(thunk & 0xFFFF)  # objdump prints the ordinal column in hex or decimal
    assert ordinals <= JIS_ORDINALS and 5 in ordinals, ordinals


def test_stripped_library_still_exports_its_ordinals(archive):
    arch, _, unpacked = archive
    dump = objdump(arch, unpacked / "jis1997.dll")
    assert {int(n) for n in re.findall(r"\+base\[\s*(\d+)\]", dump)} == JIS_ORDINALS


# --- README.txt ---------------------------------------------------------------

def test_readme_is_shift_jis_with_crlf_line_ends(archive):
    _, _, unpacked = archive
    data = (unpacked / "README.txt").read_bytes()
    assert not data.startswith((b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff"))
    text = data.decode("shift_jis")  # strict: raises on anything else
    assert data.endswith(b"\r\n")
    assert data.count(b"\n") == data.count(b"\r\n") == data.count(b"\r")
    assert any(ord(c) > 0x3000 for c in text), "no Japanese text"
    assert "\ufffd" not in text


def test_readme_explains_log_lines_sites_and_startup(archive):
    _, _, unpacked = archive
    text = (unpacked / "README.txt").read_bytes().decode("cp932")
    for word in ("log.txt", "status.dat", "27", "START", "UPDATE", "NOMODIFY", "ERROR",
                 "CANCEL", "shell:startup", "Last-Modified", "English"):
        assert word in text, word


def test_readme_in_archive_is_the_repository_text(archive):
    _, _, unpacked = archive
    source = (ROOT / "res" / "README.txt").read_text(encoding="utf-8")
    assert (unpacked / "README.txt").read_bytes().decode("cp932") == source.replace("\n", "\r\n")


# --- version information ------------------------------------------------------

def _rva_to_offset(data, pe, rva):
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    table = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0]
    for i in range(sections):
        vsize, vaddr, rawsize, rawptr = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        if vaddr <= rva < vaddr + max(vsize, rawsize):
            return rva - vaddr + rawptr
    raise ValueError(f"RVA {rva:#x} is in no section")


def version_resource(data):
    """(language id, bytes) of the first RT_VERSION resource of a PE file."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 8 * 2)[0]
    assert resource_rva, "no resource section"
    base = _rva_to_offset(data, pe, resource_rva)

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", data, offset + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, offset + 16 + 8 * i)
            yield ident, target

    for type_id, type_target in entries(base):
        if type_id != 16:  # RT_VERSION
            continue
        _, name_target = next(entries(base + (type_target & 0x7FFFFFFF)))
        language, leaf = next(entries(base + (name_target & 0x7FFFFFFF)))
        data_rva, size = struct.unpack_from("<II", data, base + leaf)
        start = _rva_to_offset(data, pe, data_rva)
        return language, data[start:start + size]
    raise AssertionError("no version resource")


def version_nodes(block):
    """Parses a VS_VERSIONINFO tree into (key, value, children) tuples."""
    def node(offset):
        length, value_length, kind = struct.unpack_from("<HHH", block, offset)
        end = offset + length
        key_end = offset + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[offset + 6:key_end].decode("utf-16-le")
        pos = (key_end + 2 + 3) & ~3
        if kind == 1:
            value = block[pos:pos + 2 * value_length].decode("utf-16-le").rstrip("\0")
            pos += 2 * value_length
        else:
            value = block[pos:pos + value_length]
            pos += value_length
        pos = (pos + 3) & ~3
        children = []
        while pos < end:
            child, pos = node(pos)
            children.append(child)
            pos = (pos + 3) & ~3
        return (key, value, children), end
    return node(0)[0]


def test_version_information_is_the_programs(archive):
    _, _, unpacked = archive
    language, block = version_resource((unpacked / "Tansy.exe").read_bytes())
    assert language == 0x411
    key, fixed, children = version_nodes(block)
    assert key == "VS_VERSION_INFO"
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    assert signature == 0xFEEF04BD
    assert (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF) == (1, 0, 0, 0)
    assert (product_ms, product_ls) == (file_ms, file_ls)

    blocks = {k: kids for k, _, kids in children}
    tables = {k: {name: value for name, value, _ in strings}
              for k, _, strings in blocks["StringFileInfo"]}
    assert list(tables) == ["041103a4"]
    strings = tables["041103a4"]
    assert strings["ProductName"] == "Tansy"
    assert strings["ProductVersion"] == "1.00"
    assert strings["FileDescription"] == "Tansy"
    assert strings["OriginalFilename"] == "Tansy.exe"
    assert strings["InternalName"] == "Tansy.exe"
    assert strings["ProductVersion"] == make_dist.product_version()

    translation = {k: v for k, v, _ in blocks["VarFileInfo"]}["Translation"]
    assert struct.unpack("<HH", translation) == (0x411, 932)


# --- the program from the archive runs ----------------------------------------

def test_program_from_archive_starts_and_exits(archive, wine, tmp_path):
    _, _, unpacked = archive
    folder = tmp_path / "unzipped"
    shutil.copytree(unpacked, folder)
    (folder / "log.txt").write_bytes(b"")
    proc = wine.spawn([folder / "Tansy.exe"], cwd=folder, name="dist-tansy")
    try:
        ctl = [wine.tansyctl]
        assert wine.run([*ctl, "wait", "Tansy", 30000]).returncode == 0
        assert wine.run([*ctl, "command", "Tansy", IDM_EXIT]).returncode == 0
        proc.wait(timeout=30)
    finally:
        stop_process(proc)
    assert (folder / "log.txt").read_bytes().endswith(b" START\r\n")
