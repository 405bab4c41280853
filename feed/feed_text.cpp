#include "feed/feed_text.h"

#include <cstring>
#include <string>

#include "framework/cpu.h"

#if TANSY_SSE2
#include <emmintrin.h>
#endif

namespace
{

// True if a step may begin at p, a '<' or '&': "<I", "<T", "<L", "<i",
// "</I", "</T", "</L", "&a", "&#". Other markup is passed over at once.
bool MayStartStep(const char* p, const char* end)
{
    if (end - p < 2) return false;
    const char c = p[1];
    if (*p == '&') return c == 'a' || c == '#';
    if (c == '/') return end - p > 2 && (p[2] == 'I' || p[2] == 'T' || p[2] == 'L');
    return c == 'I' || c == 'T' || c == 'L' || c == 'i';
}

// The first position in [p, end) where MayStartStep holds, or end.
const char* NextStepPortable(const char* p, const char* end)
{
    for (; p < end; ++p)
        if ((*p == '<' || *p == '&') && MayStartStep(p, end)) return p;
    return end;
}

#if TANSY_SSE2
TANSY_SSE2_TARGET inline __m128i Is(__m128i x, char c)
{
    return _mm_cmpeq_epi8(x, _mm_set1_epi8(c));
}

// The same, sixteen positions at a time: the byte, the next and the one after.
TANSY_SSE2_TARGET const char* NextStepSse2(const char* p, const char* end)
{
    while (end - p >= 18) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
        const __m128i tagLetter = _mm_or_si128(_mm_or_si128(Is(y, 'I'), Is(y, 'T')),
                                               _mm_or_si128(Is(y, 'L'), Is(y, 'i')));
        const __m128i endTag = _mm_and_si128(
            Is(y, '/'), _mm_or_si128(_mm_or_si128(Is(z, 'I'), Is(z, 'T')), Is(z, 'L')));
        const __m128i tag = _mm_and_si128(Is(x, '<'), _mm_or_si128(tagLetter, endTag));
        const __m128i entity = _mm_and_si128(Is(x, '&'), _mm_or_si128(Is(y, 'a'), Is(y, '#')));
        const int mask = _mm_movemask_epi8(_mm_or_si128(tag, entity));
        if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
    return NextStepPortable(p, end);
}
#endif

const char* NextStep(const char* p, const char* end)
{
#if TANSY_SSE2
    // The CPU is asked once; NextStep runs once per candidate.
    static const bool sse2 = cpu::HasSse2();
    if (sse2) return NextStepSse2(p, end);
#endif
    return NextStepPortable(p, end);
}

bool At(const char* p, const char* end, const char* word, size_t length)
{
    return static_cast<size_t>(end - p) >= length && std::memcmp(p, word, length) == 0;
}

template <size_t N> bool At(const char* p, const char* end, const char (&word)[N])
{
    return At(p, end, word, N - 1);
}

// Rewrites the tag at p (a '<' that starts a character) in place if a tag
// step applies to it. Every tag step replaces a tag by one of the same
// length.
void RewriteTag(char* p, const char* end)
{
    const auto replace = [p, end](const char* from, const char* to, size_t length) {
        if (!At(p, end, from, length)) return false;
        std::memcpy(p, to, length);
        return true;
    };
    if (end - p < 6) {
        if (end - p == 5) replace("<ITEM", "<item", 5);
        return;
    }
    switch (p[1]) {
    case 'I':
        // Step 1 has no closing bracket; step 7 then closes "<item " too.
        if (replace("<ITEM", "<item", 5) && end - p > 5 && p[5] == ' ') p[5] = '>';
        break;
    case 'T':
        replace("<TITLE>", "<title>", 7);
        break;
    case 'L':
        replace("<LINK>", "<link>", 6);
        break;
    case 'i':
        replace("<item ", "<item>", 6);
        break;
    case '/':
        replace("</ITEM>", "</item>", 7) || replace("</TITLE>", "</title>", 8) ||
            replace("</LINK>", "</link>", 7);
        break;
    default:
        break;
    }
}

// Length of the ampersand spellings that start at p (an '&' that starts a
// character) and become one "&", or 0. "&amp;" may be followed by "#38;"
// and "#x26;", "&#38;" by "#x26;": each later step sees the "&" an earlier
// one left.
size_t AmpersandLength(const char* p, const char* end)
{
    const char* q = p;
    if (At(q, end, "&amp;")) {
        q += 5;
        if (At(q, end, "#38;")) q += 4;
        if (At(q, end, "#x26;")) q += 5;
    } else if (At(q, end, "&#38;")) {
        q += 5;
        if (At(q, end, "#x26;")) q += 5;
    } else if (At(q, end, "&#x26;")) {
        q += 6;
    }
    return static_cast<size_t>(q - p);
}

} // namespace

