// The RSS item scan (RSS 0.9x, 1.0 and 2.0, and CDF once normalised).
#include <cstring>

#include "feed/feed_scans.h"
#include "feed/item_text.h"

namespace
{

// Text between `open` and `close`, both searched by characters from the
// start of the `length` bytes at `body`. Returns false if either tag is
// missing.
bool TakeBetween(const char* body, size_t length, const char* open, const char* close, CString& out)
{
    const size_t openLength = std::strlen(open);
    const size_t start = sjis::Find(body, length, open, openLength, 0);
    if (start == std::string::npos) return false;
    const size_t end = sjis::Find(body, length, close, std::strlen(close), 0);
    if (end == std::string::npos) return false;
    const size_t first = start + openLength;
    out = first < end ? CString(body + first, static_cast<int>(end - first)) : CString();
    return true;
}

} // namespace

void ScanRssItems(const CString& text, const ItemSink& emit)
{
    static const char kItemOpen[] = "<item>";
    static const char kItemClose[] = "</item>";
    const int itemOpenLength = static_cast<int>(sizeof(kItemOpen) - 1);
    const int itemCloseLength = static_cast<int>(sizeof(kItemClose) - 1);

    CString title;
    CString link;
    int position = 0;
    for (;;) {
        const int open = text.Find(kItemOpen, position);
        const int close = text.Find(kItemClose, position);
        if (open < 0 || close < 0) return;
        const int bodyStart = open + itemOpenLength;
        position = close + itemCloseLength;
        if (close - bodyStart <= 0) continue; // empty item, or a stray "</item>"
        // The body is searched where it stands, as if cut out on its own.
        const char* const body = text.GetString() + bodyStart;
        const size_t bodyLength = static_cast<size_t>(close - bodyStart);

        if (!TakeBetween(body, bodyLength, "<title>", "</title>", title)) continue;
        if (!TakeBetween(body, bodyLength, "<link>", "</link>", link)) continue;
        if (!MakeItemLink(link)) continue;
        if (!MakeItemName(title, TitleMarkup::Rss)) continue;
        emit(title, link);
    }
}
