// Reading a whole file, for the tests, the benchmarks and the fuzzers.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace testfiles
{

// The bytes of the file at `path`; false (and `bytes` empty) when it cannot
// be opened.
inline bool ReadFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

} // namespace testfiles
