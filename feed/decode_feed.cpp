// DecodeFeedFile: read, detect, convert.
#include "feed/decode_feed.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "framework/file.h"
#include "jis1997/jis1997.h"

namespace
{

// Zero bytes kept after the text in every buffer: the conversions need a
// terminator in the buffer they read, and the written buffer keeps one.
constexpr uint64_t kTerminatorBytes = 4;

// A zero-filled buffer from calloc. The conversion buffers are four times
// the text and mostly stay unwritten; calloc hands large blocks over as fresh
// zero pages, so the pages nobody writes cost neither a fill nor a fault.
struct CFreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using ZeroedBuffer = std::unique_ptr<char, CFreeDeleter>;

ZeroedBuffer AllocZeroed(size_t size)
{
    ZeroedBuffer buffer(static_cast<char*>(std::calloc(size, 1)));
    if (!buffer) throw std::bad_alloc();
    return buffer;
}

bool IsUsedAsStored(uint32_t detection)
{
    return detection == JIS_CODE_ASCII || detection == JIS_CODE_SHIFT_JIS ||
           detection == JIS_CODE_BINARY || detection == JIS_CODE_OTHER;
}

// Length of the text in the `length` bytes at `text`: up to the first zero
// byte, or all of them.
size_t TextLength(const char* text, size_t length)
{
    const void* zero = std::memchr(text, 0, length);
    return zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : length;
}

using Conversion = uint32_t(JIS_CALL*)(char* dst, const char* src, uint32_t max);

// The European single-byte code (a Windows code page number) that the XML
// declaration names, for a text that detection does not read as Unicode: a
// byte order mark, UTF-16's zero bytes and well-formed UTF-8 holding
// multibyte characters outweigh any label. An ASCII text reads the same in
// each of these codes, so it is not looked at. 0 where none is declared.
uint32_t DeclaredSingleByteCode(uint32_t detection, const char* source, uint32_t length)
{
    switch (detection) {
    case JIS_CODE_EUC_JP:
    case JIS_CODE_SHIFT_JIS:
    case JIS_CODE_ISO2022_JP:
    case JIS_CODE_BINARY:
    case JIS_CODE_OTHER:
        return JisDeclaredSingleByteCode(source, length);
    default:
        return 0;
    }
}

// The text that `convert` makes of `source` (whose text is `length` bytes
// long) when told it may write `sizes.room` bytes, up to its first zero byte.
//
// The text is first made right in a string of about the source's length,
// which is zero-filled and then kept, so no copy is needed: the conversions
// to Shift_JIS rarely write more than they read. A conversion writes a
// prefix of what it would write with more room, stopping only before a
// character (at most four bytes) that does not fit; so if the text ends at
// least four bytes before the end of the room, no room was missing and it is
// the whole text. Otherwise it is made again into the full room.
template <typename Convert>
std::string ConvertToText(Convert convert, const char* source, size_t length,
                          const feed_decode::BufferSizes& sizes)
{
    const uint64_t estimate = uint64_t(length) + 64;
    if (estimate < sizes.room) {
        const uint32_t room = static_cast<uint32_t>(estimate);
        std::string text(room + kTerminatorBytes, '\0');
        convert(&text[0], source, room);
        const size_t written = TextLength(text.data(), room);
        if (written + 4 <= room) {
            text.resize(written);
            return text;
        }
    }
    const ZeroedBuffer destination = AllocZeroed(sizes.conversion);
    convert(destination.get(), source, sizes.room);
    // The buffer is zero-filled and its last four bytes are never offered to
    // a conversion, so the text ends at a zero byte inside it.
    return std::string(destination.get(), std::strlen(destination.get()));
}

// ConvertDetected on `source`, a string of the text's `length` bytes and at
// least four zero bytes, which it may use up.
std::string ConvertSource(uint32_t detection, std::string& source, uint32_t length)
{
    feed_decode::BufferSizes sizes;
    if (!feed_decode::ComputeBufferSizes(length, SIZE_MAX, sizes)) return std::string();
    if (const uint32_t codePage = DeclaredSingleByteCode(detection, source.data(), length)) {
        const auto toSjis = [codePage](char* dst, const char* src, uint32_t max) {
            return JisSingleByteToSjis(dst, src, max, codePage);
        };
        return ConvertToText(toSjis, source.data(), length, sizes);
    }
    if (IsUsedAsStored(detection)) {
        source.resize(TextLength(source.data(), length));
        return std::move(source);
    }
    switch (detection) {
    case JIS_CODE_EUC_JP:
        return ConvertToText(JisEucToSjis, source.data(), length, sizes);
    case JIS_CODE_ISO2022_JP:
        return ConvertToText(JisIso2022ToSjis, source.data(), length, sizes);
    case JIS_CODE_UTF8:
        return ConvertToText(JisUtf8ToSjis, source.data(), length, sizes);
    case JIS_CODE_UTF16_LE:
    case JIS_CODE_UTF16_BE: {
        // In place, in one step: no character takes more bytes in CP932 than
        // in UTF-16 (an odd last byte makes a unit with the first zero byte
        // after it), so the source, with its zero bytes, has room for the
        // text, which never holds a zero byte. The room is held to 4 x L
        // all the same, as for the other codes (nothing for an empty text).
        const Conversion toSjis =
            detection == JIS_CODE_UTF16_LE ? JisUtf16LeToSjis : JisUtf16BeToSjis;
        const size_t room = sizes.room < sizes.source ? sizes.room : sizes.source;
        source.resize(toSjis(&source[0], source.data(), static_cast<uint32_t>(room)));
        return std::move(source);
    }
    default:
        return std::string(); // not a code this program knows: no text
    }
}

} // namespace

