// Which URLs the download worker may open. Platform-free.
#pragma once

#include <cstring>

#include "framework/cstring.h"

// True for a URL that starts with "http://" or "https://", in any case.
// Everything else (empty text, file:, ftp:, a bare host name) is refused, so
// a slot can never make the worker read a local file or talk FTP.
inline bool IsHttpUrl(const char* url)
{
    if (!url) return false;
    const size_t n = std::strlen(url);
    return ascii::StartsWithNoCase(url, n, "http://") ||
           ascii::StartsWithNoCase(url, n, "https://");
}
