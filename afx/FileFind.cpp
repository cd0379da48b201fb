#include "afx/FileFind.h"

#include <cstring>

BOOL CFileFind::FindFile(const char* pattern)
{
    Close();
    if (!pattern || std::strlen(pattern) >= MAX_PATH)
        return FALSE;

    char full[1024];
    char* filePart = nullptr;
    DWORD n = ::GetFullPathNameA(pattern, sizeof full, full, &filePart);
    if (n == 0 || n >= sizeof full)
        return FALSE;
    m_strRoot.assign(full, filePart ? size_t(filePart - full) : std::strlen(full));

    m_hFind = ::FindFirstFileA(pattern, &m_next);
    if (m_hFind == INVALID_HANDLE_VALUE) {
        m_strRoot.clear();
        return FALSE;
    }
    m_bHasNext = true;
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_bHasNext)
        return FALSE;
    m_found = m_next;
    m_bHasCurrent = true;
    m_bHasNext = ::FindNextFileA(m_hFind, &m_next) != FALSE;
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
    const char* name = m_found.cFileName;
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

uint64_t CFileFind::GetLength() const
{
    if (!m_bHasCurrent)
        return 0;
    return (uint64_t(m_found.nFileSizeHigh) << 32) | m_found.nFileSizeLow;
}

std::string CFileFind::GetFileName() const
{
    return m_bHasCurrent ? std::string(m_found.cFileName) : std::string();
}

std::string CFileFind::GetFilePath() const
{
    if (!m_bHasCurrent)
        return std::string();
    std::string path = m_strRoot;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    return path + m_found.cFileName;
}
