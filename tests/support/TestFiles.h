#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<unsigned char>;

// A fresh folder under the Windows temporary folder, removed with everything
// in it when the object goes out of scope.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // The path of a relative name inside the folder ("a\\b.mp3").
    std::string operator/(const std::string& rel) const { return m_path + "\\" + rel; }

private:
    std::string m_path;
};

// Paths are CP949 texts, or wide (any name, any depth; the long-path form or
// an ordinary absolute path).
void RemoveTree(const std::string& path);
void RemoveTree(const std::wstring& path);
// Writes a file, creating the folders on its way.
void WriteFile(const std::string& path, const Bytes& bytes);
void WriteFile(const std::string& path, const std::string& bytes);
void WriteFile(const std::wstring& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
Bytes ReadFile(const std::wstring& path);
bool Exists(const std::string& path);
bool Exists(const std::wstring& path);
// True only for an existing folder.
bool IsFolder(const std::string& path);
uint64_t FileSize(const std::string& path);
// Every file under root, as paths relative to it, sorted; folder links are
// not followed.
std::vector<std::string> FilesUnder(const std::string& root);
std::vector<std::wstring> FilesUnder(const std::wstring& root);

struct TagFields
{
    std::string title, artist, album, year, comment;
    int track = 0;
    int genre = 255;
};

// Fields for a tag that names an artist and an album (and maybe a title).
inline TagFields Tagged(const std::string& artist, const std::string& album, const std::string& title = "")
{
    TagFields f;
    f.artist = artist;
    f.album = album;
    f.title = title;
    return f;
}

// A 128-byte ID3v1 record built independently of the code under test.
Bytes MakeTagRecord(const TagFields& f);
// Some bytes standing in for audio, then the record.
Bytes MakeMp3(const TagFields& f, size_t audioBytes = 300, unsigned char fill = 0xAB);
// A file of size bytes, a hole but for the record at its end: quick to make,
// slow to copy, since a copy writes every byte.
void WriteSparseMp3(const std::string& path, uint64_t size, const TagFields& tag);
// The file's last count bytes (fewer when it is shorter; none when it cannot
// be read).
Bytes LastBytes(const std::string& path, DWORD count);

// Names in tests are UTF-8 literals compiled to CP949, so they are CP949 here.
} // namespace testing_support
