// Reads each song a tag writer made (tests/tag/writers.sh) as the scan does
// and compares what it would list with what the writer was given.
// Usage: tag_writer_read FOLDER EXPECTATIONS
// EXPECTATIONS is UTF-8, one song a line, fields separated by tabs:
//   name title artist album year track genre genre-text comment
// A field given as "*" is not compared.
// Prints one line per song (UTF-8); the exit code is the number of songs
// read otherwise than expected.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "afx/WidePath.h"
#include "tag/SongTag.h"

namespace {

std::wstring FromUtf8(const std::string& s)
{
    if (s.empty())
        return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), &w[0], n);
    return w;
}

std::string ToUtf8(const std::wstring& w)
{
    if (w.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

// What the list shows: the whole text where CP949 cannot spell it, else the
// CP949 bytes read back; blanks a writer pads the record with do not count.
std::wstring Shown(const CSongText& t)
{
    std::wstring s = t.whole.empty() ? WideFromText(t.bytes) : t.whole;
    while (!s.empty() && s.back() == L' ')
        s.pop_back();
    return s;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> parts;
    std::stringstream in(line);
    std::string part;
    while (std::getline(in, part, '\t'))
        parts.push_back(part);
    while (parts.size() < 9)
        parts.emplace_back();
    return parts;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tag_writer_read FOLDER EXPECTATIONS\n");
        return 100;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read the expectations\n");
        return 100;
    }
    int failures = 0, songs = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        ++songs;
        const std::vector<std::string> want = Split(line);
        CMP3Info v1;
        CID3v2Fields v2;
        CSongFields got;
        if (!ReadSongFields(JoinPath(argv[1], FromUtf8(want[0])), v1, v2, got)) {
            std::printf("FAIL %s: cannot be read\n", want[0].c_str());
            ++failures;
            continue;
        }
        const std::wstring genreText = Shown(got.genreText);
        const std::pair<const char*, std::pair<std::wstring, std::wstring>> fields[] = {
            {"title", {FromUtf8(want[1]), Shown(got.texts[SONG_TITLE])}},
            {"artist", {FromUtf8(want[2]), Shown(got.texts[SONG_ARTIST])}},
            {"album", {FromUtf8(want[3]), Shown(got.texts[SONG_ALBUM])}},
            {"year", {FromUtf8(want[4]), Shown(got.texts[SONG_YEAR])}},
            {"track", {FromUtf8(want[5]), std::to_wstring(got.nTrack)}},
            {"genre", {FromUtf8(want[6]), std::to_wstring(got.nGenre)}},
            {"genre text", {FromUtf8(want[7]), genreText}},
            {"comment", {FromUtf8(want[8]), Shown(got.texts[SONG_COMMENT])}},
        };
        bool ok = true;
        for (const auto& [name, values] : fields) {
            if (values.first != L"*" && values.first != values.second) {
                std::printf("FAIL %s: %s is \"%s\", expected \"%s\" (ID3v2 %d read)\n", want[0].c_str(), name,
                            ToUtf8(values.second).c_str(), ToUtf8(values.first).c_str(), v2.nVersion);
                ok = false;
            }
        }
        if (ok)
            std::printf("ok   %s (ID3v2 %d read)\n", want[0].c_str(), v2.nVersion);
        else
            ++failures;
    }
    std::printf("%d of %d songs read as their writers wrote them\n", songs - failures, songs);
    return songs == 0 ? 100 : failures;
}
