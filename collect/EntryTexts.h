#pragma once
#include "collect/FileEntry.h"

class CMP3Info;
struct CSongEdit;
struct CSongFields;

// The texts an entry shows for a tag: each field trimmed of blanks at both
// ends, an empty field as its placeholder ("no artist", "no album", ...; a
// field of blanks alone becomes an empty text),
// the genre by name, the track as a number ("0" for none). Each cut by bytes
// to its kFieldBytes.
// Each text keeps its whole form where its CP949 bytes cannot spell it.
void PutEntryTexts(MP3FileEntry& e, const CSongFields& song);
// The same for an ID3v1 record alone.
void PutEntryTexts(MP3FileEntry& e, const CMP3Info& info);

// The tag texts of one entry (title, artist, album, track, genre, year,
// comment) given those of another; the file, its fingerprint and its target
// stay.
void CopyTagTexts(MP3FileEntry& to, const MP3FileEntry& from);

// The edit of an entry as the save writes it, the mirror of PutEntryTexts:
// every field for the ID3v1 record, a placeholder as an empty field and the
// track as the number its text starts with; nChangedFields (bits by
// EntryField) the fields the user changed, the only ones the ID3v2 tag takes.
CSongEdit SongEditOf(const MP3FileEntry& e, unsigned nChangedFields);