void NormalizeFeedText(CString& text)
{
    // One pass does what the ten replace-all steps do one after the other:
    // every step matches at a '<' or '&' that starts a character, no step's
    // pattern can begin inside another's replacement except where noted
    // above, and a replacement never changes how the bytes behind it pair
    // up into characters. No replacement is longer than what it replaces, so
    // the text is rewritten in place: `out` never passes `in`.
    std::string bytes = text.TakeString();
    char* const base = &bytes[0];
    const char* const end = base + bytes.size();
    char* out = base;        // end of the text written so far
    const char* kept = base; // start of the bytes not yet copied to `out`
    char* in = base;         // where the search goes on
    size_t boundary = 0;     // a position known to start a character
    while ((in = base + (NextStep(in, end) - base)) < end) {
        const size_t i = static_cast<size_t>(in - base);
        if (!sjis::IsBoundary(base, boundary, i)) {
            boundary = i + 1;
            ++in;
            continue;
        }
        boundary = i;
        if (*in == '<') {
            // Tag rewrites keep the length: they are made where the tag
            // stands and copied with the rest. A tag holds no other '<' or
            // '&', so the search may go on inside it.
            RewriteTag(in, end);
            ++in;
            continue;
        }
        const size_t length = AmpersandLength(in, end);
        if (length == 0) {
            ++in;
            continue;
        }
        if (out != kept) std::memmove(out, kept, static_cast<size_t>(in - kept));
        out += in - kept;
        *out++ = '&';
        in += length;
        kept = in;
        boundary = static_cast<size_t>(in - base);
    }
    if (out != kept) std::memmove(out, kept, static_cast<size_t>(end - kept));
    out += end - kept;
    bytes.resize(static_cast<size_t>(out - base));
    text = CString(std::move(bytes));
}

namespace
{

constexpr std::array<const char*, 256> MakeFileNameReplacements()
{
    std::array<const char*, 256> to{};
    to['\r'] = "";
    to['\n'] = "";
    to['\\'] = "\x81\x8F"; // full-width yen sign
    to['/'] = "\x81\x5E";
    to[':'] = "\x81\x46";
    to['*'] = "\x81\x96";
    to['?'] = "\x81\x48";
    to['"'] = "\x81\x68"; // right double quotation mark
    to['<'] = "\x81\x83";
    to['>'] = "\x81\x84";
    to['|'] = "\x81\x62";
    return to;
}

} // namespace

// Made by the compiler: a lookup for each character of a title costs no
// check of whether the table is made yet.
const std::array<const char*, 256> kFileNameReplacements = MakeFileNameReplacements();

void SanitizeFileName(CString& text)
{
    // One walk by characters does what the eleven replace-all steps do one
    // after the other: each step replaces a one-byte character by nothing or
    // by a double-byte one whose trail byte no later step looks for.
    const std::string& s = text.str();
    const size_t n = s.size();
    size_t i = 0;
    for (; i < n; i += sjis::CharLength(s.data(), i, n))
        if (FileNameReplacement(static_cast<unsigned char>(s[i]))) break;
    if (i == n) return;

    std::string out;
    out.reserve(n + n / 2);
    out.append(s, 0, i);
    while (i < n) {
        const size_t length = sjis::CharLength(s.data(), i, n);
        const char* to =
            length == 1 ? FileNameReplacement(static_cast<unsigned char>(s[i])) : nullptr;
        if (to)
            out.append(to, to[0] ? 2 : 0);
        else
            out.append(s, i, length);
        i += length;
    }
    text = CString(std::move(out));
}
