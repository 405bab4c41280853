// The download worker: one HTTP GET per fetch on a thread of its own, and a
// second one when the first answer is a web page that names its feed.
//
// The worker reports to the owner window with synchronous messages only:
// WM_FETCH_BEGIN when a body is downloaded (the page's, then the feed's
// when a page leads to its feed), WM_FETCH_PROGRESS per block
// written to dl.dat, and exactly one WM_FETCH_DONE at the end of every
// outcome. The receiver of WM_FETCH_DONE frees the task, so nothing here
// touches it after that send.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "fetch/feed_discovery.h"
#include "fetch/feed_time.h"
#include "fetch/fetch_memory.h"
#include "fetch/fetch_messages.h"
#include "fetch/fetch_task.h"
#include "fetch/http_url.h"
#include "framework/file.h"
#include "framework/inet.h"
#include "framework/thread.h"
#include "framework/window.h"

namespace
{
// Always ask the origin server, take the body as bytes, and leave redirects
// to us.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_BINARY | INTERNET_FLAG_NO_AUTO_REDIRECT;
// The Accept header WinINet sends for a URL opened in one call.
const char* const kAcceptTypes[] = {"*/*", nullptr};
// A new or truncated dl.dat, write only, binary, not shared.
constexpr unsigned kDownloadFileFlags = CFile::modeCreate | CFile::modeWrite | CFile::typeBinary;
static_assert(kDownloadFileFlags == 0x9001, "the download file's open flags");
// 308 Permanent Redirect, which WinINet's headers have no name for.
constexpr DWORD kHttpStatusPermanentRedirect = 308;
constexpr UINT kBlockBytes = 1024;
// WinINet under Wine follows redirects without any limit, so a URL that
// redirects to itself would hold the worker (and hammer the server) for
// good. The worker follows them itself, this many at most.
constexpr int kMaxRedirects = 10;
// No feed is this large; a body that goes on past it is a broken or hostile
// server, and the fetch ends as failed rather than filling the disk.
constexpr uint64_t kMaxBodyBytes = 32ull * 1024 * 1024;

void Notify(const FetchTask& task, UINT message)
{
    SendMessageA(task.owner->m_hWnd, message, 0, 0);
}

// Without these a server that accepts the connection and then says nothing
// would hold the worker, and with it the poll cycle, for good. They are set
// on the session, the connection and the request, before anything is sent:
// WinINet under Wine ignores the send and receive time-outs of a session
// (a request opened in one call with InternetOpenUrl has already waited for
// its headers by the time it could be given its own), but keeps them when
// they are set on the connection or the request. A silent server then ends
// the wait for the headers or for the next block of the body after
// receiveMs with a failure.
template <class Handle> void ApplyTimeouts(Handle& handle, const FetchTimeouts& timeouts)
{
    if (timeouts.connectMs) handle.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, timeouts.connectMs);
    if (timeouts.sendMs) handle.SetOption(INTERNET_OPTION_SEND_TIMEOUT, timeouts.sendMs);
    if (timeouts.receiveMs) handle.SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts.receiveMs);
}

// The response's Last-Modified date as the change test sees it. The header
// is read as text and parsed here because WinINet's own date conversion
// (HTTP_QUERY_FLAG_SYSTEMTIME) under Wine crashes the process on many dates
// it cannot parse, pre-1970 dates and the two older HTTP date forms among
// them, and answers 1970-01-01 for an empty header.
LastModifiedTime LastModifiedOf(const CHttpFile& response)
{
    CString text;
    const bool present = response.QueryInfo(HTTP_QUERY_LAST_MODIFIED, text);
    return ReadLastModified(present ? text.GetString() : nullptr);
}

bool IsRedirect(DWORD status)
{
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT ||
           status == HTTP_STATUS_REDIRECT_METHOD || status == HTTP_STATUS_REDIRECT_KEEP_VERB ||
           status == kHttpStatusPermanentRedirect;
}

// A response and the connection it came on, in this order so that the
// request closes before its connection.
struct Response {
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> body;
    CString url; // the URL asked for
};

// One GET for `url`, returned once the response headers have arrived. It
// carries the slot's validators when they came from `url`, and asks for a
// compressed body when the platform agrees to decode one, so that dl.dat
// holds the feed as sent.
Response Get(CInternetSession& session, const char* url, const FetchTimeouts& timeouts,
             const FetchValidators& validators)
{
    if (!IsHttpUrl(url)) throw CInternetException(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    const CHttpUrl parts = CrackHttpUrl(url);
    Response response;
    response.url = url;
    response.connection =
        session.GetHttpConnection(parts.server, parts.port, parts.user, parts.password);
    ApplyTimeouts(*response.connection, timeouts);
    response.body = response.connection->OpenRequest(
        "GET", parts.object, kRequestFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0),
        kAcceptTypes);
    ApplyTimeouts(*response.body, timeouts);
    CString headers = ConditionalHeaders(validators, url);
    if (response.body->SetOption(INTERNET_OPTION_HTTP_DECODING, TRUE))
        headers += kAcceptEncodingHeader;
    response.body->AddRequestHeaders(headers);
    response.body->SendRequest();
    return response;
}

