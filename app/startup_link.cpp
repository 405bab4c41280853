#include "app/startup_link.h"

// The first byte 02 (on), the rest zero: an entry never switched off.
const unsigned char kStartupApprovedOn[kStartupApprovedSize] = {0x02};

bool StartupApproved(bool present, const unsigned char* value, size_t size)
{
    if (!present || size == 0) return true;
    return (value[0] & 1) == 0;
}

bool StartsWithWindows(const StartupFolderState& state)
{
    for (const StartupFolderLink& link : state.links)
        if (link.targetsProgram && link.approved) return true;
    return false;
}

StartupChange PlanStartupToggle(const StartupFolderState& state)
{
    StartupChange change;
    if (StartsWithWindows(state)) {
        for (const StartupFolderLink& link : state.links)
            if (link.targetsProgram) change.deleteFiles.push_back(link.fileName);
        return change;
    }
    change.writeLink = true;
    change.switchOn = !state.ownNameApproved;
    return change;
}
