#include "framework/thread.h"

#include <process.h>
#include <windows.h>

namespace
{
struct ThreadStart {
    unsigned (*proc)(void*);
    void* param;
};

unsigned __stdcall ThreadEntry(void* raw)
{
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    return start.proc(start.param);
}
} // namespace

bool AfxBeginThread(unsigned (*proc)(void* param), void* param)
{
    auto* start = new ThreadStart{proc, param};
    const uintptr_t handle = _beginthreadex(nullptr, 0, ThreadEntry, start, 0, nullptr);
    if (handle == 0) {
        delete start;
        return false;
    }
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}
