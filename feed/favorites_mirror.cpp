#include "feed/favorites_mirror.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "framework/cstring.h"

namespace
{

bool EqualsNoCase(const std::string& s, const char* word)
{
    return s.size() == std::strlen(word) && ascii::StartsWithNoCase(s.data(), s.size(), word);
}

bool ContainsNoCase(const std::string& s, const char* word)
{
    for (size_t i = 0; i < s.size(); ++i)
        if (ascii::StartsWithNoCase(s.data() + i, s.size() - i, word)) return true;
    return false;
}

std::string TrimBlanks(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The items of one file: the first names it, the last gives its URL.
struct WantedFile {
    size_t nameFrom;
    size_t urlFrom;
};

} // namespace

MirrorPlan PlanMirror(const std::vector<FoundShortcut>& found,
                      const std::vector<WantedShortcut>& wanted)
{
    std::unordered_map<std::string, WantedFile> files;
    std::vector<const std::string*> order;
    for (size_t i = 0; i < wanted.size(); ++i) {
        const auto added = files.emplace(wanted[i].key, WantedFile{i, i});
        if (added.second)
            order.push_back(&added.first->first);
        else
            added.first->second.urlFrom = i;
    }

    MirrorPlan plan;
    std::unordered_set<std::string> kept;
    for (size_t j = 0; j < found.size(); ++j) {
        const FoundShortcut& file = found[j];
        const auto it = files.find(file.key);
        bool keep = false;
        if (it != files.end() && file.urlKnown) {
            const std::string& url = wanted[it->second.urlFrom].url;
            keep = file.name == wanted[it->second.nameFrom].name && file.url == url &&
                   UrlStoredVerbatim(url) && kept.insert(file.key).second;
        }
        if (!keep) plan.deletes.push_back(j);
    }
    for (const std::string* key : order)
        if (!kept.count(*key)) {
            const WantedFile& file = files.at(*key);
            plan.writes.push_back({file.nameFrom, file.urlFrom});
        }
    return plan;
}

FolderState MirroredState(const std::vector<WantedShortcut>& wanted)
{
    std::unordered_map<std::string, WantedFile> files;
    for (size_t i = 0; i < wanted.size(); ++i) {
        const auto added = files.emplace(wanted[i].key, WantedFile{i, i});
        if (!added.second) added.first->second.urlFrom = i;
    }
    FolderState state;
    state.reserve(files.size());
    for (const auto& file : files)
        state.emplace_back(wanted[file.second.nameFrom].name, wanted[file.second.urlFrom].url);
    std::sort(state.begin(), state.end());
    return state;
}

bool UrlStoredVerbatim(const std::string& url)
{
    if (url.empty()) return false;
    for (unsigned char c : url)
        if (c <= 0x20 || c >= 0x7F) return false;
    return true;
}

bool ReadShortcutUrl(const std::string& content, std::string& url)
{
    if (content.find('\0') != std::string::npos) return false;
    const unsigned char first = content.empty() ? 0 : static_cast<unsigned char>(content[0]);
    if (first == 0xEF || first == 0xFF || first == 0xFE) return false; // byte-order marks

    bool inSection = false;
    bool sawSection = false;
    bool haveUrl = false;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = content.size();
        const std::string line = content.substr(pos, end - pos);
        pos = end + 1;
        const std::string trimmed = TrimBlanks(line);
        if (!trimmed.empty() && trimmed[0] == '[') {
            inSection = EqualsNoCase(trimmed, "[InternetShortcut]");
            // A second copy of the section, or one of its Unicode or ANSI
            // variants, may hold the URL the shell actually uses.
            if ((inSection && sawSection) ||
                (!inSection && ContainsNoCase(trimmed, "InternetShortcut")))
                return false;
            sawSection = sawSection || inSection;
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || haveUrl || equals == std::string::npos) continue;
        if (!EqualsNoCase(TrimBlanks(line.substr(0, equals)), "URL")) continue;
        url = line.substr(equals + 1);
        haveUrl = true;
    }
    return haveUrl;
}

bool IsShortcutFileName(const char* name)
{
    const size_t length = std::strlen(name);
    return length >= 4 && EqualsNoCase(std::string(name + length - 4), ".url");
}
