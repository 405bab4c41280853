// The program's clock and the local time, on every platform.
#pragma once

#include <cstdint>
#include <ctime>

// The current time in seconds since 1970-01-01 UTC, 64 bits wide on every
// build: the 32-bit Windows program's own time_t runs out in 2038.
int64_t ClockSeconds();

// Local time of `now` (seconds since 1970-01-01 UTC); false when it cannot
// be converted.
bool LocalTime(int64_t now, std::tm& out);
