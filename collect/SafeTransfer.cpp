#include "collect/SafeTransfer.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "afx/Handle.h"
#include "afx/TempFile.h"

namespace {

// Small enough that a stop is seen within milliseconds, large enough that
// the per-call cost does not show. On the stack: a heap buffer per file was
// allocated, cleared and faulted in page by page, for files mostly far
// smaller than it.
const DWORD COPY_CHUNK = 64 * 1024;
const DWORD COMPARE_CHUNK = 32 * 1024;

bool SplitTarget(const std::wstring& target, std::wstring& folder, std::wstring& name)
{
    const size_t sep = target.find_last_of(L'\\');
    if (sep == std::wstring::npos || sep + 1 >= target.size())
        return false;
    folder = target.substr(0, sep);
    name = target.substr(sep + 1);
    return true;
}

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
