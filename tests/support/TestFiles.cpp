#include "tests/support/TestFiles.h"

#include "afx/WidePath.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
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

// Every file operation here goes through the wide long-path calls, like the
// program's, so that names outside the Korean code page and deep trees are
// made, read and removed exactly.

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!std::wcscmp(fd.cFileName, L".") || !std::wcscmp(fd.cFileName, L".."))
                continue;
            const std::wstring child = path + L"\\" + fd.cFileName;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ::RemoveDirectoryW(child.c_str());
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(path.c_str());
}

void RemoveTree(const std::string& path) { RemoveTree(LongPath(path)); }

void WriteFile(const std::wstring& path, const Bytes& bytes)
{
    const std::wstring full = LongPath(path);
    for (size_t i = VolumePrefixLength(full); i < full.size(); ++i)
        if (full[i] == L'\\')
            ::CreateDirectoryW(full.substr(0, i).c_str(), nullptr);
    HANDLE h = ::CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + TextFromWide(full));
    DWORD n = 0;
    if (!bytes.empty())
        ::WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    ::CloseHandle(h);
}

void WriteFile(const std::string& path, const Bytes& bytes) { WriteFile(LongPath(path), bytes); }

void WriteFile(const std::string& path, const std::string& bytes)
{
    WriteFile(path, Bytes(bytes.begin(), bytes.end()));
}

Bytes ReadFile(const std::wstring& path)
{
    HANDLE h = ::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + TextFromWide(path));
    Bytes out(::GetFileSize(h, nullptr));
    DWORD n = 0;
    if (!out.empty())
        ::ReadFile(h, out.data(), DWORD(out.size()), &n, nullptr);
    ::CloseHandle(h);
    out.resize(n);
    return out;
}

Bytes ReadFile(const std::string& path) { return ReadFile(LongPath(path)); }

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Exists(const std::string& path) { return Exists(LongPath(path)); }

bool IsFolder(const std::string& path)
{
    const DWORD attrs = ::GetFileAttributesW(LongPath(path).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

uint64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!::GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &d))
        return uint64_t(-1);
    return (uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

static void CollectNames(const std::wstring& root, const std::wstring& rel, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW fd;
    const std::wstring folder = rel.empty() ? root : root + L"\\" + rel;
    HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!std::wcscmp(fd.cFileName, L".") || !std::wcscmp(fd.cFileName, L".."))
            continue;
        const std::wstring child = rel.empty() ? fd.cFileName : rel + L"\\" + fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectNames(root, child, out);
        else
            out.push_back(child);
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
}

std::vector<std::wstring> FilesUnder(const std::wstring& root)
{
    std::vector<std::wstring> out;
    CollectNames(LongPath(root), L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> FilesUnder(const std::string& root)
{
    std::vector<std::string> out;
    for (const std::wstring& name : FilesUnder(LongPath(root)))
        out.push_back(TextFromWide(name));
    std::sort(out.begin(), out.end());
    return out;
}

void WriteSparseMp3(const std::string& path, uint64_t size, const TagFields& tag)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + path);
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(size - 128);
    ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
    const Bytes record = MakeTagRecord(tag);
    DWORD n = 0;
    ::WriteFile(h, record.data(), DWORD(record.size()), &n, nullptr);
    ::CloseHandle(h);
}

Bytes LastBytes(const std::string& path, DWORD count)
{
    Bytes out(count);
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Bytes();
    ::SetFilePointer(h, -LONG(count), nullptr, FILE_END);
    DWORD n = 0;
    ::ReadFile(h, out.data(), count, &n, nullptr);
    ::CloseHandle(h);
    out.resize(n);
    return out;
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
