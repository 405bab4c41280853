// DecodeFeedFile: a downloaded feed file as one piece of Shift_JIS text.
//
// Platform-free: the file is read through CFile and the character code is
// detected and converted by the jis1997 library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/cstring.h"

// Reads the whole file `path` (opened read-only, not shared; it must exist),
// detects its character code and converts it to Shift_JIS (CP932) into
// `out`. A text that is not Unicode by its bytes and whose XML declaration
// names a European single-byte code (Latin-1 and Windows-1252, ISO-8859-15,
// ISO-8859-2, Windows-1250) is read in that code; other texts detected as
// ASCII, Shift_JIS, binary or another 8-bit code are used byte for byte.
// The text ends at its first zero byte. A file that
// cannot be opened or read throws CFileException. The length is the low 32
// bits of the file's; a length whose conversion buffers (4 x length + 4
// bytes) would not fit the library's 32-bit counts or the address space
// (1 GiB and more; on 32 bits, 1 GiB - 2 bytes and more) gives empty text.
void DecodeFeedFile(CString path, CString& out);

namespace feed_decode
{

// The buffers of one decoding for a text of `length` bytes.
struct BufferSizes {
    uint32_t room;     // what a conversion may write: 4 x length
    size_t source;     // the file's bytes and four zero bytes: length + 4
    size_t conversion; // destination and intermediate: room + 4
};

// Fills `sizes` for `length` on a platform whose largest size is `sizeMax`
// (SIZE_MAX; passed in so that both widths can be checked anywhere).
// Returns false if a size would not fit, in the library's 32-bit count, in
// `sizeMax` or in this platform's size_t.
bool ComputeBufferSizes(uint32_t length, uint64_t sizeMax, BufferSizes& sizes);

// The conversion step of DecodeFeedFile for a given detection result:
// `source` holds `length` bytes followed by at least four zero bytes.
// Returns the text up to its first zero byte; an unknown result gives "".
CString ConvertDetected(uint32_t detection, const char* source, uint32_t length);

} // namespace feed_decode
