// The fast conversion paths (word at a time, SSE2) against the plain one,
// which converts one character at a time: the same count and the same bytes
// in the whole output buffer, past the count included, for random texts
// made of each code's awkward pieces, at every limit near the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "jis1997/jis1997.h"
#include "jis1997/jis_convert_paths.h"

namespace
{

using jis::CConverters;
using jis::Converter;

struct Code {
    const char* name;
    Converter CConverters::*function;
    // What a long run of the commonest characters is made of, after
    // runStart.
    const char* runStart;
    std::string runPiece;
    std::vector<std::string> pieces;
    // For UTF-16 to CP932: the conversion to UTF-8 that, followed by UTF-8
    // to CP932, it replaces.
    Converter CConverters::*viaUtf8 = nullptr;
};

const std::vector<std::string> kUtf16LePieces({std::string("a\0", 2), std::string("<\0t\0>\0", 6),
                                               "\x42\x30", "\xE5\x65\x2C\x67", "\x71\xFF",
                                               std::string("\xE9\0", 2), "\xB1\x03",
                                               "\x3D\xD8\x00\xDE", "\x3D\xD8", "\x00\xDC",
                                               "\xFF\xFE", "\xAC\x20", "\x51\x01", "\xFD\xFF"});
const std::vector<std::string> kUtf16BePieces({std::string("\0a", 2), std::string("\0<\0t\0>", 6),
                                               "\x30\x42", "\x65\xE5\x67\x2C", "\xFF\x71",
                                               std::string("\0\xE9", 2), "\x03\xB1",
                                               "\xD8\x3D\xDE\x00", "\xD8\x3D", "\xDC\x00",
                                               "\xFE\xFF", "\x20\xAC", "\x01\x51", "\xFF\xFD"});

const Code kCodes[] = {
    {"euc",
     &CConverters::eucToSjis,
     "",
     "\xA4\xA2",
     {"a", "<item>\n", "\xA4\xA2", "\xC6\xFC\xCB\xDC", "\x8E\xB1", "\x8F\xB0\xA1", "\xA4", "\x8E",
      "\x8F\xA2", "\xFF", "\x80", "\xAD\xA1"}},
    {"iso2022",
     &CConverters::iso2022ToSjis,
     "\x1B$B",
     "$3$s",
     {"a",     "<title>", "\x1B(B", "\x1B(J", "\x1B$B", "\x1B$@",   "\x1B$(D", "\x1B(I", "\x0E",
      "\x0F",  "$3$s",    "F|K\\",  "0!",     "\x7F",   "~",        " ",       "\n",     "\x1B",
      "\x1B$", "\xB1",    "\x80",   "\xFF",   "!",      "\x21\x7E", "\x7E\x7E"}},
    {"utf8",
     &CConverters::utf8ToSjis,
     "",
     "\xE3\x81\x82",
     {"a", "<item>", "\xE3\x81\x82", "\xE6\x97\xA5\xE6\x9C\xAC", "\xEF\xBD\xB1", "\xE2\x82\xAC",
      "\xC3\xA9", "\xF0\x9F\x98\x80", "\x80", "\xE3\x81", "\xED\xA0\x80", "\xE0\x80\x80",
      "\xEF\xBB\xBF"}},
    {"utf16le", &CConverters::utf16LeToUtf8, "", "\x42\x30", kUtf16LePieces},
    {"utf16be", &CConverters::utf16BeToUtf8, "", "\x30\x42", kUtf16BePieces},
    {"utf16le_sjis", &CConverters::utf16LeToSjis, "", "\x42\x30", kUtf16LePieces,
     &CConverters::utf16LeToUtf8},
    {"utf16be_sjis", &CConverters::utf16BeToSjis, "", "\x30\x42", kUtf16BePieces,
     &CConverters::utf16BeToUtf8},
};

// Pieces in a row, some repeated into long runs, up to `length` bytes.
std::string RandomText(const Code& code, std::mt19937& rng, size_t length)
{
    std::string text;
    while (text.size() < length) {
        const std::string& piece = code.pieces[rng() % code.pieces.size()];
        const int repeat = rng() % 3 == 0 ? static_cast<int>(rng() % 40) + 1 : 1;
        for (int k = 0; k < repeat; ++k)
            text += piece;
    }
    text.resize(length);
    return text;
}

struct Result {
    uint32_t count;
    std::vector<char> buffer;
};

// Converts `text`, placed `offset` bytes into a buffer that ends with its
// four zero bytes (so that AddressSanitizer sees any read past them), into
// a buffer of max + 64 bytes filled beforehand.
Result ConvertInto(Converter f, const std::string& text, size_t offset, uint32_t max)
{
    std::unique_ptr<char[]> in(new char[offset + text.size() + 4]);
    memset(in.get(), 'q', offset);
    memcpy(in.get() + offset, text.data(), text.size());
    memset(in.get() + offset + text.size(), 0, 4);
    Result r{0, std::vector<char>(size_t(max) + 64, '\x5A')};
    r.count = f(r.buffer.data(), in.get() + offset, max);
    return r;
}

std::vector<const CConverters*> FastPaths()
{
    std::vector<const CConverters*> paths = {&jis::kWordConverters};
    if (jis::Sse2Converters()) paths.push_back(jis::Sse2Converters());
    return paths;
}

void ExpectSameAsPlain(const Code& code, const std::string& text, size_t offset, uint32_t max)
{
    const Result plain = ConvertInto(jis::kPlainConverters.*code.function, text, offset, max);
    if (code.viaUtf8) {
        const Result utf8 = ConvertInto(jis::kPlainConverters.*code.viaUtf8, text, offset,
                                        static_cast<uint32_t>(4 * text.size()));
        const Result two = ConvertInto(jis::kPlainConverters.utf8ToSjis,
                                       std::string(utf8.buffer.data(), utf8.count), 0, max);
        ASSERT_EQ(plain.count, two.count) << code.name << " max " << max;
        ASSERT_TRUE(plain.buffer == two.buffer) << code.name << " max " << max;
    }
    for (const CConverters* path : FastPaths()) {
        const Result fast = ConvertInto(path->*code.function, text, offset, max);
        ASSERT_EQ(fast.count, plain.count) << code.name << " " << path->name << " max " << max;
        ASSERT_TRUE(fast.buffer == plain.buffer)
            << code.name << " " << path->name << " max " << max << " length " << text.size();
    }
}

TEST(ConvertPaths, SameBytesAsPlainForRandomTexts)
{
    std::mt19937 rng(2022);
    for (const Code& code : kCodes) {
        std::vector<size_t> lengths = {1000, 8190, 16390, 40000};
        for (size_t length = 0; length <= 80; ++length)
            lengths.push_back(length);
        for (size_t length : lengths) {
            const std::string text = RandomText(code, rng, length);
            const uint32_t room = static_cast<uint32_t>(4 * length);
            const uint32_t full =
                ConvertInto(jis::kPlainConverters.*code.function, text, 0, room).count;
            std::vector<uint32_t> limits = {room, full, full + 1};
            for (uint32_t back = 1; back <= 20 && back <= full; ++back)
                limits.push_back(full - back);
            for (int k = 0; k < 4; ++k)
                limits.push_back(static_cast<uint32_t>(rng() % (full + 1)));
            for (uint32_t max : limits)
                ExpectSameAsPlain(code, text, rng() % 4, max);
        }
    }
}

TEST(ConvertPaths, SameBytesAsPlainAtTheEndOfEveryRun)
{
    // A run of each length up to three blocks, ended by each of the pieces
    // and by the end of the text: where the fast loops stop and the plain
    // rules take over.
    for (const Code& code : kCodes) {
        for (size_t count = 1; count <= 48 / code.runPiece.size() + 1; ++count) {
            std::string run = code.runStart;
            for (size_t k = 0; k < count; ++k)
                run += code.runPiece;
            for (const std::string& end : code.pieces) {
                for (const std::string& text : {run + end, "ab" + run + end + "cd", run}) {
                    const uint32_t room = static_cast<uint32_t>(4 * text.size());
                    ExpectSameAsPlain(code, text, 0, room);
                    ExpectSameAsPlain(code, text, 1, static_cast<uint32_t>(text.size()));
                }
            }
        }
    }
}

TEST(ConvertPaths, Sse2PathIsTakenWhereTheCpuRunsIt)
{
#if defined(__x86_64__)
    ASSERT_NE(jis::Sse2Converters(), nullptr);
    EXPECT_TRUE(jis::CpuHasSse2());
    EXPECT_EQ(&jis::ActiveConverters(), jis::Sse2Converters());
#elif defined(__i386__)
    // The 32-bit library carries the SSE2 loops and asks CPUID before it
    // takes them. The 32-bit test tree runs this under an emulated CPU with
    // SSE2 and again under one without (TANSY_EXPECT_SSE2 says which).
    ASSERT_NE(jis::Sse2Converters(), nullptr);
    if (const char* expected = std::getenv("TANSY_EXPECT_SSE2"))
        EXPECT_EQ(jis::CpuHasSse2(), std::strcmp(expected, "1") == 0);
    EXPECT_EQ(&jis::ActiveConverters(),
              jis::CpuHasSse2() ? jis::Sse2Converters() : &jis::kWordConverters);
#else
    GTEST_SKIP() << "not an x86 build";
#endif
}

} // namespace
