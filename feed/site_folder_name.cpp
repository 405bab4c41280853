#include "feed/site_folder_name.h"

#include "framework/cstring.h"

bool NamesSiteFolder(const char* name)
{
    if (!name || !*name) return false;
    bool onlyDotsAndBlanks = true;
    const CString text(name);
    if (text.Find('\\') >= 0 || text.Find('/') >= 0) return false;
    for (const char* p = name; *p; ++p)
        if (*p != '.' && *p != ' ') onlyDotsAndBlanks = false;
    return !onlyDotsAndBlanks;
}
