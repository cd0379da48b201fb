#include "tests/e2e/driver/Remote.h"

namespace e2e {

RemoteMemory::RemoteMemory(DWORD processId, size_t size)
    : m_process(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                              FALSE, processId))
{
    if (!m_process.IsValid()) {
        m_why = "cannot open process " + std::to_string(processId) + ": error " + std::to_string(::GetLastError());
        return;
    }
    m_base = ::VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!m_base) {
        m_why = "cannot allocate " + std::to_string(size) + " bytes in process " + std::to_string(processId) +
                ": error " + std::to_string(::GetLastError());
        return;
    }
    m_size = size;
}

RemoteMemory::~RemoteMemory()
{
    if (m_base)
        ::VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
}

bool RemoteMemory::Write(size_t offset, const void* data, size_t size)
{
    SIZE_T done = 0;
    return m_base && offset + size <= m_size && ::WriteProcessMemory(m_process, At(offset), data, size, &done) &&
           done == size;
}

bool RemoteMemory::Read(size_t offset, void* data, size_t size) const
{
    SIZE_T done = 0;
    return m_base && offset + size <= m_size && ::ReadProcessMemory(m_process, At(offset), data, size, &done) &&
           done == size;
}

} // namespace e2e
