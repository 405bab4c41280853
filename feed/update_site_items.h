// Turns a downloaded feed file into the shortcuts of one site.
#pragma once

// Makes sure the folder of site `siteName` exists, empties it, decodes the
// feed file at `downloadPath` and writes one Internet shortcut per usable
// feed item. Returns false only when the feed file could not be read (the
// folder is then left empty).
bool UpdateSiteItems(const char* siteName, const char* downloadPath);
