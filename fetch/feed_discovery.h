// Finding the feed a web page announces: a slot may name a site's home page
// instead of its feed, and the page's head names the feed in a
// <link rel="alternate" type="application/rss+xml" href="...">.
//
// The page is searched as decoded Shift_JIS text, not as the bytes that
// came: an href may hold non-ASCII characters, which only the decoded text
// gives in the program's code page (as a URL typed into the site dialog is),
// and a UTF-16 page has no ASCII bytes to search at all. Every character the
// search stops at (< > = / quotes, blanks) is below 0x40 and so never the
// trail byte of a two-byte character; every word it compares (tag and
// attribute names, "alternate", the feed types) is compared whole, so a
// two-byte character whose trail byte is a letter never matches one.
// Platform-free.
#pragma once

#include <functional>

#include "framework/cstring.h"

// True when the text's root element, after any byte-order mark, white
// space, processing instructions (the XML declaration), comments and
// declarations (DOCTYPE), is `html` in any case.
bool IsHtmlPage(const CString& text);

// Finds the first <link> whose rel holds the word "alternate" and whose type
// is application/rss+xml, application/atom+xml or application/rdf+xml, with
// a non-empty href; names and values in any case, attributes in any order,
// values in either quotes or none. Comments and the contents of <script>
// and <style> are skipped. `href` gets the value with character references
// (&amp; and the like) decoded, blanks around it and the tabs and line breaks
// written in it removed. A value that then still holds a control character
// (a CR or LF written as a reference, say) is no feed link, and neither is
// one that `accept`, when given, refuses: the search goes on behind it.
// False when there is no such link.
bool FindFeedLink(const CString& text, CString& href,
                  const std::function<bool(const CString&)>& accept = nullptr);

enum class DownloadKind {
    feed,                // anything but an HTML page
    pageWithFeedLink,    // an HTML page naming a feed
    pageWithoutFeedLink, // an HTML page naming none
};

// Decodes the downloaded file at `path` as a feed is decoded (DecodeFeedFile)
// and tells what it is; `href` gets the found link's value (FindFeedLink,
// with `accept`). Throws CFileException when the file cannot be read.
DownloadKind ExamineDownload(const char* path, CString& href,
                             const std::function<bool(const CString&)>& accept = nullptr);
