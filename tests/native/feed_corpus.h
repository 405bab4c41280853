// The third-party feed corpus some tests read on top of the project's own
// feeds. It is optional: without it those tests are skipped, unless the build
// was told the corpus is required (TANSY_FEEDS set), when they fail. The
// benchmarks read it too.
#pragma once

#include <string>

namespace feedcorpus
{

// The path of a file of the corpus, `rel` relative to its folder.
std::string Path(const std::string& rel);

// Empty when the corpus folder exists and holds something; otherwise one
// line saying what is missing and how to point TANSY_FEEDS at a corpus.
std::string Missing();

// Whether a missing corpus fails the tests instead of skipping them.
bool Required();

} // namespace feedcorpus

// First statement of a Google Test built on the corpus: skips or fails the
// test when the corpus is missing.
#define NEED_FEED_CORPUS()                                                                         \
    do {                                                                                           \
        const std::string missing_ = feedcorpus::Missing();                                        \
        if (!missing_.empty()) {                                                                   \
            if (feedcorpus::Required()) FAIL() << missing_;                                        \
            GTEST_SKIP() << missing_;                                                              \
        }                                                                                          \
    } while (0)
