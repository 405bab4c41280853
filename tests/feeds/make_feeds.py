#!/usr/bin/env python3
"""Writes the project's own test feeds into this folder, and beside each one
NAME.expected: the shortcuts Tansy must make of it, one "name<TAB>link" line
each in Shift_JIS (CP932), in feed order. The names are written out here by
hand, as a user would see them, not worked out by the rules of the scan.

    python3 tests/feeds/make_feeds.py           # (re)write the files
    python3 tests/feeds/make_feeds.py --check   # fail if any file differs

The feeds are small and made up; each holds a shape that real feeds have and
that has broken feed readers: Shift_JIS titles with 0x5C trail bytes, CRLF
line ends, multi-line CDATA titles, links on lines of their own, channel and
image titles and links before the items, upper-case CDF, EUC-JP with
half-width katakana and NEC's special characters, UTF-16 with and without
byte order mark, Atom 0.3 and 1.0, empty feeds.
"""
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent


def rss20(channel_title, items, decl="", extra_head=""):
    head = f'<?xml version="1.0"{decl}?>\n' if decl is not None else ""
    body = "".join(items)
    return (f'{head}<rss version="2.0">\n<channel>\n<title>{channel_title}</title>\n'
            f"<link>http://example.jp/</link>\n<description>test</description>\n"
            f"{extra_head}{body}</channel>\n</rss>\n")


def item(title, link):
    return f"<item>\n<title>{title}</title>\n<link>{link}</link>\n</item>\n"


FEEDS = {}


def feed(name, text, encoding, shortcuts, crlf=False, bom=b""):
    if crlf:
        text = text.replace("\n", "\r\n")
    FEEDS[name] = (bom + text.encode(encoding), shortcuts)


# Shift_JIS, RSS 1.0: kanji and katakana whose trail byte is 0x5C (表 95 5C,
# ソ 83 5C, 能 94 5C, 予 97 5C, 十 8F 5C) or 0x7C (ポ 83 7C) stay whole, while
# an ASCII backslash, '?', '|' and '/' in the same titles become full-width.
# The channel, the image and the text input carry titles and links of their
# own, before and after the items.
feed("sjis_rss10_5c_trail.rdf", """<?xml version="1.0" encoding="Shift_JIS"?>
<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/">
<channel rdf:about="http://example.jp/sjis/">
<title>予定表チャンネル</title>
<link>http://example.jp/sjis/</link>
<description>表示のテスト</description>
<items><rdf:Seq>
<rdf:li rdf:resource="http://example.jp/sjis/1"/>
</rdf:Seq></items>
</channel>
<image rdf:about="http://example.jp/logo.png">
<title>ロゴ表示</title>
<link>http://example.jp/sjis/</link>
<url>http://example.jp/logo.png</url>
</image>
<item rdf:about="http://example.jp/sjis/1">
<title>表計算ソフトの予定表</title>
<link>http://example.jp/sjis/1</link>
</item>
<item rdf:about="http://example.jp/sjis/2">
<title>能力は十分?</title>
<link>http://example.jp/sjis/2?a=1&amp;b=2</link>
</item>
<item rdf:about="http://example.jp/sjis/3">
<title>ソース\\コード/ポイント|一覧</title>
<link>http://example.jp/sjis/3</link>
</item>
<item rdf:about="http://example.jp/sjis/4">
<title>十月の予報: 雨</title>
<link>http://example.jp/sjis/4</link>
</item>
<textinput rdf:about="http://example.jp/search">
<title>検索表</title>
<link>http://example.jp/search</link>
</textinput>
</rdf:RDF>
""", "cp932", [
    ("表計算ソフトの予定表", "http://example.jp/sjis/1"),
    ("能力は十分？", "http://example.jp/sjis/2?a=1&b=2"),
    ("ソース￥コード／ポイント｜一覧", "http://example.jp/sjis/3"),
    ("十月の予報： 雨", "http://example.jp/sjis/4"),
])

# ASCII RSS 2.0 with CRLF line ends: an item without a title and one without
# a link give no shortcut and the scan goes on; a line break inside a title
# becomes a blank; the three spellings of the ampersand in links; a link of
# another scheme is skipped.
feed("ascii_rss20_crlf.xml", rss20("CRLF news", [
    item("First story", "http://example.org/news/1"),
    "<item>\n<description>no title</description>\n<link>http://example.org/news/x</link>\n"
    "</item>\n",
    "<item>\n<title>No link here</title>\n</item>\n",
    item("Split\nover two lines", "http://example.org/news/2"),
    item("Is it 50/50?", "http://example.org/news?id=3&amp;p=1&#38;q=2&#x26;r=3"),
    item("An ftp link", "ftp://example.org/news/4"),
    item("Last story", "http://example.org/news/5"),
], decl=""), "ascii", [
    ("First story", "http://example.org/news/1"),
    ("Split over two lines", "http://example.org/news/2"),
    ("Is it 50／50？", "http://example.org/news?id=3&p=1&q=2&r=3"),
    ("Last story", "http://example.org/news/5"),
], crlf=True)

