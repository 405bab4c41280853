// The blink of the tray icon, step by step as its timer drives it.
#include <gtest/gtest.h>

#include <string>

#include "app/icon_blink.h"

// Events 's' (start) and 't' (tick) give steps "A750" (the alert icon, next
// step in 750 ms), "N250" (the normal icon), "-0" (no change, timer stopped).
TEST(IconBlink, StepsOfItsTimer)
{
    const std::string cycle = " N250 A750", end = cycle + cycle + cycle + cycle + " N250 -0";
    const std::pair<std::string, std::string> cases[] = {
        {"s" + std::string(10, 't'), "A750" + end},         // five cycles, ending normal
        {"s" + std::string(11, 't'), "A750" + end + " -0"}, // a late tick changes nothing
        {"t", "-0"},                                        // so does one before any blink
        {"sttts" + std::string(10, 't'), "A750 N250 A750 N250 A750" + end}, // a start restarts
    };
    for (const auto& [events, expected] : cases) {
        IconBlink blink;
        std::string steps;
        for (char event : events) {
            const BlinkStep step = event == 's' ? blink.Start() : blink.OnTick();
            steps += steps.empty() ? "" : " ";
            steps += step.icon == BlinkStep::Icon::alert    ? "A"
                     : step.icon == BlinkStep::Icon::normal ? "N"
                                                            : "-";
            steps += std::to_string(step.nextMs);
        }
        EXPECT_EQ(steps, expected) << events;
    }
}
