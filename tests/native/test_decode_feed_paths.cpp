// DecodeFeedFile's buffer sizes, and its conversions against the plain form
// they replace: every code through buffers of four times the length, copied
// into the string afterwards.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <random>
#include <string>
#include <vector>

#include "feed/decode_feed.h"
#include "feed_corpus.h"
#include "jis1997/jis1997.h"
#include "read_file.h"

namespace
{

TEST(ComputeBufferSizes, NoSizeWrapsOnEitherWidth)
{
    const uint64_t size32 = UINT32_MAX;
    const uint64_t size64 = UINT64_MAX;
    struct Case {
        uint32_t length;
        uint64_t sizeMax;
        bool fits;
    };
    const Case cases[] = {
        {0, size32, true},
        {1, size32, true},
        {(1u << 30) - 2, size32, true},  // 4 x L + 4 = 2^32 - 4
        {(1u << 30) - 1, size32, false}, // 4 x L + 4 = 2^32 wraps to 0
        {(1u << 30) - 1, size64, true},  // 4 x L = 2^32 - 4 fits the 32-bit count
        {1u << 30, size64, false},       // 4 x L = 2^32 does not
        {UINT32_MAX, size64, false},
        {UINT32_MAX, size32, false},
    };
    for (const Case& c : cases) {
        // A 32-bit host holds the 64-bit rows to its own SIZE_MAX.
        const bool fits = c.fits && uint64_t(4) * c.length + 4 <= SIZE_MAX;
        feed_decode::BufferSizes sizes{};
        ASSERT_EQ(feed_decode::ComputeBufferSizes(c.length, c.sizeMax, sizes), fits)
            << c.length << " on " << c.sizeMax;
        if (!fits) continue;
        EXPECT_EQ(uint64_t(sizes.room), uint64_t(4) * c.length);
        EXPECT_EQ(uint64_t(sizes.source), uint64_t(c.length) + 4);
        EXPECT_EQ(uint64_t(sizes.conversion), uint64_t(4) * c.length + 4);
    }
}

// The conversion step as it was: both buffers 4 x L + 4 bytes from calloc,
// the result read up to its first zero byte.
std::string ReferenceConvert(uint32_t detection, const std::string& bytes)
{
    const uint32_t length = static_cast<uint32_t>(bytes.size());
    std::string source = bytes + std::string(4, '\0');
    const uint32_t room = 4 * length;
    std::vector<char> dst(size_t(room) + 4, '\0'), mid(size_t(room) + 4, '\0');
    // A declared European code is read in a text that is neither ASCII nor Unicode.
    const bool declarable = detection == JIS_CODE_EUC_JP || detection == JIS_CODE_SHIFT_JIS ||
                            detection == JIS_CODE_ISO2022_JP || detection == JIS_CODE_BINARY ||
                            detection == JIS_CODE_OTHER;
    const uint32_t declared = declarable ? JisDeclaredSingleByteCode(source.data(), length) : 0;
    if (declared) {
        JisSingleByteToSjis(dst.data(), source.data(), room, declared);
        return std::string(dst.data());
    }
    switch (detection) {
    case JIS_CODE_ASCII:
    case JIS_CODE_SHIFT_JIS:
    case JIS_CODE_BINARY:
    case JIS_CODE_OTHER:
        std::memcpy(dst.data(), source.data(), length);
        break;
    case JIS_CODE_EUC_JP:
        JisEucToSjis(dst.data(), source.data(), room);
        break;
    case JIS_CODE_ISO2022_JP:
        JisIso2022ToSjis(dst.data(), source.data(), room);
        break;
    case JIS_CODE_UTF8:
        JisUtf8ToSjis(dst.data(), source.data(), room);
        break;
    case JIS_CODE_UTF16_LE:
        JisUtf16LeToUtf8(mid.data(), source.data(), room);
        JisUtf8ToSjis(dst.data(), mid.data(), room);
        break;
    case JIS_CODE_UTF16_BE:
        JisUtf16BeToUtf8(mid.data(), source.data(), room);
        JisUtf8ToSjis(dst.data(), mid.data(), room);
        break;
    default:
        break;
    }
    return std::string(dst.data());
}

std::string Converted(uint32_t detection, const std::string& bytes)
{
    const std::string source = bytes + std::string(4, '\0');
    return feed_decode::ConvertDetected(detection, source.data(),
                                        static_cast<uint32_t>(bytes.size()))
        .str();
}

const uint32_t kCodes[] = {JIS_CODE_ASCII,      JIS_CODE_EUC_JP, JIS_CODE_SHIFT_JIS,
                           JIS_CODE_ISO2022_JP, JIS_CODE_UTF8,   JIS_CODE_UTF16_LE,
                           JIS_CODE_UTF16_BE,   JIS_CODE_BINARY, JIS_CODE_OTHER};

TEST(ConvertDetected, EqualsTheFullBufferConversionOnRandomText)
{
    // Pieces of every code, malformed bytes that become two-byte geta marks
    // (so that the text outgrows its source) and zero bytes.
    const char* const pieces[] = {
        "<title>",      "a",        "\r\n",   "\xA4\xA2", "\x8E\xB1",     "\x8F\xB0\xA1",
        "\x1B$B",       "F|",       "\x1B(B", "\x1B(I",   "\xE3\x81\x82", "\xF0\x9F\x98\x80",
        "\xEF\xBB\xBF", "\x80",     "\xFF",   "\xC3",     "\x82\xA0",     "\x83\x5C",
        "\xD8\x3D",     "\xDE\x00", "\x00",   "\x30\x42", "\xFF\xFE",     "\xFE\xFF"};
    std::mt19937 rng(77);
    std::uniform_int_distribution<size_t> pick(0, sizeof(pieces) / sizeof(pieces[0]) - 1);
    std::uniform_int_distribution<int> count(0, 120);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        for (int i = count(rng); i > 0; --i) {
            const char* piece = pieces[pick(rng)];
            bytes.append(piece, *piece ? std::strlen(piece) : 1);
        }
        for (uint32_t code : kCodes)
            ASSERT_EQ(Converted(code, bytes), ReferenceConvert(code, bytes))
                << "code " << code << ", round " << round;
    }
}

