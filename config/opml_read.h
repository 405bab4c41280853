// Reading a list of feeds from an OPML file, as feed readers exchange them.
//
// The reading is lenient, as the feed scan is: it looks for `outline`
// elements anywhere in the text (folders flattened, in document order), with
// attributes in either quotes and in any order, and does not ask the file to
// be well-formed XML: a bare "&" is itself. Comments, CDATA sections and a
// document type declaration (whose entities are never expanded) are passed
// over. Shift_JIS text in and out; platform-free.
#pragma once

#include <vector>

#include "framework/cstring.h"

// The attributes of one outline that names a feed, each decoded as a feed
// title is: references decoded once, runs of white space made one blank and
// both ends trimmed. Any of them may be empty except xmlUrl.
struct OpmlOutline {
    CString text;
    CString title;
    CString xmlUrl; // also read when spelled xmlurl, or in any other case
};

// Every outline of `text` with a non-empty xmlUrl, in document order. An
// attribute given twice counts as first given.
std::vector<OpmlOutline> ReadOpmlOutlines(const CString& text);

// Largest OPML file the import reads, in bytes.
constexpr unsigned kOpmlFileMaxBytes = 1024 * 1024;

enum class OpmlFileStatus {
    read,       // the file was read; the list may be empty
    tooLarge,   // larger than kOpmlFileMaxBytes: not read
    unreadable, // missing, or held by another program
};

// Reads the outlines of the file `path`, decoded as a downloaded feed is
// (UTF-8, Shift_JIS, EUC-JP and the other codes the library detects;
// characters CP932 lacks become their closest character).
OpmlFileStatus ReadOpmlFile(const char* path, std::vector<OpmlOutline>& outlines);
