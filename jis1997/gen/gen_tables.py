#!/usr/bin/env python3
"""Writes jis1997/jis_tables.cpp, the mapping tables of the jis1997 library.

Run from anywhere: python3 jis1997/gen/gen_tables.py
The output is committed; run the script again only when the mapping rules
below change.

Sources:
  * Python's built-in 'cp932' codec gives the character of every double-byte
    code of Microsoft code page 932 (NEC row 13, NEC-selected IBM rows 89-92,
    IBM extensions 0xFA40-0xFC4B and the user-defined area 0xF040-0xF9FC).
    Windows also decodes the single bytes 0x80, 0xA0 and 0xFD-0xFF (to
    U+0080, U+F8F0 and U+F8F1-U+F8F3); the codec does not, so they are added.
  * Python's 'euc_jp' codec gives the characters of JIS X 0212.
  * glibc iconv 'EUC-JP-MS' gives the IBM extension characters that eucJP-ms
    keeps in JIS X 0212 rows 83-84 (0x8F 0xF3F3 - 0x8F 0xF4FE).
  * best_fit_932.txt, written by best_fit_932.c under Wine, gives Windows'
    best fits: the characters without a CP932 code of their own that
    WideCharToMultiByte(932, 0, ...) writes as another character's code.
  * Python's unicodedata gives the base letters of the accented Latin
    letters (the version is named in the output).
  * Python's 'cp1252', 'iso8859_15', 'iso8859_2' and 'cp1250' codecs give
    the characters of the European single-byte codes.

A character without a CP932 code of its own gets, in this order: the code of
its JIS form's character (the seven of JIS_FORMS, which JIS-based converters
wrote as these codes), a blank or a hyphen for the spaces and dashes of
SPACES and DASHES, Windows' best fit, or, for a Latin letter, its base
letter: the first character of its canonical decomposition where that is an
ASCII letter (o for U+0151, e for U+1EC7), and the letters of STROKED, which
have no decomposition. Anything else keeps no code, and the library writes
the geta mark for it.

Where code page 932 has a character twice, Unicode text is written the way
Windows writes it: the JIS X 0208 code first, then NEC row 13, then the IBM
extension (0xFA-0xFC) in preference to the NEC-selected copy (0xED-0xEE).
"""
import os
import subprocess
import sys
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "jis_tables.cpp")


# Characters whose JIS-based mapping stands for a CP932 character that
# Windows maps elsewhere: WAVE DASH, DOUBLE VERTICAL LINE, MINUS SIGN, CENT,
# POUND, NOT SIGN and EM DASH, with the codes of those characters.
JIS_FORMS = {0x301C: 0x8160, 0x2016: 0x8161, 0x2212: 0x817C, 0x00A2: 0x8191,
             0x00A3: 0x8192, 0x00AC: 0x81CA, 0x2014: 0x815C}
# The no-break space and the other spaces of Unicode's Zs class, read as blanks.
SPACES = [0x00A0] + list(range(0x2000, 0x200B)) + [0x202F, 0x205F]
# The figure dash and the en dash, read as hyphens.
DASHES = [0x2012, 0x2013]
# Latin letters with a stroke and the dotless i: each reads as its letter
# though Unicode gives it no decomposition.
STROKED = {0x0142: "l", 0x0141: "L", 0x0111: "d", 0x0110: "D", 0x0127: "h", 0x0131: "i"}
# The European single-byte codes a feed may declare, by Windows code page
# number, with the Python codec of each.
SINGLE_BYTE_CODES = [(1252, "cp1252"), (28605, "iso8859_15"), (28592, "iso8859_2"),
                     (1250, "cp1250")]


def read_best_fits():
    """Windows' best fits: code point -> CP932 code."""
    fits = {}
    with open(os.path.join(HERE, "best_fit_932.txt")) as f:
        for line in f:
            point, code = line.split()
            fits[int(point[2:], 16)] = int(code, 16)
    return fits


