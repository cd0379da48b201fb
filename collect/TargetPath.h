#pragma once
#include <string>

// Where the organise pass puts a row's file: Destination\Artist\Album\Name.

// An artist or album names a folder level (or, with separators, several).
// It does not when it is the placeholder, or has no real name in it at all:
// the file would land a level too high. A level of dots alone ("..") would
// lead out of the destination; such a text is refused too.
bool NamesFolderLevels(const char* text, const char* placeholder);

enum TargetResult {
    TARGET_OK,
    // The artist or the album names no folder level.
    TARGET_NO_LEVEL,
    // The path's text does not fit a row's 512 bytes: cut, it would name
    // another file.
    TARGET_TOO_LONG,
    // A level the platform's ordinary paths cannot name (a device name such
    // as CON, a character no file name may hold): made through the long-path
    // form, it would be a file that the file browser cannot open.
    TARGET_UNREACHABLE,
};

struct CTargetPath
{
    std::string text;        // the CP949 text the user reads: the levels as typed
    std::wstring path;       // the file to make, long-path form
    std::wstring folder;     // its album folder, long-path form
    std::string folderText;  // the text up to the file's name, without the backslash
    std::wstring wholeText;  // text as the whole names spell it
};

// The target of a row. destText and destPath are the destination as text and
// as a long path; artist and album are CP949 tag texts; name is the file's
// own name, as text and exactly. A level's trailing dots and blanks are
// dropped, as the platform drops them from an ordinary path, so that what is
// made can be opened by every program; a level left empty goes.
TargetResult MakeTargetPath(const char* destText, const std::wstring& destPath, const char* artist,
                            const char* album, const char* nameText, const std::wstring& name, CTargetPath& out);
// The same with the artist's and album's whole texts, which name the folders
// made (the CP949 ones give the text the user reads).
TargetResult MakeTargetPath(const char* destText, const std::wstring& destPath, const char* artist,
                            const char* album, const std::wstring& wholeArtist, const std::wstring& wholeAlbum,
                            const char* nameText, const std::wstring& name, CTargetPath& out);

// True when a file or folder of this name can be reached through ordinary
// paths: no device name, no character the platform refuses, no trailing dot
// or blank.
bool IsOrdinaryName(const std::wstring& name);
