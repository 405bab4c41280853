// The local time as a broken-down time, on every platform.
#pragma once

#include <ctime>

// Local time of `now`; false when it cannot be converted.
bool LocalTime(std::time_t now, std::tm& out);
