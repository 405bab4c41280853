// What the program remembers of one slot's server between fetches, in
// memory only: the validators of the last response that reached the folder,
// sent back so that an unchanged feed costs a 304 and no body; and a server's
// "gone" (410) or "wait" (429, 503 with Retry-After), which hold back the
// slot's requests. Platform-free.
#pragma once

#include <cstdint>

#include "framework/cstring.h"

// HTTP statuses the memory and the worker act on.
constexpr int kHttpNotModified = 304;
constexpr int kHttpGone = 410;
constexpr int kHttpTooManyRequests = 429;
constexpr int kHttpServiceUnavailable = 503;

// The longest wait a Retry-After is obeyed for, in seconds.
constexpr int64_t kMaxRetryAfterSeconds = 24 * 60 * 60;

// The compressed form every request asks for; the platform decodes it. Not
// "deflate": WinINet under Wine reads it as a bare deflate stream and fails
// on the zlib-wrapped one that HTTP defines and servers send.
constexpr char kAcceptEncodingHeader[] = "Accept-Encoding: gzip\r\n";

// A response's ETag and Last-Modified header texts, verbatim (empty when it
// had none), and the address that sent them, the final one after redirects.
struct FetchValidators {
    CString etag;
    CString lastModified;
    CString url;

    bool IsEmpty() const { return etag.IsEmpty() && lastModified.IsEmpty(); }
};

// The conditional request headers for these validators in a request for
// `url`, each line ending in CR LF: If-None-Match for the ETag,
// If-Modified-Since for the Last-Modified text. They go only to the address
// that sent them: another one (a redirecting hop, another host) knows
// nothing of them, and its 304 would say nothing of the feed. A value that
// holds a line break or is empty is not sent, so a server cannot make the
// program write header lines of its choosing.
CString ConditionalHeaders(const FetchValidators& validators, const CString& url);

// True when the headers of ConditionalHeaders(validators, url) make a
// request conditional, i.e. a 304 answer to it means "unchanged".
bool IsConditional(const FetchValidators& validators, const CString& url);

// Reads a Retry-After header: delta-seconds (digits only) or an HTTP date
// (read by ParseHttpDate), both around optional blanks. `now` and `until`
// are seconds since 1970-01-01 UTC. The time is capped at now plus
// kMaxRetryAfterSeconds; a date already past gives that date. False, leaving
// `until` alone, for a missing or unreadable header.
bool ParseRetryAfter(const char* header, int64_t now, int64_t& until);

// What one slot's server has told the program, as far as it matters for the
// next requests.
class FetchMemory
{
  public:
    // The validators the next request of the slot sends; empty for none.
    const FetchValidators& validators() const { return m_validators; }
    // False while the server said the feed is gone, or asked to wait until
    // after `now` (seconds since 1970-01-01 UTC): the visit then makes no
    // request.
    bool MayRequest(int64_t now) const { return !m_gone && now >= m_waitUntil; }
    bool gone() const { return m_gone; }
    int64_t waitUntil() const { return m_waitUntil; }

    // A response whose result reached the folder (written, or unchanged by
    // content): its validators are sent back next time.
    void RememberValidators(const FetchValidators& validators) { m_validators = validators; }
    // The remembered list was forgotten, or the fetch ended as ERROR or
    // CANCEL: the next request is unconditional.
    void ForgetValidators() { m_validators = FetchValidators(); }
    // A request answered with a status other than 200 and 304, at `now`:
    // 410 marks the slot gone; 429 and 503 with a readable Retry-After hold
    // back requests until that time; anything else lifts an earlier wait.
    void OnFailedAnswer(int status, const char* retryAfter, int64_t now);
    // The slot was edited: nothing of its old server counts any more.
    void Forget() { *this = FetchMemory(); }

  private:
    FetchValidators m_validators;
    bool m_gone = false;
    int64_t m_waitUntil = 0;
};
