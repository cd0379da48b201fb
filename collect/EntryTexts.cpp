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
std::string EntryText(const std::string& text, const char* placeholder)
{
    if (text.empty())
        return placeholder;
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    size_t begin = 0;
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    return text.substr(begin, end - begin);
}

} // namespace

void PutEntryTexts(MP3FileEntry& e, const CMP3Info& info)
{
    char track[16];
    wsprintfA(track, "%d", info.m_nTrack);
    std::string texts[FIELD_COUNT];
    texts[FIELD_ARTIST] = EntryText(info.GetArtist(), PLACEHOLDER_ARTIST);
    texts[FIELD_ALBUM] = EntryText(info.GetAlbum(), PLACEHOLDER_ALBUM);
    texts[FIELD_TRACK] = track;
    texts[FIELD_TITLE] = EntryText(info.GetTitle(), PLACEHOLDER_TITLE);
    texts[FIELD_GENRE] = EntryText(GetGenreName(info.m_nGenre), PLACEHOLDER_GENRE);
    texts[FIELD_YEAR] = EntryText(info.GetYear(), PLACEHOLDER_YEAR);
    texts[FIELD_COMMENT] = EntryText(info.GetComment(), PLACEHOLDER_COMMENT);
    const char* pointers[FIELD_COUNT];
    for (int f = 0; f < FIELD_COUNT; ++f)
        pointers[f] = texts[f].c_str();
    e.SetTexts(pointers);
    e.nGenre = info.m_nGenre;
}

void CopyTagTexts(MP3FileEntry& to, const MP3FileEntry& from)
{
    const char* texts[FIELD_COUNT];
    for (int f = 0; f < FIELD_COUNT; ++f)
        texts[f] = from.Text(EntryField(f));
    to.SetTexts(texts);
    to.nGenre = from.nGenre;
}
