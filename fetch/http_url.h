// Which URLs the download worker may open. Platform-free.
#pragma once

#include <cctype>
#include <cstring>

// True for a URL that starts with "http://" or "https://", in any case.
// Everything else (empty text, file:, ftp:, a bare host name) is refused, so
// a slot can never make the worker read a local file or talk FTP.
inline bool IsHttpUrl(const char* url)
{
    auto startsWith = [url](const char* scheme) {
        const size_t n = std::strlen(scheme);
        for (size_t i = 0; i < n; ++i) {
            if (url[i] == '\0') return false;
            if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;
        }
        return true;
    };
    return url && (startsWith("http://") || startsWith("https://"));
}
