// Throughput of the jis1997 conversions against glibc iconv and ICU, with
// memcpy as the ceiling, on about 10 MB of text per code: made from real feeds
// when the feed corpus is there, otherwise generated here (Japanese news feeds
// in EUC-JP, and an English feed with a little Japanese).
// Prints one line per case:
//   BENCH case=<name> mb=<input MB> ours_mbps=<x> iconv_mbps=<y> icu_mbps=<z> memcpy_mbps=<m>
// and one per case for DecodeFeedFile end to end (file read and detection
// included; the iconv and ICU figures there are the same conversions).
#include <iconv.h>
#include <unicode/ucnv.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "feed/decode_feed.h"
#include "jis1997/jis1997.h"
#include "tests/native/feed_corpus.h"
#include "tests/native/read_file.h"
#include "tests/native/temp_dir.h"

namespace
{

constexpr size_t kTargetBytes = 10 * 1000 * 1000;
constexpr int kRuns = 5;

std::string ReadFeed(const char* rel)
{
    std::string bytes;
    testfiles::ReadFile(feedcorpus::Path(rel), bytes);
    return bytes;
}

std::string Repeat(const std::string& s, size_t target)
{
    std::string out;
    if (s.empty()) return out; // no corpus
    out.reserve(target + s.size());
    while (out.size() < target)
        out += s;
    return out;
}

std::string IconvAll(const char* to, const char* from, const std::string& in)
{
    iconv_t cd = iconv_open(to, from);
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    while (srcLeft > 0 && iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
        ++src; // skip what cannot be converted
        --srcLeft;
    }
    iconv_close(cd);
    return std::string(buf.data(), dst);
}

// EUC-JP to ISO-2022-JP, enough for the generated text.
std::string EucToIso2022(const std::string& euc)
{
    enum { kAscii, kKanji, kKana } mode = kAscii;
    std::string out;
    for (size_t i = 0; i < euc.size(); ++i) {
        const unsigned char c = euc[i];
        if (c < 0x80) {
            if (mode != kAscii) out += "\x1B(B";
            mode = kAscii;
            out += static_cast<char>(c);
        } else if (c == 0x8E && i + 1 < euc.size()) {
            if (mode != kKana) out += "\x1B(I";
            mode = kKana;
            out += static_cast<char>(euc[++i] & 0x7F);
        } else if (c >= 0xA1 && i + 1 < euc.size()) {
            if (mode != kKanji) out += "\x1B$B";
            mode = kKanji;
            out += static_cast<char>(c & 0x7F);
            out += static_cast<char>(euc[++i] & 0x7F);
        }
    }
    return out;
}

// Generated input: a fixed sequence, so that every run converts the same text.
class TextMaker
{
public:
    uint32_t Below(uint32_t n)
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return static_cast<uint32_t>(m_state % n);
    }

    // One JIS X 0208 character in EUC-JP, by row and cell.
    void Jis(int row, int cell)
    {
        m_text += static_cast<char>(0xA0 + row);
        m_text += static_cast<char>(0xA0 + cell);
    }

    // A run of Japanese words: kanji with hiragana endings, some katakana
    // words, a few half-width katakana, digits and punctuation.
    void Japanese(size_t chars)
    {
        const size_t end = m_text.size() + 2 * chars;
        while (m_text.size() < end) {
            const uint32_t kind = Below(100);
            if (kind < 45) {
                for (uint32_t n = 1 + Below(3); n > 0; --n) // levels 1 and 2
                    Below(5) ? Jis(16 + Below(31), 1 + Below(94)) : Jis(48 + Below(36), 1 + Below(94));
                for (uint32_t n = Below(4); n > 0; --n)
                    Jis(4, 1 + Below(83));
            } else if (kind < 80) {
                for (uint32_t n = 1 + Below(5); n > 0; --n)
                    Jis(4, 1 + Below(83));
            } else if (kind < 92) {
                for (uint32_t n = 2 + Below(5); n > 0; --n)
                    Jis(5, 1 + Below(86));
                if (!Below(4)) Jis(1, 28); // the long vowel mark
            } else if (kind < 95) {
                for (uint32_t n = 2 + Below(4); n > 0; --n) {
                    m_text += '\x8E';
                    m_text += static_cast<char>(0xA1 + Below(63));
                }
            } else if (kind < 98) {
                m_text += std::to_string(Below(10000));
            } else {
                Jis(1, 2 + Below(2)); // the comma and the full stop
            }
        }
    }

