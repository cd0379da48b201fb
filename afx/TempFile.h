#pragma once
#include <windows.h>

#include <string>

#include "afx/Handle.h"

// A file under a temporary name in its final folder, which the system
// removes when its handle closes, however the program ends, until it has its
// final name: a program killed or a machine stopped while it is written
// leaves nothing behind. Paths are wide, long-path form.
//
// A new file: where the file system has links, the mark is part of the
// request that creates the file (deleted on close) and the final name is a
// second link made through the handle; the temporary name goes at the close,
// and there is no moment at which a temporary stands unmarked. Elsewhere the
// mark is set just after the creation, and the file is named while still
// marked where the system allows it.
//
// A replacement of an existing file is named by a rename, the one step in
// which the name holds the old file or the new one and never neither: a link
// over an existing name is no such step (Wine removes the old name first,
// and a kill test saw the song missing in between). Renamed while marked, a
// kill before the mark went would take the song's only copy with it, so the
// mark goes just before the rename: a kill in between leaves the temporary
// (made hidden by the caller), never less than the whole old or new file.
// For the same reason its mark is set just after its creation, not with it
// (a mark made with the file cannot be undone under Wine, nor before
// Windows 10): a kill in that instant leaves it empty.
class CTempFile
{
public:
    enum Named {
        NAMED,
        // Another file has the name (a new file never replaces one).
        NAME_TAKEN,
        NOT_NAMED,
        // Made to be linked, but the file system or system refused the
        // link: nothing is named; make it again. Later temporaries are made
        // unlinked from the start.
        NO_LINKS,
    };

    CTempFile() = default;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile();

    // A new file in folder whose name is never longer than finalName, so a
    // final name that fits the file system's limit is not refused for its
    // temporary one. bReplacing: it is to replace the file of its final name.
    bool Create(const std::wstring& folder, const std::wstring& finalName, bool bReplacing = false,
                DWORD dwAttributes = FILE_ATTRIBUTE_NORMAL);

    HANDLE Handle() const { return m_file.Get(); }

    // Gives the finished file its final name and lets go of it; with bFlush
    // its bytes are on the disk first. A replacement takes the place of the
    // file of that name (which must not be open) in one step. Naming through
    // the open handle spares opening the file again, which under Wine is a
    // good part of what a small file's copy costs.
    Named MoveInto(const std::wstring& target, bool bFlush);

private:
    bool CloseFile();
    bool SetInfo(FILE_INFO_BY_HANDLE_CLASS cls, const void* info, size_t size);
    bool MarkForDeletion(bool bDelete);
    Named Link(const std::wstring& target);
    Named Rename(const std::wstring& target);

    CHandle m_file;
    std::wstring m_strPath;
    bool m_bKeep = false;
    bool m_bMarked = false;
    bool m_bOnClose = false;
    bool m_bReplacing = false;
};
