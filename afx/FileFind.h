#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// Enumerates the items matching a pattern, "." and ".." included. The current
// item is set by FindNextFile, which looks one item ahead: it returns false
// when the item it moved to is the last one. Size and attributes come from
// the listing itself, so a walk need not open a file to learn them.
//
// Items are found by their exact wide names under the long-path form, so no
// name or depth is out of reach; the narrow accessors give the CP949 texts of
// the same items.
class CFileFind
{
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // False when nothing matches or the folder cannot be read. A pattern in
    // the long-path form is taken exactly as it is; any other is made
    // absolute first.
    BOOL FindFile(const char* pattern = "*.*");
    BOOL FindFile(const std::wstring& pattern);
    BOOL FindNextFile();
    void Close();

    BOOL MatchesMask(DWORD mask) const { return m_bHasCurrent && (m_found.dwFileAttributes & mask) != 0; }
    BOOL IsDots() const;
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    DWORD GetAttributes() const { return m_bHasCurrent ? m_found.dwFileAttributes : 0; }
    uint64_t GetLength() const;
    std::string GetFileName() const;
    // The absolute path of the current item, as the user reads it.
    std::string GetFilePath() const;
    // The exact name of the current item.
    std::wstring GetFileNameW() const;
    // The current item's path in the long-path form: the way to reach it.
    std::wstring GetFilePathW() const;
    // The folder the items are in (long-path form), with its closing backslash.
    const std::wstring& GetRoot() const { return m_strRoot; }

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW m_found = {};
    WIN32_FIND_DATAW m_next = {};
    bool m_bHasCurrent = false;
    bool m_bHasNext = false;
    std::wstring m_strRoot;
};
