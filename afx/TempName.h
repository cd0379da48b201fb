#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// What the program's temporary files share, wherever they are made.

// The name of a temporary beside a file whose name has nMaxLength
// characters: never longer, so a final name that fits the file system's
// limit is not refused for its temporary one, and never ending in the final
// name's extension, so it is not taken for a song.
std::wstring TempFileName(unsigned serial, size_t nMaxLength);

// The FILE_RENAME_INFO (or, the same layout, a link's information) that
// names a file by its handle: the long path behind \??\ instead of \\?\.
// Empty for a path not in the long-path form.
std::vector<BYTE> RenameInfo(const std::wstring& target, bool bReplace);
