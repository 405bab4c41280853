// What the item scan finds in a feed text, for the tests of the scan and of
// the whole path from a feed file to its shortcuts.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "feed/feed_text.h"
#include "feed/item_scan.h"

namespace testscan
{

// (title, link) pairs, in feed order.
using Items = std::vector<std::pair<std::string, std::string>>;

// The pairs ScanFeedItems gives for `feed` (Shift_JIS text) once
// NormalizeFeedText has run over it.
inline Items Scan(std::string feed)
{
    CString text(std::move(feed));
    NormalizeFeedText(text);
    Items items;
    ScanFeedItems(text, [&](const CString& title, const CString& link) {
        items.emplace_back(title.str(), link.str());
    });
    return items;
}

} // namespace testscan
