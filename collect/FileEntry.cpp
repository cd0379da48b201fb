#include "collect/FileEntry.h"

#include <cstring>

#include "afx/WidePath.h"

namespace {

// The block starts with where each text starts, counted from the block's
// first byte; the largest block is under 2 KB.
using TextStart = uint16_t;
const size_t kTableBytes = sizeof(TextStart) * FIELD_COUNT;

constexpr bool NoFieldLargerThan(size_t bytes)
{
    for (size_t fieldBytes : kFieldBytes)
        if (fieldBytes > bytes)
            return false;
    return true;
}
static_assert(NoFieldLargerThan(kLargestFieldBytes), "a buffer of kLargestFieldBytes holds every field");

size_t CutLength(EntryField field, const char* text)
{
    return text ? strnlen(text, kFieldBytes[field] - 1) : 0;
}

} // namespace

const char* MP3FileEntry::Text(EntryField field) const
{
    if (!m_texts || field < 0 || field >= FIELD_COUNT)
        return "";
    TextStart start;
    std::memcpy(&start, m_texts.get() + sizeof start * field, sizeof start);
    return m_texts.get() + start;
}

void MP3FileEntry::SetTexts(const char* const texts[FIELD_COUNT])
{
    size_t lengths[FIELD_COUNT];
    size_t size = kTableBytes;
    for (int f = 0; f < FIELD_COUNT; ++f) {
        lengths[f] = CutLength(EntryField(f), texts[f]);
        size += lengths[f] + 1;
    }
    // Made whole before the old block goes: a text may come from it.
    std::unique_ptr<char[]> block(new char[size]);
    size_t at = kTableBytes;
    for (int f = 0; f < FIELD_COUNT; ++f) {
        const TextStart start = TextStart(at);
        std::memcpy(block.get() + sizeof start * f, &start, sizeof start);
        if (lengths[f])
            std::memcpy(block.get() + at, texts[f], lengths[f]);
        block[at + lengths[f]] = 0;
        at += lengths[f] + 1;
    }
    m_texts = std::move(block);
}

void MP3FileEntry::SetText(EntryField field, const char* text)
{
    if (field < 0 || field >= FIELD_COUNT)
        return;
    const char* texts[FIELD_COUNT];
    for (int f = 0; f < FIELD_COUNT; ++f)
        texts[f] = f == field ? text : Text(EntryField(f));
    SetTexts(texts);
}

std::string MP3FileEntry::Path() const
{
    return TextFromWide(PlainPath(m_path));
}

std::string MP3FileEntry::FileName() const
{
    return TextFromWide(NameOfPath(m_path));
}

std::string MP3FileEntry::TargetPath() const
{
    return m_target ? m_target->text + "\\" + FileName() : std::string();
}

std::wstring MP3FileEntry::WideTargetPath() const
{
    return m_target ? JoinPath(m_target->path, NameOfPath(m_path)) : std::wstring();
}
