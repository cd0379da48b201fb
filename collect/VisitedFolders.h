#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// Who a folder is: its volume's serial and its file id there.
struct FolderIdentity
{
    bool bKnown = false;  // false: the system could not say
    DWORD nVolume = 0;
    uint64_t nId = 0;
};

// What the system says of the folder at path (long form).
FolderIdentity AskFolderIdentity(const std::wstring& path);
// Its file id alone, without the volume; false when it cannot say.
bool AskFolderId(const std::wstring& path, uint64_t& nId);

// The folders one walk has entered, so that a folder reached again through a
// link is not walked again. A folder is known by its file id alone; the
// whole identity is asked (through the function given) only when two
// folders share an id, for a folder reached again or folders of different
// volumes: under Wine a volume is a round trip to another process.
class CVisitedFolders
{
public:
    using AskIdentity = std::function<FolderIdentity(const std::wstring& path)>;
    explicit CVisitedFolders(AskIdentity ask = AskFolderIdentity) : m_ask(std::move(ask)) {}

    // False when the folder at path, whose file id is nId, was entered
    // already. Some network and foreign file systems give every file the id
    // 0; no file has that id where ids are given, so it names none, and such
    // a folder is always entered, as one whose identity cannot be read.
    bool Enter(const std::wstring& path, uint64_t nId);
    // Forgets them all, and gives back the room they took.
    void Clear() { decltype(m_folders)().swap(m_folders); }

private:
    struct Visited
    {
        std::wstring path;
        bool bAsked = false;
        FolderIdentity identity;
    };
    AskIdentity m_ask;
    std::unordered_map<uint64_t, std::vector<Visited>> m_folders;
};
