// DecodeFeedFile: read, detect, convert.
#include "feed/decode_feed.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "framework/file.h"
#include "jis1997/jis1997.h"

namespace
{

// Zero bytes kept after the text in every buffer: the conversions need a
// terminator in the buffer they read, and the written buffer keeps one.
constexpr uint32_t kTerminatorBytes = 4;
// The largest length whose conversion buffers fit in 32 bits.
constexpr uint64_t kMaxConvertibleLength = (uint64_t(1) << 30) - 1;

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

} // namespace

namespace feed_decode
{

CString ConvertDetected(uint32_t detection, const char* source, uint32_t length)
{
    if (length > kMaxConvertibleLength) return CString();
    const uint32_t room = 4 * length;
    const ZeroedBuffer destination = AllocZeroed(size_t(room) + kTerminatorBytes);
    const ZeroedBuffer intermediate = AllocZeroed(size_t(room) + kTerminatorBytes);
    char* dst = destination.get();
    char* mid = intermediate.get();

    switch (detection) {
    case JIS_CODE_ASCII:
    case JIS_CODE_SHIFT_JIS:
    case JIS_CODE_BINARY:
    case JIS_CODE_OTHER:
        std::memcpy(dst, source, length);
        break;
    case JIS_CODE_EUC_JP:
        JisEucToSjis(dst, source, room);
        break;
    case JIS_CODE_ISO2022_JP:
        JisIso2022ToSjis(dst, source, room);
        break;
    case JIS_CODE_UTF8:
        JisUtf8ToSjis(dst, source, room);
        break;
    case JIS_CODE_UTF16_LE:
        JisUtf16LeToUtf8(mid, source, room);
        JisUtf8ToSjis(dst, mid, room);
        break;
    case JIS_CODE_UTF16_BE:
        JisUtf16BeToUtf8(mid, source, room);
        JisUtf8ToSjis(dst, mid, room);
        break;
    default:
        break; // not a code this program knows: no text
    }
    return CString(dst);
}

} // namespace feed_decode

void DecodeFeedFile(CString path, CString& out)
{
    ZeroedBuffer source;
    uint32_t length;
    {
        CFile file(path, CFile::modeRead | CFile::shareExclusive);
        length = static_cast<uint32_t>(file.GetLength());
        if (length > kMaxConvertibleLength) {
            out.Empty();
            return;
        }
        source = AllocZeroed(size_t(length) + kTerminatorBytes);
        file.Read(source.get(), length);
    }
    const uint32_t detection = JisDetectCode(source.get(), length);
    out = feed_decode::ConvertDetected(detection, source.get(), length);
}
