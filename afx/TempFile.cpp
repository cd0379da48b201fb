#include "afx/TempFile.h"

#include "afx/TempName.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

const int TEMP_NAME_ATTEMPTS = 64;

} // namespace

CTempFile::~CTempFile()
{
    m_file.Close();
    if (!m_bKeep && !m_strPath.empty())
        ::DeleteFileW(m_strPath.c_str());
}

bool CTempFile::Create(const std::wstring& folder, const std::wstring& finalName, DWORD dwAttributes)
{
    static volatile LONG s_nSerial = 0;
    const unsigned seed = (::GetCurrentProcessId() << 16) ^ ::GetTickCount();
    for (int i = 0; i < TEMP_NAME_ATTEMPTS; ++i) {
        const unsigned serial = seed + unsigned(::InterlockedIncrement(&s_nSerial)) * 2654435761u;
        const std::wstring path = folder + L"\\" + TempFileName(serial, finalName.size());
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, dwAttributes, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            m_file = CHandle(h);
            m_strPath = path;
            MarkForDeletion(true);
            return true;
        }
        const DWORD err = ::GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

bool CTempFile::MoveInto(const std::wstring& target, bool bFlush, bool bReplace)
{
    if (bFlush && !::FlushFileBuffers(m_file.Get()))
        return false;
    if (!MarkForDeletion(false) && m_bMarked)
        return false;
    const std::vector<BYTE> rename = RenameInfo(target, bReplace);
    if (!rename.empty()) {
        if (::SetFileInformationByHandle(m_file.Get(), FileRenameInfo, const_cast<BYTE*>(rename.data()),
                                         DWORD(rename.size()))) {
            // The file now stands under the target's name; a failed close
            // removes it from there.
            m_strPath = target;
            if (!CloseFile())
                return false;
            m_bKeep = true;
            return true;
        }
        // A taken name is refused either way; other refusals may be the
        // rename by handle's own (some file systems and systems).
        const DWORD err = ::GetLastError();
        if (!bReplace && (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS)) {
            MarkForDeletion(true);
            return false;
        }
    }
    const DWORD flags = bReplace ? MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH : 0;
    if (!CloseFile() || !::MoveFileExW(m_strPath.c_str(), target.c_str(), flags))
        return false;
    m_bKeep = true;
    return true;
}

bool CTempFile::CloseFile()
{
    return ::CloseHandle(m_file.Detach()) != FALSE;
}

bool CTempFile::MarkForDeletion(bool bDelete)
{
    FILE_DISPOSITION_INFO info = {BOOLEAN(bDelete ? TRUE : FALSE)};
    const bool bDone = ::SetFileInformationByHandle(m_file.Get(), FileDispositionInfo, &info, sizeof info) != FALSE;
    if (bDone)
        m_bMarked = bDelete;
    return bDone;
}

std::wstring TempFileName(unsigned serial, size_t nMaxLength)
{
    wchar_t name[32];
    wsprintfW(name, L"~sv%08X.tmp", serial);
    if (std::wcslen(name) <= nMaxLength)
        return name;
    wchar_t hex[16];
    wsprintfW(hex, L"%08X", serial);
    const size_t digits = nMaxLength < 2 ? 1 : (nMaxLength - 1 > 8 ? 8 : nMaxLength - 1);
    return std::wstring(L"~") + (hex + 8 - digits);
}

std::vector<BYTE> RenameInfo(const std::wstring& target, bool bReplace)
{
    if (target.compare(0, 4, L"\\\\?\\") != 0)
        return {};
    const std::wstring native = L"\\??\\" + target.substr(4);
    const size_t nameBytes = native.size() * sizeof(wchar_t);
    std::vector<BYTE> buf(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t), 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
    info->ReplaceIfExists = bReplace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(nameBytes);
    std::memcpy(info->FileName, native.data(), nameBytes);
    return buf;
}
