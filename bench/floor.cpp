// The floor: the same file work as the program with nothing else. It walks
// the tree, reads each .mp3 file's last 128 bytes and takes its size from the
// listing; then copies every file with an artist and an album into
// Dest\Artist\Album. No window, no list, no bookkeeping, no duplicate test.
//
//   floor.exe SOURCE DEST      prints: scan_ms=… copy_ms=… files=… copied=…
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Found
{
    std::string path;
    std::string name;
    std::string artist;
    std::string album;
};

std::string Field(const char* p, int n)
{
    int len = 0;
    while (len < n && p[len])
        ++len;
    // Trim blanks as the program does, so both make the same folders.
    int b = 0, e = len;
    while (e > b && (p[e - 1] == ' ' || p[e - 1] == '\t'))
        --e;
    while (b < e && (p[b] == ' ' || p[b] == '\t'))
        ++b;
    return std::string(p + b, e - b);
}

void Walk(const std::string& dir, std::vector<Found>& out)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((dir + "\\*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (std::strcmp(fd.cFileName, ".") && std::strcmp(fd.cFileName, ".."))
                Walk(dir + "\\" + fd.cFileName, out);
            continue;
        }
        const char* dot = std::strrchr(fd.cFileName, '.');
        if (!dot || std::strcmp(dot, ".mp3"))
            continue;
        Found f;
        f.path = dir + "\\" + fd.cFileName;
        f.name = fd.cFileName;
        HANDLE file = ::CreateFileA(f.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char rec[128];
            DWORD n = 0;
            if (::SetFilePointer(file, -128, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                ::ReadFile(file, rec, 128, &n, nullptr) && n == 128 && !std::memcmp(rec, "TAG", 3)) {
                f.artist = Field(rec + 33, 30);
                f.album = Field(rec + 63, 30);
            }
            ::CloseHandle(file);
        }
        out.push_back(std::move(f));
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
}

double Ms(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER freq)
{
    return double(b.QuadPart - a.QuadPart) * 1000.0 / double(freq.QuadPart);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor SOURCE DEST\n");
        return 2;
    }
    LARGE_INTEGER freq, t0, t1, t2;
    ::QueryPerformanceFrequency(&freq);

    ::QueryPerformanceCounter(&t0);
    std::vector<Found> files;
    Walk(argv[1], files);
    ::QueryPerformanceCounter(&t1);

    const std::string dest = argv[2];
    int copied = 0;
    for (const Found& f : files) {
        if (f.artist.empty() || f.album.empty())
            continue;
        const std::string artistDir = dest + "\\" + f.artist;
        const std::string albumDir = artistDir + "\\" + f.album;
        ::CreateDirectoryA(artistDir.c_str(), nullptr);
        ::CreateDirectoryA(albumDir.c_str(), nullptr);
        if (::CopyFileA(f.path.c_str(), (albumDir + "\\" + f.name).c_str(), TRUE))
            ++copied;
    }
    ::QueryPerformanceCounter(&t2);

    std::printf("scan_ms=%.1f copy_ms=%.1f files=%u copied=%d\n", Ms(t0, t1, freq), Ms(t1, t2, freq),
                unsigned(files.size()), copied);
    return 0;
}
