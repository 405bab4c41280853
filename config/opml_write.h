// Writing the sites as an OPML 2.0 file that other feed readers take in.
// UTF-8 text in and out; platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One used slot, its name and URL in UTF-8.
struct OpmlSite {
    std::string name;
    std::string url;
};

// `text` as an attribute value between double quotes: & < > and " as
// entities, tab, CR and LF as character references (so that a reader does
// not fold them into blanks), every other control character dropped, since
// XML 1.0 has no form for it.
std::string OpmlAttributeText(const std::string& text);

// `seconds` since 1970-01-01 UTC in the RFC 822 form OPML dates take, GMT:
// "Wed, 09 Dec 2026 02:47:56 GMT".
std::string Rfc822Date(int64_t seconds);

// The whole file: the XML declaration, a head with its title and the
// date it was made, and one rss outline per site, in the given order, with
// the name as its text and title and the URL as its xmlUrl. Lines end in
// CR LF.
std::string OpmlDocument(const std::vector<OpmlSite>& sites, int64_t now);

// Writes `document` to `path` through a temporary file beside it that is then
// put in its place, so that a failed write leaves the old file whole. False
// when the file could not be written or put in place.
bool SaveOpmlFile(const char* path, const std::string& document);
