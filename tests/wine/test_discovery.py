"""Slots that name a site's home page instead of its feed."""

from conftest import IDM_REFRESH, clean_favorites, numbered_feed, shortcuts, status_file


HTML = {"Content-Type": "text/html"}
NAMES = ("町のお知らせ", "Shop news", "Proto news", "Plain page", "Two hops")


def page(link, code="utf-8"):
    return (f'<!DOCTYPE html>\n<html lang="ja"><head><meta charset="{code}"><title>ホーム</title>'
            f"\n{link}</head><body>ようこそ</body></html>\n").encode(code)


def rss_link(href):
    return f'<link rel="alternate" type="application/rss+xml" href="{href}">'

def test_home_pages_lead_to_their_feeds(wine, start_tansy, server):
    favorites = clean_favorites(wine, NAMES)
    atom = ('<feed xmlns="http://www.w3.org/2005/Atom">' + "".join(
        f'<entry><title>お店 {i}</title><link href="http://example.jp/{i}"/></entry>'
        for i in range(2)) + "</feed>")
    routes = {  # a redirect: the link is relative to where it ended up
        "/town": dict(status=301, headers={"Location": server.url("/town/")}),
        "/town/": dict(body=page(rss_link("news.rss")), headers=HTML),
        "/town/news.rss": dict(body=numbered_feed("town", 3)),
        "/shop.html": dict(body=page(f'<LINK HREF="{server.url("/atom.xml")}" TYPE='
                                     f'"application/atom+xml" REL=Alternate>', "cp932")),
        "/atom.xml": dict(body=atom),
        "/proto.html": dict(body=page(rss_link(f"//{server.host}:{server.port}/p.xml"))),
        "/p.xml": dict(body=numbered_feed("proto", 1)),
        "/plain.html": dict(body=page('<link rel="stylesheet" href="a.css">'), headers=HTML),
        "/hop.html": dict(body=page(rss_link("/plain.html")), headers=HTML),
    }
    for path, route in routes.items():
        server.set_route(path, **route)
    urls = [server.url(p) for p in ("/town", "/shop.html", "/proto.html", "/plain.html",
                                    "/hop.html")]
    status = status_file([(url, name, "") for url, name in zip(urls, NAMES)])
    (favorites / NAMES[3]).mkdir()
    (favorites / NAMES[3] / "old.url").write_bytes(b"[InternetShortcut]\r\nURL=http://a.jp/\r\n")
    tansy = start_tansy(status=status)

    def refresh_pass(number):
        """Refresh; the paths asked for and the log messages of the pass."""
        asked = len(server.requests)
        tansy.command(IDM_REFRESH)
        messages = tansy.wait_for_messages(1 + 9 * number)[1 + 9 * (number - 1):][:5]
        tansy.wait_blink_end()  # the end-of-pass blink
        return [r.path for r in server.requests[asked:]], messages

    asked, messages = refresh_pass(1)
    assert messages == [f"{i} {word} {url}" for i, (word, url) in
                        enumerate(zip(["UPDATE"] * 3 + ["ERROR"] * 2, urls))]
    assert asked == ["/town", "/town/", "/town/news.rss", "/shop.html", "/atom.xml",
                     "/proto.html", "/p.xml", "/plain.html", "/hop.html", "/plain.html"]
    assert [shortcuts(favorites / name) for name in NAMES] == [
        ["town 0.url", "town 1.url", "town 2.url"], ["お店 0.url", "お店 1.url"],
        ["proto 0.url"], ["old.url"], []]  # a page naming no feed leaves its folder
    assert (tansy.folder / "status.dat").read_bytes() == status
    assert not (tansy.folder / "dl.dat").exists()

    # Later visits go straight to the feeds found, whose date holds.
    asked, messages = refresh_pass(2)
    assert messages[:3] == [f"{i} NOMODIFY {url}" for i, url in enumerate(urls[:3])]
    assert asked[:3] == ["/town/news.rss", "/atom.xml", "/p.xml"]
