#include "collect/FileEntry.h"

#include <windows.h>

#include <cstring>

#include "afx/WidePath.h"

namespace {

// The block starts with where each text starts, counted from the block's
// first byte, then where the table of whole texts starts; the largest block
// is under 16 KB.
using TextStart = uint16_t;
const size_t kTableBytes = sizeof(TextStart) * (FIELD_COUNT + 1);
const size_t kWholeTableAt = sizeof(TextStart) * FIELD_COUNT;

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

TextStart StartAt(const char* block, size_t at)
{
    TextStart start;
    std::memcpy(&start, block + at, sizeof start);
    return start;
}

void PutStart(char* block, size_t at, size_t start)
{
    const TextStart value = TextStart(start);
    std::memcpy(block + at, &value, sizeof value);
}

// A whole text kept as UTF-8, at most as many UTF-16 units as the field has
// bytes, never half a surrogate pair.
std::string WholeBytes(EntryField field, const std::wstring& whole)
{
    size_t n = whole.size() < kFieldBytes[field] - 1 ? whole.size() : kFieldBytes[field] - 1;
    if (n < whole.size() && n > 0 && whole[n - 1] >= 0xD800 && whole[n - 1] <= 0xDBFF)
        --n;
    if (n == 0)
        return std::string();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, whole.data(), int(n), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, whole.data(), int(n), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

} // namespace

bool SpellsWhole(EntryField field, const std::string& bytes, const std::wstring& whole)
{
    const size_t n = CutLength(field, bytes.c_str());
    return WideFromText(bytes.substr(0, n)) == whole;
}

const char* MP3FileEntry::Text(EntryField field) const
{
    if (!m_texts || field < 0 || field >= FIELD_COUNT)
        return "";
    return m_texts.get() + StartAt(m_texts.get(), sizeof(TextStart) * field);
}

bool MP3FileEntry::HasWholeText(EntryField field) const
{
    if (!m_texts || field < 0 || field >= FIELD_COUNT)
        return false;
    const TextStart table = StartAt(m_texts.get(), kWholeTableAt);
    return table && StartAt(m_texts.get(), table + sizeof(TextStart) * field);
}

std::wstring MP3FileEntry::WideText(EntryField field) const
{
    if (!HasWholeText(field))
        return WideFromText(Text(field));
    const TextStart table = StartAt(m_texts.get(), kWholeTableAt);
    const char* utf8 = m_texts.get() + StartAt(m_texts.get(), table + sizeof(TextStart) * field);
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (size <= 1)
        return std::wstring();
    std::wstring whole(size_t(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &whole[0], size);
    whole.resize(size_t(size - 1));
    return whole;
}

void MP3FileEntry::SetTexts(const char* const texts[FIELD_COUNT], const std::wstring* wholes)
{
    size_t lengths[FIELD_COUNT];
    std::string wholeBytes[FIELD_COUNT];
    bool bAnyWhole = false;
    size_t size = kTableBytes;
    for (int f = 0; f < FIELD_COUNT; ++f) {
        lengths[f] = CutLength(EntryField(f), texts[f]);
        size += lengths[f] + 1;
        if (wholes && !wholes[f].empty())
            wholeBytes[f] = WholeBytes(EntryField(f), wholes[f]);
        bAnyWhole = bAnyWhole || !wholeBytes[f].empty();
    }
    if (bAnyWhole) {
        size += sizeof(TextStart) * FIELD_COUNT;
        for (const std::string& w : wholeBytes)
            size += w.empty() ? 0 : w.size() + 1;
    }
    // Made whole before the old block goes: a text may come from it.
    std::unique_ptr<char[]> block(new char[size]);
    size_t at = kTableBytes;
    for (int f = 0; f < FIELD_COUNT; ++f) {
        PutStart(block.get(), sizeof(TextStart) * f, at);
        if (lengths[f])
            std::memcpy(block.get() + at, texts[f], lengths[f]);
        block[at + lengths[f]] = 0;
        at += lengths[f] + 1;
    }
    PutStart(block.get(), kWholeTableAt, bAnyWhole ? at : 0);
    if (bAnyWhole) {
        const size_t table = at;
        at += sizeof(TextStart) * FIELD_COUNT;
        for (int f = 0; f < FIELD_COUNT; ++f) {
            PutStart(block.get(), table + sizeof(TextStart) * f, wholeBytes[f].empty() ? 0 : at);
            if (wholeBytes[f].empty())
                continue;
            std::memcpy(block.get() + at, wholeBytes[f].c_str(), wholeBytes[f].size() + 1);
            at += wholeBytes[f].size() + 1;
        }
    }
    m_texts = std::move(block);
}

void MP3FileEntry::SetText(EntryField field, const char* text)
{
    // A CP949 text alone spells itself.
    SetText(field, text, std::wstring());
}

void MP3FileEntry::SetWideText(EntryField field, const std::wstring& whole)
{
    SetText(field, TextFromWide(whole).c_str(), whole);
}

void MP3FileEntry::SetText(EntryField field, const char* text, const std::wstring& whole)
{
    if (field < 0 || field >= FIELD_COUNT)
        return;
    const char* texts[FIELD_COUNT];
    std::wstring wholes[FIELD_COUNT];
    for (int f = 0; f < FIELD_COUNT; ++f) {
        texts[f] = f == field ? text : Text(EntryField(f));
        if (f == field ? !whole.empty() && !SpellsWhole(field, text ? text : "", whole) : HasWholeText(EntryField(f)))
            wholes[f] = f == field ? whole : WideText(EntryField(f));
    }
    SetTexts(texts, wholes);
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

namespace {

uint16_t OutcomeWord(PassOutcome outcome, PassReason reason)
{
    return uint16_t(outcome | (reason << 8));
}

} // namespace

CPassOutcome MP3FileEntry::Outcome() const
{
    const uint16_t word = m_outcome.load(std::memory_order_acquire);
    CPassOutcome o;
    o.outcome = PassOutcome(word & 0xFF);
    o.reason = PassReason(word >> 8);
    return o;
}

void MP3FileEntry::SetOutcome(PassOutcome outcome, PassReason reason)
{
    m_outcome.store(OutcomeWord(outcome, reason), std::memory_order_release);
}

bool MP3FileEntry::ChangeOutcome(PassOutcome from, PassOutcome outcome, PassReason reason)
{
    uint16_t word = m_outcome.load(std::memory_order_relaxed);
    do {
        if ((word & 0xFF) != from)
            return false;
    } while (!m_outcome.compare_exchange_weak(word, OutcomeWord(outcome, reason), std::memory_order_acq_rel,
                                              std::memory_order_relaxed));
    return true;
}
