#include "collect/TargetPath.h"

#include <windows.h>

#include <cstring>
#include <type_traits>
#include <vector>

#include "afx/WidePath.h"
#include "collect/FileEntry.h"
#include "res/Texts.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsTrimmed(wchar_t c) { return c == L'.' || c == L' '; }

// A character no file name may hold; the separators are levels, not names.
template <class Char>
bool IsRefused(Char c)
{
    return static_cast<std::make_unsigned_t<Char>>(c) < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' ||
           c == '|' || c == '?' || c == '*';
}

bool IsDeviceBase(std::wstring base)
{
    if (base.empty())
        return false;
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

std::wstring Wide(const std::wstring& text) { return text; }
std::wstring Wide(const std::string& text) { return WideFromText(text); }

// Where the device name a name starts with ends, or npos. The part before
// the first dot, blanks after it ignored, is what the platform compares
// ("con.mp3", "LPT1 .mp3").
template <class String>
size_t DeviceEnd(const String& name)
{
    size_t end = name.find('.');
    if (end == String::npos)
        end = name.size();
    while (end > 0 && name[end - 1] == ' ')
        --end;
    return IsDeviceBase(Wide(name.substr(0, end))) ? end : String::npos;
}

// The name a folder level gets, in either spelling: CP949's trail bytes are
// never ASCII punctuation, so the bytes can be mapped one by one.
template <class String>
String FolderName(String level)
{
    for (auto& c : level)
        if (IsRefused(c))
            c = '_';
    while (!level.empty() && IsTrimmed(level.back()))
        level.pop_back();
    const size_t device = DeviceEnd(level);
    if (device != String::npos)
        level.insert(device, 1, '_');
    return level;
}

template <class String>
std::vector<String> SplitLevels(const String& text)
{
    std::vector<String> levels;
    for (size_t start = 0; start <= text.size();) {
        size_t end = start;
        while (end < text.size() && text[end] != '\\' && text[end] != '/')
            ++end;
        levels.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return levels;
}

// The folders an artist's or album's whole text makes, added to levels;
// false when it makes none, or names one by dots alone (out of the
// destination) or by '?' and blanks alone (what a lossy writer left of it).
bool AddFolderLevels(const std::wstring& whole, std::vector<std::wstring>& levels)
{
    bool bAny = false;
    for (std::wstring level : SplitLevels(whole)) {
        const bool bDot = level.find(L'.') != std::wstring::npos;
        while (!level.empty() && IsTrimmed(level.back()))
            level.pop_back();
        if (level.empty()) {
            if (bDot)
                return false;
            continue;
        }
        if (level.find_first_not_of(L"? ") == std::wstring::npos)
            return false;
        levels.push_back(FolderName(level));
        bAny = true;
    }
    return bAny;
}

// The folders as the user reads them. Spelled from the whole text, a '?' the
// code page put for a character it lacks stays one; from a cut CP949 text,
// the text keeps to the bytes its row has.
void AppendFolderText(std::string& text, const char* cp949, const std::wstring& whole)
{
    if (TextFromWide(whole) == cp949) {
        for (const std::wstring& level : SplitLevels(whole)) {
            const std::wstring name = FolderName(level);
            if (!name.empty())
                text += "\\" + TextFromWide(name);
        }
        return;
    }
    for (const std::string& level : SplitLevels(std::string(cp949))) {
        const std::string name = FolderName(level);
        if (!name.empty())
            text += "\\" + name;
    }
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

bool NamesFolders(const char* text, const std::wstring& whole, const char* placeholder)
{
    std::vector<std::wstring> levels;
    return NamesFolderLevels(text, placeholder) && AddFolderLevels(whole, levels);
}

bool IsOrdinaryName(const std::wstring& name)
{
    if (name.empty() || IsTrimmed(name.back()) || DeviceEnd(name) != std::wstring::npos)
        return false;
    for (wchar_t c : name)
        if (IsRefused(c) || c == L'/' || c == L'\\')
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
    std::vector<std::wstring> levels;
    if (!AddFolderLevels(wholeArtist, levels) || !AddFolderLevels(wholeAlbum, levels))
        return TARGET_NO_LEVEL;
    std::string folderText = destText;
    AppendFolderText(folderText, artist, wholeArtist);
    AppendFolderText(folderText, album, wholeAlbum);
    const std::string text = folderText + "\\" + nameText;
    if (text.size() >= ENTRY_PATH_BYTES)
        return TARGET_TOO_LONG;
    if (!IsOrdinaryName(name))
        return TARGET_UNREACHABLE;

    // The destination as the user reads it, then the folders as made.
    const std::wstring plainDest = PlainPath(destPath);
    std::wstring wholeText = TextFromWide(plainDest) == destText ? plainDest : WideFromText(destText);
    std::wstring folder = destPath;
    for (const std::wstring& level : levels) {
        folder = JoinPath(folder, level);
        wholeText += L"\\" + level;
    }
    out.text = text;
    out.wholeText = wholeText + L"\\" + name;
    out.folderText = folderText;
    out.folder = folder;
    out.path = JoinPath(folder, name);
    return TARGET_OK;
}
