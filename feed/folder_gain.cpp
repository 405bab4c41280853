#include "feed/folder_gain.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace
{

bool Holds(const FolderListing& listing, const ListedShortcut& file)
{
    return std::any_of(listing.begin(), listing.end(), [&file](const ListedShortcut& other) {
        return other.name == file.name &&
               (!other.urlKnown || !file.urlKnown || other.url == file.url);
    });
}

} // namespace

FolderGain WhatTheFolderGains(const std::vector<WantedShortcut>& wanted, const FolderListing& after,
                              const FolderListing& before, const FolderListing* lastWritten)
{
    // Saving over a file keeps its name and takes the later item's URL.
    std::unordered_map<std::string, size_t> linkFrom;
    for (size_t i = 0; i < wanted.size(); ++i)
        linkFrom[wanted[i].key] = i;
    std::vector<std::pair<size_t, const ListedShortcut*>> placed;
    for (const ListedShortcut& file : after) {
        const auto it = linkFrom.find(file.key);
        if (it != linkFrom.end()) placed.emplace_back(it->second, &file);
    }
    std::sort(placed.begin(), placed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });

    FolderGain gain;
    for (const auto& entry : placed) {
        const ListedShortcut& file = *entry.second;
        gain.files.emplace_back(file.name);
        if (!Holds(before, file) && !(lastWritten && Holds(*lastWritten, file)))
            gain.added.emplace_back(file.name);
    }
    return gain;
}
