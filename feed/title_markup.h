// Markup in a feed title, taken out the way a reader shows the title.
// Shift_JIS text; platform-free.
#pragma once

#include <string>

#include "framework/cstring.h"

enum class TagsRemoved {
    // Every tag and comment of HTML or XHTML: '<' followed by a letter, by
    // '/' and a letter, by '!' or by '?', up to its '>'.
    All,
    // Only the inline HTML tags that feeds put into text titles (a, b, br,
    // em, span, ...), opening, closing or empty, in any case, with
    // attributes. Any other '<' is text ("x < y", "<3").
    Inline,
};

// Position of the '>' that closes the tag whose name ends at `i` ('>' inside
// a quoted attribute value does not count), or npos.
size_t FindTagEnd(const std::string& s, size_t i);

// `text` without the tags of `which`; a <br> leaves one blank. A '<' whose
// tag is never closed by '>' stays as text, and so does a CDATA section,
// markers and all: the caller unwraps it. Linear in the length of `text`,
// however many tags are left open.
std::string RemoveTags(const std::string& text, TagsRemoved which);
