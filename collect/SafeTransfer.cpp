#include "collect/SafeTransfer.h"

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "afx/Handle.h"

namespace {

// Small enough that a stop is seen within milliseconds, large enough that
// the per-call cost does not show. On the stack: a heap buffer per file was
// allocated, cleared and faulted in page by page, for files mostly far
// smaller than it.
const DWORD COPY_CHUNK = 64 * 1024;
const DWORD COMPARE_CHUNK = 32 * 1024;
const int TEMP_NAME_ATTEMPTS = 64;

bool SplitTarget(const std::wstring& target, std::wstring& folder, std::wstring& name)
{
    const size_t sep = target.find_last_of(L'\\');
    if (sep == std::wstring::npos || sep + 1 >= target.size())
        return false;
    folder = target.substr(0, sep);
    name = target.substr(sep + 1);
    return true;
}

std::wstring TempName(unsigned serial, size_t nMaxLength)
{
    wchar_t name[32];
    wsprintfW(name, L"~sv%08X.tmp", serial);
    if (std::wcslen(name) <= nMaxLength)
        return name;
    // Never longer than the final name, so a target that fits the file
    // system's name limit is not refused for its temporary name.
    wchar_t hex[16];
    wsprintfW(hex, L"%08X", serial);
    const size_t digits = nMaxLength < 2 ? 1 : (nMaxLength - 1 > 8 ? 8 : nMaxLength - 1);
    return std::wstring(L"~") + (hex + 8 - digits);
}

// A rename by handle takes a native path: the long path behind \??\ instead
// of \\?\.
std::vector<BYTE> RenameInfoFor(const std::wstring& target)
{
    if (target.compare(0, 4, L"\\\\?\\") != 0)
        return {};
    const std::wstring native = L"\\??\\" + target.substr(4);
    const size_t nameBytes = native.size() * sizeof(wchar_t);
    std::vector<BYTE> buf(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t), 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(nameBytes);
    std::memcpy(info->FileName, native.data(), nameBytes);
    return buf;
}

// A file under a temporary name in the target's folder. It is marked for
// deletion from its creation until just before the rename that makes it
// final: the system removes it when its handle closes, so a program killed
// or a machine stopped in the middle of a copy leaves no temporary behind.
// Where the mark cannot be set, the object removes the file when it goes.
class CTempFile
{
public:
    CTempFile() = default;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile()
    {
        m_file.Close();
        if (!m_bKeep && !m_strPath.empty())
            ::DeleteFileW(m_strPath.c_str());
    }

    bool Create(const std::wstring& folder, const std::wstring& finalName)
    {
        static volatile LONG s_nSerial = 0;
        const unsigned seed = (::GetCurrentProcessId() << 16) ^ ::GetTickCount();
        for (int i = 0; i < TEMP_NAME_ATTEMPTS; ++i) {
            const unsigned serial = seed + unsigned(::InterlockedIncrement(&s_nSerial)) * 2654435761u;
            const std::wstring path = folder + L"\\" + TempName(serial, finalName.size());
            HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
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

    HANDLE Handle() const { return m_file.Get(); }

    // Gives the finished file its final name, never replacing one. With
    // bFlush its bytes are on the disk first. Renaming through the open
    // handle spares opening the file again, which under Wine is a good part
    // of what a small file's copy costs.
    bool MoveInto(const std::wstring& target, bool bFlush)
    {
        if (bFlush && !::FlushFileBuffers(m_file.Get()))
            return false;
        if (!MarkForDeletion(false) && m_bMarked)
            return false;
        const std::vector<BYTE> rename = RenameInfoFor(target);
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
            if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) {
                MarkForDeletion(true);
                return false;
            }
        }
        if (!CloseFile() || !::MoveFileExW(m_strPath.c_str(), target.c_str(), 0))
            return false;
        m_bKeep = true;
        return true;
    }

private:
    bool CloseFile() { return ::CloseHandle(m_file.Detach()) != FALSE; }

    bool MarkForDeletion(bool bDelete)
    {
        FILE_DISPOSITION_INFO info = {BOOLEAN(bDelete ? TRUE : FALSE)};
        const bool bDone = ::SetFileInformationByHandle(m_file.Get(), FileDispositionInfo, &info, sizeof info) != FALSE;
        if (bDone)
            m_bMarked = bDelete;
        return bDone;
    }

