// libFuzzer target for status.dat: the input is written as status.dat into a
// folder of its own and loaded. No slot value may hold a line feed, and what
// was loaded must survive a Save and a second Load unchanged, with the saved
// file being exactly the 27 values each followed by CR LF.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include "config/site_table.h"
#include "tests/native/read_file.h"

namespace
{

[[noreturn]] void Fail(const char* what, int slot, const CString& value)
{
    std::fprintf(stderr, "%s (slot %d): [", what, slot);
    for (int i = 0; i < value.GetLength(); ++i)
        std::fprintf(stderr, "%02X ", static_cast<unsigned char>(value.GetAt(i)));
    std::fprintf(stderr, "]\n");
    std::abort();
}

const std::string& Folder()
{
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base && *base ? base : "/tmp") + "/fuzz_status_dat.XXXXXX";
        if (!mkdtemp(&pattern[0])) std::abort();
        return pattern + "/";
    }();
    return folder;
}

void WriteWhole(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

const CString& Value(const SiteEntry& slot, int field)
{
    return field == 0 ? slot.url : field == 1 ? slot.name : slot.sound;
}

SiteTable* LoadInto(SiteTable* table)
{
    table->directory = Folder().c_str();
    table->Load();
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string status = Folder() + "status.dat";
    WriteWhole(status, data, size);

    auto first = std::make_unique<SiteTable>();
    LoadInto(first.get());
    std::string expected;
    for (int i = 0; i < kSiteCount; ++i) {
        for (int field = 0; field < 3; ++field) {
            const CString& value = Value(first->slots[i], field);
            if (value.str().find('\n') != std::string::npos) Fail("line feed in a value", i, value);
            expected += value.str();
            expected += "\r\n";
        }
        if (first->slots[i].modified != 0) Fail("modified set by Load", i, CString());
    }

    first->Save();
    std::string saved;
    testfiles::ReadFile(status, saved);
    if (saved != expected)
        Fail("saved file differs from the slots", -1, CString(saved.c_str(), int(saved.size())));

    auto second = std::make_unique<SiteTable>();
    LoadInto(second.get());
    for (int i = 0; i < kSiteCount; ++i)
        for (int field = 0; field < 3; ++field)
            if (Value(second->slots[i], field).str() != Value(first->slots[i], field).str())
                Fail("value changed by Save and Load", i, Value(second->slots[i], field));
    return 0;
}
