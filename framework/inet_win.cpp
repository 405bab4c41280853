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

bool CHttpFile::QueryInfo(DWORD infoLevel, SYSTEMTIME* time) const
{
    DWORD length = sizeof(SYSTEMTIME);
    return HttpQueryInfoA(m_request.Get(), infoLevel, time, &length, nullptr) != FALSE;
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

bool CInternetSession::QueryOption(DWORD option, DWORD& value) const
{
    DWORD length = sizeof(value);
    return InternetQueryOptionA(m_session.Get(), option, &value, &length) != FALSE;
}

std::unique_ptr<CHttpFile> CInternetSession::OpenURL(const char* url, DWORD flags)
{
    HINTERNET request = InternetOpenUrlA(m_session.Get(), url, nullptr, 0, flags, 0);
    if (!request) throw CInternetException(GetLastError());
    return std::make_unique<CHttpFile>(request);
}
