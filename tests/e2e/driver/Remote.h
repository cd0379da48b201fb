#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

#include "afx/Handle.h"

namespace e2e {

// A block of memory inside another process, for the messages that carry a
// pointer the system does not marshal (list view, tree view, folder chooser
// messages): the pointer must be valid in the process that reads it.
class RemoteMemory
{
public:
    RemoteMemory(DWORD processId, size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool IsValid() const { return m_base != nullptr; }
    const std::string& Why() const { return m_why; }
    size_t Size() const { return m_size; }
    // An address inside the block, as the other process sees it.
    void* At(size_t offset) const { return static_cast<char*>(m_base) + offset; }
    LPARAM Param(size_t offset = 0) const { return reinterpret_cast<LPARAM>(At(offset)); }

    bool Write(size_t offset, const void* data, size_t size);
    bool Read(size_t offset, void* data, size_t size) const;

private:
    CHandle m_process;
    void* m_base = nullptr;
    size_t m_size = 0;
    std::string m_why;
};

} // namespace e2e