# RSS 1.0 without an XML declaration and with CRLF line ends, every title a
# CDATA section over several lines and every link on a line of its own: the
# title is unwrapped and its lines joined by one blank, the link's breaks and
# indentation trimmed.
feed("ascii_rss10_multiline_cdata.rdf",
     """<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/">
<channel rdf:about="http://example.org/papers">
<title>Papers</title>
<link>http://example.org/papers</link>
</channel>
<item rdf:about="http://example.org/papers/1">
<title><![CDATA[Moss grows on
 the north side ]]></title>
<link>
http://example.org/papers/1?rss=1
</link>
</item>
<item rdf:about="http://example.org/papers/2">
<title><![CDATA[
Three lines
of title]]></title>
<link>
    http://example.org/papers/2
  </link>
</item>
</rdf:RDF>
""", "ascii", [
         ("Moss grows on the north side", "http://example.org/papers/1?rss=1"),
         ("Three lines of title", "http://example.org/papers/2"),
     ], crlf=True)

# Upper-case CDF: the channel's TITLE and LINK come first; an ITEM with only
# an HREF has no link; an upper-case ITEM with TITLE and LINK counts like a
# lower-case one; mixed-case tags are not found, which ends the scan.
feed("ascii_cdf_uppercase.cdf", """<?XML VERSION="1.0"?>
<CHANNEL HREF="http://example.org/cdf/">
<TITLE>Upper-case CDF</TITLE>
<LINK>http://example.org/cdf/</LINK>
<ITEM HREF="http://example.org/cdf/1"><TITLE>Only an HREF</TITLE></ITEM>
<ITEM HREF="http://example.org/cdf/2">
<TITLE>With a LINK</TITLE>
<LINK>http://example.org/cdf/2</LINK>
</ITEM>
<ITEM><TITLE>Plain ITEM</TITLE><LINK>http://example.org/cdf/3</LINK></ITEM>
<Item><Title>Mixed case</Title><Link>http://example.org/cdf/4</Link></Item>
</CHANNEL>
""", "ascii", [
    ("With a LINK", "http://example.org/cdf/2"),
    ("Plain ITEM", "http://example.org/cdf/3"),
])

# EUC-JP, RSS 0.91, fifteen items, half-width katakana (8E xx) among the
# kanji: they come out as the single bytes of Shift_JIS.
EUC_ITEMS = [
    ("ﾃﾚﾋﾞ番組表の見方", "tv"),
    ("HDD･DVDﾚｺｰﾀﾞｰの比較", "hdd"),
    ("春の新作ｹﾞｰﾑ一覧", "game"),
    ("ﾊﾟｿｺﾝ教室のお知らせ", "pc"),
    ("駅前にｶﾌｪが開店", "cafe"),
    ("ﾗｼﾞｵ体操の会", "radio"),
    ("市民ﾏﾗｿﾝ大会の結果", "marathon"),
    ("図書館の休館日", "library"),
    ("ｺﾝｻｰﾄの整理券", "concert"),
    ("天気予報と花粉情報", "weather"),
    ("ｻｯｶｰ教室の募集", "soccer"),
    ("古い写真の保存方法", "photo"),
    ("ﾒｰﾙﾏｶﾞｼﾞﾝ第十号", "mail"),
    ("夏祭りの準備", "matsuri"),
    ("ｷｬﾝﾌﾟ場の予約", "camp"),
]
feed("eucjp_rss091_halfwidth_kana.xml",
     '<?xml version="1.0" encoding="EUC-JP"?>\n<rss version="0.91">\n<channel>\n'
     "<title>町内のお知らせ</title>\n<link>http://example.jp/euc/</link>\n"
     "<description>回覧板とﾆｭｰｽ</description>\n<language>ja</language>\n"
     "<image>\n<title>町内ﾆｭｰｽ</title>\n<url>http://example.jp/euc/logo.gif</url>\n"
     "<link>http://example.jp/euc/</link>\n</image>\n"
     + "".join(item(t, f"http://example.jp/euc/{s}.html") for t, s in EUC_ITEMS)
     + "</channel>\n</rss>\n",
     "euc_jp", [(t, f"http://example.jp/euc/{s}.html") for t, s in EUC_ITEMS])

# UTF-16 in both byte orders, with and without the byte order mark (found by
# its zero bytes then). A character without a Shift_JIS form is written as
# its closest one: é as e, ő as its base letter o.
UTF16_TEXT = rss20("ユニコード", [
    item("日本語のタイトル", "http://example.jp/u16/1"),
    item("Győr és Pécs", "http://example.jp/u16/2"),
    item("全角？と半角?", "http://example.jp/u16/3"),
], decl=' encoding="UTF-16"')
UTF16_SHORTCUTS = [
    ("日本語のタイトル", "http://example.jp/u16/1"),
    ("Gyor es Pecs", "http://example.jp/u16/2"),
    ("全角？と半角？", "http://example.jp/u16/3"),
]
feed("utf16le_bom_rss20.xml", UTF16_TEXT, "utf-16-le", UTF16_SHORTCUTS, bom=b"\xff\xfe")
feed("utf16be_bom_rss20.xml", UTF16_TEXT, "utf-16-be", UTF16_SHORTCUTS, bom=b"\xfe\xff")
feed("utf16le_nobom_rss20.xml", UTF16_TEXT, "utf-16-le", UTF16_SHORTCUTS)
feed("utf16be_nobom_rss20.xml", UTF16_TEXT, "utf-16-be", UTF16_SHORTCUTS)

