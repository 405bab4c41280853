// The internet classes: a thin layer over WinINet for the download worker.
//
// Every HINTERNET has one owner that closes it. Failures of the calls the
// worker cannot go on without (opening a session, a connection or a request,
// sending the request, reading) throw CInternetException carrying the
// thread's last error at the failing call.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>

#include "framework/cstring.h"

// A network failure: the platform error number of the call that failed.
class CInternetException
{
  public:
    explicit CInternetException(DWORD error) : m_dwError(error) {}
    DWORD m_dwError;
};

// Owns one HINTERNET and closes it once.
class CInternetHandle
{
  public:
    CInternetHandle() = default;
    explicit CInternetHandle(HINTERNET handle) : m_handle(handle) {}
    ~CInternetHandle() { Close(); }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;

    HINTERNET Get() const { return m_handle; }
    void Close();

  private:
    HINTERNET m_handle = nullptr;
};

// A response body opened by URL.
class CInternetFile
{
  public:
    explicit CInternetFile(HINTERNET request) : m_request(request) {}
    virtual ~CInternetFile() = default;
    CInternetFile(const CInternetFile&) = delete;
    CInternetFile& operator=(const CInternetFile&) = delete;

    // Reads at most `count` bytes; returns how many came, 0 at the end of
    // the body. Throws CInternetException.
    UINT Read(void* buffer, UINT count);
    // Closes the request; further calls do nothing.
    void Close() { m_request.Close(); }
    // Sets a numeric option on the request; false when WinINet refuses it.
    bool SetOption(DWORD option, DWORD value);

  protected:
    CInternetHandle m_request;
};

// An HTTP response whose headers have arrived.
class CHttpFile : public CInternetFile
{
  public:
    using CInternetFile::CInternetFile;

    // The status code as a number; false (and `status` left alone) when the
    // query fails.
    bool QueryInfoStatusCode(DWORD& status) const;
    // A header as text; false when it is missing.
    bool QueryInfo(DWORD infoLevel, CString& text) const;

    // Adds request header lines (each ending in CR LF), replacing headers of
    // the same name; false when WinINet refuses them.
    bool AddRequestHeaders(const char* headers);
    // Sends the request without a body and returns once the response headers
    // have arrived. Throws CInternetException.
    void SendRequest();
};

// A connection to one HTTP server, from CInternetSession::GetHttpConnection.
// Close its requests before it.
class CHttpConnection
{
  public:
    explicit CHttpConnection(HINTERNET connection) : m_connection(connection) {}
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    // Opens an HTTP/1.1 request for `object` (path and query) with no
    // referrer; `acceptTypes` is a null-terminated list or null. Nothing is
    // sent yet. Throws CInternetException.
    std::unique_ptr<CHttpFile> OpenRequest(const char* verb, const char* object, DWORD flags,
                                           const char* const* acceptTypes);
    // Sets a numeric option on the connection; false when WinINet refuses it.
    bool SetOption(DWORD option, DWORD value);

  private:
    CInternetHandle m_connection;
};

// The parts of an http or https URL that a request needs.
struct CHttpUrl {
    CString server;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    CString user;     // empty when the URL names none
    CString password; // empty when the URL names none
    CString object;   // path and query; "/" when the URL has no path
    bool secure = false;
};
// Splits `url`. Throws CInternetException for a URL WinINet cannot split and
// ERROR_INTERNET_UNRECOGNIZED_SCHEME for one that is not http or https.
CHttpUrl CrackHttpUrl(const char* url);

// `relative` (a Location header, say) resolved against `base`; empty when
// WinINet cannot combine them.
CString CombineUrl(const char* base, const char* relative);

// One WinINet session, named after the program file.
class CInternetSession
{
  public:
    // Opens a synchronous session with the system's proxy settings. Throws
    // CInternetException when WinINet cannot open one.
    CInternetSession();
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // Sets a numeric option on the session; false when WinINet refuses it.
    bool SetOption(DWORD option, DWORD value);
    // Opens a connection to an HTTP server; user and password may be empty.
    // Throws CInternetException.
    std::unique_ptr<CHttpConnection> GetHttpConnection(const char* server, INTERNET_PORT port,
                                                       const char* user, const char* password);

  private:
    CInternetHandle m_session;
};
