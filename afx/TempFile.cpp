#include "afx/TempFile.h"

#include "afx/TempName.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

const int TEMP_NAME_ATTEMPTS = 64;

const LONG STATUS_NAME_TAKEN = LONG(0xC0000035);   // STATUS_OBJECT_NAME_COLLISION
const LONG STATUS_NO_NAME = LONG(0xC000000D);       // STATUS_INVALID_PARAMETER
const int FILE_LINK_INFORMATION_CLASS = 11;

// The system's own call: the documented calls give a file a second name only
// by path, and a temporary open with no sharing cannot be opened again.
LONG LinkByHandle(HANDLE file, const std::vector<BYTE>& info)
{
    using SetInformationFile = LONG(NTAPI*)(HANDLE, PVOID, PVOID, ULONG, int);
    static const auto set = reinterpret_cast<SetInformationFile>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
    if (!set)
        return LONG(0xC0000002);
    // IO_STATUS_BLOCK: a status or pointer, then a pointer-sized count.
    ULONG_PTR io[2] = {};
    return set(file, io, const_cast<BYTE*>(info.data()), ULONG(info.size()), FILE_LINK_INFORMATION_CLASS);
}

// Set once a link was refused: later temporaries are made the way that
// needs none, so that no file is written twice each time.
std::atomic<bool> g_bNoLinks{false};

bool IsNameTaken(DWORD err)
{
    return err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS;
}

} // namespace

CTempFile::~CTempFile()
{
    m_file.Close();
    if (!m_bKeep && !m_bOnClose && !m_strPath.empty())
        ::DeleteFileW(m_strPath.c_str());
}

bool CTempFile::Create(const std::wstring& folder, const std::wstring& finalName, bool bReplacing, DWORD dwAttributes)
{
    static volatile LONG s_nSerial = 0;
    const bool bOnClose = !bReplacing && !g_bNoLinks;
    m_bReplacing = bReplacing;
    const unsigned seed = (::GetCurrentProcessId() << 16) ^ ::GetTickCount();
    for (int i = 0; i < TEMP_NAME_ATTEMPTS; ++i) {
        const unsigned serial = seed + unsigned(::InterlockedIncrement(&s_nSerial)) * 2654435761u;
        const std::wstring path = folder + L"\\" + TempFileName(serial, finalName.size());
        HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 dwAttributes | (bOnClose ? FILE_FLAG_DELETE_ON_CLOSE : 0), nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            m_file = CHandle(h);
            m_strPath = path;
            m_bOnClose = bOnClose;
            if (!bOnClose)
                MarkForDeletion(true);
            return true;
        }
        if (!IsNameTaken(::GetLastError()))
            return false;
    }
    return false;
}

CTempFile::Named CTempFile::MoveInto(const std::wstring& target, bool bFlush)
{
    if (bFlush && !::FlushFileBuffers(m_file.Get()))
        return NOT_NAMED;
    return m_bOnClose ? Link(target) : Rename(target);
}

CTempFile::Named CTempFile::Link(const std::wstring& target)
{
    const std::vector<BYTE> name = RenameInfo(target, false);
    const LONG status = name.empty() ? STATUS_NO_NAME : LinkByHandle(m_file.Get(), name);
    if (status == STATUS_NAME_TAKEN)
        return NAME_TAKEN;
    if (status != 0) {
        // A file system without links (FAT, exFAT, some shares), or a system
        // that refuses a link to a file to be deleted on close.
        g_bNoLinks = true;
        return NO_LINKS;
    }
    // The close takes the temporary name; the final one stays.
    CloseFile();
    m_bKeep = true;
    return NAMED;
}

CTempFile::Named CTempFile::Rename(const std::wstring& target)
{
    const bool bReplace = m_bReplacing;
    const std::vector<BYTE> name = RenameInfo(target, bReplace);
    if (!bReplace && !name.empty() && m_bMarked) {
        // A copy named while still marked, then unmarked: a kill in between
        // leaves nothing, the copy undone.
        if (SetInfo(FileRenameInfo, name.data(), name.size())) {
            m_strPath = target;
            if (!MarkForDeletion(false) || !CloseFile())
                return NOT_NAMED;
            m_bKeep = true;
            return NAMED;
        }
        if (IsNameTaken(::GetLastError()))
            return NAME_TAKEN;
        // Some systems refuse to rename a file marked for deletion.
    }
    if (!MarkForDeletion(false) && m_bMarked)
        return NOT_NAMED;
    if (!name.empty()) {
        if (SetInfo(FileRenameInfo, name.data(), name.size())) {
            // The file now stands under the target's name. A new file whose
            // close fails is removed from there; a replacement is kept: the
            // file it replaced is gone, and this one is the song now.
            m_strPath = target;
            if (!CloseFile() && !bReplace)
                return NOT_NAMED;
            m_bKeep = true;
            return NAMED;
        }
        // A taken name is refused either way; other refusals may be the
        // rename by handle's own (some file systems and systems).
        if (!bReplace && IsNameTaken(::GetLastError())) {
            MarkForDeletion(true);
            return NAME_TAKEN;
        }
    }
    if (!CloseFile())
        return NOT_NAMED;
    if (!::MoveFileExW(m_strPath.c_str(), target.c_str(), bReplace ? MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH : 0))
        return IsNameTaken(::GetLastError()) ? NAME_TAKEN : NOT_NAMED;
    m_bKeep = true;
    return NAMED;
}

bool CTempFile::CloseFile()
{
    return ::CloseHandle(m_file.Detach()) != FALSE;
}

bool CTempFile::SetInfo(FILE_INFO_BY_HANDLE_CLASS cls, const void* info, size_t size)
{
    return ::SetFileInformationByHandle(m_file.Get(), cls, const_cast<void*>(info), DWORD(size)) != FALSE;
}

bool CTempFile::MarkForDeletion(bool bDelete)
{
    FILE_DISPOSITION_INFO info = {BOOLEAN(bDelete ? TRUE : FALSE)};
    const bool bDone = SetInfo(FileDispositionInfo, &info, sizeof info);
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
