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
#include "afx/TempName.h"

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
// needs none.
std::atomic<bool> g_bNoLinks{false};

// A file under a temporary name in the target's folder, removed by the system
// when its handle closes, however the program ends, until it has its final
// name. Where the file system has links, the mark is part of the request that
// creates the file (delete on close) and the final name is a second link made
// through the handle: the temporary name goes at the close, and there is no
// moment at which a temporary stands unmarked. Elsewhere the mark is set
// just after the creation and the file is renamed while still marked where
// the system allows it; the object removes a file it could not mark.
class CTempFile
{
public:
    enum Named { NAMED, NAME_TAKEN, NOT_NAMED, NO_LINKS };

    CTempFile() = default;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile()
    {
        m_file.Close();
        if (!m_bKeep && !m_bOnClose && !m_strPath.empty())
            ::DeleteFileW(m_strPath.c_str());
    }

    bool Create(const std::wstring& folder, const std::wstring& finalName, bool bOnClose)
    {
        static volatile LONG s_nSerial = 0;
        const unsigned seed = (::GetCurrentProcessId() << 16) ^ ::GetTickCount();
        for (int i = 0; i < TEMP_NAME_ATTEMPTS; ++i) {
            const unsigned serial = seed + unsigned(::InterlockedIncrement(&s_nSerial)) * 2654435761u;
            const std::wstring path = folder + L"\\" + TempFileName(serial, finalName.size());
            HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     bOnClose ? FILE_FLAG_DELETE_ON_CLOSE : FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                m_file = CHandle(h);
                m_strPath = path;
                m_bOnClose = bOnClose;
                if (!bOnClose)
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
    // bFlush its bytes are on the disk first. Naming through the open
    // handle spares opening the file again, which under Wine is a good part
    // of what a small file's copy costs.
    Named MoveInto(const std::wstring& target, bool bFlush)
    {
        if (bFlush && !::FlushFileBuffers(m_file.Get()))
            return NOT_NAMED;
        const std::vector<BYTE> name = RenameInfo(target, false);
        if (m_bOnClose) {
            const LONG status = name.empty() ? STATUS_NO_NAME : LinkByHandle(m_file.Get(), name);
            if (status == STATUS_NAME_TAKEN)
                return NAME_TAKEN;
            if (status != 0) {
                // A file system without links (FAT, exFAT, some shares), or
                // a system that refuses a link to a file to be deleted on
                // close: the copies to come are made the other way, so none
                // is made twice.
                g_bNoLinks = true;
                return NO_LINKS;
            }
            // The close takes the temporary name; the final one stays.
            CloseFile();
            m_bKeep = true;
            return NAMED;
        }
        if (!name.empty() && m_bMarked) {
            // Named while still marked, then unmarked: a kill in between
            // leaves nothing, the copy undone.
            if (SetInfo(FileRenameInfo, name)) {
                m_strPath = target;
                if (!MarkForDeletion(false) || !CloseFile())
                    return NOT_NAMED;
                m_bKeep = true;
                return NAMED;
            }
            const DWORD err = ::GetLastError();
            if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS)
                return NAME_TAKEN;
            // Some systems refuse to rename a file marked for deletion.
        }
        if (!MarkForDeletion(false) && m_bMarked)
            return NOT_NAMED;
        if (!name.empty()) {
            if (SetInfo(FileRenameInfo, name)) {
                // The file now stands under the target's name; a failed close
                // removes it from there.
                m_strPath = target;
                if (!CloseFile())
                    return NOT_NAMED;
                m_bKeep = true;
                return NAMED;
            }
            // A taken name is refused either way; other refusals may be the
            // rename by handle's own (some file systems and systems).
            const DWORD err = ::GetLastError();
            if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) {
                MarkForDeletion(true);
                return NAME_TAKEN;
            }
        }
        if (!CloseFile())
            return NOT_NAMED;
        if (!::MoveFileExW(m_strPath.c_str(), target.c_str(), 0)) {
            const DWORD err = ::GetLastError();
            return err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS ? NAME_TAKEN : NOT_NAMED;
        }
        m_bKeep = true;
        return NAMED;
    }

private:
    bool CloseFile() { return ::CloseHandle(m_file.Detach()) != FALSE; }

    bool SetInfo(FILE_INFO_BY_HANDLE_CLASS cls, const std::vector<BYTE>& info)
    {
        return ::SetFileInformationByHandle(m_file.Get(), cls, const_cast<BYTE*>(info.data()), DWORD(info.size())) !=
               FALSE;
    }

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
    bool m_bOnClose = false;
};

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

    // The source's bytes, time and attributes into a new temporary.
    TransferResult Write(const std::atomic<bool>& stop, bool bOnClose)
    {
        temp.reset();
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

        std::unique_ptr<CTempFile> file(new CTempFile);
        if (!file->Create(folder, name, bOnClose))
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
            if (!::WriteFile(file->Handle(), buf, nRead, &nWritten, nullptr) || nWritten != nRead)
                return TRANSFER_FAILED;
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
    return m_p->Write(stop, !g_bNoLinks);
}

TransferResult CPreparedCopy::Commit(const std::atomic<bool>& stop)
{
    if (!m_p->temp)
        return TRANSFER_FAILED;
    CTempFile::Named named = m_p->temp->MoveInto(m_p->target, m_p->bFlush);
    if (named == CTempFile::NO_LINKS) {
        // Made again, the way that needs no link; the first copy goes with
        // its handle.
        const TransferResult r = m_p->Write(stop, false);
        if (r != TRANSFER_DONE)
            return r;
        named = m_p->temp->MoveInto(m_p->target, m_p->bFlush);
    }
    m_p->temp.reset();
    if (named != CTempFile::NAMED)
        return TRANSFER_FAILED;
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
                            const std::atomic<bool>& stop, TargetCheck check, bool& bCopied)
{
    bCopied = false;
    // A source written since its copy was made ahead (a tag edit) is copied
    // again: the move must not take the edit away with the source.
    if (copy.IsPrepared() && !copy.SourceUnchanged()) {
        const TransferResult r = copy.Prepare(source, target, stop, check, true);
        if (r != TRANSFER_DONE)
            return r;
    }
    if (!copy.IsPrepared()) {
        if (::MoveFileExW(source.c_str(), target.c_str(), 0))
            return TRANSFER_DONE;
        if (::GetLastError() != ERROR_NOT_SAME_DEVICE)
            return TRANSFER_FAILED;
        bCopied = true;
        // The source goes only once its copy is on the disk: a power cut just
        // after the delete must not take both.
        const TransferResult r = copy.Prepare(source, target, stop, check, true);
        if (r != TRANSFER_DONE)
            return r;
    }
    const TransferResult r = copy.Commit(stop);
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
