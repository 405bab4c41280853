// Start with Windows: the StartupApproved rule, the tick, and what choosing
// the item changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup_link.h"

TEST(StartupLink, ApprovedValue)
{
    struct Case {
        const char* what;
        bool present;
        std::vector<unsigned char> value;
        bool approved;
    };
    const Case cases[] = {
        {"no value", false, {}, true},
        {"as Windows writes it on", true, {0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
        {"as Task Manager switches it off", true, {0x03, 0, 0, 0, 0x1c, 0x2f, 0x88, 0x4e, 0, 0, 0, 0},
         false},
        {"another even first byte", true, {0x06}, true},
        {"another odd first byte", true, {0x01}, false},
        {"an empty value says nothing", true, {}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StartupApproved(c.present, c.value.data(), c.value.size()), c.approved) << c.what;
    EXPECT_TRUE(StartupApproved(true, kStartupApprovedOn, kStartupApprovedSize));
}

TEST(StartupLink, TickAndToggle)
{
    const StartupFolderLink own{"Tansy.lnk", true, true};
    const StartupFolderLink ownOff{"Tansy.lnk", true, false};
    const StartupFolderLink dragged{"Tansy.exe - Shortcut.lnk", true, true};
    const StartupFolderLink elsewhere{"Tansy.lnk", false, true};
    const StartupFolderLink other{"Mail.lnk", false, true};
    struct Case {
        const char* what;
        StartupFolderState state;
        bool ticked;
        bool write, switchOn;
        std::vector<std::string> deleted;
    };
    const Case cases[] = {
        {"empty folder", {{}, true}, false, true, false, {}},
        {"own link", {{other, own}, true}, true, false, false, {"Tansy.lnk"}},
        {"any name counts, and every link here goes", {{dragged, own}, true}, true, false, false,
         {"Tansy.exe - Shortcut.lnk", "Tansy.lnk"}},
        {"switched off: written again and on", {{ownOff}, false}, false, true, true, {}},
        {"link of a copy in another folder: replaced", {{elsewhere}, true}, false, true, false, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StartsWithWindows(c.state), c.ticked) << c.what;
        const StartupChange change = PlanStartupToggle(c.state);
        EXPECT_EQ(change.writeLink, c.write) << c.what;
        EXPECT_EQ(change.switchOn, c.switchOn) << c.what;
        std::vector<std::string> deleted;
        for (const CString& name : change.deleteFiles)
            deleted.push_back(name.str());
        EXPECT_EQ(deleted, c.deleted) << c.what;
    }
}