    // ASCII words, with one Japanese word in about `japanesePer` words.
    void English(size_t words, uint32_t japanesePer)
    {
        static const char* const kWords[] = {"the",    "feed",    "of",     "news",  "and",
                                             "update", "release", "server", "to",    "a",
                                             "with",   "episode", "review", "today", "new"};
        for (size_t i = 0; i < words; ++i) {
            if (!Below(japanesePer))
                Japanese(2 + Below(4));
            else
                m_text += kWords[Below(sizeof kWords / sizeof kWords[0])];
            m_text += ' ';
        }
    }

    // An RSS 2.0 feed in EUC-JP of about `target` bytes, declared to be in
    // `encoding` (the code it is converted to before use).
    std::string Feed(size_t target, bool japanese, const std::string& encoding)
    {
        m_text = "<?xml version=\"1.0\" encoding=\"" + encoding +
                 "\"?>\n<rss version=\"2.0\"><channel>\n";
        for (int n = 0; m_text.size() < target; ++n) {
            m_text += "<item>\n<title>";
            japanese ? Japanese(8 + Below(24)) : English(6 + Below(8), 60);
            m_text += "</title>\n<link>http://example.jp/news/" + std::to_string(n) +
                      ".html?a=1&amp;b=2</link>\n<description><![CDATA[<p>";
            japanese ? Japanese(100 + Below(300)) : English(60 + Below(200), 400);
            m_text += "</p>]]></description>\n<pubDate>Tue, 08 Dec 2026 10:00:00 +0900</pubDate>\n"
                      "</item>\n";
        }
        return m_text + "</channel></rss>\n";
    }

private:
    uint64_t m_state = 0x9E3779B97F4A7C15ull;
    std::string m_text;
};

double BestMbps(size_t bytes, const std::function<void()>& run)
{
    double best = 0;
    for (int r = 0; r < kRuns; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::max(best, bytes / s / 1e6);
    }
    return best;
}

struct Case {
    std::string name;
    std::string text;
    const char* iconvCode;
    const char* icuCode;
    std::function<uint32_t(char*, char*, const char*, uint32_t)> ours;
};