def base_letters():
    """Code point -> ASCII code of the base letter of each accented Latin letter."""
    letters = {cp: ord(letter) for cp, letter in STROKED.items()}
    for cp in range(0x80, 0x10000):
        ch = chr(cp)
        if not unicodedata.name(ch, "").startswith("LATIN"):
            continue
        first = unicodedata.normalize("NFD", ch)[0]
        if first != ch and first.isascii() and first.isalpha():
            letters[cp] = ord(first)
    return letters


def closest_codes(encode):
    """Code point -> CP932 code for characters without a code of their own."""
    closest = base_letters()
    closest.update(read_best_fits())
    closest.update({cp: 0x2D for cp in DASHES})
    closest.update({cp: 0x20 for cp in SPACES})
    closest.update(JIS_FORMS)
    return {cp: code for cp, code in closest.items() if cp not in encode}


def two_level(codes):
    """Code point -> code as (page index, pages); empty pages share page 0."""
    pages = [[0] * 256]
    index = [0] * 256
    for hi in range(256):
        page = [codes.get((hi << 8) | lo, 0) for lo in range(256)]
        if any(page):
            index[hi] = len(pages)
            pages.append(page)
    return index, pages


def cp932_decode_all():
    """Every CP932 code (int) -> Unicode code point."""
    table = {}
    for b in range(0x80):
        table[b] = b
    for b in range(0xA1, 0xE0):
        table[b] = ord(bytes([b]).decode("cp932"))
    table[0x80] = 0x80
    table[0xA0] = 0xF8F0
    table[0xFD], table[0xFE], table[0xFF] = 0xF8F1, 0xF8F2, 0xF8F3
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            try:
                s = bytes([lead, trail]).decode("cp932")
            except UnicodeDecodeError:
                continue
            if len(s) == 1:
                table[(lead << 8) | trail] = ord(s)
    return table


def preference(code):
    """Lower is preferred when one character has several CP932 codes."""
    if 0xED40 <= code <= 0xEEFC:
        return 3  # NEC-selected IBM extension
    if 0xFA40 <= code <= 0xFC4B:
        return 2  # IBM extension
    if 0x8740 <= code <= 0x879C:
        return 1  # NEC row 13
    return 0


def unicode_to_cp932(decode):
    best = {}
    for code, cp in decode.items():
        if cp not in best or preference(code) < preference(best[cp]):
            best[cp] = code
    return best


def jis_to_sjis(row, col):
    """JIS X 0208 row/column (1-based) -> Shift_JIS code by arithmetic."""
    lead = (row - 1) // 2 + (0x81 if row <= 62 else 0xC1)
    if row % 2:
        trail = col + (0x3F if col <= 63 else 0x40)
    else:
        trail = col + 0x9E
    return (lead << 8) | trail


def iconv_decode(data, code):
    out = subprocess.run(["iconv", "-f", code, "-t", "UTF-32LE"], input=data,
                         capture_output=True, check=True).stdout
    return [int.from_bytes(out[i:i + 4], "little") for i in range(0, len(out), 4)]


