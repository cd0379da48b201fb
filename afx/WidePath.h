#pragma once
#include <windows.h>

#include <string>

// Files are reached by their exact UTF-16 names in the long-path form
// (\\?\C:\...), so that a name outside the Korean code page, a path of any
// length, a name ending in a dot or a blank and a name such as CON.mp3 are
// all reachable. The texts the program shows stay CP949 bytes: they are
// made from the wide names here, and never used to reach a file again.

// The code page of every text the program shows and of the tags it reads.
const UINT CP_TEXTS = 949;

// A CP949 text as UTF-16, converted exactly.
std::wstring WideFromText(const std::string& text);
// UTF-16 as CP949: '?' for what the code page cannot spell, never a
// look-alike letter, which would name another file.
std::string TextFromWide(const std::wstring& wide);

// The absolute long-path form of a path. A path already in that form is kept
// exactly as it is; any other is first made absolute and normalised as the
// platform does for ordinary paths. Empty when the path cannot be resolved.
std::wstring LongPath(const std::wstring& path);
// The same for a CP949 path.
std::wstring LongPath(const std::string& path);
// The ordinary form of a long path, for the user's eyes and the file browser.
std::wstring PlainPath(const std::wstring& path);
// The folder and a name, with one backslash between them.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// True when attributes from GetFileAttributesW name a folder.
inline bool IsFolderAttributes(DWORD dwAttributes)
{
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
// What follows the last backslash.
std::wstring NameOfPath(const std::wstring& path);
// The length of the part of a long path that names its volume ("\\?\C:\",
// "\\?\UNC\server\share\"): nothing in it can be made or removed.
size_t VolumePrefixLength(const std::wstring& path);
