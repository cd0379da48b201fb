#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "collect/RowOutcome.h"

// The tag texts of an entry, in the order the list shows them.
enum EntryField { FIELD_ARTIST, FIELD_ALBUM, FIELD_TRACK, FIELD_TITLE, FIELD_GENRE, FIELD_YEAR, FIELD_COMMENT, FIELD_COUNT };

// The bytes each tag text may take, its closing zero included. A longer text
// is cut by bytes to one less, as lstrcpynA cuts into a buffer of that size:
// a double-byte character at the cut keeps its first byte only, as it always
// has in the list and the tag dialog.
inline constexpr size_t kFieldBytes[FIELD_COUNT] = {256, 256, 256, 256, 128, 64, 512};
inline constexpr size_t kLargestFieldBytes = 512;

// A path whose text takes ENTRY_PATH_BYTES or more is not listed, nor a file
// whose name's text takes ENTRY_NAME_BYTES or more, and no row gets a target
// whose text takes ENTRY_PATH_BYTES or more: cut, they would name another
// file.
enum : size_t { ENTRY_PATH_BYTES = 512, ENTRY_NAME_BYTES = 256 };

// An album folder an organise pass puts files in, one for all its rows: the
// text the user reads (destination\artist\album, the folders as made) and the
// folder exactly, long-path form.
struct CTargetFolder
{
    std::string text;
    std::wstring path;
};

// One listed file. The address of an entry is its list row's data value; the
// row owns it. A list may hold a million rows, so an entry keeps its texts at
// their length and keeps nothing it can make again: the CP949 texts of its
// path and name come from its exact wide path, which is how the file is
// reached (the texts may not spell it exactly), and its target is its album
// folder, shared with the other rows going there, and its own name.
//
// Who touches what, so that nobody reads storage that is being replaced:
// - the path is set before the row exists and never changes;
// - the tag texts change only on the window's thread (a tag edit, under the
//   job's entry lock, CCollectJob::EntryLock). That thread reads them without
//   the lock, any other thread copies them under it: a pointer Artist() and
//   the like return is good until the next edit, and never kept past one;
// - the target belongs to the organise pass: only the worker running it
//   writes it, under the entry lock, and reads it while it runs. The
//   window's thread reads it under that lock (a row's tip names its target);
// - the outcome is the pass's too, written by its worker; a tag edit sets it
//   back to none under the entry lock. Any thread may read it, at once.
// An entry is never copied whole: the tag dialog edits a copy of the tag
// values alone (CopyTagTexts), never of the target the pass is writing.
struct MP3FileEntry
{
    MP3FileEntry() = default;
    MP3FileEntry(const MP3FileEntry&) = delete;
    MP3FileEntry& operator=(const MP3FileEntry&) = delete;

    int nIndex = 0;         // the row it was created for (0 for the first)
    int nGenre = 0;         // 0..255 from the tag, 255 none, -1 after an edit left none selected
    uint64_t nFileSize = 0; // bytes, when scanned
    uint32_t nTailSum = 0;  // TailSum of the file's last 128 bytes when scanned; 0 unknown or rewritten since

    // What the last organise pass made of the row's song, and why where it
    // stayed behind; none before a pass decided it and after a tag edit.
    CPassOutcome Outcome() const;
    void SetOutcome(PassOutcome outcome, PassReason reason = WHY_NONE);
    // Sets it only where it is still `from`: a tag edit in between, which set
    // it to none, wins. False then.
    bool ChangeOutcome(PassOutcome from, PassOutcome outcome, PassReason reason = WHY_NONE);

    // The tag texts, CP949, zero-terminated; "" until set.
    const char* Artist() const { return Text(FIELD_ARTIST); }
    const char* Album() const { return Text(FIELD_ALBUM); }
    const char* Track() const { return Text(FIELD_TRACK); }   // decimal, "0" when the file has none
    const char* Title() const { return Text(FIELD_TITLE); }
    const char* Genre() const { return Text(FIELD_GENRE); }
    const char* Year() const { return Text(FIELD_YEAR); }
    const char* Comment() const { return Text(FIELD_COMMENT); }
    const char* Text(EntryField field) const;

    // A field's whole text: the one the tag gave where its CP949 bytes
    // cannot spell it (a name outside the code page, a text longer than the
    // field), else those bytes as UTF-16. What the screen shows and what
    // target folders are named by; the CP949 text is what the program has
    // always shown, '?' for what the code page cannot spell.
    std::wstring WideText(EntryField field) const;
    bool HasWholeText(EntryField field) const;

    // Each cut to its kFieldBytes; a null text is an empty one. A text cut
    // keeps its whole form.
    void SetWideText(EntryField field, const std::wstring& whole);
    // The CP949 text and its whole form, kept where the text cannot spell it.
    void SetText(EntryField field, const char* text, const std::wstring& whole);
    void SetArtist(const char* text) { SetText(FIELD_ARTIST, text); }
    void SetAlbum(const char* text) { SetText(FIELD_ALBUM, text); }
    void SetTrack(const char* text) { SetText(FIELD_TRACK, text); }
    void SetTitle(const char* text) { SetText(FIELD_TITLE, text); }
    void SetGenre(const char* text) { SetText(FIELD_GENRE, text); }
    void SetYear(const char* text) { SetText(FIELD_YEAR, text); }
    void SetComment(const char* text) { SetText(FIELD_COMMENT, text); }
    void SetText(EntryField field, const char* text);
    // All of them at once, by EntryField; wholes (by EntryField, may be
    // null) gives the whole texts where the CP949 ones cannot spell them,
    // an empty one for none.
    void SetTexts(const char* const texts[FIELD_COUNT], const std::wstring* wholes = nullptr);

    // The file, long-path form, its name exactly as on disk.
    const std::wstring& WidePath() const { return m_path; }
    void SetWidePath(const std::wstring& path) { m_path = path; }
    // Its full path as the scan found it and its name, as the user reads them.
    std::string Path() const;
    std::string FileName() const;

    // Where the last pass that reached the row with an artist and an album
    // put (or meant to put) its file: as text, and long-path form. Empty
    // before.
    bool HasTarget() const { return m_target != nullptr; }
    std::string TargetPath() const;
    std::wstring WideTargetPath() const;
    void SetTarget(std::shared_ptr<const CTargetFolder> folder) { m_target = std::move(folder); }

private:
    // Outcome and reason in one word, so that a reader never sees one
    // without the other. After nTailSum, where a 64-bit build has padding.
    std::atomic<uint16_t> m_outcome{0};
    // The tag texts in EntryField order, each with its zero, behind a table
    // of where each starts; null while all are empty. After the table, where
    // the whole texts start: a second table, by EntryField, of UTF-8 texts
    // (0 for a field that has none), or 0 when no field has one, as in
    // nearly every row.
    std::unique_ptr<char[]> m_texts;
    std::wstring m_path;
    std::shared_ptr<const CTargetFolder> m_target;
};

// True when a field's CP949 bytes, cut as the entry cuts them, spell the
// whole text: then the entry keeps no whole form.
bool SpellsWhole(EntryField field, const std::string& bytes, const std::wstring& whole);

// Transfer mode of the organise pass.
enum { MODE_MOVE = 1, MODE_COPY = 2 };
