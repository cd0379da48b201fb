#include "afx/FileFind.h"

#include <cwchar>

#include "afx/WidePath.h"

BOOL CFileFind::FindFile(const char* pattern)
{
    Close();
    if (!pattern)
        return FALSE;
    return FindFile(LongPath(std::string(pattern)));
}

BOOL CFileFind::FindFile(const std::wstring& pattern)
{
    Close();
    const std::wstring full = LongPath(pattern);
    const size_t sep = full.find_last_of(L'\\');
    if (full.empty() || sep == std::wstring::npos)
        return FALSE;
    // A basic listing: the short names would only cost the file system a
    // lookup per item.
    m_hFind = ::FindFirstFileExW(full.c_str(), FindExInfoBasic, &m_next, FindExSearchNameMatch, nullptr, 0);
    if (m_hFind == INVALID_HANDLE_VALUE)
        return FALSE;
    m_strRoot = full.substr(0, sep + 1);
    m_bHasNext = true;
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_bHasNext)
        return FALSE;
    m_found = m_next;
    m_bHasCurrent = true;
    m_bHasNext = ::FindNextFileW(m_hFind, &m_next) != FALSE;
    return m_bHasNext;
}

void CFileFind::Close()
{
    if (m_hFind != INVALID_HANDLE_VALUE)
        ::FindClose(m_hFind);
    m_hFind = INVALID_HANDLE_VALUE;
    m_bHasCurrent = m_bHasNext = false;
    m_strRoot.clear();
}

BOOL CFileFind::IsDots() const
{
    if (!IsDirectory())
        return FALSE;
    const wchar_t* name = m_found.cFileName;
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

uint64_t CFileFind::GetLength() const
{
    if (!m_bHasCurrent)
        return 0;
    return (uint64_t(m_found.nFileSizeHigh) << 32) | m_found.nFileSizeLow;
}

std::wstring CFileFind::GetFileNameW() const
{
    return m_bHasCurrent ? std::wstring(m_found.cFileName) : std::wstring();
}

std::wstring CFileFind::GetFilePathW() const
{
    return m_bHasCurrent ? m_strRoot + m_found.cFileName : std::wstring();
}

std::string CFileFind::GetFileName() const
{
    return TextFromWide(GetFileNameW());
}

std::string CFileFind::GetFilePath() const
{
    return TextFromWide(PlainPath(GetFilePathW()));
}
