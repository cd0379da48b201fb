#include "collect/SafeTransfer.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>
#include <memory>
#include <vector>

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

} // namespace

struct CPreparedCopy::Impl
{
    std::wstring source;
    std::wstring target;
    TargetCheck check = TARGET_CHECK_FIRST;
    bool bFlush = false;
    std::unique_ptr<CTempFile> temp;
    DWORD dwAttributes = 0;
    // The source's times when it was copied: any write since changes one.
    LARGE_INTEGER written = {};
    LARGE_INTEGER changed = {};
    CTransferError error;

    // Keeps why the step failed; the error code is read before anything
    // else (a handle closing) can replace it.
    TransferResult Fail(TransferStep step, DWORD dwCode = ::GetLastError())
    {
        error = CTransferError{step, dwCode};
        return TRANSFER_FAILED;
    }

    // The source's bytes, time and attributes into a new temporary.
    TransferResult Write(const std::atomic<bool>& stop)
    {
        temp.reset();
        error = CTransferError();
        std::wstring folder, name;
        if (!SplitTarget(target, folder, name))
            return Fail(STEP_NAME_TARGET, ERROR_INVALID_NAME);
        CHandle src(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!src.IsValid())
            return Fail(STEP_READ_SOURCE);
        // Only the times and attributes: the full handle information also asks
        // for the volume's serial number, which under Wine is a round trip to
        // another process for every file copied.
        FILE_BASIC_INFO info;
        if (!::GetFileInformationByHandleEx(src, FileBasicInfo, &info, sizeof info))
            return Fail(STEP_READ_SOURCE);
        if (check == TARGET_CHECK_FIRST && ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES)
            return Fail(STEP_NAME_TARGET, ERROR_FILE_EXISTS);

        std::unique_ptr<CTempFile> file(new CTempFile);
        if (!file->Create(folder, name))
            return Fail(STEP_WRITE_TARGET);
        char buf[COPY_CHUNK];
        for (;;) {
            if (stop)
                return TRANSFER_STOPPED;
            DWORD nRead = 0;
            if (!::ReadFile(src, buf, COPY_CHUNK, &nRead, nullptr))
                return Fail(STEP_READ_SOURCE);
            if (nRead == 0)
                break;
            DWORD nWritten = 0;
            if (!::WriteFile(file->Handle(), buf, nRead, &nWritten, nullptr))
                return Fail(STEP_WRITE_TARGET);
            // A write cut short ran out of room.
            if (nWritten != nRead)
                return Fail(STEP_WRITE_TARGET, ERROR_DISK_FULL);
        }
        FILETIME written;
        written.dwLowDateTime = info.LastWriteTime.LowPart;
        written.dwHighDateTime = DWORD(info.LastWriteTime.HighPart);
        ::SetFileTime(file->Handle(), nullptr, nullptr, &written);
        dwAttributes = info.FileAttributes;
        this->written = info.LastWriteTime;
        this->changed = info.ChangeTime;
        temp = std::move(file);
        return TRANSFER_DONE;
    }
};

CPreparedCopy::CPreparedCopy() : m_p(new Impl) {}

CPreparedCopy::~CPreparedCopy() = default;

const CTransferError& CPreparedCopy::Error() const
{
    return m_p->error;
}

bool CPreparedCopy::IsPrepared() const
{
    return m_p->temp != nullptr;
}

bool CPreparedCopy::SourceUnchanged() const
{
    CHandle src(::CreateFileW(m_p->source.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
    FILE_BASIC_INFO info;
    return src.IsValid() && ::GetFileInformationByHandleEx(src, FileBasicInfo, &info, sizeof info) &&
           info.LastWriteTime.QuadPart == m_p->written.QuadPart && info.ChangeTime.QuadPart == m_p->changed.QuadPart;
}

TransferResult CPreparedCopy::Prepare(const std::wstring& source, const std::wstring& target,
                                      const std::atomic<bool>& stop, TargetCheck check, bool bFlush)
{
    m_p->source = source;
    m_p->target = target;
    m_p->check = check;
    m_p->bFlush = bFlush;
    return m_p->Write(stop);
}

TransferResult CPreparedCopy::Commit(const std::atomic<bool>& stop)
{
    if (!m_p->temp)
        return TRANSFER_FAILED;
    CTempFile::Named named = m_p->temp->MoveInto(m_p->target, m_p->bFlush);
    if (named == CTempFile::NO_LINKS) {
        // Made again, the way that needs no link; the first copy goes with
        // its handle.
        const TransferResult r = m_p->Write(stop);
        if (r != TRANSFER_DONE)
            return r;
        named = m_p->temp->MoveInto(m_p->target, m_p->bFlush);
    }
    const DWORD dwNameError = ::GetLastError();
    m_p->temp.reset();
    if (named == CTempFile::NAME_TAKEN)
        return m_p->Fail(STEP_NAME_TARGET, ERROR_FILE_EXISTS);
    if (named != CTempFile::NAMED)
        return m_p->Fail(STEP_NAME_TARGET, dwNameError);
    const DWORD kept = m_p->dwAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (kept & ~FILE_ATTRIBUTE_ARCHIVE)
        ::SetFileAttributesW(m_p->target.c_str(), kept);
    return TRANSFER_DONE;
}

TransferResult SafeCopyFile(const std::wstring& source, const std::wstring& target, const std::atomic<bool>& stop,
                            TargetCheck check)
{
    CPreparedCopy copy;
    const TransferResult r = copy.Prepare(source, target, stop, check, false);
    return r == TRANSFER_DONE ? copy.Commit(stop) : r;
}

TransferResult CompleteMove(const std::wstring& source, const std::wstring& target, CPreparedCopy& copy,
                            const std::atomic<bool>& stop, TargetCheck check, bool& bCopied, CTransferError* pError)
{
    CTransferError unasked;
    CTransferError& error = pError ? *pError : unasked;
    bCopied = false;
    // A source written since its copy was made ahead (a tag edit) is copied
    // again: the move must not take the edit away with the source.
    if (copy.IsPrepared() && !copy.SourceUnchanged()) {
        const TransferResult r = copy.Prepare(source, target, stop, check, true);
        if (r != TRANSFER_DONE) {
            error = copy.Error();
            return r;
        }
    }
    if (!copy.IsPrepared()) {
        if (::MoveFileExW(source.c_str(), target.c_str(), 0))
            return TRANSFER_DONE;
        const DWORD dwError = ::GetLastError();
        if (dwError != ERROR_NOT_SAME_DEVICE) {
            error = CTransferError{STEP_RENAME, dwError};
            return TRANSFER_FAILED;
        }
        bCopied = true;
        // The source goes only once its copy is on the disk: a power cut just
        // after the delete must not take both.
        const TransferResult r = copy.Prepare(source, target, stop, check, true);
        if (r != TRANSFER_DONE) {
            error = copy.Error();
            return r;
        }
    }
    const TransferResult r = copy.Commit(stop);
    if (r != TRANSFER_DONE) {
        error = copy.Error();
        return r;
    }
    if (::DeleteFileW(source.c_str()))
        return TRANSFER_DONE;
    error = CTransferError{STEP_REMOVE_SOURCE, ::GetLastError()};
    // The source cannot go (locked, read-only): undo the copy, so the move
    // failed as a whole and the file does not exist twice.
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(target.c_str());
    return TRANSFER_FAILED;
}

TransferResult SafeMoveFile(const std::wstring& source, const std::wstring& target, const std::atomic<bool>& stop,
                            TargetCheck check)
{
    CPreparedCopy copy;
    bool bCopied;
    return CompleteMove(source, target, copy, stop, check, bCopied);
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
