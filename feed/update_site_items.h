// Turns a downloaded feed file into the shortcuts of one site.
#pragma once

// Makes sure the folder of site `siteName` exists, decodes the feed file at
// `downloadPath` and mirrors its usable items into the folder, one Internet
// shortcut per item (MirrorSiteFolder). Returns false only when the feed file
// could not be read (the folder's shortcuts are then deleted).
bool UpdateSiteItems(const char* siteName, const char* downloadPath);
