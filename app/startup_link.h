// The program's link in the user's Startup folder, which has Windows start
// it at sign-in: when the menu shows it as ticked, and what choosing the item
// changes. The Windows half (startup_link_win.cpp) reads the folder and the
// registry, and carries out what is decided here. Platform-free.
#pragma once

#include <cstddef>
#include <vector>

#include "framework/cstring.h"

// The link Tansy writes; any other link to the program counts as well (the
// "Tansy.exe - Shortcut.lnk" a user makes by dragging).
constexpr const char* kStartupLinkName = "Tansy.lnk";
// Where Task Manager and Settings note that a link of the Startup folder is
// switched off; one binary value per link, named by its file name.
constexpr const char* kStartupApprovedKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";
// The value Windows writes for a link that is switched on.
constexpr size_t kStartupApprovedSize = 12;
extern const unsigned char kStartupApprovedOn[kStartupApprovedSize];

// Whether Windows runs a link by its value under kStartupApprovedKey: a link
// without a value, or whose first byte is even, runs; an odd one does not.
bool StartupApproved(bool present, const unsigned char* value, size_t size);

struct StartupFolderLink {
    CString fileName;
    bool targetsProgram = false; // the link's target is this program file
    bool approved = true;        // StartupApproved of its value
};

struct StartupFolderState {
    std::vector<StartupFolderLink> links; // every shell link in the folder
    bool ownNameApproved = true;          // StartupApproved of kStartupLinkName's value
};

// The item is ticked: a link to this program that Windows runs.
bool StartsWithWindows(const StartupFolderState& state);

// What choosing the item does: when ticked, every link to this program goes;
// otherwise kStartupLinkName is written to point here (replacing one to
// another path), and switched on when Windows has it switched off.
struct StartupChange {
    bool writeLink = false;
    bool switchOn = false;
    std::vector<CString> deleteFiles;
};
StartupChange PlanStartupToggle(const StartupFolderState& state);
