// Prints the throughput of NormalizeFeedText + ScanFeedItems (which sanitises
// every title) on generated feeds of 1 MB and 10 MB, so that growth with the
// feed size can be read off one run; then, for each character code, the whole
// path of a changed 10 MB feed file: DecodeFeedFile, NormalizeFeedText and
// ScanFeedItems down to the file names, beside DecodeFeedFile alone and a
// plain iconv call from that code to CP932:
//   BENCH case=whole_<code> mb=<file MB> mbps=<x> decode_mbps=<y> iconv_mbps=<z> ...
// The file lies in the page cache (written just before); every figure is the
// median of the rounds in CPU time of the thread, counted in file bytes.
#include <iconv.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "feed/decode_feed.h"
#include "feed/feed_text.h"
#include "feed/item_scan.h"
#include "tests/native/jis_iconv_reference.h"
#include "tests/native/temp_dir.h"

namespace
{

// One item of about `itemBytes` bytes: an RSS 1.0 item tag with attribute,
// a Shift_JIS title with characters whose trail byte is 0x5C, a link with
// escaped ampersands and a CDATA description padded with Japanese text.
std::string MakeItem(int n, size_t itemBytes, bool japanese)
{
    char head[512];
    std::snprintf(head, sizeof head,
                  "<item rdf:about=\"http://example.jp/a/%d.html\">\n"
                  "<title>\x93\xFA\x96{\x91\xE3\x95\\ No.%d: Q&amp;A \x83\x5C\x83\x7C?</title>\n"
                  "<link>http://example.jp/a/%d.html?x=1&amp;y=2</link>\n"
                  "<description><![CDATA[",
                  n, n, n);
    std::string item = head;
    static const char kJapanese[] = "\x82\xB1\x82\xEA\x82\xCD\x96{\x95\xB6\x82\xC5\x82\xB7\x81\x42 "
                                    "Some text &amp; <b>markup</b>. ";
    static const char kAscii[] = "This is the text of the item. Some text &amp; <b>markup</b>. ";
    const char* const kFiller = japanese ? kJapanese : kAscii;
    const std::string tail = "]]></description>\n<dc:date>2006-01-03T04:02:00+09:00</dc:date>\n"
                             "</item>\n";
    const size_t fillerLength = std::strlen(kFiller);
    while (item.size() + fillerLength + tail.size() <= itemBytes)
        item += kFiller;
    if (item.size() + tail.size() < itemBytes)
        item.append(itemBytes - item.size() - tail.size(), ' ');
    return item + tail;
}

std::string MakeFeed(size_t totalBytes, int items, bool japanese = true)
{
    std::string feed = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<rdf:RDF>\n"
                       "<channel><title>Bench</title><link>http://example.jp/</link></channel>\n";
    const size_t itemBytes = totalBytes / static_cast<size_t>(items);
    for (int i = 0; i < items; ++i)
        feed += MakeItem(i, itemBytes, japanese);
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

// CPU seconds of this thread (user and system, page faults included): the
// machine is shared, and time spent waiting for a core is not the code's.
double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double MedianSeconds(int rounds, const std::function<void()>& run)
{
    std::vector<double> seconds;
    for (int r = 0; r < rounds; ++r) {
        const double start = ThreadSeconds();
        run();
        seconds.push_back(ThreadSeconds() - start);
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

// The whole path of one feed file in `code`, made from the Shift_JIS feed.
void RunWhole(const char* name, const char* code, const std::string& sjisFeed, int items)
{
    std::string bytes;
    if (!jistest::Iconv(code, "CP932", sjisFeed, bytes))
        std::printf("BENCH error: iconv CP932 to %s stopped\n", code);
    TempDir dir;
    dir.write("dl.dat", bytes);
    const std::string file = dir.file("dl.dat");
    const char* path = file.c_str();
    const double mb = static_cast<double>(bytes.size()) / 1e6;
    const int rounds = 15;

    int emitted = 0;
    const double whole = MedianSeconds(rounds, [&] {
        CString text;
        DecodeFeedFile(path, text);
        NormalizeFeedText(text);
        emitted = 0;
        ScanFeedItems(text, [&](const CString&, const CString&) { ++emitted; });
    });
    const double decode = MedianSeconds(rounds, [&] {
        CString text;
        DecodeFeedFile(path, text);
    });

    iconv_t cd = iconv_open("CP932", code);
    std::vector<char> out(bytes.size() * 4 + 4);
    const double viaIconv = MedianSeconds(rounds, [&] {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = bytes.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        while (inLeft > 0 && iconv(cd, &in, &inLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            if (errno != EILSEQ) break;
            ++in;
            --inLeft;
        }
    });
    iconv_close(cd);

    std::printf("BENCH case=whole_%s mb=%.1f mbps=%.0f decode_mbps=%.0f iconv_mbps=%.0f "
                "emitted=%d rounds=%d\n",
                name, mb, mb / whole, mb / decode, mb / viaIconv, emitted, rounds);
    if (emitted != items) std::printf("BENCH error: expected %d items\n", items);
}

} // namespace

int main()
{
    Run("feed_text_1mb", 1000000, 2000);
    Run("feed_text_10mb", 10000000, 20000);

    const int items = 20000;
    const std::string feed = MakeFeed(10000000, items);
    RunWhole("eucjp", "EUC-JP", feed, items);
    RunWhole("iso2022jp", "ISO-2022-JP", feed, items);
    RunWhole("utf8_japanese", "UTF-8", feed, items);
    RunWhole("utf16le", "UTF-16LE", feed, items);
    RunWhole("utf16be", "UTF-16BE", feed, items);
    RunWhole("utf8_mostly_ascii", "UTF-8", MakeFeed(10000000, items, false), items);
    RunWhole("sjis", "CP932", feed, items);
    return 0;
}