// Opens the URL, following up to kMaxRedirects redirects to http and https
// URLs. Returns the last response with its status (0 when it cannot be
// read); a redirect beyond the limit or without a Location comes back as
// it is.
Response OpenFeed(CInternetSession& session, const CString& url, const FetchTimeouts& timeouts,
                  const FetchValidators& validators, DWORD& status)
{
    CString target = url;
    for (int hop = 0;; ++hop) {
        Response response = Get(session, target, timeouts, validators);
        status = 0;
        response.body->QueryInfoStatusCode(status);
        CString location;
        if (!IsRedirect(status) || hop == kMaxRedirects ||
            !response.body->QueryInfo(HTTP_QUERY_LOCATION, location))
            return response;
        target = CombineUrl(target, location);
    }
}

// The body length the response announced, or kUnknownLength when it sent
// none (a chunked body, say) or one that is not a number.
constexpr uint64_t kUnknownLength = ~uint64_t(0);
uint64_t AnnouncedLength(const CHttpFile& response)
{
    CString text;
    if (!response.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, text) || text.IsEmpty())
        return kUnknownLength;
    char* end = nullptr;
    const unsigned long long length = std::strtoull(text, &end, 10);
    return end && *end == '\0' ? length : kUnknownLength;
}

// True when the platform decodes the body (gzip, deflate): its announced
// length is then that of the compressed bytes.
bool IsEncoded(const CHttpFile& response)
{
    CString coding;
    return response.QueryInfo(HTTP_QUERY_CONTENT_ENCODING, coding) && !coding.IsEmpty() &&
           !ascii::StartsWithNoCase(coding, coding.str().size(), "identity");
}

// Copies the body into the file block by block until its end, a cancel or
// the size limit; false when it stopped at the limit.
bool DownloadBody(FetchTask& task, CHttpFile& body, CFile& file)
{
    // WinINet under Wine ends the body quietly when the server drops the
    // connection early, so a short body is judged against its announced
    // length, unless that is the length of a compressed body.
    const uint64_t announced = IsEncoded(body) ? kUnknownLength : AnnouncedLength(body);
    char block[kBlockBytes];
    uint64_t written = 0;
    while (!task.cancel) {
        const UINT got = body.Read(block, sizeof(block));
        if (got == 0) break;
        if (written + got > kMaxBodyBytes) {
            task.error = true;
            return false;
        }
        file.Write(block, got);
        written += got;
        Notify(task, WM_FETCH_PROGRESS);
    }
    if (!task.cancel && !task.error && announced != kUnknownLength && written < announced)
        throw CInternetException(ERROR_INTERNET_CONNECTION_RESET);
    return true;
}

// The response headers the poll cycle remembers for the slot, with the
// address that answered.
void ReadAnswerHeaders(const Response& answer, FetchTask& task)
{
    const CHttpFile& response = *answer.body;
    task.received = FetchValidators();
    task.received.url = answer.url;
    task.retryAfter.Empty();
    response.QueryInfo(HTTP_QUERY_ETAG, task.received.etag);
    response.QueryInfo(HTTP_QUERY_LAST_MODIFIED, task.received.lastModified);
    response.QueryInfo(HTTP_QUERY_RETRY_AFTER, task.retryAfter);
}

