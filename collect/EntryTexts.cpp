#include "collect/EntryTexts.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "afx/WidePath.h"
#include "res/Texts.h"
#include "tag/Genre.h"
#include "tag/MP3Info.h"
#include "tag/SongSave.h"
#include "tag/SongTag.h"

namespace {

// An empty tag text becomes the placeholder; any other is trimmed, so one of
// blanks alone becomes an empty text. The whole text, where there is one,
// goes the same way.
void PutText(const CSongText& text, const char* placeholder, EntryField field, std::string& bytes, std::wstring& whole)
{
    whole.clear();
    if (text.bytes.empty() && text.whole.empty()) {
        bytes = placeholder;
        return;
    }
    bytes = Trimmed(text.bytes);
    if (!text.whole.empty())
        whole = Trimmed(text.whole);
    // A text longer than its field keeps its whole form too.
    if (whole.empty() && !SpellsWhole(field, bytes, WideFromText(bytes)))
        whole = WideFromText(bytes);
    if (!whole.empty() && SpellsWhole(field, bytes, whole))
        whole.clear();
}

} // namespace

void PutEntryTexts(MP3FileEntry& e, const CSongFields& song)
{
    char track[16];
    wsprintfA(track, "%d", song.nTrack);
    // The list's genre text where the tag names one outside it.
    CSongText genre;
    genre.bytes = GetGenreName(song.nGenre);
    if (genre.bytes.empty())
        genre = song.genreText;
    std::string texts[FIELD_COUNT];
    std::wstring wholes[FIELD_COUNT];
    PutText(song.texts[SONG_ARTIST], PLACEHOLDER_ARTIST, FIELD_ARTIST, texts[FIELD_ARTIST], wholes[FIELD_ARTIST]);
    PutText(song.texts[SONG_ALBUM], PLACEHOLDER_ALBUM, FIELD_ALBUM, texts[FIELD_ALBUM], wholes[FIELD_ALBUM]);
    texts[FIELD_TRACK] = track;
    PutText(song.texts[SONG_TITLE], PLACEHOLDER_TITLE, FIELD_TITLE, texts[FIELD_TITLE], wholes[FIELD_TITLE]);
    PutText(genre, PLACEHOLDER_GENRE, FIELD_GENRE, texts[FIELD_GENRE], wholes[FIELD_GENRE]);
    PutText(song.texts[SONG_YEAR], PLACEHOLDER_YEAR, FIELD_YEAR, texts[FIELD_YEAR], wholes[FIELD_YEAR]);
    PutText(song.texts[SONG_COMMENT], PLACEHOLDER_COMMENT, FIELD_COMMENT, texts[FIELD_COMMENT], wholes[FIELD_COMMENT]);
    const char* pointers[FIELD_COUNT];
    for (int f = 0; f < FIELD_COUNT; ++f)
        pointers[f] = texts[f].c_str();
    e.SetTexts(pointers, wholes);
    e.nGenre = song.nGenre;
}

void PutEntryTexts(MP3FileEntry& e, const CMP3Info& info)
{
    PutEntryTexts(e, ChooseSongFields(info, CID3v2Fields()));
}

void CopyTagTexts(MP3FileEntry& to, const MP3FileEntry& from)
{
    const char* texts[FIELD_COUNT];
    std::wstring wholes[FIELD_COUNT];
    for (int f = 0; f < FIELD_COUNT; ++f) {
        texts[f] = from.Text(EntryField(f));
        if (from.HasWholeText(EntryField(f)))
            wholes[f] = from.WideText(EntryField(f));
    }
    to.SetTexts(texts, wholes);
    to.nGenre = from.nGenre;
}

namespace {

// A field the scan filled with its placeholder was empty in the file, and
// goes back empty.
CSongText EditText(const MP3FileEntry& e, EntryField field, const char* placeholder)
{
    CSongText t;
    if (std::strcmp(e.Text(field), placeholder) == 0)
        return t;
    t.bytes = e.Text(field);
    if (e.HasWholeText(field))
        t.whole = e.WideText(field);
    return t;
}

} // namespace

CSongEdit SongEditOf(const MP3FileEntry& e, unsigned nChangedFields)
{
    CSongEdit edit;
    edit.texts[SONG_TITLE] = EditText(e, FIELD_TITLE, PLACEHOLDER_TITLE);
    edit.texts[SONG_ARTIST] = EditText(e, FIELD_ARTIST, PLACEHOLDER_ARTIST);
    edit.texts[SONG_ALBUM] = EditText(e, FIELD_ALBUM, PLACEHOLDER_ALBUM);
    edit.texts[SONG_YEAR] = EditText(e, FIELD_YEAR, PLACEHOLDER_YEAR);
    edit.texts[SONG_COMMENT] = EditText(e, FIELD_COMMENT, PLACEHOLDER_COMMENT);
    // The number at the start of the text, as atoi reads it, without its
    // undefined overflow.
    edit.nTrack = int(std::strtol(e.Track(), nullptr, 10));
    edit.nGenre = e.nGenre;
    static const struct { EntryField field; unsigned edit; } kBits[] = {
        {FIELD_TITLE, EDIT_TITLE}, {FIELD_ARTIST, EDIT_ARTIST}, {FIELD_ALBUM, EDIT_ALBUM}, {FIELD_YEAR, EDIT_YEAR},
        {FIELD_COMMENT, EDIT_COMMENT}, {FIELD_TRACK, EDIT_TRACK}, {FIELD_GENRE, EDIT_GENRE},
    };
    for (const auto& b : kBits)
        if (nChangedFields & (1u << b.field))
            edit.nChanged |= b.edit;
    return edit;
}
