#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// Enumerates the items matching a pattern, "." and ".." included. The current
// item is set by FindNextFile, which looks one item ahead: it returns false
// when the item it moved to is the last one. Size and attributes come from
// the listing itself, so a walk need not open a file to learn them.
class CFileFind
{
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // False when nothing matches, the folder cannot be read, or the pattern
    // has MAX_PATH bytes or more.
    BOOL FindFile(const char* pattern = "*.*");
    BOOL FindNextFile();
    void Close();

    BOOL MatchesMask(DWORD mask) const { return m_bHasCurrent && (m_found.dwFileAttributes & mask) != 0; }
    BOOL IsDots() const;
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    DWORD GetAttributes() const { return m_bHasCurrent ? m_found.dwFileAttributes : 0; }
    uint64_t GetLength() const;
    std::string GetFileName() const;
    // The absolute path of the current item.
    std::string GetFilePath() const;
    // The absolute folder the items are in, with its closing backslash.
    const std::string& GetRoot() const { return m_strRoot; }

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA m_found = {};
    WIN32_FIND_DATAA m_next = {};
    bool m_bHasCurrent = false;
    bool m_bHasNext = false;
    std::string m_strRoot;
};
