// The blink of the tray icon, step by step as its timer drives it.
#include <gtest/gtest.h>

#include <string>

#include "app/icon_blink.h"

namespace
{

// "A750": the alert icon, next step in 750 ms; "N250": the normal icon;
// "-0": the icon stays and the timer stops.
std::string Text(const BlinkStep& step)
{
    const char* icon = step.icon == BlinkStep::Icon::alert    ? "A"
                       : step.icon == BlinkStep::Icon::normal ? "N"
                                                              : "-";
    return icon + std::to_string(step.nextMs);
}

// Runs `events` ('s' start, 't' tick) on a fresh blink; the steps, blank-separated.
std::string Steps(const std::string& events)
{
    IconBlink blink;
    std::string steps;
    for (char event : events) {
        if (!steps.empty()) steps += ' ';
        steps += Text(event == 's' ? blink.Start() : blink.OnTick());
    }
    return steps;
}

} // namespace

TEST(IconBlink, StepsOfItsTimer)
{
    const std::string cycle = " N250 A750";
    struct Case {
        const char* what;
        std::string events, steps;
    };
    const Case cases[] = {
        {"five cycles ending on the normal icon", "s" + std::string(10, 't'),
         "A750" + cycle + cycle + cycle + cycle + " N250 -0"},
        {"a tick after the end changes nothing", "s" + std::string(11, 't'),
         "A750" + cycle + cycle + cycle + cycle + " N250 -0 -0"},
        {"a tick before any blink changes nothing", "t", "-0"},
        {"a start while blinking begins again", "sttts" + std::string(10, 't'),
         "A750 N250 A750 N250 A750" + cycle + cycle + cycle + cycle + " N250 -0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Steps(c.events), c.steps) << c.what;
}
