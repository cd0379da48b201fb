#pragma once
#include "afx/Controls.h"
#include "collect/RowOutcome.h"

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

// The state image a row shows for what the last pass made of its song, by
// its place in the list's state image list (one-based; 0 for none).
enum OutcomeImage {
    IMAGE_NONE,
    IMAGE_TRANSFERRED,
    IMAGE_DUPLICATE,
    IMAGE_FAILED,
    IMAGE_NOT_REACHED,
    IMAGE_COUNT
};
OutcomeImage ImageOfOutcome(PassOutcome outcome);

class CEntryColumns : public IListTextSource
{
public:
    void GetCellText(int row, LPARAM data, int column, char* buf, int cb) override;
    std::wstring GetCellTextW(int row, LPARAM data, int column) override;
    int GetStateImage(int row, LPARAM data) override;
};
