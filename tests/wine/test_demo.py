"""The demo of `make run`: its status.dat and the sample feeds it serves are
what Tansy reads, in the character codes and feed forms the demo shows off."""
import re
import sys

from conftest import ROOT

sys.path.insert(0, str(ROOT / "tools"))
import run_demo  # noqa: E402

FEEDS = ROOT / "demo" / "feeds"


def test_status_dat_is_27_cp932_lines_with_crlf():
    data = run_demo.status_dat("http://127.0.0.1:8080/")
    assert data.count(b"\r\n") == 27 and data.count(b"\n") == 27 and data.endswith(b"\r\n")
    lines = data.decode("cp932").split("\r\n")[:-1]
    for slot, (name, feed) in enumerate(run_demo.SITES):
        assert lines[3 * slot:3 * slot + 3] == ["http://127.0.0.1:8080/" + feed, name, ""]
    assert lines[3 * len(run_demo.SITES):] == [""] * (27 - 3 * len(run_demo.SITES))


def test_site_names_are_japanese_and_fit_a_folder_name():
    for name, _ in run_demo.SITES:
        assert any(ord(c) > 0x3000 for c in name), name
        assert not set(name) & set('\\/:*?"<>|'), name


def declared(data):
    return re.match(rb'<\?xml[^>]*encoding="([^"]+)"', data).group(1).decode().lower()


def test_feeds_are_in_the_character_code_they_declare():
    codes = {}
    for _, feed in run_demo.SITES:
        data = (FEEDS / feed).read_bytes()
        code = declared(data)
        text = data.decode({"shift_jis": "cp932"}.get(code, code))  # strict
        assert any(ord(c) > 0x3000 for c in text), feed
        codes[feed] = code
    assert set(codes.values()) == {"euc-jp", "utf-8", "shift_jis"}
    assert codes["library-eucjp.xml"] == "euc-jp"


def test_feeds_show_attribute_items_and_upper_case_tags():
    rss10 = (FEEDS / "weather-rss10.xml").read_text(encoding="utf-8")
    assert rss10.count('<item rdf:about="') == rss10.count("</item>") >= 2
    assert "<item>" not in rss10
    rss091 = (FEEDS / "trains-rss091.xml").read_bytes().decode("cp932")
    assert 'VERSION="0.91"' in rss091
    assert rss091.count("<ITEM>") == rss091.count("<TITLE>") - 1 >= 2
    assert "<item" not in rss091 and "<title>" not in rss091


def test_every_demo_site_has_items_with_http_links():
    for _, feed in run_demo.SITES:
        data = (FEEDS / feed).read_bytes()
        items = re.findall(rb"<item[ >](.*?)</item>", data, re.S | re.I)
        links = [re.search(rb"<link>(.*?)</link>", i, re.I).group(1) for i in items]
        assert len([l for l in links if l.startswith((b"http://", b"https://"))]) >= 3, feed
