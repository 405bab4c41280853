#include "app/notice_text.h"

#include <algorithm>

namespace
{

const char kEllipsis[] = "\x81\x63"; // "..." as one character of code page 932

} // namespace

TrayNotice NewsNotice(const CString& siteName, const std::vector<CString>& newNames)
{
    TrayNotice notice;
    notice.title = FitText(siteName, kNoticeTitleMaxBytes);
    const size_t shown = std::min(newNames.size(), static_cast<size_t>(kNoticeNamesShown));
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) notice.text += "\n";
        notice.text += FitText(newNames[i], kNoticeLineMaxBytes, kEllipsis);
    }
    if (newNames.size() > shown) {
        CString more;
        more.Format("\n%s and %u more", kEllipsis, static_cast<unsigned>(newNames.size() - shown));
        notice.text += more;
    }
    notice.text = FitText(notice.text, kNoticeTextMaxBytes);
    return notice;
}
