// Mirroring a feed into a site folder without rewriting what is already
// right: the plan that turns the shortcut files found in the folder into the
// ones the feed calls for, and the plain reading of a shortcut file.
// Platform-free; favorites_win.cpp lists the folder, reads the files and
// carries the plan out.
//
// The plan leaves the folder exactly as deleting every shortcut file and then
// writing every item in feed order would: the same file names and the same
// URLs. Writing items in order to names that the file system takes for one
// file (they differ only in case) creates the file under the first item's
// name and leaves the last item's URL in it, since saving over a file keeps
// the name it has.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// A shortcut file found in the site folder.
struct FoundShortcut {
    std::string name; // file name, in the form in which names are compared exactly
    std::string key;  // the name folded as the file system compares names
    bool urlKnown;    // the file was read and holds its URL in the plain form
    std::string url;  // the URL it holds, when urlKnown
};

// A shortcut the feed calls for; the list is in feed order and may name one
// file several times.
struct WantedShortcut {
    std::string name; // file name, in the same form as FoundShortcut::name
    std::string key;  // folded as FoundShortcut::key
    std::string url;
};

// One file to write: the name of wanted item `nameFrom` with the URL of
// wanted item `urlFrom`.
struct ShortcutWrite {
    size_t nameFrom;
    size_t urlFrom;
};

struct MirrorPlan {
    std::vector<size_t> deletes;       // indices into the found files
    std::vector<ShortcutWrite> writes; // to be done after the deletes
};

// A found file stays untouched only when the feed calls for a file of exactly
// its name with exactly the URL it holds, and that URL is one the shortcut
// object stores as given. Every other found file is deleted; every file the
// feed calls for that does not stay is written, in the feed order of its
// first item.
MirrorPlan PlanMirror(const std::vector<FoundShortcut>& found,
                      const std::vector<WantedShortcut>& wanted);

// What a site folder's shortcuts are once mirrored to a list: one (file
// name, URL) pair per file, in the forms of WantedShortcut, sorted. Two lists
// with the same state leave the folder the same.
using FolderState = std::vector<std::pair<std::string, std::string>>;

// The state a folder is left in when mirrored to `wanted` (as PlanMirror
// does, whatever it held before): per file name as the file system compares
// names, the name of its first item and the URL of its last.
FolderState MirroredState(const std::vector<WantedShortcut>& wanted);

// True when the shell's shortcut object is known to store this URL byte for
// byte: printable ASCII without blanks. Other URLs (non-ASCII bytes, which
// the object re-encodes, and blanks, which it may escape or trim) cannot be
// compared with what a file holds, so their shortcuts are always rewritten.
bool UrlStoredVerbatim(const std::string& url);

// Reads the URL out of the bytes of a shortcut file as the profile reading of
// the shell sees it: the first "URL" key of the one [InternetShortcut]
// section (names and keys in any case). Returns false when the file is not in
// that plain form: a byte-order mark or a NUL byte, the section missing or
// given twice, a Unicode or ANSI variant section beside it, no URL key.
// The value is everything after the '=' up to the end of the line, untrimmed,
// so that it compares equal to a wanted URL only when the shell would read
// exactly that URL.
bool ReadShortcutUrl(const std::string& content, std::string& url);

// True for a file name that ends in ".url" in any case: the files the
// program writes into a site folder, and the only ones it deletes there.
bool IsShortcutFileName(const char* name);