void Run(const Case& c)
{
    const uint32_t n = static_cast<uint32_t>(c.text.size());
    std::vector<char> src(c.text.begin(), c.text.end());
    src.resize(n + 4, '\0');
    std::vector<char> dst(size_t(n) * 4 + 4), mid(size_t(n) * 4 + 4);
    volatile uint32_t sink = 0;

    const double ours =
        BestMbps(n, [&] { sink = sink + c.ours(dst.data(), mid.data(), src.data(), 4 * n); });

    iconv_t cd = iconv_open("CP932//IGNORE", c.iconvCode);
    const double viaIconv = BestMbps(n, [&] {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = src.data();
        size_t inLeft = n;
        char* out = dst.data();
        size_t outLeft = dst.size();
        while (inLeft > 0 && iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
            if (errno != EILSEQ) break;
            ++in;
            --inLeft;
        }
        sink = sink + static_cast<uint32_t>(out - dst.data());
    });
    iconv_close(cd);

    UErrorCode err = U_ZERO_ERROR;
    UConverter* from = ucnv_open(c.icuCode, &err);
    UConverter* to = ucnv_open("windows-31j", &err);
    std::vector<UChar> pivot(64 * 1024);
    const double viaIcu = BestMbps(n, [&] {
        UErrorCode e = U_ZERO_ERROR;
        char* out = dst.data();
        const char* in = src.data();
        UChar* ps = pivot.data();
        UChar* pt = pivot.data();
        ucnv_convertEx(to, from, &out, dst.data() + dst.size(), &in, src.data() + n, pivot.data(),
                       &ps, &pt, pivot.data() + pivot.size(), true, true, &e);
        sink = sink + static_cast<uint32_t>(out - dst.data());
    });
    ucnv_close(from);
    ucnv_close(to);
    if (U_FAILURE(err)) std::printf("ICU: %s\n", u_errorName(err));

    const double copy = BestMbps(n, [&] {
        std::memcpy(dst.data(), src.data(), n);
        sink = sink + static_cast<unsigned char>(dst[n / 2]);
    });

    std::printf(
        "BENCH case=%s mb=%.2f ours_mbps=%.0f iconv_mbps=%.0f icu_mbps=%.0f memcpy_mbps=%.0f\n",
        c.name.c_str(), n / 1e6, ours, viaIconv, viaIcu, copy);

    TempDir dir;
    dir.write("feed.xml", c.text);
    const std::string path = dir.file("feed.xml");
    CString out;
    const double decode = BestMbps(n, [&] { DecodeFeedFile(path.c_str(), out); });
    std::printf("BENCH case=decodefeed_%s mb=%.2f ours_mbps=%.0f iconv_mbps=%.0f icu_mbps=%.0f "
                "memcpy_mbps=%.0f\n",
                c.name.c_str(), n / 1e6, decode, viaIconv, viaIcu, copy);
}

} // namespace

int main()
{
    const std::string missing = feedcorpus::Missing();
    std::string euc, utf8, ascii;
    if (missing.empty()) {
        euc = Repeat(ReadFeed("chardet/eucjp_rss10_siesta.co.jp.aozora.xml") +
                         ReadFeed("chardet/eucjp_rss091_halfwidth-kana_artifact-jp.com.xml"),
                     kTargetBytes);
        ascii = Repeat(ReadFeed("rss-parser/rss20_utf8_huge_giantbomb-podcast.rss"), kTargetBytes);
        utf8 = IconvAll("UTF-8", "EUC-JP", euc);
    }
    if (euc.size() < kTargetBytes || ascii.size() < kTargetBytes) {
        // The third-party corpus is optional; a corpus asked for must be there.
        std::printf("bench_jis1997: %s\n",
                    missing.empty() ? "the feed corpus lacks the feeds this benchmark reads"
                                    : missing.c_str());
        if (feedcorpus::Required()) return 1;
        std::printf("bench_jis1997: generated text instead\n");
        TextMaker maker;
        euc = maker.Feed(kTargetBytes, true, "EUC-JP");
        TextMaker same;
        utf8 = IconvAll("UTF-8", "EUC-JP", same.Feed(kTargetBytes, true, "UTF-8"));
        ascii = IconvAll("UTF-8", "EUC-JP", maker.Feed(kTargetBytes, false, "UTF-8"));
    }
    auto one = [](uint32_t (*f)(char*, const char*, uint32_t)) {
        return [f](char* dst, char*, const char* src, uint32_t max) { return f(dst, src, max); };
    };
    const Case cases[] = {
        {"eucjp", euc, "EUC-JP", "EUC-JP", one(JisEucToSjis)},
        {"iso2022jp", EucToIso2022(euc), "ISO-2022-JP", "ISO-2022-JP", one(JisIso2022ToSjis)},
        {"utf8_japanese", utf8, "UTF-8", "UTF-8", one(JisUtf8ToSjis)},
        {"utf16le", IconvAll("UTF-16LE", "UTF-8", utf8), "UTF-16LE", "UTF-16LE",
         one(JisUtf16LeToSjis)},
        {"utf16be", IconvAll("UTF-16BE", "UTF-8", utf8), "UTF-16BE", "UTF-16BE",
         one(JisUtf16BeToSjis)},
        {"utf8_mostly_ascii", ascii, "UTF-8", "UTF-8", one(JisUtf8ToSjis)},
    };
    for (const Case& c : cases)
        Run(c);
    return 0;
}
