// Compiled with the corpus folder and the "required" flag of the build.
#include "feed_corpus.h"

#include <dirent.h>

namespace feedcorpus
{

std::string Path(const std::string& rel)
{
    return std::string(TANSY_FEEDS_DIR) + "/" + rel;
}

std::string Missing()
{
    const std::string how = "point TANSY_FEEDS at a folder of feeds to run this test "
                            "(e.g. TANSY_FEEDS=/path/to/feeds make test-native)";
    const std::string dir = TANSY_FEEDS_DIR;
    if (dir.empty()) return "no feed corpus: " + how;
    DIR* folder = opendir(dir.c_str());
    if (!folder) return "feed corpus " + dir + " not found: " + how;
    bool empty = true;
    while (const dirent* entry = readdir(folder))
        if (entry->d_name[0] != '.') {
            empty = false;
            break;
        }
    closedir(folder);
    return empty ? "feed corpus " + dir + " is empty: " + how : std::string();
}

bool Required()
{
    return TANSY_FEEDS_REQUIRED != 0;
}

} // namespace feedcorpus
