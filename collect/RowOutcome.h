#pragma once
#include <cstdint>
#include <string>

struct CTransferError;

// What the last organise pass made of a row's song. The user fixes the
// songs that stayed behind and runs the pass again, so each row keeps it,
// with the reason where the song was not transferred.
enum PassOutcome : uint8_t {
    // No pass has decided the row, or its tag was edited since.
    OUTCOME_NONE,
    // Decided, its report still to come; shown as none. A tag edit in
    // between sets it back to none, and the report then leaves it so.
    OUTCOME_DECIDING,
    OUTCOME_TRANSFERRED,
    // The same song stands in the destination already; the file stayed.
    OUTCOME_DUPLICATE,
    // The song stayed where it was, for the reason kept beside it.
    OUTCOME_FAILED,
    // The pass was stopped before the row was done.
    OUTCOME_NOT_REACHED,
};

// Why a song stayed behind. A code, not a text: a list may hold a million
// rows, and the tip is made when it is asked for.
enum PassReason : uint8_t {
    WHY_NONE,
    WHY_NO_ARTIST,
    WHY_NO_ALBUM,
    // Another file holds the song's name in its album folder.
    WHY_NAME_TAKEN,
    // Its album folder could not be made (a file of that name is in the way,
    // the destination refused it).
    WHY_NO_FOLDER,
    // The target path is longer than a row or the file system takes.
    WHY_PATH_TOO_LONG,
    // The file's own name is one ordinary paths cannot reach (CON.mp3).
    WHY_UNREACHABLE_NAME,
    // No destination folder with a path was chosen.
    WHY_NO_DESTINATION,
    // The file went (deleted or moved) after it was listed.
    WHY_SOURCE_GONE,
    // Another program holds the file open.
    WHY_SOURCE_IN_USE,
    WHY_SOURCE_UNREADABLE,
    // The destination's disk has no room left.
    WHY_DISK_FULL,
    // The destination refused the new file (write-protected, no right to it).
    WHY_TARGET_REFUSED,
    // A move whose source could not be taken away (read-only, no right to
    // it): the copy was undone, the file stays.
    WHY_SOURCE_KEPT,
    // A failure the pass does not know by name.
    WHY_OTHER,
    WHY_COUNT
};

struct CPassOutcome
{
    PassOutcome outcome = OUTCOME_NONE;
    PassReason reason = WHY_NONE;
};

// The reason a failed transfer step gives, by the system's error code of
// that step: a name taken at the target is a taken name, a missing source a
// vanished song, a refused source one in use or unreadable, and so on.
PassReason ReasonOfFailure(const CTransferError& error);

// The tip of a row, for the user who hovers it: what became of its song
// where it was not transferred, one sentence, naming the file that holds
// its name where that is the reason (target, the row's target path, whole).
// bNextHint adds that F8 goes to the next song that stayed behind. Empty for
// a row transferred or without an outcome.
std::wstring OutcomeTip(const CPassOutcome& outcome, const std::wstring& target, bool bNextHint);
