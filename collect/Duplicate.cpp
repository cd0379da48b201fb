#include "collect/Duplicate.h"

bool IsDuplicateOfRow(const MP3FileEntry& row, uint32_t nSum, const MP3FileEntry& other, IStandingFile& standing)
{
    if (&other == &row || other.nIndex == row.nIndex || row.nFileSize == 0 || other.nFileSize != row.nFileSize)
        return false;
    if (!other.HasTarget())
        return false;
    const std::wstring target = other.WideTargetPath();
    // Different last bytes settle it without reading the files, or even
    // looking for them.
    const uint32_t nKnown = nSum != 0 ? standing.KnownSum(target) : 0;
    if (nKnown != 0 && nKnown != nSum)
        return false;
    if (!standing.Exists(target))
        return false;
    if (nSum != 0 && nKnown == 0) {
        const uint32_t nThere = standing.ReadSum(target);
        if (nThere != 0 && nThere != nSum)
            return false;
    }
    return standing.SameBytes(row.WidePath(), target);
}
