#include "app/site_menu.h"

CString SiteMenuText(int siteIndex, const SiteEntry& site, bool lastFetchFailed)
{
    CString text;
    text.Format("%d", siteIndex + 1);
    // Empty slots are fetched too and always fail; they stay plain numbers.
    if (site.url.IsEmpty()) return text;
    if (!site.name.IsEmpty()) {
        const size_t keep = sjis::FitLength(site.name.GetString(), site.name.str().size(),
                                            static_cast<size_t>(kMenuNameMaxBytes));
        CString name = site.name.Left(static_cast<int>(keep));
        name.Replace("&", "&&"); // a single "&" would underline the next character
        text += " ";
        text += name;
    }
    if (lastFetchFailed) text += " (error)";
    return text;
}

SiteListMenuState SiteListMenu(bool dialogOpen, const SiteTable& sites)
{
    bool anyUsed = false;
    for (const SiteEntry& site : sites.slots)
        if (!site.url.IsEmpty()) anyUsed = true;
    return {!dialogOpen, !dialogOpen && anyUsed};
}
