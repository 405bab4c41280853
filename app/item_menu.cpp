#include "app/item_menu.h"

#include <algorithm>
#include <map>

#include "app/site_news.h"

namespace
{

// "..." as one character of code page 932.
const char kEllipsis[] = "\x81\x63";

} // namespace

CString ItemCaption(const CString& fileName)
{
    CString name = FitText(ShortcutTitle(fileName), kItemCaptionMaxBytes, kEllipsis);
    name.Replace("&", "&&"); // a single "&" would underline the next character
    return name;
}

std::vector<size_t> NewestFirst(const std::vector<CString>& files,
                                const std::vector<CString>* written)
{
    std::vector<size_t> byName(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        byName[i] = i;
    std::sort(byName.begin(), byName.end(), [&files](size_t a, size_t b) {
        const std::string ka = FileNameKey(files[a]), kb = FileNameKey(files[b]);
        return ka != kb ? ka < kb : files[a].str() < files[b].str();
    });
    if (!written) return byName;

    // The file system takes names that differ only in case for one file.
    std::multimap<std::string, size_t> unlisted;
    for (size_t i : byName)
        unlisted.emplace(FileNameKey(files[i]), i);
    std::vector<size_t> order;
    for (const CString& name : *written) {
        const auto it = unlisted.find(FileNameKey(name));
        if (it == unlisted.end()) continue; // deleted, or never written
        order.push_back(it->second);
        unlisted.erase(it);
    }
    for (size_t i : byName)
        if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);
    return order;
}

std::vector<ItemMenuRow> SiteItemRows(const std::vector<CString>& files, bool folderExists,
                                      const std::vector<CString>* written,
                                      const std::set<std::string>& marked)
{
    std::vector<ItemMenuRow> rows;
    const std::vector<size_t> order = NewestFirst(files, written);
    for (size_t i = 0; i < order.size() && i < kMenuItemsMax; ++i) {
        ItemMenuRow row;
        row.caption = ItemCaption(files[order[i]]);
        row.action = ItemAction::openItem;
        row.file = order[i];
        row.checked = marked.count(FileNameKey(files[order[i]])) != 0;
        rows.push_back(row);
    }
    ItemMenuRow openAll;
    for (const ItemMenuRow& row : rows)
        if (row.checked) openAll.files.push_back(row.file);
    if (!openAll.files.empty()) {
        // The marks go when the submenu opens: the row keeps its files.
        openAll.action = ItemAction::openAll;
        openAll.caption.Format("Open the %u new items",
                               static_cast<unsigned>(openAll.files.size()));
        if (openAll.files.size() == 1) openAll.caption = "Open the new item";
        rows.insert(rows.begin(), {openAll, ItemMenuRow()});
    }
    if (rows.empty()) {
        ItemMenuRow none;
        none.caption = "(no items)";
        none.grayed = true;
        rows.push_back(none);
    }
    rows.push_back(ItemMenuRow()); // separator
    ItemMenuRow folder;
    folder.caption = "Open folder";
    folder.action = folderExists ? ItemAction::openFolder : ItemAction::none;
    folder.grayed = !folderExists;
    rows.push_back(folder);
    if (order.size() > kMenuItemsMax) {
        folder.caption = CString("More in the folder") + kEllipsis;
        rows.push_back(folder);
    }
    return rows;
}

bool AnyRowChecked(const std::vector<ItemMenuRow>& rows)
{
    return std::any_of(rows.begin(), rows.end(),
                       [](const ItemMenuRow& row) { return row.checked; });
}

NoticeTarget NoticeClickTarget(const std::vector<CString>& named, const std::vector<CString>& files)
{
    NoticeTarget target;
    for (size_t i = 0; i < files.size(); ++i)
        for (const CString& name : named)
            if (FileNameKey(files[i]) == FileNameKey(name)) {
                target.action =
                    named.size() == 1 ? NoticeAction::openItem : NoticeAction::showSubmenu;
                target.file = i;
                return target;
            }
    return target;
}
