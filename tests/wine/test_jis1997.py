"""jis1997.dll under Wine: its tables against Windows' code page 932, and the
ordinal-only exports and imports that Tansy.exe relies on (read from the
files, so checked for both builds even where the 32-bit one cannot run)."""
import re
import shutil
import subprocess

from conftest import BUILDS, MINGW

EXPECTED_ORDINALS = {5, 31, 43, 51, 63, 66, 70, 71, 72, 73}


def objdump(width, name):
    tool = shutil.which(f"{MINGW[width]}-objdump")
    assert tool, f"{MINGW[width]}-objdump is not installed (make deps)"
    path = BUILDS[width] / name
    assert path.exists(), f"{path} not built"
    return subprocess.run([tool, "-p", str(path)], capture_output=True, text=True,
                          check=True).stdout


def imports_of(dump, dll):
    """The import lines (vma, hint/ordinal, name) of one DLL in objdump -p output."""
    block = re.search(r"DLL Name: %s\n\s*vma:.*?\n(.*?)\n\s*\n" % re.escape(dll), dump,
                      re.S | re.I)
    assert block, f"{dll} is not imported"
    return [line.split() for line in block.group(1).splitlines() if line.strip()]


def test_tables_match_windows_code_page_932(wine):
    exe = wine.build_dir / "jis_table_check.exe"
    assert exe.exists(), f"{exe} not built"
    result = wine.run([exe], cwd=wine.build_dir, timeout=300)
    print(result.stdout)
    # All BMP characters but the 461 that Windows has no answer for and
    # jis1997 writes by its own rules (JIS forms, spaces, dashes, and the
    # base letters of 441 accented Latin letters).
    assert "unicode-to-cp932: 63025 checked, 0 mismatches" in result.stdout
    assert "jis0208-to-cp932: 8836 checked, 0 mismatches" in result.stdout
    assert result.returncode == 0


def test_dll_exports_only_its_ordinals_without_names(width):
    dump = objdump(width, "jis1997.dll")
    ordinals = {int(n) for n in re.findall(r"\+base\[\s*(\d+)\]", dump)}
    assert ordinals == EXPECTED_ORDINALS
    table = dump.split("[Ordinal/Name Pointer] Table", 1)[1]
    names = [line for line in table.split("\n\n", 1)[0].splitlines()[1:] if line.strip()]
    assert names == [], f"named exports: {names}"


def check_imports_by_ordinal(width, name):
    dump = objdump(width, name)
    entries = imports_of(dump, "jis1997.dll")
    assert entries, "no functions imported from jis1997.dll"
    for fields in entries:
        # vma with the ordinal flag set, the ordinal, and no member name.
        assert fields[-1] == "<none>", f"imported by name: {fields}"
        assert int(fields[0], 16) >> (31 if width == "win32" else 63) & 1, fields
        assert int(fields[1], 16 if len(fields[1]) > 4 else 10) in EXPECTED_ORDINALS, fields


def test_check_program_imports_by_ordinal_only(width):
    check_imports_by_ordinal(width, "jis_table_check.exe")


def test_tansy_imports_jis1997_by_ordinal_only(width):
    check_imports_by_ordinal(width, "Tansy.exe")
