#pragma once
#include <atomic>
#include <string>

// File transfers that a stop can interrupt without harm: a target never
// appears under its final name before it is complete, never replaces an
// existing file, and a source is removed only after its copy is complete.
enum TransferResult { TRANSFER_DONE, TRANSFER_FAILED, TRANSFER_STOPPED };

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

// True when both files can be read and hold the same bytes. Stops reading
// at the first difference; a stop request gives false.
bool SameFileBytes(const std::wstring& a, const std::wstring& b, const std::atomic<bool>& stop);