TEST(ConvertDetected, EqualsTheFullBufferConversionWhenTheTextOutgrowsItsSource)
{
    // Malformed bytes alone: each becomes a geta mark of two bytes, so the
    // text is twice as long as the source and the first try runs out of room;
    // so does 0x81, undefined in a declared Windows-1252.
    for (size_t n : {0u, 1u, 59u, 60u, 61u, 64u, 65u, 100u, 4096u}) {
        for (const char* byte : {"\x80", "\xFF", "\x1B", "\x81"}) {
            const std::string head = *byte == '\x81' ? "<?xml encoding='cp1252'?>" : "";
            const std::string bytes = head + std::string(n, *byte);
            for (uint32_t code : kCodes)
                ASSERT_EQ(Converted(code, bytes), ReferenceConvert(code, bytes))
                    << "code " << code << ", " << n << " bytes";
        }
    }
}

// DecodeFeedFile against the reference on every file of the corpus.
TEST(DecodeFeedFile, EqualsTheFullBufferConversionOnTheCorpus)
{
    NEED_FEED_CORPUS();
    const std::string root = feedcorpus::Path("");
    DIR* top = opendir(root.c_str());
    ASSERT_TRUE(top);
    int files = 0;
    while (const dirent* sub = readdir(top)) {
        if (sub->d_name[0] == '.') continue;
        const std::string folder = root + "/" + sub->d_name;
        DIR* dir = opendir(folder.c_str());
        if (!dir) continue;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            const std::string path = folder + "/" + entry->d_name;
            if (entry->d_type != DT_REG) continue;
            std::string bytes;
            EXPECT_TRUE(testfiles::ReadFile(path, bytes)) << path;
            CString text;
            DecodeFeedFile(path.c_str(), text);
            const uint32_t code = JisDetectCode(bytes.c_str(), static_cast<uint32_t>(bytes.size()));
            EXPECT_TRUE(text.str() == ReferenceConvert(code, bytes)) << path;
            ++files;
        }
        closedir(dir);
    }
    closedir(top);
    EXPECT_GT(files, 0);
}

} // namespace
