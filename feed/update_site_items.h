// Turns the downloaded dl.dat into the shortcuts of one site.
#pragma once

// Makes sure the site's folder exists, empties it, decodes dl.dat and writes
// one Internet shortcut per usable feed item.
void UpdateSiteItems(int siteIndex);
