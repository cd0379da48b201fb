#include "collect/EntryTexts.h"

#include <windows.h>

#include <string>

#include "res/Texts.h"
#include "tag/Genre.h"
#include "tag/MP3Info.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// An empty tag text becomes the placeholder; any other is trimmed, so one of
// blanks alone becomes an empty text.
void PutEntryText(char* field, size_t cb, const std::string& text, const char* placeholder)
{
    if (text.empty()) {
        lstrcpynA(field, placeholder, int(cb));
        return;
    }
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    size_t begin = 0;
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    lstrcpynA(field, text.substr(begin, end - begin).c_str(), int(cb));
}

} // namespace

void PutEntryTexts(MP3FileEntry& e, const CMP3Info& info)
{
    PutEntryText(e.szArtist, sizeof e.szArtist, info.GetArtist(), PLACEHOLDER_ARTIST);
    PutEntryText(e.szAlbum, sizeof e.szAlbum, info.GetAlbum(), PLACEHOLDER_ALBUM);
    PutEntryText(e.szTitle, sizeof e.szTitle, info.GetTitle(), PLACEHOLDER_TITLE);
    PutEntryText(e.szGenre, sizeof e.szGenre, GetGenreName(info.m_nGenre), PLACEHOLDER_GENRE);
    PutEntryText(e.szComment, sizeof e.szComment, info.GetComment(), PLACEHOLDER_COMMENT);
    PutEntryText(e.szYear, sizeof e.szYear, info.GetYear(), PLACEHOLDER_YEAR);
    wsprintfA(e.szTrack, "%d", info.m_nTrack);
    e.nGenre = info.m_nGenre;
}

void CopyTagTexts(MP3FileEntry& to, const MP3FileEntry& from)
{
    lstrcpynA(to.szTitle, from.szTitle, sizeof to.szTitle);
    lstrcpynA(to.szArtist, from.szArtist, sizeof to.szArtist);
    lstrcpynA(to.szAlbum, from.szAlbum, sizeof to.szAlbum);
    lstrcpynA(to.szTrack, from.szTrack, sizeof to.szTrack);
    lstrcpynA(to.szGenre, from.szGenre, sizeof to.szGenre);
    to.nGenre = from.nGenre;
    lstrcpynA(to.szYear, from.szYear, sizeof to.szYear);
    lstrcpynA(to.szComment, from.szComment, sizeof to.szComment);
}