def main():
    decode = cp932_decode_all()
    encode = unicode_to_cp932(decode)
    closest = closest_codes(encode)
    for cp, code in closest.items():
        assert decode.get(code) is not None and code != 0x81AC, hex(cp)

    # JIS X 0208 plane (EUC-JP two-byte codes, ISO-2022-JP ESC $ B): the code
    # is read as the CP932 code at the same position, then written in the
    # preferred form of its character.  Rows 89-92 are thereby the NEC-selected
    # IBM extensions, as in Microsoft's EUC-JP (code page 51932).
    t0208 = []
    for row in range(1, 95):
        for col in range(1, 95):
            sj = jis_to_sjis(row, col)
            cp = decode.get(sj)
            t0208.append(encode[cp] if cp is not None else 0)

    # JIS X 0212 plane (EUC-JP 0x8F codes): characters CP932 has, and those
    # it lacks with the closest code where one is known.
    t0212 = [0] * (94 * 94)
    for row in range(1, 95):
        for col in range(1, 95):
            b = bytes([0x8F, row + 0xA0, col + 0xA0])
            try:
                s = b.decode("euc_jp")
            except UnicodeDecodeError:
                continue
            if len(s) == 1:
                t0212[(row - 1) * 94 + col - 1] = encode.get(ord(s), closest.get(ord(s), 0))
    ms_codes = [(83, c) for c in range(83, 95)] + [(84, c) for c in range(1, 95)]
    data = b"".join(bytes([0x8F, r + 0xA0, c + 0xA0]) for r, c in ms_codes)
    chars = iconv_decode(data, "EUC-JP-MS")
    assert len(chars) == len(ms_codes)
    for (r, c), cp in zip(ms_codes, chars):
        if cp in encode:
            t0212[(r - 1) * 94 + c - 1] = encode[cp]

    # Unicode BMP -> CP932 as a two-level table: 256 pages of 256 entries,
    # pages without any character share page 0. The closest codes of the
    # characters without a code of their own take the same form; they are
    # looked up only where kUnicodePages has none.
    index, pages = two_level(encode)
    fit_index, fit_pages = two_level(closest)

    # The upper halves (0x80-0xFF) of the single-byte codes: the character of
    # each byte, 0 where the code leaves the byte undefined.
    halves = []
    for _, codec in SINGLE_BYTE_CODES:
        for b in range(0x80, 0x100):
            try:
                halves.append(ord(bytes([b]).decode(codec)))
            except UnicodeDecodeError:
                halves.append(0)

    def rows(values, per_line=16):
        lines = []
        for i in range(0, len(values), per_line):
            lines.append("    " + ",".join("0x%X" % v for v in values[i:i + per_line]) + ",")
        return "\n".join(lines)

    with open(OUT, "w", newline="\n") as f:
        f.write("// Generated by jis1997/gen/gen_tables.py - do not edit.\n")
        f.write("// Base letters from the Unicode %s data of Python %s.\n"
                % (unicodedata.unidata_version, sys.version.split()[0]))
        f.write("#include \"jis_tables.h\"\n\nnamespace jis {\n\n")
        f.write("const uint16_t kJis0208ToCp932[94 * 94] = {\n%s\n};\n\n" % rows(t0208))
        f.write("const uint16_t kJis0212ToCp932[94 * 94] = {\n%s\n};\n\n" % rows(t0212))
        f.write("const uint8_t kUnicodePageIndex[256] = {\n%s\n};\n\n" % rows(index))
        f.write("const uint16_t kUnicodePages[%d][256] = {\n" % len(pages))
        for p in pages:
            f.write("  {\n%s\n  },\n" % rows(p))
        f.write("};\n\n")
        f.write("const uint8_t kClosestPageIndex[256] = {\n%s\n};\n\n" % rows(fit_index))
        f.write("const uint16_t kClosestPages[%d][256] = {\n" % len(fit_pages))
        for p in fit_pages:
            f.write("  {\n%s\n  },\n" % rows(p))
        f.write("};\n\n")
        f.write("const uint16_t kSingleByteCodePages[%d] = {%s};\n\n"
                % (len(SINGLE_BYTE_CODES), ", ".join(str(c) for c, _ in SINGLE_BYTE_CODES)))
        f.write("const uint16_t kSingleByteUpperHalves[%d][128] = {\n" % len(SINGLE_BYTE_CODES))
        for k in range(len(SINGLE_BYTE_CODES)):
            f.write("  {\n%s\n  },\n" % rows(halves[k * 128:(k + 1) * 128]))
        f.write("};\n\n} // namespace jis\n")
    print("wrote %s: %d Unicode pages, %d JIS X 0208 and %d JIS X 0212 codes, "
          "%d closest codes" % (OUT, len(pages), sum(1 for v in t0208 if v),
                                sum(1 for v in t0212 if v), len(closest)),
        file=sys.stderr)


if __name__ == "__main__":
    main()
