#include "app/site_news.h"

std::string FileNameKey(const CString& name)
{
    std::string key = name.str();
    for (size_t i = 0; i < key.size(); i += sjis::CharLength(key.data(), i, key.size()))
        key[i] = ascii::Lower(key[i]);
    return key;
}

CString ShortcutTitle(const CString& fileName)
{
    const int length = fileName.GetLength();
    if (length >= 4 && FileNameKey(fileName.Mid(length - 4)) == ".url")
        return fileName.Left(length - 4);
    return fileName;
}

SiteNews::Slot* SiteNews::At(int siteIndex)
{
    return siteIndex >= 0 && siteIndex < kSiteCount ? &m_slots[siteIndex] : nullptr;
}

void SiteNews::OnWritten(int siteIndex, const std::vector<CString>* files)
{
    Slot* slot = At(siteIndex);
    if (!slot) return;
    slot->written = files != nullptr;
    slot->files = files ? *files : std::vector<CString>();
}

void SiteNews::OnAnnounced(int siteIndex, const std::vector<CString>& added)
{
    Slot* slot = At(siteIndex);
    if (!slot) return;
    for (const CString& file : added)
        slot->marked.insert(FileNameKey(file));
    m_noticeSite = siteIndex;
    m_noticeFiles = added;
}

void SiteNews::OnSubmenuOpened(int siteIndex)
{
    if (Slot* slot = At(siteIndex)) slot->marked.clear();
}

void SiteNews::Forget(int siteIndex)
{
    if (Slot* slot = At(siteIndex)) *slot = Slot();
    if (siteIndex == m_noticeSite) {
        m_noticeSite = -1;
        m_noticeFiles.clear();
    }
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
