// sjis::Find skips ahead to candidates (sixteen at a time where it can, or by
// memchr) and decides character boundaries by looking back; both forms must
// agree with a plain character-by-character walk.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "framework/cstring.h"

namespace
{

size_t WalkingFind(const std::string& text, const std::string& pat, size_t from)
{
    for (size_t i = from; i + pat.size() <= text.size();
         i += sjis::CharLength(text.data(), i, text.size()))
        if (text.compare(i, pat.size(), pat) == 0) return i;
    return std::string::npos;
}

TEST(SjisFind, NeverMatchesOnATrailByte)
{
    const std::string text = "\x83\x5C\x83\x5C\\";
    EXPECT_EQ(sjis::Find(text.data(), text.size(), "\\", 1, 0), 4u);
    // A run of lead-byte values pairs up from the start of the run.
    const std::string run = "\x81\x81\x81<\x81<";
    EXPECT_EQ(sjis::Find(run.data(), run.size(), "<", 1, 0), std::string::npos);
    const std::string evenRun = "\x81\x81<";
    EXPECT_EQ(sjis::Find(evenRun.data(), evenRun.size(), "<", 1, 0), 2u);
    EXPECT_EQ(sjis::Find(evenRun.data(), evenRun.size(), "\x81", 1, 1), 1u);
}

TEST(SjisFind, AgreesWithACharacterWalkOnRandomText)
{
    // Few distinct bytes, many of them lead-byte values, so that matches on
    // trail bytes and long lead runs are common.
    const char alphabet[] = {'<', 'a', '\\', '\x81', '\x83', '\x5C', '\xE0', '&'};
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> pick(0, sizeof(alphabet) - 1);
    std::uniform_int_distribution<int> len(0, 80);
    for (int round = 0; round < 20000; ++round) {
        std::string text, pat;
        for (int i = len(rng); i > 0; --i)
            text += alphabet[pick(rng)];
        for (int i = 1 + len(rng) % 3; i > 0; --i)
            pat += alphabet[pick(rng)];
        // Every search in the program starts on a character boundary.
        size_t from = 0;
        for (int steps = len(rng) % 8; steps > 0 && from < text.size(); --steps)
            from += sjis::CharLength(text.data(), from, text.size());
        const size_t expected = WalkingFind(text, pat, from);
        ASSERT_EQ(sjis::Find(text.data(), text.size(), pat.data(), pat.size(), from), expected)
            << "text of " << text.size() << " bytes, round " << round;
        ASSERT_EQ(sjis::FindPortable(text.data(), text.size(), pat.data(), pat.size(), from),
                  expected)
            << "text of " << text.size() << " bytes, round " << round;
    }
}

} // namespace
