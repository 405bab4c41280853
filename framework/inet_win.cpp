// The internet classes over WinINet.
#include "framework/inet.h"

#include <cstdlib>
#include <string>

#include "framework/window.h"

void CInternetHandle::Close()
{
    if (m_handle) InternetCloseHandle(m_handle);
    m_handle = nullptr;
}

UINT CInternetFile::Read(void* buffer, UINT count)
{
    DWORD got = 0;
    if (!InternetReadFile(m_request.Get(), buffer, count, &got))
        throw CInternetException(GetLastError());
    return got;
}

bool CInternetFile::SetOption(DWORD option, DWORD value)
{
    return InternetSetOptionA(m_request.Get(), option, &value, sizeof(value)) != FALSE;
}

bool CHttpFile::QueryInfoStatusCode(DWORD& status) const
{
    char text[80] = {};
    DWORD length = sizeof(text);
    if (!HttpQueryInfoA(m_request.Get(), HTTP_QUERY_STATUS_CODE, text, &length, nullptr))
        return false;
    status = static_cast<DWORD>(std::strtoul(text, nullptr, 10));
    return true;
}

bool CHttpFile::QueryInfo(DWORD infoLevel, CString& text) const
{
    DWORD length = 0;
    HttpQueryInfoA(m_request.Get(), infoLevel, nullptr, &length, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) return false;
    std::string buffer(length, '\0');
    if (!HttpQueryInfoA(m_request.Get(), infoLevel, &buffer[0], &length, nullptr)) return false;
    buffer.resize(length);
    text = CString(std::move(buffer));
    return true;
}

bool CHttpFile::AddRequestHeaders(const char* headers)
{
    if (!headers || !*headers) return true;
    return HttpAddRequestHeadersA(m_request.Get(), headers, static_cast<DWORD>(-1),
                                  HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE) != FALSE;
}

void CHttpFile::SendRequest()
{
    if (!HttpSendRequestA(m_request.Get(), nullptr, 0, nullptr, 0))
        throw CInternetException(GetLastError());
}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(const char* verb, const char* object,
                                                        DWORD flags, const char* const* acceptTypes)
{
    HINTERNET request = HttpOpenRequestA(m_connection.Get(), verb, object, nullptr, nullptr,
                                         const_cast<const char**>(acceptTypes), flags, 0);
    if (!request) throw CInternetException(GetLastError());
    return std::make_unique<CHttpFile>(request);
}

bool CHttpConnection::SetOption(DWORD option, DWORD value)
{
    return InternetSetOptionA(m_connection.Get(), option, &value, sizeof(value)) != FALSE;
}

CHttpUrl CrackHttpUrl(const char* url)
{
    // Null pointers with non-zero lengths: the parts come back as pointers
    // into `url` with their lengths.
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUserNameLength = 1;
    parts.dwPasswordLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url, 0, 0, &parts)) throw CInternetException(GetLastError());
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        throw CInternetException(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    auto text = [](const char* p, DWORD n) {
        return p && n ? CString(p, static_cast<int>(n)) : CString();
    };
    CHttpUrl out;
    out.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    out.server = text(parts.lpszHostName, parts.dwHostNameLength);
    out.port = parts.nPort
                   ? parts.nPort
                   : (out.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    out.user = text(parts.lpszUserName, parts.dwUserNameLength);
    out.password = text(parts.lpszPassword, parts.dwPasswordLength);
    std::string object = text(parts.lpszUrlPath, parts.dwUrlPathLength).str();
    if (object.empty()) object = "/";
    object += text(parts.lpszExtraInfo, parts.dwExtraInfoLength).str();
    // A fragment names a place in the document; it is never sent.
    const size_t hash = object.find('#');
    if (hash != std::string::npos) object.resize(hash);
    out.object = CString(std::move(object));
    return out;
}

CString CombineUrl(const char* base, const char* relative)
{
    DWORD length = 0;
    InternetCombineUrlA(base, relative, nullptr, &length, ICU_NO_ENCODE);
    if (length == 0) return CString();
    std::string buffer(length + 1, '\0');
    if (!InternetCombineUrlA(base, relative, &buffer[0], &length, ICU_NO_ENCODE)) return CString();
    buffer.resize(length);
    return CString(std::move(buffer));
}

CInternetSession::CInternetSession()
    : m_session(InternetOpenA(AfxGetAppName(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0))
{
    if (!m_session.Get()) throw CInternetException(GetLastError());
}

bool CInternetSession::SetOption(DWORD option, DWORD value)
{
    return InternetSetOptionA(m_session.Get(), option, &value, sizeof(value)) != FALSE;
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const char* server,
                                                                     INTERNET_PORT port,
                                                                     const char* user,
                                                                     const char* password)
{
    HINTERNET connection =
        InternetConnectA(m_session.Get(), server, port, user && *user ? user : nullptr,
                         password && *password ? password : nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) throw CInternetException(GetLastError());
    return std::make_unique<CHttpConnection>(connection);
}