    CHandle m_file;
    std::wstring m_strPath;
    bool m_bKeep = false;
    bool m_bMarked = false;
};

} // namespace

namespace {

TransferResult CopyInto(const std::wstring& source, const std::wstring& target, const std::atomic<bool>& stop,
                        TargetCheck check, bool bFlush)
{
    std::wstring folder, name;
    if (!SplitTarget(target, folder, name))
        return TRANSFER_FAILED;
    CHandle src(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!src.IsValid())
        return TRANSFER_FAILED;
    // Only the times and attributes: the full handle information also asks
    // for the volume's serial number, which under Wine is a round trip to
    // another process for every file copied.
    FILE_BASIC_INFO info;
    if (!::GetFileInformationByHandleEx(src, FileBasicInfo, &info, sizeof info))
        return TRANSFER_FAILED;
    if (check == TARGET_CHECK_FIRST && ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES)
        return TRANSFER_FAILED;

    CTempFile temp;
    if (!temp.Create(folder, name))
        return TRANSFER_FAILED;
    char buf[COPY_CHUNK];
    for (;;) {
        if (stop)
            return TRANSFER_STOPPED;
        DWORD nRead = 0;
        if (!::ReadFile(src, buf, COPY_CHUNK, &nRead, nullptr))
            return TRANSFER_FAILED;
        if (nRead == 0)
            break;
        DWORD nWritten = 0;
        if (!::WriteFile(temp.Handle(), buf, nRead, &nWritten, nullptr) || nWritten != nRead)
            return TRANSFER_FAILED;
    }
    FILETIME written;
    written.dwLowDateTime = info.LastWriteTime.LowPart;
    written.dwHighDateTime = DWORD(info.LastWriteTime.HighPart);
    ::SetFileTime(temp.Handle(), nullptr, nullptr, &written);
    if (!temp.MoveInto(target, bFlush))
        return TRANSFER_FAILED;
    const DWORD kept = info.FileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (kept & ~FILE_ATTRIBUTE_ARCHIVE)
        ::SetFileAttributesW(target.c_str(), kept);
    return TRANSFER_DONE;
}

} // namespace

TransferResult SafeCopyFile(const std::wstring& source, const std::wstring& target, const std::atomic<bool>& stop,
                            TargetCheck check)
{
    return CopyInto(source, target, stop, check, false);
}

TransferResult SafeMoveFile(const std::wstring& source, const std::wstring& target, const std::atomic<bool>& stop,
                            TargetCheck check)
{
    if (::MoveFileExW(source.c_str(), target.c_str(), 0))
        return TRANSFER_DONE;
    if (::GetLastError() != ERROR_NOT_SAME_DEVICE)
        return TRANSFER_FAILED;
    // The source goes only once its copy is on the disk: a power cut just
    // after the delete must not take both.
    const TransferResult r = CopyInto(source, target, stop, check, true);
    if (r != TRANSFER_DONE)
        return r;
    if (::DeleteFileW(source.c_str()))
        return TRANSFER_DONE;
    // The source cannot go (locked, read-only): undo the copy, so the move
    // failed as a whole and the file does not exist twice.
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(target.c_str());
    return TRANSFER_FAILED;
}

bool SameFileBytes(const std::wstring& a, const std::wstring& b, const std::atomic<bool>& stop)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    CHandle fa(::CreateFileW(a.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                             nullptr));
    CHandle fb(::CreateFileW(b.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                             nullptr));
    if (!fa.IsValid() || !fb.IsValid())
        return false;
    LARGE_INTEGER sa, sb;
    if (!::GetFileSizeEx(fa, &sa) || !::GetFileSizeEx(fb, &sb) || sa.QuadPart != sb.QuadPart)
        return false;

    char ba[COMPARE_CHUNK], bb[COMPARE_CHUNK];
    for (LONGLONG left = sa.QuadPart; left > 0;) {
        if (stop)
            return false;
        const DWORD want = left < LONGLONG(COMPARE_CHUNK) ? DWORD(left) : COMPARE_CHUNK;
        DWORD na = 0, nb = 0;
        if (!::ReadFile(fa, ba, want, &na, nullptr) || !::ReadFile(fb, bb, want, &nb, nullptr))
            return false;
        if (na != want || nb != want || std::memcmp(ba, bb, want) != 0)
            return false;
        left -= want;
    }
    return true;
}
