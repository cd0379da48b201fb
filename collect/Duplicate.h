#pragma once
#include <cstdint>
#include <string>

#include "collect/FileEntry.h"

// What the duplicate decision may learn of the file standing at a target
// path. Each answer but the first may cost the disk, so the decision asks
// the cheap ones first.
class IStandingFile
{
public:
    // The fingerprint (TailSum) known for what stands there, without looking;
    // 0 when none is known.
    virtual uint32_t KnownSum(const std::wstring& target) = 0;
    virtual bool Exists(const std::wstring& target) = 0;
    // Reads the fingerprint of what stands there; 0 when it cannot.
    virtual uint32_t ReadSum(const std::wstring& target) = 0;
    virtual bool SameBytes(const std::wstring& source, const std::wstring& target) = 0;

protected:
    ~IStandingFile() = default;
};

// True when the row's file is a duplicate of what stands at another row's
// target: the same non-zero size, a target set by the pass, and the same
// bytes there. Size and fingerprints (nSum: the row's, 0 when unknown) only
// rule pairs out; the bytes decide.
bool IsDuplicateOfRow(const MP3FileEntry& row, uint32_t nSum, const MP3FileEntry& other, IStandingFile& standing);
