#include "collect/TargetPath.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "afx/WidePath.h"
#include "collect/FileEntry.h"
#include "res/Texts.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsTrimmed(wchar_t c) { return c == L'.' || c == L' '; }

bool IsDeviceName(const std::wstring& name)
{
    // The part before the first dot, blanks after it ignored, is what the
    // platform compares ("con.mp3", "LPT1 .mp3").
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    ::CharUpperBuffW(&base[0], DWORD(base.size()));
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* d : kDevices)
        if (base == d)
            return true;
    // COM0..COM9 and LPT0..LPT9, the superscript digits included.
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
        const wchar_t d = base[3];
        return (d >= L'0' && d <= L'9') || d == L'\u00B9' || d == L'\u00B2' || d == L'\u00B3';
    }
    return false;
}

} // namespace

bool NamesFolderLevels(const char* text, const char* placeholder)
{
    if (std::strcmp(text, placeholder) == 0)
        return false;
    bool bHasName = false;
    const char* p = text;
    while (*p) {
        const char* start = p;
        while (*p && !IsSeparator(*p))
            ++p;
        bool bDots = false, bOther = false;
        for (const char* q = start; q < p; ++q) {
            if (*q == '.')
                bDots = true;
            else if (*q != ' ')
                bOther = true;
        }
        if (bDots && !bOther)
            return false;
        bHasName = bHasName || bOther;
        if (*p)
            ++p;
    }
    return bHasName;
}

bool IsOrdinaryName(const std::wstring& name)
{
    if (name.empty() || IsTrimmed(name.back()) || IsDeviceName(name))
        return false;
    for (wchar_t c : name)
        if (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c))
            return false;
    return true;
}

TargetResult MakeTargetPath(const char* destText, const std::wstring& destPath, const char* artist,
                            const char* album, const char* nameText, const std::wstring& name, CTargetPath& out)
{
    return MakeTargetPath(destText, destPath, artist, album, WideFromText(artist), WideFromText(album), nameText, name,
                          out);
}

TargetResult MakeTargetPath(const char* destText, const std::wstring& destPath, const char* artist,
                            const char* album, const std::wstring& wholeArtist, const std::wstring& wholeAlbum,
                            const char* nameText, const std::wstring& name, CTargetPath& out)
{
    out = CTargetPath();
    if (!NamesFolderLevels(artist, PLACEHOLDER_ARTIST) || !NamesFolderLevels(album, PLACEHOLDER_ALBUM))
        return TARGET_NO_LEVEL;
    const std::string folderText = std::string(destText) + "\\" + artist + "\\" + album;
    const std::string text = folderText + "\\" + nameText;
    if (text.size() >= ENTRY_PATH_BYTES)
        return TARGET_TOO_LONG;

    std::wstring folder = destPath;
    const std::wstring levels = wholeArtist + L"\\" + wholeAlbum;
    for (size_t start = 0; start <= levels.size();) {
        size_t end = levels.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = levels.size();
        std::wstring level = levels.substr(start, end - start);
        while (!level.empty() && IsTrimmed(level.back()))
            level.pop_back();
        if (!level.empty()) {
            if (!IsOrdinaryName(level))
                return TARGET_UNREACHABLE;
            folder = JoinPath(folder, level);
        }
        start = end + 1;
    }
    if (!IsOrdinaryName(name))
        return TARGET_UNREACHABLE;
    out.text = text;
    // The destination as the user reads it, then the levels as typed.
    const std::wstring plainDest = PlainPath(destPath);
    out.wholeText = (TextFromWide(plainDest) == destText ? plainDest : WideFromText(destText)) + L"\\" +
                    wholeArtist + L"\\" + wholeAlbum + L"\\" + name;
    out.folderText = folderText;
    out.folder = folder;
    out.path = JoinPath(folder, name);
    return TARGET_OK;
}