# UTF-8 with a byte order mark and CRLF line ends.
feed("utf8_bom_rss20_crlf.xml", rss20("日記", [
    item("今日の出来事", "http://example.jp/u8/1"),
    item("明日の予定：買い物", "http://example.jp/u8/2"),
], decl=' encoding="UTF-8"'), "utf-8", [
    ("今日の出来事", "http://example.jp/u8/1"),
    ("明日の予定：買い物", "http://example.jp/u8/2"),
], crlf=True, bom=b"\xef\xbb\xbf")

# EUC-JP with NEC's special characters (row 13: circled digits, Roman
# numerals, the "kabushiki" sign), written as raw bytes since Python's EUC-JP
# codec lacks them; they come out as their Shift_JIS codes 0x8740...
NEC_ROW13 = {"①": b"\xad\xa1", "②": b"\xad\xa2", "Ⅲ": b"\xad\xb7", "㈱": b"\xad\xea"}


def euc_with_nec(text):
    out = b""
    for ch in text:
        out += NEC_ROW13.get(ch) or ch.encode("euc_jp")
    return out


FEEDS["eucjp_nec_rss20.xml"] = (euc_with_nec(rss20("会報", [
    item("①総会のお知らせ", "http://example.jp/nec/1"),
    item("②会計報告", "http://example.jp/nec/2"),
    item("第Ⅲ期の予定と㈱山田", "http://example.jp/nec/3"),
], decl=' encoding="EUC-JP"')), [
    ("①総会のお知らせ", "http://example.jp/nec/1"),
    ("②会計報告", "http://example.jp/nec/2"),
    ("第Ⅲ期の予定と㈱山田", "http://example.jp/nec/3"),
])

# Atom 1.0 in UTF-8 behind a comment: the entry's alternate link counts, not
# the feed's own links nor an entry's self, short or related ones; an entry
# without a link gives no shortcut and the scan goes on.
feed("utf8_atom10.xml", """<?xml version="1.0" encoding="utf-8"?>
<!-- written by hand -->
<feed xmlns="http://www.w3.org/2005/Atom">
<title>アトムの記録</title>
<link rel="alternate" type="text/html" href="http://example.jp/atom/"/>
<link rel="self" href="http://example.jp/atom/feed.xml"/>
<entry>
<title>最初の記事</title>
<link rel="alternate" type="text/html" href="http://example.jp/atom/1"/>
<link rel="shorturl" href="http://ex.jp/1"/>
<link rel="related" href="http://example.org/other"/>
<id>tag:example.jp,2026:1</id>
</entry>
<entry>
<title>リンクなし</title>
<id>tag:example.jp,2026:2</id>
</entry>
<entry>
<link rel="self" href="http://example.jp/atom/3.atom"/>
<title>三つ目: 終わり?</title>
<link href="http://example.jp/atom/3?x=1&amp;y=2"/>
</entry>
</feed>
""", "utf-8", [
    ("最初の記事", "http://example.jp/atom/1"),
    ("三つ目： 終わり？", "http://example.jp/atom/3?x=1&y=2"),
])

# Atom 0.3 in Shift_JIS, with 0x5C trail bytes in its titles.
feed("sjis_atom03.xml", """<?xml version="1.0" encoding="Shift_JIS"?>
<feed version="0.3" xmlns="http://purl.org/atom/ns#">
<title>日記表</title>
<link rel="alternate" type="text/html" href="http://example.jp/a03/"/>
<entry>
<title>表現の能力</title>
<link rel="alternate" type="text/html" href="http://example.jp/a03/1"/>
</entry>
<entry>
<title>ソフトの予定</title>
<link rel="alternate" type="text/html" href="http://example.jp/a03/2"/>
</entry>
</feed>
""", "cp932", [
    ("表現の能力", "http://example.jp/a03/1"),
    ("ソフトの予定", "http://example.jp/a03/2"),
])

# An empty file, and a feed with a channel and no items.
feed("empty.xml", "", "ascii", [])
feed("no_items_rss20.xml", rss20("Nothing yet", [], decl=""), "ascii", [])


def expected_bytes(shortcuts):
    return "".join(f"{name}\t{link}\n" for name, link in shortcuts).encode("cp932")


def main():
    check = sys.argv[1:] == ["--check"]
    stale = []
    for name, (data, shortcuts) in FEEDS.items():
        for path, content in ((HERE / name, data),
                              (HERE / (name + ".expected"), expected_bytes(shortcuts))):
            if check:
                if not path.exists() or path.read_bytes() != content:
                    stale.append(path.name)
            else:
                path.write_bytes(content)
    if stale:
        print("out of date (run python3 tests/feeds/make_feeds.py): " + " ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
