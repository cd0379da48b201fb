#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

// File transfers that a stop can interrupt without harm: a target never
// appears under its final name before it is complete, never replaces an
// existing file, and a source is removed only after its copy is complete.
enum TransferResult { TRANSFER_DONE, TRANSFER_FAILED, TRANSFER_STOPPED };

// Why a transfer failed: the step that failed and the system's error code of
// that step (GetLastError), so that the user can be told what to fix.
enum TransferStep {
    STEP_NONE,
    // Opening or reading the source.
    STEP_READ_SOURCE,
    // The target's folders, made before the transfer by its caller.
    STEP_MAKE_FOLDER,
    // Making or writing the copy beside the target.
    STEP_WRITE_TARGET,
    // Giving the copy the target's name, or finding the name taken first.
    STEP_NAME_TARGET,
    // A move's rename within one volume.
    STEP_RENAME,
    // Taking a moved file's source away once its copy stands.
    STEP_REMOVE_SOURCE,
};
struct CTransferError
{
    TransferStep step = STEP_NONE;
    DWORD dwCode = 0;
};

// When a taken target name is found out. The final rename never replaces a
// file either way; looking first spares copying a file in vain, at the price
// of one more lookup per file.
enum TargetCheck { TARGET_CHECK_FIRST, TARGET_CHECK_AT_RENAME };

// Paths are wide, in the long-path form (see afx/WidePath.h).

// Copies into a temporary file in the target's folder, then renames it into
// place. The temporary file is removed on failure and on a stop.
TransferResult SafeCopyFile(const std::wstring& source, const std::wstring& target, const std::atomic<bool>& stop,
                            TargetCheck check = TARGET_CHECK_FIRST);

// A rename where source and target share a volume; otherwise the same copy
// as above, and the source is deleted once the target is in place. A move
// that fails or is stopped leaves the source where it was and no target.
TransferResult SafeMoveFile(const std::wstring& source, const std::wstring& target, const std::atomic<bool>& stop,
                            TargetCheck check = TARGET_CHECK_FIRST);

// A copy made ahead of its turn: complete under a temporary name in the
// target's folder, which the system removes when the copy's handle closes (a
// stop, a failure, the program killed), until Commit gives it the target's
// name. Prepare may run on any thread; Commit, later, on the one that decides
// when the copy may be seen.
class CPreparedCopy
{
public:
    CPreparedCopy();
    // A copy not committed goes with its temporary.
    ~CPreparedCopy();
    CPreparedCopy(const CPreparedCopy&) = delete;
    CPreparedCopy& operator=(const CPreparedCopy&) = delete;

    // With bFlush the bytes are on the disk before the copy is named.
    TransferResult Prepare(const std::wstring& source, const std::wstring& target, const std::atomic<bool>& stop,
                           TargetCheck check, bool bFlush);
    bool IsPrepared() const;
    // True when the source's times are those it had when it was copied.
    bool SourceUnchanged() const;
    // Names the prepared copy, never replacing a file; nothing stands under
    // the target's name before.
    TransferResult Commit(const std::atomic<bool>& stop);
    // Why the last Prepare or Commit failed.
    const CTransferError& Error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};

// A move made final: a rename where source and target share a volume;
// otherwise the copy (prepared ahead, or made now) is named and the source
// deleted. bCopied tells that a copy was made here because the volumes
// differ. A source is renamed or deleted only here. A failure is told in
// *pError where given.
TransferResult CompleteMove(const std::wstring& source, const std::wstring& target, CPreparedCopy& copy,
                            const std::atomic<bool>& stop, TargetCheck check, bool& bCopied,
                            CTransferError* pError = nullptr);

// True when both files can be read and hold the same bytes. Stops reading
// at the first difference; a stop request gives false.
bool SameFileBytes(const std::wstring& a, const std::wstring& b, const std::atomic<bool>& stop);
