// One running copy per program file: a second start of the same Tansy.exe
// hands over to the copy already running, which would otherwise poll the
// same sites into the same folders twice. A copy of the program in another
// folder is another program and runs as well.
#pragma once

// Claims this program file for the running process, for as long as it runs.
// When another process holds the claim, asks that copy to open its tray menu
// and returns true: this start is to end.
bool HandOverToRunningCopy();
