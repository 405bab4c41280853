#include "app/notice_text.h"

#include <algorithm>

namespace
{

const char kEllipsis[] = "\x81\x63"; // "..." as one character of code page 932

CString Fit(const CString& text, int maxBytes)
{
    return text.Left(
        static_cast<int>(sjis::FitLength(text.GetString(), text.str().size(), maxBytes)));
}

} // namespace

TrayNotice NewsNotice(const CString& siteName, const std::vector<CString>& newNames)
{
    TrayNotice notice;
    notice.title = Fit(siteName, kNoticeTitleMaxBytes);
    const size_t shown = std::min(newNames.size(), static_cast<size_t>(kNoticeNamesShown));
    for (size_t i = 0; i < shown; ++i) {
        CString line = newNames[i];
        if (line.GetLength() > kNoticeLineMaxBytes)
            line = Fit(line, kNoticeLineMaxBytes - (sizeof kEllipsis - 1)) + kEllipsis;
        if (i > 0) notice.text += "\n";
        notice.text += line;
    }
    if (newNames.size() > shown) {
        CString more;
        more.Format("\n%s and %u more", kEllipsis, static_cast<unsigned>(newNames.size() - shown));
        notice.text += more;
    }
    notice.text = Fit(notice.text, kNoticeTextMaxBytes);
    return notice;
}
