#include "collect/VisitedFolders.h"

#include "afx/Handle.h"

namespace {

// A folder opened only to learn who it is.
HANDLE OpenFolder(const std::wstring& path)
{
    return ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

FolderIdentity AskFolderIdentity(const std::wstring& path)
{
    FolderIdentity identity;
    CHandle folder(OpenFolder(path));
    BY_HANDLE_FILE_INFORMATION info;
    if (folder.IsValid() && ::GetFileInformationByHandle(folder, &info)) {
        identity.bKnown = true;
        identity.nVolume = info.dwVolumeSerialNumber;
        identity.nId = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    return identity;
}

// The index GetFileInformationByHandle gives, without asking the volume for
// its serial, which under Wine is a round trip to another process.
bool AskFolderId(const std::wstring& path, uint64_t& nId)
{
    struct IoStatus
    {
        union {
            LONG nStatus;
            void* pPointer;
        };
        ULONG_PTR nInformation;
    };
    using QueryInformationFile = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
    enum { FILE_INTERNAL_INFORMATION = 6 };
    static const auto query = reinterpret_cast<QueryInformationFile>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
    CHandle folder(OpenFolder(path));
    IoStatus io = {};
    LARGE_INTEGER index = {};
    if (!query || !folder.IsValid() || query(folder, &io, &index, sizeof index, FILE_INTERNAL_INFORMATION) < 0)
        return false;
    nId = uint64_t(index.QuadPart);
    return true;
}

bool CVisitedFolders::Enter(const std::wstring& path, uint64_t nId)
{
    if (nId == 0)
        return true;
    std::vector<Visited>& sameId = m_folders[nId];
    Visited me;
    me.path = path;
    if (!sameId.empty()) {
        me.bAsked = true;
        me.identity = m_ask(path);
        for (Visited& seen : sameId) {
            // Asked once, and only now: most folders never share an id.
            if (!seen.bAsked) {
                seen.bAsked = true;
                seen.identity = m_ask(seen.path);
            }
            const FolderIdentity& a = me.identity;
            const FolderIdentity& b = seen.identity;
            if (a.bKnown && b.bKnown && a.nVolume == b.nVolume && a.nId == b.nId)
                return false;
        }
    }
    sameId.push_back(std::move(me));
    return true;
}
