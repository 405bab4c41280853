#include "feed/feed_text.h"

void NormalizeFeedText(CString& text)
{
    // "<ITEM" has no closing bracket so that the upper-case tag with
    // attributes becomes "<item " and is then caught by the "<item " step.
    text.Replace("<ITEM", "<item");
    text.Replace("</ITEM>", "</item>");
    text.Replace("<TITLE>", "<title>");
    text.Replace("</TITLE>", "</title>");
    text.Replace("<LINK>", "<link>");
    text.Replace("</LINK>", "</link>");
    text.Replace("<item ", "<item>");
    text.Replace("&amp;", "&");
    text.Replace("&#38;", "&");
    text.Replace("&#x26;", "&");
}

void SanitizeFileName(CString& text)
{
    text.Replace("\r", "");
    text.Replace("\n", "");
    text.Replace("\\", "\x81\x8F"); // full-width yen sign
    text.Replace("/", "\x81\x5E");
    text.Replace(":", "\x81\x46");
    text.Replace("*", "\x81\x96");
    text.Replace("?", "\x81\x48");
    text.Replace("\"", "\x81\x68"); // right double quotation mark
    text.Replace("<", "\x81\x83");
    text.Replace(">", "\x81\x84");
    text.Replace("|", "\x81\x62");
}
