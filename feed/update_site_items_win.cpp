#include "feed/update_site_items.h"

#include "feed/decode_feed.h"
#include "feed/favorites.h"
#include "feed/feed_text.h"
#include "feed/item_scan.h"
#include "framework/file.h"

bool UpdateSiteItems(const char* siteName, const char* downloadPath)
{
    const CString name = siteName;
    if (!SiteFolderExists(name) && !CreateSiteFolder(name)) return true;
    ClearSiteFolder(name);

    CString text;
    try {
        DecodeFeedFile(downloadPath, text);
    } catch (const CFileException&) {
        // The feed file vanished or cannot be read: the folder stays empty
        // and the poll cycle goes on.
        return false;
    }
    NormalizeFeedText(text);
    ScanFeedItems(text, [&name](const CString& title, const CString& link) {
        CreateItemShortcut(name, link, title);
    });
    return true;
}
