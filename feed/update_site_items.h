// Turns the downloaded dl.dat into the shortcuts of one site.
#pragma once

// Makes sure the site's folder exists, empties it, decodes dl.dat and writes
// one Internet shortcut per usable feed item. Returns false only when
// dl.dat could not be read (the folder is then left empty).
bool UpdateSiteItems(int siteIndex);
