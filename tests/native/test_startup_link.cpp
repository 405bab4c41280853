// Start with Windows: the StartupApproved rule, the tick, and what choosing
// the item changes.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/startup_link.h"

TEST(StartupLink, ApprovedValue)
{
    const unsigned char off[] = {0x03, 0, 0, 0, 0x1c, 0x2f, 0x88, 0x4e, 0, 0, 0, 0};
    const unsigned char even[] = {0x06}, odd[] = {0x01};
    EXPECT_TRUE(StartupApproved(false, nullptr, 0));                              // no value
    EXPECT_TRUE(StartupApproved(true, kStartupApprovedOn, kStartupApprovedSize)); // as written on
    EXPECT_FALSE(StartupApproved(true, off, sizeof off)); // as Task Manager switches it off
    EXPECT_TRUE(StartupApproved(true, even, 1));
    EXPECT_FALSE(StartupApproved(true, odd, 1));
    EXPECT_TRUE(StartupApproved(true, odd, 0)); // an empty value says nothing
}

TEST(StartupLink, TickAndToggle)
{
    const StartupFolderLink own{"Tansy.lnk", true, true}, ownOff{"Tansy.lnk", true, false};
    const StartupFolderLink dragged{"Tansy.exe - Shortcut.lnk", true, true};
    const StartupFolderLink elsewhere{"Tansy.lnk", false, true}, other{"Mail.lnk", false, true};
    struct Case {
        StartupFolderState state;
        bool ticked, write, switchOn;
        std::vector<std::string> deleted;
    };
    const Case cases[] = {
        {{{}, true}, false, true, false, {}},                      // empty folder
        {{{other, own}, true}, true, false, false, {"Tansy.lnk"}}, // own link
        {{{dragged, own}, true}, true, false, false, {"Tansy.exe - Shortcut.lnk", "Tansy.lnk"}},
        {{{ownOff}, false}, false, true, true, {}},    // switched off: on again
        {{{elsewhere}, true}, false, true, false, {}}, // another copy's: replaced
    };
    for (const Case& c : cases) {
        const StartupChange change = PlanStartupToggle(c.state);
        std::vector<std::string> deleted;
        for (const CString& name : change.deleteFiles)
            deleted.push_back(name.str());
        EXPECT_EQ(StartsWithWindows(c.state), c.ticked) << &c - cases;
        EXPECT_EQ(std::make_tuple(change.writeLink, change.switchOn, deleted),
                  std::make_tuple(c.write, c.switchOn, c.deleted))
            << &c - cases;
    }
}
