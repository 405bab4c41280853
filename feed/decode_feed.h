// DecodeFeedFile: a downloaded feed file as one piece of Shift_JIS text.
//
// Platform-free: the file is read through CFile and the character code is
// detected and converted by the jis1997 library.
#pragma once

#include <cstdint>

#include "framework/cstring.h"

// Reads the whole file `path` (opened read-only, not shared; it must exist),
// detects its character code and converts it to Shift_JIS (CP932) into
// `out`. Texts detected as ASCII, Shift_JIS, binary or another 8-bit code
// are used byte for byte. The text ends at its first zero byte. A file that
// cannot be opened or read throws CFileException. Files of 1 GiB or more
// give empty text: their conversion buffers (4 x length + 4 bytes) would not
// fit in the library's 32-bit counts.
void DecodeFeedFile(CString path, CString& out);

namespace feed_decode
{

// The conversion step of DecodeFeedFile for a given detection result:
// `source` holds `length` bytes followed by at least four zero bytes.
// Returns the text up to its first zero byte; an unknown result gives "".
CString ConvertDetected(uint32_t detection, const char* source, uint32_t length);

} // namespace feed_decode
