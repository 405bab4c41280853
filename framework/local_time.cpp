#include "framework/local_time.h"

bool LocalTime(std::time_t now, std::tm& out)
{
#if defined(_WIN32)
    return localtime_s(&out, &now) == 0;
#else
    return localtime_r(&now, &out) != nullptr;
#endif
}