namespace feed_decode
{

bool ComputeBufferSizes(uint32_t length, uint64_t sizeMax, BufferSizes& sizes)
{
    // The library counts in 32 bits, so the room 4 x L must fit in them; and
    // 4 x L + 4 must be a size the platform can ask for, which on 32 bits
    // leaves one length less than the 32-bit count allows.
    // The sizes are this platform's size_t whatever `sizeMax` claims, so a
    // wider one is held to SIZE_MAX too rather than wrapped.
    const uint64_t room = uint64_t(4) * length;
    const uint64_t largest = sizeMax < SIZE_MAX ? sizeMax : uint64_t(SIZE_MAX);
    if (room > UINT32_MAX || room + kTerminatorBytes > largest) return false;
    sizes.room = static_cast<uint32_t>(room);
    sizes.source = static_cast<size_t>(length + kTerminatorBytes);
    sizes.conversion = static_cast<size_t>(room + kTerminatorBytes);
    return true;
}

CString ConvertDetected(uint32_t detection, const char* source, uint32_t length)
{
    BufferSizes sizes;
    if (!ComputeBufferSizes(length, SIZE_MAX, sizes)) return CString();
    std::string copy(source, sizes.source);
    return CString(ConvertSource(detection, copy, length));
}

} // namespace feed_decode

void DecodeFeedFile(CString path, CString& out)
{
    // The file is read into the string that becomes the text when it is
    // used as stored, so that text is never copied.
    std::string source;
    uint32_t length;
    {
        CFile file(path, CFile::modeRead | CFile::shareExclusive);
        length = static_cast<uint32_t>(file.GetLength()); // the low 32 bits
        feed_decode::BufferSizes sizes;
        if (!feed_decode::ComputeBufferSizes(length, SIZE_MAX, sizes)) {
            out.Empty();
            return;
        }
        source.resize(sizes.source); // zero-filled: the terminator is in place
        file.Read(&source[0], length);
    }
    const uint32_t detection = JisDetectCode(source.data(), length);
    out = CString(ConvertSource(detection, source, length));
}
