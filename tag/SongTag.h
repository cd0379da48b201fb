#pragma once
#include <cstddef>
#include <string>

#include "tag/ID3v2.h"
#include "tag/MP3Info.h"

// A song's tags as the program lists them: the ID3v1 record where the file
// has one, the ID3v2 tag where it has none, where the record holds only
// what a lossy writer made of the ID3v2 text, or where the record's field is
// empty and the ID3v2 tag's is not.

// The text fields both tags hold, in the record's order.
enum SongField { SONG_TITLE, SONG_ARTIST, SONG_ALBUM, SONG_YEAR, SONG_COMMENT, SONG_FIELD_COUNT };

// True when an ID3v1 field's bytes (as read, up to the first zero) are what a
// writer that encodes ID3v1 as CP949 or as Latin-1 makes of the ID3v2 text
// (a character the code page cannot spell written as '?'), or what one that
// writes UTF-8 there makes of it; the whole cut to the field's nFieldBytes
// (split character and all, or the split character left out); blanks a
// writer pads with or drops at the end do not count. And something was lost
// on the way: where the record spells the ID3v2 text exactly in CP949 it
// holds as it is.
bool IsLossyCopy(const std::string& v1Bytes, size_t nFieldBytes, const std::wstring& v2Text);

// The blanks a listed text is trimmed of at both ends: the list shows texts
// so, and the save compares an edit with a tag's text so.
template <class Char>
bool IsBlank(Char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <class String>
String Trimmed(const String& text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    size_t begin = 0;
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    return text.substr(begin, end - begin);
}

// One field as listed: CP949 bytes, as every text of the program, and the
// whole text where those bytes cannot spell it (else empty).
struct CSongText
{
    std::string bytes;
    std::wstring whole;
};

// What a song is listed by, each field from the tag that holds it.
struct CSongFields
{
    CSongText texts[SONG_FIELD_COUNT];
    int nTrack = 0;
    int nGenre = 255;
    // The genre's text where the ID3v2 tag names one outside the list.
    CSongText genreText;
};

// Which tag holds, field by field. A file without an ID3v1 record (v1 read
// with no tag) takes every field from its ID3v2 tag; one with a record keeps
// the record's fields, but for a text that is a lossy copy of the ID3v2 one
// (IsLossyCopy) and one that is empty or blank where the ID3v2 text is not,
// which are then taken whole; a track of 0 and a genre the list does not
// name (255 and the like) take the ID3v2 tag's where it has one. A record
// text that is valid CP949 is listed as its bytes; any other is read as
// UTF-8 where it is multi-byte UTF-8 (a split character at the end of a
// full field aside), else as Latin-1, and listed whole.
CSongFields ChooseSongFields(const CMP3Info& v1, const CID3v2Fields& v2);

// True when the record has a text IsLossyCopy could find lost: one that
// fills its field (or all but a byte), holds a '?', holds bytes no Korean
// writer made (IsKoreanCP949 false: a Latin-1 writer's accents) or is
// multi-byte UTF-8.
bool RecordMayBeLossy(const CMP3Info& v1);

// True when the record lacks a field the ID3v2 tag may hold: a text empty or
// blank, track 0, a genre the list does not name.
bool RecordLacksField(const CMP3Info& v1);

// Reads a file's tags: the record first, the ID3v2 tag where the record is
// missing, may be lossy or lacks a field; a record with none of these costs
// no read beyond its own. False only when the file cannot be opened (as
// CMP3Info::ReadTag); a broken ID3v2 tag counts as none.
bool ReadSongFields(const std::wstring& path, CMP3Info& v1, CID3v2Fields& v2, CSongFields& out);

// The CP949 bytes of a whole text and, where they cannot spell it, the text.
CSongText SongTextOf(const std::wstring& whole);
