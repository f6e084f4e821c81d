// Recovery snapshots in memory: writing the catalog and parsing a whole file before it is used.
#include "snapshot/snapshot_codec.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "core/crc32.h"
#include "core/le_view.h"
#include "core/ntfs_names.h"
#include "core/types.h"
#include "snapshot/snapshot_layout.h"

namespace snapshot {
namespace {

// ---- writing ----

// What differs between the two versions: the width of sector fields and how names are stored.
struct Format
{
    bool version2 = false;
    std::size_t SectorWidth() const noexcept { return version2 ? 8 : 4; }
    std::size_t MaxNameLength() const noexcept { return version2 ? kV2MaxNameLength : kMaxNameLength; }
    // The fixed part of a record; only the NTFS file record has a sector field.
    std::size_t NtfsFileFixed() const noexcept { return version2 ? kV2NtfsFileFixed : kNtfsFileFixed; }
};

class ByteWriter
{
public:
    ByteWriter(std::vector<std::uint8_t>& out, Format format) : m_out(out), m_format(format) {}

    void Le(std::uint64_t value, std::size_t width)
    {
        for (std::size_t i = 0; i < width; ++i) {
            m_out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }
    void U8(std::uint8_t v) { Le(v, 1); }
    void U16(std::uint16_t v) { Le(v, 2); }
    void U32(std::uint32_t v) { Le(v, 4); }
    void U64(std::uint64_t v) { Le(v, 8); }
    void S16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
    void S32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void Sector(std::uint64_t v) { Le(v, m_format.SectorWidth()); }
    void SignedSector(std::int64_t v) { Le(static_cast<std::uint64_t>(v), m_format.SectorWidth()); }
    void Text(std::string_view text) { m_out.insert(m_out.end(), text.begin(), text.end()); }
    // A catalog name as the format stores it: Latin-1 in classic files (the writer chose the
    // classic format because every name has a Latin-1 form), UTF-8 in 2.0 files.
    void Name(std::string_view utf8)
    {
        if (m_format.version2) {
            Text(utf8);
        } else {
            Text(core::Utf8ToLatin1(utf8).value_or(std::string()));
        }
    }
    // The record length: the stored name and the fixed fields after the length field.
    void RecordLength(std::string_view utf8, std::size_t fixed)
    {
        const std::size_t nameBytes = m_format.version2 ? utf8.size() : core::CodePointCount(utf8);
        U16(static_cast<std::uint16_t>(nameBytes + fixed));
    }
    const Format& Fmt() const noexcept { return m_format; }

private:
    std::vector<std::uint8_t>& m_out;
    Format m_format;
};

void WriteHeader(const catalog::Catalog& catalog, ByteWriter& w)
{
    const catalog::ScanTarget& t = catalog.scanTarget;
    const catalog::VolumeParams& v = catalog.volumeParams;
    w.Text(kTag);
    w.Text(w.Fmt().version2 ? kVersion2 : kVersion);
    w.S16(t.scanType);
    w.Sector(t.scanStartSector);
    w.Sector(t.scanSectorCount);
    w.Sector(t.scanEndSector);
    w.U16(t.scanPartitionTag);
    w.S16(v.type);
    w.U32(v.fatSectors);
    w.U32(v.sectorsPerCluster);
    w.U32(v.rootDirSectors);
    w.U32(v.reservedSectors);
    w.Sector(v.clusterBase);
    w.Sector(v.fat1Start);
    w.Sector(v.fat2Start);
    w.SignedSector(v.mftSector);
    w.SignedSector(v.mftMirrSector);
    w.S32(v.sectorsPerFileRecord);
    w.S32(v.indexRecordSectors);
    w.Sector(v.endSector);
    w.S16(catalog.selectedFileSystem);
}

// The list length goes before the records; the catalog's counters equal it after every scan and
// load, and a writer that trusted a counter over the list would write an unreadable file.
std::uint32_t CountOf(std::size_t size) { return static_cast<std::uint32_t>(size); }

void WriteNtfsBody(const catalog::Catalog& catalog, ByteWriter& w)
{
    w.U32(CountOf(catalog.NtfsFolders().size()));
    for (const catalog::NtfsFolderEntry& e : catalog.NtfsFolders()) {
        w.RecordLength(e.name, kNtfsFolderFixed);
        w.Name(e.name);
        w.U32(e.record);
        w.U32(e.parent);
        w.U64(e.created);
        w.U64(e.changed);
        w.U8(static_cast<std::uint8_t>(e.deleted));  // the low byte of the flag
        w.U16(e.reserved);
    }
    w.U32(CountOf(catalog.NtfsFiles().size()));
    for (const catalog::NtfsFileEntry& e : catalog.NtfsFiles()) {
        w.RecordLength(e.name, w.Fmt().NtfsFileFixed());
        w.Sector(e.dataRecordSector);  // between the length and the name
        w.Name(e.name);
        w.U32(e.record);
        w.U32(e.parent);
        w.U64(e.created);
        w.U64(e.changed);
        w.U8(static_cast<std::uint8_t>(e.deleted));
        w.U64(e.size);
    }
}

void WriteFatBody(const catalog::Catalog& catalog, ByteWriter& w)
{
    w.U32(CountOf(catalog.FatFolders().size()));
    for (const catalog::FatFolderEntry& e : catalog.FatFolders()) {
        w.RecordLength(e.name, kFatFolderFixed);
        w.Name(e.name);
        w.U32(e.cluster);
        w.U32(e.parentCluster);
        w.U16(e.writeDate);
        w.U16(e.accessDate);
        w.U8(static_cast<std::uint8_t>(e.deleted));
        w.U16(e.reserved);
    }
    w.U32(CountOf(catalog.FatFiles().size()));
    for (const catalog::FatFileEntry& e : catalog.FatFiles()) {
        w.RecordLength(e.name, kFatFileFixed);
        w.Name(e.name);
        w.U32(e.cluster);
        w.U32(e.parentCluster);
        w.U16(e.writeDate);
        w.U16(e.accessDate);
        w.U32(e.size);
        w.U8(static_cast<std::uint8_t>(e.deleted));
        w.U32(e.serial);
    }
}

bool IsFat(core::FsTypeCode type) { return type == core::kFsFat16 || type == core::kFsFat32; }

// True when every name of the list has a classic (Latin-1, at most 255 bytes) form.
template <typename List>
bool NamesAreClassic(const List& list)
{
    return std::all_of(list.begin(), list.end(), [](const auto& e) {
        const auto latin1 = core::Utf8ToLatin1(e.name);
        return latin1 && latin1->size() <= kMaxNameLength;
    });
}

template <typename List>
bool NamesFitVersion2(const List& list)
{
    return std::all_of(list.begin(), list.end(), [](const auto& e) { return e.name.size() <= kV2MaxNameLength; });
}

bool FitsIn32(std::uint64_t v) noexcept { return v <= 0xFFFFFFFFu; }
// The $MFT sectors: 0 .. 2^32 - 1, written as their 32-bit pattern.
bool FitsInClassicMftField(std::int64_t v) noexcept { return v >= 0 && v <= std::int64_t{0xFFFFFFFF}; }

// True when every sector field of the header and of the NTFS file list fits the classic 32 bits.
bool SectorsAreClassic(const catalog::Catalog& catalog, bool ntfsBody)
{
    const catalog::ScanTarget& t = catalog.scanTarget;
    const catalog::VolumeParams& v = catalog.volumeParams;
    const bool header = FitsIn32(t.scanStartSector) && FitsIn32(t.scanSectorCount) && FitsIn32(t.scanEndSector) &&
                        FitsIn32(v.clusterBase) && FitsIn32(v.fat1Start) && FitsIn32(v.fat2Start) &&
                        FitsInClassicMftField(v.mftSector) && FitsInClassicMftField(v.mftMirrSector) &&
                        FitsIn32(v.endSector);
    return header &&
           (!ntfsBody || std::all_of(catalog.NtfsFiles().begin(), catalog.NtfsFiles().end(),
                                     [](const catalog::NtfsFileEntry& e) { return FitsIn32(e.dataRecordSector); }));
}

using core::Crc32;

// ---- reading ----

char LowerAscii(std::uint8_t c)
{
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

bool EqualsIgnoringCase(std::span<const std::uint8_t> bytes, std::string_view text)
{
    if (bytes.size() != text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (LowerAscii(bytes[i]) != text[i]) {
            return false;
        }
    }
    return true;
}

// Reads forward through the file; the first fault is kept and every later read yields 0.
class Cursor
{
public:
    Cursor(std::span<const std::uint8_t> bytes, Format format) : m_view(bytes), m_format(format) {}

    bool Ok() const noexcept { return m_defect == Defect::None; }
    Defect Fault() const noexcept { return m_defect; }
    std::size_t Remaining() const noexcept { return m_view.Size() - m_pos; }
    void Fail(Defect defect) noexcept
    {
        if (m_defect == Defect::None) {
            m_defect = defect;
        }
    }

    std::uint64_t Le(std::size_t width) noexcept
    {
        if (!Ok() || !core::InRange(m_view.Size(), m_pos, width)) {
            Fail(Defect::Truncated);
            return 0;
        }
        const std::uint64_t v = m_view.UVar(m_pos, width);
        m_pos += width;
        return v;
    }
    std::uint8_t U8() noexcept { return static_cast<std::uint8_t>(Le(1)); }
    std::uint16_t U16() noexcept { return static_cast<std::uint16_t>(Le(2)); }
    std::uint32_t U32() noexcept { return static_cast<std::uint32_t>(Le(4)); }
    std::uint64_t U64() noexcept { return Le(8); }
    std::int16_t S16() noexcept { return static_cast<std::int16_t>(U16()); }
    std::int32_t S32() noexcept { return static_cast<std::int32_t>(U32()); }
    // A sector field (32 or 64 bits by version). A 64-bit value the catalog's type cannot hold
    // marks the file damaged rather than being cut.
    template <typename T>
    T Sector() noexcept
    {
        const std::uint64_t v = Le(m_format.SectorWidth());
        if (v > std::numeric_limits<T>::max() || v > core::kLastSector) {
            Fail(Defect::SectorTooLarge);
            return 0;
        }
        return static_cast<T>(v);
    }
    // $MFT and $MFTMirr sectors. Classic files keep them in 32 bits, sectors of 2^31 and above as
    // their bit pattern: read as unsigned. 2.0 files hold the sector; those written before sectors
    // were 64-bit kept the 32-bit pattern sign-extended, read the same way.
    std::int64_t SignedSector() noexcept
    {
        if (!m_format.version2) {
            return std::int64_t{U32()};
        }
        const auto v = static_cast<std::int64_t>(U64());
        if (v < 0 && v >= INT32_MIN) {
            return std::int64_t{static_cast<std::uint32_t>(v)};
        }
        if (v < 0 || static_cast<std::uint64_t>(v) > core::kLastSector) {
            Fail(Defect::SectorTooLarge);
            return 0;
        }
        return v;
    }

    // A name of `length` stored bytes, as UTF-8: classic names are Latin-1 and always convert;
    // 2.0 names must be well-formed UTF-8.
    std::string Name(std::size_t length)
    {
        std::string stored = Text(length);
        if (!m_format.version2) {
            return core::Latin1ToUtf8(stored);
        }
        std::string check;
        for (std::size_t at = 0; at < stored.size();) {
            core::AppendUtf8(check, core::NextCodePoint(stored, at));
        }
        if (check != stored) {
            Fail(Defect::BadName);
            return {};
        }
        return stored;
    }
    const Format& Fmt() const noexcept { return m_format; }

    std::string Text(std::size_t length)
    {
        if (!Ok() || !core::InRange(m_view.Size(), m_pos, length)) {
            Fail(Defect::Truncated);
            return {};
        }
        const auto bytes = m_view.Bytes().subspan(m_pos, length);
        m_pos += length;
        return std::string(bytes.begin(), bytes.end());
    }

    // A list count, refused when that many records of the smallest size (empty names) cannot
    // fit in what is left; on success the count also bounds a reservation by the file size.
    std::optional<std::uint32_t> Count(std::size_t fixed) noexcept
    {
        const std::uint32_t count = U32();
        if (!Ok()) {
            return std::nullopt;
        }
        const std::uint64_t smallest = std::uint64_t{count} * (kRecordLengthSize + fixed);
        if (smallest > Remaining()) {
            Fail(Defect::CountPastEnd);
            return std::nullopt;
        }
        return count;
    }

    // A record length: the name length it leaves, after checking the record against its fixed
    // part, the name limit and the bytes that remain.
    std::optional<std::size_t> NameLength(std::size_t fixed) noexcept
    {
        const std::uint16_t length = U16();
        if (!Ok()) {
            return std::nullopt;
        }
        if (length < fixed) {
            Fail(Defect::RecordTooShort);
            return std::nullopt;
        }
        const std::size_t nameLength = length - fixed;
        if (nameLength > m_format.MaxNameLength()) {
            Fail(Defect::NameTooLong);
            return std::nullopt;
        }
        if (length > Remaining()) {
            Fail(Defect::Truncated);
            return std::nullopt;
        }
        return nameLength;
    }

private:
    core::LeView m_view;
    Format m_format;
    std::size_t m_pos = 0;
    Defect m_defect = Defect::None;
};

void ReadHeader(Cursor& c, SnapshotContents& s)
{
    // The caller has checked tag and version and positioned the cursor after them.
    catalog::ScanTarget& t = s.scanTarget;
    t.scanType = c.S16();
    t.scanStartSector = c.Sector<decltype(t.scanStartSector)>();
    t.scanSectorCount = c.Sector<decltype(t.scanSectorCount)>();
    t.scanEndSector = c.Sector<decltype(t.scanEndSector)>();
    t.scanPartitionTag = c.U16();
    catalog::VolumeParams& v = s.volumeParams;
    v.type = c.S16();
    v.fatSectors = c.U32();
    v.sectorsPerCluster = c.U32();
    v.rootDirSectors = c.U32();
    v.reservedSectors = c.U32();
    v.clusterBase = c.Sector<decltype(v.clusterBase)>();
    v.fat1Start = c.Sector<decltype(v.fat1Start)>();
    v.fat2Start = c.Sector<decltype(v.fat2Start)>();
    v.mftSector = c.SignedSector();
    v.mftMirrSector = c.SignedSector();
    v.sectorsPerFileRecord = c.S32();
    v.indexRecordSectors = c.S32();
    v.endSector = c.Sector<decltype(v.endSector)>();
    s.selectedFileSystem = c.S16();
}

void ReadNtfsBody(Cursor& c, SnapshotContents& s)
{
    if (const auto count = c.Count(kNtfsFolderFixed)) {
        s.ntfsFolders.reserve(*count);
        for (std::uint32_t i = 0; i < *count && c.Ok(); ++i) {
            const auto nameLength = c.NameLength(kNtfsFolderFixed);
            if (!nameLength) {
                return;
            }
            catalog::NtfsFolderEntry e;
            e.name = c.Name(*nameLength);
            e.record = c.U32();
            e.parent = c.U32();
            e.created = c.U64();
            e.changed = c.U64();
            e.deleted = c.U8();
            e.reserved = c.U16();
            s.ntfsFolders.push_back(std::move(e));
        }
    }
    if (!c.Ok()) {
        return;
    }
    const std::size_t fileFixed = c.Fmt().NtfsFileFixed();
    if (const auto count = c.Count(fileFixed)) {
        s.ntfsFiles.reserve(*count);
        for (std::uint32_t i = 0; i < *count && c.Ok(); ++i) {
            const auto nameLength = c.NameLength(fileFixed);
            if (!nameLength) {
                return;
            }
            catalog::NtfsFileEntry e;
            e.dataRecordSector = c.Sector<decltype(e.dataRecordSector)>();
            e.name = c.Name(*nameLength);
            e.record = c.U32();
            e.parent = c.U32();
            e.created = c.U64();
            e.changed = c.U64();
            e.deleted = c.U8();
            e.size = c.U64();
            // Snapshots carry no rating: a loaded deleted file is shown as not known.
            e.recoverable = e.deleted != 0 ? catalog::kRecoverableUnknown : catalog::kRecoverableNotRated;
            s.ntfsFiles.push_back(std::move(e));
        }
    }
}

void ReadFatBody(Cursor& c, SnapshotContents& s)
{
    if (const auto count = c.Count(kFatFolderFixed)) {
        s.fatFolders.reserve(*count);
        for (std::uint32_t i = 0; i < *count && c.Ok(); ++i) {
            const auto nameLength = c.NameLength(kFatFolderFixed);
            if (!nameLength) {
                return;
            }
            catalog::FatFolderEntry e;
            e.name = c.Name(*nameLength);
            e.cluster = c.U32();
            e.parentCluster = c.U32();
            e.writeDate = c.U16();
            e.accessDate = c.U16();
            e.deleted = c.U8();
            e.reserved = c.U16();
            s.fatFolders.push_back(std::move(e));
        }
    }
    if (!c.Ok()) {
        return;
    }
    if (const auto count = c.Count(kFatFileFixed)) {
        s.fatFiles.reserve(*count);
        for (std::uint32_t i = 0; i < *count && c.Ok(); ++i) {
            const auto nameLength = c.NameLength(kFatFileFixed);
            if (!nameLength) {
                return;
            }
            catalog::FatFileEntry e;
            e.name = c.Name(*nameLength);
            e.cluster = c.U32();
            e.parentCluster = c.U32();
            e.writeDate = c.U16();
            e.accessDate = c.U16();
            e.size = c.U32();
            e.deleted = c.U8();
            c.U32();  // serial: the catalog numbers files as they are added
            s.fatFiles.push_back(std::move(e));
        }
    }
}

}  // namespace

ParseResult ParseSnapshot(std::span<const std::uint8_t> bytes)
{
    ParseResult result;
    const auto tag = bytes.first(std::min(bytes.size(), kTag.size()));
    if (!EqualsIgnoringCase(tag, kTag)) {
        result.outcome = ParseOutcome::BadTag;
        // Shown as text, which ends at the first zero byte.
        const auto end = std::find(tag.begin(), tag.end(), std::uint8_t{0});
        result.tagRead.assign(tag.begin(), end);
        return result;
    }
    const auto afterTag = bytes.subspan(kVersionOffset);
    const auto version = afterTag.first(std::min(afterTag.size(), kVersion.size()));
    Format format;
    if (EqualsIgnoringCase(version, kVersion2)) {
        format.version2 = true;
    } else if (!EqualsIgnoringCase(version, kVersion)) {
        result.outcome = ParseOutcome::BadVersion;
        return result;
    }

    std::span<const std::uint8_t> body = bytes;
    if (format.version2) {
        // The checksum covers every byte before it; nothing of a file that fails it is used.
        if (bytes.size() < kV2HeaderSize + kV2ChecksumSize) {
            result.outcome = ParseOutcome::Damaged;
            result.defect = Defect::Truncated;
            return result;
        }
        body = bytes.first(bytes.size() - kV2ChecksumSize);
        core::LeView tail(bytes.last(kV2ChecksumSize));
        if (tail.U32(0) != Crc32(body)) {
            result.outcome = ParseOutcome::Damaged;
            result.defect = Defect::BadChecksum;
            return result;
        }
    }

    Cursor c(body, format);
    c.Text(kScanTypeOffset);  // tag and version, checked above
    SnapshotContents& s = result.contents;
    ReadHeader(c, s);
    if (c.Ok()) {
        if (s.volumeParams.type == core::kFsNtfs) {
            ReadNtfsBody(c, s);
        } else if (IsFat(s.volumeParams.type)) {
            ReadFatBody(c, s);
        }
    }
    if (c.Ok() && c.Remaining() != 0) {
        c.Fail(Defect::TrailingBytes);
    }
    if (!c.Ok()) {
        result.outcome = ParseOutcome::Damaged;
        result.defect = c.Fault();
        result.contents = SnapshotContents{};
        return result;
    }
    result.outcome = ParseOutcome::Parsed;
    return result;
}

SerializeOutcome SerializeSnapshot(const catalog::Catalog& catalog, std::vector<std::uint8_t>& out)
{
    out.clear();
    const core::FsTypeCode type = catalog.volumeParams.type;
    const bool ntfsBody = type == core::kFsNtfs;
    const bool fatBody = IsFat(type);
    // The classic format whenever it can hold the catalog, so that files stay readable by every
    // earlier version; 2.0 only for names past Latin-1 (or too long) and sectors past 32 bits.
    const bool classicNames = (!ntfsBody || (NamesAreClassic(catalog.NtfsFolders()) && NamesAreClassic(catalog.NtfsFiles()))) &&
                              (!fatBody || (NamesAreClassic(catalog.FatFolders()) && NamesAreClassic(catalog.FatFiles())));
    Format format;
    format.version2 = !classicNames || !SectorsAreClassic(catalog, ntfsBody);
    if (format.version2 &&
        ((ntfsBody && !(NamesFitVersion2(catalog.NtfsFolders()) && NamesFitVersion2(catalog.NtfsFiles()))) ||
         (fatBody && !(NamesFitVersion2(catalog.FatFolders()) && NamesFitVersion2(catalog.FatFiles()))))) {
        return SerializeOutcome::NameTooLong;
    }
    ByteWriter w(out, format);
    WriteHeader(catalog, w);
    if (ntfsBody) {
        WriteNtfsBody(catalog, w);
    } else if (fatBody) {
        WriteFatBody(catalog, w);
    }
    if (format.version2) {
        w.U32(Crc32(out));
    }
    return SerializeOutcome::Serialized;
}

void ApplySnapshot(SnapshotContents&& contents, catalog::Catalog& catalog)
{
    catalog.ClearFatLists();
    catalog.ClearNtfsLists();
    catalog.scanTarget = contents.scanTarget;
    const std::uint32_t rootDirStart = catalog.volumeParams.rootDirStart;
    catalog.volumeParams = contents.volumeParams;
    catalog.volumeParams.rootDirStart = rootDirStart;
    catalog.selectedFileSystem = contents.selectedFileSystem;

    for (catalog::NtfsFolderEntry& e : contents.ntfsFolders) {
        catalog.AddNtfsFolder(std::move(e));
    }
    for (catalog::NtfsFileEntry& e : contents.ntfsFiles) {
        catalog.AddNtfsFile(std::move(e));
        ++catalog.fileCount;
    }
    for (catalog::FatFolderEntry& e : contents.fatFolders) {
        catalog.AddFatFolder(std::move(e));
    }
    for (catalog::FatFileEntry& e : contents.fatFiles) {
        catalog.AddFatFile(std::move(e));
        ++catalog.fileCount;
    }
}

}  // namespace snapshot
