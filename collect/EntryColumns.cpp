#include "collect/EntryColumns.h"

#include "afx/WidePath.h"
#include "collect/FileEntry.h"
#include "res/Texts.h"

const CColumnDef g_EntryColumns[COLUMN_COUNT] = {
    {TEXT_COLUMN_NUMBER, 40}, {TEXT_COLUMN_PATH, 280}, {TEXT_COLUMN_ARTIST, 80},
    {TEXT_COLUMN_ALBUM, 100}, {TEXT_COLUMN_TRACK, 50}, {TEXT_COLUMN_TITLE, 100},
    {TEXT_COLUMN_GENRE, 80}, {TEXT_COLUMN_YEAR, 80}, {TEXT_COLUMN_COMMENT, 210},
};

void CEntryColumns::GetCellText(int row, LPARAM data, int column, char* buf, int cb)
{
    if (cb <= 0)
        return;
    buf[0] = 0;
    if (column == COLUMN_NUMBER) {
        char number[16];
        wsprintfA(number, "%d", row + 1);
        lstrcpynA(buf, number, cb);
        return;
    }
    const auto* e = reinterpret_cast<const MP3FileEntry*>(data);
    if (!e)
        return;
    if (column == COLUMN_PATH) {
        lstrcpynA(buf, e->Path().c_str(), cb);
        return;
    }
    const char* text = "";
    switch (column) {
    case COLUMN_ARTIST: text = e->Artist(); break;
    case COLUMN_ALBUM: text = e->Album(); break;
    case COLUMN_TRACK: text = e->Track(); break;
    case COLUMN_TITLE: text = e->Title(); break;
    case COLUMN_GENRE: text = e->Genre(); break;
    case COLUMN_YEAR: text = e->Year(); break;
    case COLUMN_COMMENT: text = e->Comment(); break;
    default: break;
    }
    lstrcpynA(buf, text, cb);
}

std::wstring CEntryColumns::GetCellTextW(int row, LPARAM data, int column)
{
    const auto* e = reinterpret_cast<const MP3FileEntry*>(data);
    if (column == COLUMN_NUMBER || !e) {
        char text[16] = "";
        GetCellText(row, data, column, text, sizeof text);
        return WideFromText(text);
    }
    if (column == COLUMN_PATH)
        return PlainPath(e->WidePath());
    static const EntryField kFields[COLUMN_COUNT] = {FIELD_COUNT, FIELD_COUNT, FIELD_ARTIST, FIELD_ALBUM,
                                                     FIELD_TRACK, FIELD_TITLE, FIELD_GENRE, FIELD_YEAR,
                                                     FIELD_COMMENT};
    return column > 0 && column < COLUMN_COUNT ? e->WideText(kFields[column]) : std::wstring();
}

OutcomeImage ImageOfOutcome(PassOutcome outcome)
{
    switch (outcome) {
    case OUTCOME_TRANSFERRED: return IMAGE_TRANSFERRED;
    case OUTCOME_DUPLICATE: return IMAGE_DUPLICATE;
    case OUTCOME_FAILED: return IMAGE_FAILED;
    case OUTCOME_NOT_REACHED: return IMAGE_NOT_REACHED;
    default: return IMAGE_NONE;
    }
}

int CEntryColumns::GetStateImage(int /*row*/, LPARAM data)
{
    const auto* e = reinterpret_cast<const MP3FileEntry*>(data);
    return e ? ImageOfOutcome(e->Outcome().outcome) : IMAGE_NONE;
}
