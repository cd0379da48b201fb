#include "collect/SafeTransfer.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "afx/Handle.h"

namespace {

// Small enough that a stop is seen within milliseconds, large enough that
// the per-call cost does not show.
const DWORD COPY_CHUNK = 256 * 1024;
const DWORD COMPARE_CHUNK = 64 * 1024;
const int TEMP_NAME_ATTEMPTS = 64;

bool SplitTarget(const std::string& target, std::string& folder, std::string& name)
{
    const size_t sep = target.find_last_of("\\/");
    if (sep == std::string::npos || sep + 1 >= target.size())
        return false;
    folder = target.substr(0, sep);
    name = target.substr(sep + 1);
    return true;
}

// Length as the platform counts it for its path limits (UTF-16 units).
int PlatformLength(const std::string& text)
{
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    return n > 0 ? n - 1 : int(text.size());
}

std::string TempName(unsigned serial, int nMaxLength)
{
    char name[32];
    wsprintfA(name, "~sv%08X.tmp", serial);
    if (int(std::strlen(name)) <= nMaxLength)
        return name;
    // Never longer than the final name, so a target that fits the platform's
    // path limit is not refused for its temporary name.
    char hex[16];
    wsprintfA(hex, "%08X", serial);
    const int digits = nMaxLength - 1 < 1 ? 1 : (nMaxLength - 1 > 8 ? 8 : nMaxLength - 1);
    return std::string("~") + (hex + 8 - digits);
}

// A file under a temporary name in the target's folder; removed when the
// object goes unless it was kept.
class CTempFile
{
public:
    CTempFile() = default;
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile()
    {
        m_file.Close();
        if (!m_bKeep && !m_strPath.empty())
            ::DeleteFileA(m_strPath.c_str());
    }

    bool Create(const std::string& folder, const std::string& finalName)
    {
        static volatile LONG s_nSerial = 0;
        const unsigned seed = (::GetCurrentProcessId() << 16) ^ ::GetTickCount();
        const int nMaxLength = PlatformLength(finalName);
        for (int i = 0; i < TEMP_NAME_ATTEMPTS; ++i) {
            const unsigned serial = seed + unsigned(::InterlockedIncrement(&s_nSerial)) * 2654435761u;
            const std::string path = folder + "\\" + TempName(serial, nMaxLength);
            HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                m_file = CHandle(h);
                m_strPath = path;
                return true;
            }
            const DWORD err = ::GetLastError();
            if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS)
                return false;
        }
        return false;
    }

    HANDLE Handle() const { return m_file.Get(); }
    bool CloseFile()
    {
        const bool ok = ::CloseHandle(m_file.Detach()) != FALSE;
        return ok;
    }
    const std::string& Path() const { return m_strPath; }
    void Keep() { m_bKeep = true; }

private:
    CHandle m_file;
    std::string m_strPath;
    bool m_bKeep = false;
};

} // namespace

TransferResult SafeCopyFile(const char* source, const char* target, const std::atomic<bool>& stop)
{
    std::string folder, name;
    if (!SplitTarget(target, folder, name))
        return TRANSFER_FAILED;
    CHandle src(::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!src.IsValid())
        return TRANSFER_FAILED;
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(src, &info))
        return TRANSFER_FAILED;
    // The rename at the end would refuse a taken name; find out before the copy.
    if (::GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES)
        return TRANSFER_FAILED;

    CTempFile temp;
    if (!temp.Create(folder, name))
        return TRANSFER_FAILED;
    std::vector<char> buf(COPY_CHUNK);
    for (;;) {
        if (stop)
            return TRANSFER_STOPPED;
        DWORD nRead = 0;
        if (!::ReadFile(src, buf.data(), COPY_CHUNK, &nRead, nullptr))
            return TRANSFER_FAILED;
        if (nRead == 0)
            break;
        DWORD nWritten = 0;
        if (!::WriteFile(temp.Handle(), buf.data(), nRead, &nWritten, nullptr) || nWritten != nRead)
            return TRANSFER_FAILED;
    }
    ::SetFileTime(temp.Handle(), nullptr, nullptr, &info.ftLastWriteTime);
    if (!temp.CloseFile())
        return TRANSFER_FAILED;
    if (!::MoveFileExA(temp.Path().c_str(), target, 0))
        return TRANSFER_FAILED;
    temp.Keep();
    const DWORD kept = info.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (kept & ~FILE_ATTRIBUTE_ARCHIVE)
        ::SetFileAttributesA(target, kept);
    return TRANSFER_DONE;
}

TransferResult SafeMoveFile(const char* source, const char* target, const std::atomic<bool>& stop)
{
    if (::MoveFileExA(source, target, 0))
        return TRANSFER_DONE;
    if (::GetLastError() != ERROR_NOT_SAME_DEVICE)
        return TRANSFER_FAILED;
    const TransferResult r = SafeCopyFile(source, target, stop);
    if (r != TRANSFER_DONE)
        return r;
    if (::DeleteFileA(source))
        return TRANSFER_DONE;
    // The source cannot go (locked, read-only): undo the copy, so the move
    // failed as a whole and the file does not exist twice.
    ::SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(target);
    return TRANSFER_FAILED;
}

bool SameFileBytes(const char* a, const char* b, const std::atomic<bool>& stop)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    CHandle fa(::CreateFileA(a, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    CHandle fb(::CreateFileA(b, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!fa.IsValid() || !fb.IsValid())
        return false;
    LARGE_INTEGER sa, sb;
    if (!::GetFileSizeEx(fa, &sa) || !::GetFileSizeEx(fb, &sb) || sa.QuadPart != sb.QuadPart)
        return false;

    std::vector<char> ba(COMPARE_CHUNK), bb(COMPARE_CHUNK);
    for (LONGLONG left = sa.QuadPart; left > 0;) {
        if (stop)
            return false;
        const DWORD want = left < LONGLONG(COMPARE_CHUNK) ? DWORD(left) : COMPARE_CHUNK;
        DWORD na = 0, nb = 0;
        if (!::ReadFile(fa, ba.data(), want, &na, nullptr) || !::ReadFile(fb, bb.data(), want, &nb, nullptr))
            return false;
        if (na != want || nb != want || std::memcmp(ba.data(), bb.data(), want) != 0)
            return false;
        left -= want;
    }
    return true;
}
