#include "feed/update_site_items.h"

#include "feed/favorites.h"

bool WriteSiteItems(const char* siteName, const std::vector<ItemShortcut>& items)
{
    const CString name = siteName;
    if (!SiteFolderExists(name) && !CreateSiteFolder(name)) return false;
    return MirrorSiteFolder(name, items);
}
