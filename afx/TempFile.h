#pragma once
#include <windows.h>

#include <string>

#include "afx/Handle.h"

// A file under a temporary name in its final folder. It is marked for
// deletion from its creation until just before the rename that makes it
// final: the system removes it when its handle closes, so a program killed
// or a machine stopped in the middle of writing it leaves no temporary
// behind. Where the mark cannot be set, the object removes the file when it
// goes. Paths are wide, long-path form.
class CTempFile
{
public:
    CTempFile() = default;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile();

    // A new file in folder whose name is never longer than finalName, so a
    // final name that fits the file system's limit is not refused for its
    // temporary one. It never ends in the final name's extension.
    bool Create(const std::wstring& folder, const std::wstring& finalName,
                DWORD dwAttributes = FILE_ATTRIBUTE_NORMAL);

    HANDLE Handle() const { return m_file.Get(); }

    // Gives the finished file its final name. With bFlush its bytes are on
    // the disk first. Without bReplace an existing file is never replaced;
    // with it, one that exists is replaced in one step (a rename), so the
    // name holds the old file or the new one and never a part of either.
    // Renaming through the open handle spares opening the file again, which
    // under Wine is a good part of what a small file's copy costs.
    bool MoveInto(const std::wstring& target, bool bFlush, bool bReplace = false);

private:
    bool CloseFile();
    bool MarkForDeletion(bool bDelete);

    CHandle m_file;
    std::wstring m_strPath;
    bool m_bKeep = false;
    bool m_bMarked = false;
};
