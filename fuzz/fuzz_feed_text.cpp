// Feeds arbitrary bytes through NormalizeFeedText and ScanFeedItems, as they
// are and as the body of an Atom feed, and through the title rules of each
// kind of markup, and checks that every emitted title is a safe file name
// and every link an absolute http(s) URL. The one-pass
// rewrites and the string search are compared with the plain forms they
// replace. Seed it with real feeds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "feed/feed_text.h"
#include "tests/native/feed_text_reference.h"
#include "feed/item_scan.h"
#include "feed/title_markup.h"
#include "framework/cstring.h"

namespace
{

// Longest input that also goes whole through each title and link rule and is
// compared with their plain forms. Those take a score of passes, and the plain
// tag removal costs the square of the open tags: on inputs up to the full
// length they took about three quarters of the time. A kilobyte reaches every
// branch of them, and longer inputs still reach them through their items.
constexpr size_t kWholeInputLength = 1024;

void Fail(const char* what, const CString& s)
{
    std::fprintf(stderr, "%s: [", what);
    for (int i = 0; i < s.GetLength(); ++i)
        std::fprintf(stderr, "%02X ", static_cast<unsigned char>(s.GetAt(i)));
    std::fprintf(stderr, "]\n");
    std::abort();
}

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

void CheckTitle(const CString& title)
{
    const std::string& s = title.str();
    if (s.empty()) Fail("empty title", title);
    if (s.find_first_not_of(". ") == std::string::npos) Fail("title of dots and blanks", title);
    if (s.front() == ' ' || s.back() == ' ') Fail("title not trimmed", title);
    if (IsReservedDeviceName(title)) Fail("device name", title);
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (sjis::IsLeadByte(c)) {
            if (i + 1 >= s.size()) Fail("lone lead byte", title);
            if (!sjis::IsTrailByte(static_cast<unsigned char>(s[i + 1])))
                Fail("lead byte without trail byte", title);
            i += 2;
            continue;
        }
        if (IsControl(c)) Fail("control character in title", title);
        if (std::strchr("\\/:*?\"<>|", static_cast<char>(c))) Fail("forbidden character", title);
        ++i;
    }
}

void CheckLink(const CString& link)
{
    const std::string& s = link.str();
    if (!ascii::StartsWithNoCase(s.data(), s.size(), "http://") &&
        !ascii::StartsWithNoCase(s.data(), s.size(), "https://"))
        Fail("link not http(s)", link);
    for (char c : s)
        if (IsControl(static_cast<unsigned char>(c))) Fail("control character in link", link);
}

// The plain character walk that sjis::Find must agree with.
size_t WalkingFind(const std::string& text, const char* pat, size_t from)
{
    const size_t n = std::strlen(pat);
    for (size_t i = from; i + n <= text.size(); i += sjis::CharLength(text.data(), i, text.size()))
        if (text.compare(i, n, pat) == 0) return i;
    return std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string raw(reinterpret_cast<const char*>(data), size);

    const auto check = [](const CString& title, const CString& link) {
        CheckTitle(title);
        CheckLink(link);
    };
    CString text(raw);
    NormalizeFeedText(text);
    ScanFeedItems(text, check);
    // The same bytes as the body of an Atom feed, so that every input also
    // goes through the entry scan.
    CString atom("<feed>" + raw);
    NormalizeFeedText(atom);
    ScanFeedItems(atom, check);

    // The mends on their own, with the whole input as title or link.
    if (size <= kWholeInputLength) {
        CString title(raw);
        if (MakeItemFileTitle(title)) CheckTitle(title);
        CString link(raw);
        if (MakeSafeLink(link)) CheckLink(link);
        for (const TitleMarkup markup : {TitleMarkup::Rss, TitleMarkup::AtomText,
                                         TitleMarkup::AtomHtml, TitleMarkup::AtomXhtml}) {
            CString name(raw), steps(raw);
            const bool named = MakeItemName(name, markup);
            if (named) CheckTitle(name);
            if (named != reference::MakeItemName(steps, markup) || (named && name != steps))
                Fail("MakeItemName differs from its steps", CString(raw));
        }
        for (const TagsRemoved which : {TagsRemoved::All, TagsRemoved::Inline})
            if (RemoveTags(raw, which) != reference::RemoveTags(raw, which))
                Fail("RemoveTags differs from the plain search", CString(raw));
        CString decodedLink(raw);
        if (MakeItemLink(decodedLink)) CheckLink(decodedLink);
        for (const char* pat : {"<", "\x81", "</item>", "&amp;"}) {
            const size_t n = std::strlen(pat);
            const size_t expected = WalkingFind(raw, pat, 0);
            if (sjis::Find(raw.data(), raw.size(), pat, n, 0) != expected ||
                sjis::FindPortable(raw.data(), raw.size(), pat, n, 0) != expected)
                Fail("sjis::Find disagrees with the walk", CString(raw));
        }
        CString fast(raw), slow(raw);
        NormalizeFeedText(fast);
        reference::NormalizeFeedText(slow);
        if (fast != slow) Fail("NormalizeFeedText differs from the ten steps", CString(raw));
        CString fastName(raw), slowName(raw);
        SanitizeFileName(fastName);
        reference::SanitizeFileName(slowName);
        if (fastName != slowName) Fail("SanitizeFileName differs from the steps", CString(raw));
    }
    return 0;
}
