// What a list written to a site folder brought the user: the folder's
// shortcut files as it lists them back, placed in feed order, and those
// among them that are new. Platform-free; favorites_win.cpp lists the folder.
#pragma once

#include <string>
#include <vector>

#include "feed/favorites_mirror.h"
#include "framework/cstring.h"

// A shortcut file as the site folder lists it back.
struct ListedShortcut {
    std::string name; // as listed, in the ANSI code page: the name the menu shows
    std::string key;  // folded as the file system compares names (WantedShortcut::key)
    bool urlKnown;    // its URL could be read back
    std::string url;
};
using FolderListing = std::vector<ListedShortcut>;

struct FolderGain {
    // The listed files that the list called for, each placed where the
    // item whose URL it holds stands in the feed (a repeated title: its
    // last item).
    std::vector<CString> files;
    // Those whose (name, URL) neither `before` nor `lastWritten` held, in
    // the same order. A URL that cannot be read back, on either side,
    // counts as unchanged while the name stays.
    std::vector<CString> added;
};

// `wanted`: the shortcuts the list called for, in feed order; `after`: the
// folder listed once they were written; `before`: the folder as listed
// before the write (or before the failed writes that led up to it);
// `lastWritten`: the folder once the last list reached it whole in this
// run, or null when none did.
FolderGain WhatTheFolderGains(const std::vector<WantedShortcut>& wanted, const FolderListing& after,
                              const FolderListing& before, const FolderListing* lastWritten);