// The answer for `url` as the slot's answer. The outcome is left in the
// task, the body in dl.dat when the answer changed (`storedFeedTime` is the
// feed time last seen); failures are thrown, and the request and the file
// close on the way out either way. Returns the URL that answered, after
// redirects. Each request carries `validators` when it goes to the address
// they came from, and a 304 leaves the answer unchanged only from there: a
// 304 from any other address answers a question it was never asked, and
// fails the fetch like any status but 200.
CString Answer(FetchTask& task, CInternetSession& session, const CString& url,
               int64_t storedFeedTime, const FetchValidators& validators)
{
    DWORD status = 0;
    Response opened = OpenFeed(session, url, task.timeouts, validators, status);
    CHttpFile* const response = opened.body.get();
    task.status = static_cast<int>(status);
    ReadAnswerHeaders(opened, task);
    if (status == kHttpNotModified && IsConditional(validators, opened.url)) {
        task.modified = false; // the server says the feed is as last time
        return opened.url;
    }
    if (status != HTTP_STATUS_OK) {
        task.modified = false;
        task.error = true;
        return opened.url;
    }

    // Without a usable date the feed counts as changed, and its feed time
    // becomes 0.
    const LastModifiedTime date = LastModifiedOf(*response);
    if (date.usable && date.feedTime == storedFeedTime) {
        task.modified = false; // unchanged: the body is never read
        return opened.url;
    }

    task.lastModified = date.feedTime;
    task.modified = true;
    Notify(task, WM_FETCH_BEGIN);
    CFile file(task.fileName, kDownloadFileFlags);
    const bool whole = DownloadBody(task, *response, file);
    response->Close();
    file.Close();
    // A body past the limit (a small compressed one may expand that far)
    // leaves nothing behind.
    if (!whole) DeleteFileNamed(task.fileName);
    return opened.url;
}

// One fetch up to, not including, WM_FETCH_DONE. A slot's URL may name a web
// page instead of a feed: the page's feed link is followed within the same
// fetch, once, and the feed's answer is the slot's. A page naming no feed,
// or a found address that gives a page again, fails the fetch; a link to an
// address that is gone counts as none. The slot's validators go with the
// first request only: a found address is new.
void Fetch(FetchTask& task, CInternetSession& session)
{
    const int64_t storedFeedTime = task.lastModified;
    const bool foundBefore = !task.feedUrl.IsEmpty();
    const CString answered =
        Answer(task, session, foundBefore ? task.feedUrl : task.url, storedFeedTime, task.sent);
    if (!task.modified || task.error || task.cancel) return;
    const auto notGone = [&task, &answered](const CString& link) {
        const CString url = CombineUrl(answered, link);
        return std::find(task.goneFeedUrls.begin(), task.goneFeedUrls.end(), url) ==
               task.goneFeedUrls.end();
    };
    CString href;
    const DownloadKind kind = ExamineDownload(task.fileName, href, notGone);
    if (kind == DownloadKind::feed) return;

    DeleteFileNamed(task.fileName); // a page, never to be read as a feed
    task.error = true;
    if (foundBefore || kind != DownloadKind::pageWithFeedLink) return;
    const CString feedUrl = CombineUrl(answered, href);
    if (!IsHttpUrl(feedUrl) || task.cancel) return;
    task.error = false;
    task.modified = false;
    task.lastModified = storedFeedTime;
    task.feedUrl = feedUrl;
    Answer(task, session, feedUrl, storedFeedTime, FetchValidators());
    if (!task.modified || task.error || task.cancel) return;
    if (ExamineDownload(task.fileName, href) != DownloadKind::feed) {
        DeleteFileNamed(task.fileName);
        task.error = true;
    }
}

// The worker thread's procedure; `param` is the FetchTask. Returns 1.
unsigned FetchThreadProc(void* param)
{
    FetchTask& task = *static_cast<FetchTask*>(param);
    // The session outlives the task: it is closed after WM_FETCH_DONE.
    std::unique_ptr<CInternetSession> session;
    try {
        session = std::make_unique<CInternetSession>();
        ApplyTimeouts(*session, task.timeouts);
        Fetch(task, *session);
    } catch (const CInternetException& failure) {
        task.errorCode = failure.m_dwError;
        task.error = true;
    } catch (const CFileException& failure) {
        task.errorCode = static_cast<uint32_t>(failure.m_lOsError);
        task.error = true;
    } catch (...) {
        task.error = true;
    }
    Notify(task, WM_FETCH_DONE); // the last use of the task
    return 1;
}
} // namespace

void RunningFetch::Start(const FetchRequest& request)
{
    auto* task = new FetchTask(request.siteIndex);
    m_task = task;
    task->owner = request.owner;
    task->url = request.url;
    task->feedUrl = request.feedUrl;
    task->goneFeedUrls = request.goneFeedUrls;
    task->fileName = request.downloadPath;
    task->error = false;
    task->modified = false;
    task->lastModified = request.storedFeedTime;
    task->timeouts = request.timeouts;
    task->sent = request.validators;
    if (AfxBeginThread(FetchThreadProc, task)) return;

    // No worker: the task still has to end with WM_FETCH_DONE, or the poll
    // cycle would never be armed again. Posting lets our caller finish its
    // own step first, as with a real worker, before the handler frees the
    // task; only if the queue refuses the post is it delivered right here.
    task->error = true;
    if (!PostMessageA(request.owner->m_hWnd, WM_FETCH_DONE, 0, 0))
        SendMessageA(request.owner->m_hWnd, WM_FETCH_DONE, 0, 0);
}
