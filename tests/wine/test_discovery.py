"""Slots that name a site's home page: the whole program under Wine finds
the feed each page names, fills the folder from it, keeps the page's address
in status.dat and goes straight to the feed on later visits."""
import time

import pytest

from conftest import IDM_REFRESH, clean_favorites, numbered_feed, shortcuts, status_file


LM1 = "Wed, 21 Oct 2015 07:28:00 GMT"
HTML = {"Content-Type": "text/html"}
TOWN, SHOP, PROTO, PLAIN, HOP = "町のお知らせ", "Shop news", "Proto news", "Plain page", "Two hops"


def page(head, code="utf-8"):
    return (f'<!DOCTYPE html>\n<html lang="ja"><head><meta charset="{code}">'
            f"<title>ホームページ</title>\n{head}</head><body>ようこそ</body></html>\n").encode(code)


def atom_feed(count):
    entries = "".join(f'<entry><title>お店 {i}</title><link href="http://example.jp/shop/{i}"/>'
                      f"</entry>" for i in range(count))
    return ('<?xml version="1.0" encoding="UTF-8"?><feed xmlns="http://www.w3.org/2005/Atom">'
            f"<title>Shop</title>{entries}</feed>").encode()


def rss_link(href, kind="rss"):
    return f'<link rel="alternate" type="application/{kind}+xml" title="RSS" href="{href}">'


@pytest.fixture
def favorites(wine):
    return clean_favorites(wine, (TOWN, SHOP, PROTO, PLAIN, HOP))


def test_home_pages_lead_to_their_feeds(start_tansy, server, favorites):
    # A page reached by a redirect, its link relative to where it ended up.
    server.set_route("/town", status=301, headers={"Location": server.url("/town/")})
    server.set_route("/town/", page(rss_link("news.rss")), headers=HTML)
    server.set_route("/town/news.rss", numbered_feed("town", 3), last_modified=LM1)
    # A Shift_JIS page with an absolute Atom link, attributes in capitals.
    server.set_route("/shop/index.html", page(
        f'<LINK HREF="{server.url("/atom.xml")}" TYPE="application/atom+xml" REL="Alternate">',
        "cp932"), headers=HTML)
    server.set_route("/atom.xml", atom_feed(2), last_modified=LM1)
    server.set_route("/proto.html", page(rss_link(f"//{server.host}:{server.port}/proto.xml")),
                     headers=HTML)
    server.set_route("/proto.xml", numbered_feed("proto", 1), last_modified=LM1)
    server.set_route("/plain.html", page('<link rel="stylesheet" href="a.css">'), headers=HTML)
    server.set_route("/hop1.html", page(rss_link("/hop2.html")), headers=HTML)
    server.set_route("/hop2.html", page(rss_link("/never.xml")), headers=HTML)
    slots = [(server.url(path), name, "") for path, name in (
        ("/town", TOWN), ("/shop/index.html", SHOP), ("/proto.html", PROTO),
        ("/plain.html", PLAIN), ("/hop1.html", HOP))]
    status = status_file(slots)
    (favorites / PLAIN).mkdir()
    (favorites / PLAIN / "old.url").write_bytes(b"[InternetShortcut]\r\nURL=http://a.jp/\r\n")
    tansy = start_tansy(status=status)

    def refresh_pass():
        """Refresh, and the requests and log messages of the pass."""
        seen, asked = len(tansy.messages()), len(server.requests)
        tansy.command(IDM_REFRESH)
        messages = tansy.wait_for_messages(seen + 9)[seen:seen + 5]
        time.sleep(6)  # the end-of-pass blink
        return [r.path for r in server.requests[asked:]], messages

    urls = [slot[0] for slot in slots]
    asked, messages = refresh_pass()
    assert messages == [f"0 UPDATE {urls[0]}", f"1 UPDATE {urls[1]}", f"2 UPDATE {urls[2]}",
                        f"3 ERROR {urls[3]}", f"4 ERROR {urls[4]}"]
    assert asked == ["/town", "/town/", "/town/news.rss", "/shop/index.html", "/atom.xml",
                     "/proto.html", "/proto.xml", "/plain.html", "/hop1.html", "/hop2.html"]
    assert shortcuts(favorites / TOWN) == ["town 0.url", "town 1.url", "town 2.url"]
    assert shortcuts(favorites / SHOP) == ["お店 0.url", "お店 1.url"]
    assert shortcuts(favorites / PROTO) == ["proto 0.url"]
    # A page without a feed link leaves the folder as it was.
    assert shortcuts(favorites / PLAIN) == ["old.url"]
    assert not (favorites / HOP).exists()
    assert (tansy.folder / "status.dat").read_bytes() == status
    assert not (tansy.folder / "dl.dat").exists()

    # Later visits go straight to the feeds found; the feed's date holds.
    asked, messages = refresh_pass()
    assert messages[:3] == [f"0 NOMODIFY {urls[0]}", f"1 NOMODIFY {urls[1]}",
                            f"2 NOMODIFY {urls[2]}"]
    assert asked[:3] == ["/town/news.rss", "/atom.xml", "/proto.xml"]

    # A failing feed is forgotten: the next visit reads the page again.
    server.set_route("/town/news.rss", b"gone", status=404)
    asked, messages = refresh_pass()
    assert messages[0] == f"0 ERROR {urls[0]}" and asked[0] == "/town/news.rss"
    server.set_route("/town/news.rss", numbered_feed("town", 3), last_modified=LM1)
    asked, messages = refresh_pass()
    assert messages[0] == f"0 NOMODIFY {urls[0]}"  # the same shortcuts as before
    assert asked[:3] == ["/town", "/town/", "/town/news.rss"]
    assert shortcuts(favorites / TOWN) == ["town 0.url", "town 1.url", "town 2.url"]
