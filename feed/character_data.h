// Character data of a feed title or link as a reader sees it: CDATA sections
// unwrapped and character references decoded. Shift_JIS text in and out;
// platform-free apart from the character-code library it writes through.
#pragma once

#include <string>

// What a CDATA section's content takes.
enum class CdataContent {
    // Taken as it stands, as XML reads it.
    Literal,
    // Its references decoded once too, like the text outside: an RSS title
    // is HTML inside the section as well.
    Decoded,
};

// Replaces each "<![CDATA[" ... "]]>" section by its content and decodes the
// character references outside the sections, once (see DecodeReferences).
// An unclosed "<![CDATA[" and everything behind it stay as written.
std::string DecodeCharacterData(const std::string& text,
                                CdataContent content = CdataContent::Literal);

// Decodes every character reference of `text` once: the XML five (&lt;
// &gt; &quot; &apos; &amp;), the named entities of HTML 4, and decimal and
// hexadecimal references (&#8217; &#038; &#x2019; &#X2019;), 128-159 taken
// as Windows-1252. Each character is written in CP932 by the library's
// UTF-8 conversion, so it gives the same bytes as the character written out
// would; a reference to 0, a surrogate or a value above U+10FFFF gives the
// geta mark. Whatever else looks like a reference (&unknown; AT&T, a
// missing semicolon) stays as written. What a reference decodes to is not
// searched again.
std::string DecodeReferences(const std::string& text);
