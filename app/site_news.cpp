#include "app/site_news.h"

std::string FileNameKey(const CString& name)
{
    std::string key = name.str();
    for (size_t i = 0; i < key.size(); i += sjis::CharLength(key.data(), i, key.size()))
        key[i] = ascii::Lower(key[i]);
    return key;
}

SiteNews::Slot* SiteNews::At(int siteIndex)
{
    return siteIndex >= 0 && siteIndex < kSiteCount ? &m_slots[siteIndex] : nullptr;
}

void SiteNews::OnWritten(int siteIndex, const std::vector<ItemShortcut>& items, bool whole)
{
    Slot* slot = At(siteIndex);
    if (!slot) return;
    std::set<std::pair<std::string, std::string>> pairs;
    std::set<std::string> addedKeys;
    slot->added.clear();
    slot->files.clear();
    for (const ItemShortcut& item : items) {
        const CString file = item.title + ".url";
        const std::string key = FileNameKey(file);
        auto pair = std::make_pair(key, item.link.str());
        // One file per name: a title repeated in the feed is one shortcut.
        if (addedKeys.count(key) == 0 && (!slot->written || slot->pairs.count(pair) == 0)) {
            addedKeys.insert(key);
            slot->added.push_back(item.title);
        }
        pairs.insert(std::move(pair));
        slot->files.push_back(file);
    }
    slot->written = whole;
    slot->pairs = whole ? std::move(pairs) : decltype(pairs)();
    if (!whole) slot->files.clear();
}

std::vector<CString> SiteNews::OnAnnounced(int siteIndex)
{
    Slot* slot = At(siteIndex);
    if (!slot) return {};
    for (const CString& title : slot->added)
        slot->marked.insert(FileNameKey(title + ".url"));
    return slot->added;
}

void SiteNews::OnSubmenuOpened(int siteIndex)
{
    if (Slot* slot = At(siteIndex)) slot->marked.clear();
}

void SiteNews::Forget(int siteIndex)
{
    if (Slot* slot = At(siteIndex)) *slot = Slot();
}

const std::vector<CString>* SiteNews::WrittenFiles(int siteIndex) const
{
    if (siteIndex < 0 || siteIndex >= kSiteCount || !m_slots[siteIndex].written) return nullptr;
    return &m_slots[siteIndex].files;
}

const std::set<std::string>& SiteNews::MarkedKeys(int siteIndex) const
{
    static const std::set<std::string> none;
    if (siteIndex < 0 || siteIndex >= kSiteCount) return none;
    return m_slots[siteIndex].marked;
}
