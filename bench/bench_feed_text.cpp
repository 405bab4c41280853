// Prints the throughput of NormalizeFeedText + ScanFeedItems (which sanitises
// every title) on generated feeds of 1 MB and 10 MB, so that growth with the
// feed size can be read off one run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "feed/feed_text.h"
#include "feed/item_scan.h"

namespace
{

// One item of about `itemBytes` bytes: an RSS 1.0 item tag with attribute,
// a Shift_JIS title with characters whose trail byte is 0x5C, a link with
// escaped ampersands and a CDATA description padded with Japanese text.
std::string MakeItem(int n, size_t itemBytes)
{
    char head[512];
    std::snprintf(head, sizeof head,
                  "<item rdf:about=\"http://example.jp/a/%d.html\">\n"
                  "<title>\x93\xFA\x96{\x91\xE3\x95\\ No.%d: Q&amp;A \x83\x5C\x83\x7C?</title>\n"
                  "<link>http://example.jp/a/%d.html?x=1&amp;y=2</link>\n"
                  "<description><![CDATA[",
                  n, n, n);
    std::string item = head;
    static const char kFiller[] = "\x82\xB1\x82\xEA\x82\xCD\x96{\x95\xB6\x82\xC5\x82\xB7\x81\x42 "
                                  "Some text &amp; <b>markup</b>. ";
    const std::string tail = "]]></description>\n<dc:date>2006-01-03T04:02:00+09:00</dc:date>\n"
                             "</item>\n";
    const size_t fillerLength = sizeof(kFiller) - 1;
    while (item.size() + fillerLength + tail.size() <= itemBytes)
        item += kFiller;
    if (item.size() + tail.size() < itemBytes)
        item.append(itemBytes - item.size() - tail.size(), ' ');
    return item + tail;
}

std::string MakeFeed(size_t totalBytes, int items)
{
    std::string feed = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<rdf:RDF>\n"
                       "<channel><title>Bench</title><link>http://example.jp/</link></channel>\n";
    const size_t itemBytes = totalBytes / static_cast<size_t>(items);
    for (int i = 0; i < items; ++i)
        feed += MakeItem(i, itemBytes);
    return feed + "</rdf:RDF>\n";
}

void Run(const char* name, size_t totalBytes, int items)
{
    const std::string feed = MakeFeed(totalBytes, items);
    const double mb = static_cast<double>(feed.size()) / 1e6;
    const int rounds = std::max(3, static_cast<int>(200 / (mb + 1)));
    std::vector<double> seconds;
    int emitted = 0;
    for (int r = 0; r < rounds; ++r) {
        CString text(feed);
        emitted = 0;
        const auto start = std::chrono::steady_clock::now();
        NormalizeFeedText(text);
        ScanFeedItems(text, [&](const CString&, const CString&) { ++emitted; });
        const auto stop = std::chrono::steady_clock::now();
        seconds.push_back(std::chrono::duration<double>(stop - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("BENCH case=%s mb=%.1f items=%d emitted=%d rounds=%d median_ms=%.2f "
                "mbps=%.0f best_mbps=%.0f\n",
                name, mb, items, emitted, rounds, median * 1e3, mb / median, mb / seconds.front());
    if (emitted != items) std::printf("BENCH error: expected %d items\n", items);
}

} // namespace

int main()
{
    Run("feed_text_1mb", 1000000, 2000);
    Run("feed_text_10mb", 10000000, 20000);
    return 0;
}
