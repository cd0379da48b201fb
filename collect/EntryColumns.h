#pragma once
#include "afx/Controls.h"

// The columns of a file-list row, in order, drawn from the row's MP3FileEntry.
enum EntryColumn {
    COLUMN_NUMBER,   // row + 1
    COLUMN_PATH,
    COLUMN_ARTIST,
    COLUMN_ALBUM,
    COLUMN_TRACK,
    COLUMN_TITLE,
    COLUMN_GENRE,
    COLUMN_YEAR,
    COLUMN_COMMENT,
    COLUMN_COUNT
};

struct CColumnDef
{
    const char* caption;
    int width;   // pixels
};

// Caption and width of each column, by EntryColumn.
extern const CColumnDef g_EntryColumns[COLUMN_COUNT];

class CEntryColumns : public IListTextSource
{
public:
    void GetCellText(int row, LPARAM data, int column, char* buf, int cb) override;
    std::wstring GetCellTextW(int row, LPARAM data, int column) override;
};
