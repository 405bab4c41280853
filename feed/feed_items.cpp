#include "feed/feed_items.h"

#include "feed/decode_feed.h"
#include "feed/feed_text.h"
#include "feed/item_scan.h"

std::vector<ItemShortcut> ReadFeedItems(const char* path)
{
    CString text;
    DecodeFeedFile(path, text);
    NormalizeFeedText(text);
    std::vector<ItemShortcut> items;
    ScanFeedItems(text, [&items](const CString& title, const CString& link) {
        items.push_back({title, link});
    });
    return items;
}

namespace
{

constexpr uint64_t kFnvOffsetBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

void HashBytes(uint64_t& hash, const unsigned char* bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        hash ^= bytes[i];
        hash *= kFnvPrime;
    }
}

// The field's length as eight little-endian bytes, then its bytes.
void HashField(uint64_t& hash, const CString& field)
{
    const std::string& s = field.str();
    uint64_t length = s.size();
    unsigned char prefix[8];
    for (unsigned char& byte : prefix) {
        byte = static_cast<unsigned char>(length & 0xFF);
        length >>= 8;
    }
    HashBytes(hash, prefix, sizeof prefix);
    HashBytes(hash, reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

} // namespace

uint64_t DigestItems(const std::vector<ItemShortcut>& items)
{
    uint64_t hash = kFnvOffsetBasis;
    for (const ItemShortcut& item : items) {
        HashField(hash, item.title);
        HashField(hash, item.link);
    }
    return hash;
}
