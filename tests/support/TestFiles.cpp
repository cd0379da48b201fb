#include "tests/support/TestFiles.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir()
{
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        char name[MAX_PATH];
        wsprintfA(name, "%ssorvane-%lu-%lu-%u", base, ::GetCurrentProcessId(), ::GetTickCount(), ++counter);
        if (::CreateDirectoryA(name, nullptr)) {
            m_path = name;
            break;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create a temporary folder");
    }
}

TempDir::~TempDir() { RemoveTree(m_path); }

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!std::strcmp(fd.cFileName, ".") || !std::strcmp(fd.cFileName, ".."))
                continue;
            std::string child = path + "\\" + fd.cFileName;
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ::RemoveDirectoryA(child.c_str());
            else
                ::DeleteFileA(child.c_str());
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(path.c_str());
}

static void MakeParents(const std::string& path)
{
    for (size_t i = 3; i < path.size(); ++i)
        if (path[i] == '\\')
            ::CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    MakeParents(path);
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + path);
    DWORD n = 0;
    if (!bytes.empty())
        ::WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    ::CloseHandle(h);
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    WriteFile(path, Bytes(bytes.begin(), bytes.end()));
}

Bytes ReadFile(const std::string& path)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + path);
    Bytes out(::GetFileSize(h, nullptr));
    DWORD n = 0;
    if (!out.empty())
        ::ReadFile(h, out.data(), DWORD(out.size()), &n, nullptr);
    ::CloseHandle(h);
    out.resize(n);
    return out;
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d))
        return uint64_t(-1);
    return (uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

Bytes MakeTagRecord(const TagFields& f)
{
    Bytes r(128, 0);
    auto put = [&](size_t ofs, size_t len, const std::string& s) {
        std::memcpy(&r[ofs], s.data(), s.size() < len ? s.size() : len);
    };
    put(0, 3, "TAG");
    put(3, 30, f.title);
    put(33, 30, f.artist);
    put(63, 30, f.album);
    put(93, 4, f.year);
    if (f.track) {
        put(97, 28, f.comment);
        r[126] = static_cast<unsigned char>(f.track);
    } else {
        put(97, 30, f.comment);
    }
    r[127] = static_cast<unsigned char>(f.genre);
    return r;
}

Bytes MakeMp3(const TagFields& f, size_t audioBytes, unsigned char fill)
{
    Bytes b(audioBytes, fill);
    Bytes r = MakeTagRecord(f);
    b.insert(b.end(), r.begin(), r.end());
    return b;
}

} // namespace testing_support
