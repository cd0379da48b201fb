#pragma once
#include <string>

// Where the organise pass puts a row's file: Destination\Artist\Album\Name.

// An artist or album names a folder level (or, with separators, several).
// It does not when it is the placeholder, or has no real name in it at all:
// the file would land a level too high. A level of dots alone ("..") would
// lead out of the destination; such a text is refused too.
bool NamesFolderLevels(const char* text, const char* placeholder);
// An artist's or album's CP949 text and its whole text name a folder level
// as MakeTargetPath takes them: neither the placeholder nor dots, nor '?'
// and blanks alone.
bool NamesFolders(const char* text, const std::wstring& whole, const char* placeholder);

enum TargetResult {
    TARGET_OK,
    // The artist or the album names no folder level, or names one by what a
    // writer that could not encode it left of it: '?' and blanks alone.
    TARGET_NO_LEVEL,
    // The path's text does not fit a row's 512 bytes: cut, it would name
    // another file.
    TARGET_TOO_LONG,
    // The file's own name is one the platform's ordinary paths cannot name
    // (a device name such as CON, a character no file name may hold): made
    // through the long-path form, it would be a file that the file browser
    // cannot open. The file keeps its name, so the row fails.
    TARGET_UNREACHABLE,
};

struct CTargetPath
{
    std::string text;        // the CP949 text the user reads: the folders as made
    std::wstring path;       // the file to make, long-path form
    std::wstring folder;     // its album folder, long-path form
    std::string folderText;  // the text up to the file's name, without the backslash
    std::wstring wholeText;  // text as the whole names spell it, the folders as made
};

// The target of a row. destText and destPath are the destination as text and
// as a long path; artist and album are CP949 tag texts; name is the file's
// own name, as text and exactly. The folders made from the artist and album
// are named so that every program can open them through ordinary paths:
// each character no file name may hold becomes '_', a level's trailing dots
// and blanks are dropped, as the platform drops them from an ordinary path,
// and a device name gets '_' after it ("CON_", "LPT1_.x"); a level left
// empty goes. The texts show those folders, not the tag texts.
TargetResult MakeTargetPath(const char* destText, const std::wstring& destPath, const char* artist,
                            const char* album, const char* nameText, const std::wstring& name, CTargetPath& out);
// The same with the artist's and album's whole texts, which name the folders
// made. The text the user reads is the CP949 spelling of those folders; where
// a CP949 tag text is not the spelling of its whole text (a cut copy), the
// folders are shown from it instead, as its row shows it.
TargetResult MakeTargetPath(const char* destText, const std::wstring& destPath, const char* artist,
                            const char* album, const std::wstring& wholeArtist, const std::wstring& wholeAlbum,
                            const char* nameText, const std::wstring& name, CTargetPath& out);

// True when a file or folder of this name can be reached through ordinary
// paths: no device name, no character the platform refuses, no trailing dot
// or blank.
bool IsOrdinaryName(const std::wstring& name);
