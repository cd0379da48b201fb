#include "collect/RowOutcome.h"

#include <windows.h>

#include "afx/WidePath.h"
#include "collect/SafeTransfer.h"
#include "res/Texts.h"

namespace {

bool IsNameTaken(DWORD code) { return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS; }
bool IsMissing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }
bool IsHeld(DWORD code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION; }
bool IsRefused(DWORD code) { return code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT; }

// The sentence of a reason; a format of one %s (the file or folder it names)
// where bNames says so.
const char* ReasonText(PassReason reason, bool& bNames)
{
    bNames = false;
    switch (reason) {
    case WHY_NO_ARTIST: return TEXT_TIP_NO_ARTIST;
    case WHY_NO_ALBUM: return TEXT_TIP_NO_ALBUM;
    case WHY_NAME_TAKEN: bNames = true; return TEXT_TIP_NAME_TAKEN_FORMAT;
    case WHY_NO_FOLDER: bNames = true; return TEXT_TIP_NO_FOLDER_FORMAT;
    case WHY_PATH_TOO_LONG: return TEXT_TIP_PATH_TOO_LONG;
    case WHY_UNREACHABLE_NAME: return TEXT_TIP_UNREACHABLE_NAME;
    case WHY_NO_DESTINATION: return TEXT_TIP_NO_DESTINATION;
    case WHY_SOURCE_GONE: return TEXT_TIP_SOURCE_GONE;
    case WHY_SOURCE_IN_USE: return TEXT_TIP_SOURCE_IN_USE;
    case WHY_SOURCE_UNREADABLE: return TEXT_TIP_SOURCE_UNREADABLE;
    case WHY_DISK_FULL: return TEXT_TIP_DISK_FULL;
    case WHY_TARGET_REFUSED: return TEXT_TIP_TARGET_REFUSED;
    case WHY_SOURCE_KEPT: return TEXT_TIP_SOURCE_KEPT;
    default: return TEXT_TIP_OTHER;
    }
}

} // namespace

PassReason ReasonOfFailure(const CTransferError& error)
{
    const DWORD code = error.dwCode;
    // Whatever the step, these say it all.
    if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL)
        return WHY_DISK_FULL;
    if (code == ERROR_FILENAME_EXCED_RANGE)
        return WHY_PATH_TOO_LONG;
    switch (error.step) {
    case STEP_READ_SOURCE:
        if (IsMissing(code))
            return WHY_SOURCE_GONE;
        return IsHeld(code) ? WHY_SOURCE_IN_USE : WHY_SOURCE_UNREADABLE;
    case STEP_MAKE_FOLDER:
        return WHY_NO_FOLDER;
    case STEP_NAME_TARGET:
        if (IsNameTaken(code))
            return WHY_NAME_TAKEN;
        [[fallthrough]];
    case STEP_WRITE_TARGET:
        // The folder went after it was made.
        if (code == ERROR_PATH_NOT_FOUND)
            return WHY_NO_FOLDER;
        return IsRefused(code) ? WHY_TARGET_REFUSED : WHY_OTHER;
    case STEP_RENAME:
        // The target's folder was there when the row was decided; a path
        // missing now is the source's.
        if (IsNameTaken(code))
            return WHY_NAME_TAKEN;
        if (IsMissing(code))
            return WHY_SOURCE_GONE;
        if (IsHeld(code))
            return WHY_SOURCE_IN_USE;
        return IsRefused(code) ? WHY_SOURCE_KEPT : WHY_OTHER;
    case STEP_REMOVE_SOURCE:
        if (IsHeld(code))
            return WHY_SOURCE_IN_USE;
        if (IsMissing(code))
            return WHY_SOURCE_GONE;
        return WHY_SOURCE_KEPT;
    default:
        return WHY_OTHER;
    }
}

std::wstring OutcomeTip(const CPassOutcome& outcome, const std::wstring& target, bool bNextHint)
{
    const char* format = nullptr;
    std::wstring named;
    switch (outcome.outcome) {
    case OUTCOME_DUPLICATE:
        format = TEXT_TIP_DUPLICATE;
        break;
    case OUTCOME_NOT_REACHED:
        format = TEXT_TIP_NOT_REACHED;
        break;
    case OUTCOME_FAILED: {
        bool bNames;
        format = ReasonText(outcome.reason, bNames);
        if (bNames) {
            named = target;
            // A folder that could not be made is named, not the file in it.
            if (outcome.reason == WHY_NO_FOLDER) {
                const size_t sep = named.find_last_of(L'\\');
                named = sep == std::wstring::npos ? std::wstring() : named.substr(0, sep);
            }
        }
        break;
    }
    default:
        return std::wstring();
    }
    std::wstring tip = WideFromText(format);
    const size_t at = tip.find(L"%s");
    if (at != std::wstring::npos)
        tip.replace(at, 2, named);
    if (bNextHint)
        tip += WideFromText(TEXT_TIP_NEXT_HINT);
    return tip;
}
