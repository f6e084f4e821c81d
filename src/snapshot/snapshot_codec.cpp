// Recovery snapshots in memory: writing the catalog and parsing a whole file before it is used.
#include "snapshot/snapshot_codec.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include "core/le_view.h"
#include "core/types.h"
#include "snapshot/snapshot_layout.h"

namespace snapshot {
namespace {

// ---- writing ----

class ByteWriter
{
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : m_out(out) {}

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
    void Text(std::string_view text) { m_out.insert(m_out.end(), text.begin(), text.end()); }
    // The record length: the name and the fixed fields after the length field.
    void RecordLength(std::string_view name, std::size_t fixed) { U16(static_cast<std::uint16_t>(name.size() + fixed)); }

private:
    std::vector<std::uint8_t>& m_out;
};

void WriteHeader(const ntfs::Catalog& catalog, ByteWriter& w)
{
    const ntfs::ScanTarget& t = catalog.scanTarget;
    const ntfs::VolumeParams& v = catalog.volumeParams;
    w.Text(kTag);
    w.Text(kVersion);
    w.S16(t.scanType);
    w.U32(t.scanStartSector);
    w.U32(t.scanSectorCount);
    w.U32(t.scanEndSector);
    w.U16(t.scanPartitionTag);
    w.S16(v.type);
    w.U32(v.fatSectors);
    w.U32(v.sectorsPerCluster);
    w.U32(v.rootDirSectors);
    w.U32(v.reservedSectors);
    w.U32(v.clusterBase);
    w.U32(v.fat1Start);
    w.U32(v.fat2Start);
    w.S32(v.mftSector);
    w.S32(v.mftMirrSector);
    w.S32(v.sectorsPerFileRecord);
    w.S32(v.indexRecordSectors);
    w.U32(v.endSector);
    w.S16(catalog.selectedFileSystem);
}

// The list length goes before the records; the catalog's counters equal it after every scan and
// load, and a writer that trusted a counter over the list would write an unreadable file.
std::uint32_t CountOf(std::size_t size) { return static_cast<std::uint32_t>(size); }

void WriteNtfsBody(const ntfs::Catalog& catalog, ByteWriter& w)
{
    w.U32(CountOf(catalog.NtfsFolders().size()));
    for (const ntfs::NtfsFolderEntry& e : catalog.NtfsFolders()) {
        w.RecordLength(e.name, kNtfsFolderFixed);
        w.Text(e.name);
        w.U32(e.record);
        w.U32(e.parent);
        w.U64(e.created);
        w.U64(e.changed);
        w.U8(static_cast<std::uint8_t>(e.deleted));  // the low byte of the flag
        w.U16(e.reserved);
    }
    w.U32(CountOf(catalog.NtfsFiles().size()));
    for (const ntfs::NtfsFileEntry& e : catalog.NtfsFiles()) {
        w.RecordLength(e.name, kNtfsFileFixed);
        w.U32(e.dataRecordSector);  // between the length and the name
        w.Text(e.name);
        w.U32(e.record);
        w.U32(e.parent);
        w.U64(e.created);
        w.U64(e.changed);
        w.U8(static_cast<std::uint8_t>(e.deleted));
        w.U64(e.size);
    }
}

void WriteFatBody(const ntfs::Catalog& catalog, ByteWriter& w)
{
    w.U32(CountOf(catalog.FatFolders().size()));
    for (const ntfs::FatFolderEntry& e : catalog.FatFolders()) {
        w.RecordLength(e.name, kFatFolderFixed);
        w.Text(e.name);
        w.U32(e.cluster);
        w.U32(e.parentCluster);
        w.U16(e.writeDate);
        w.U16(e.accessDate);
        w.U8(static_cast<std::uint8_t>(e.deleted));
        w.U16(e.reserved);
    }
    w.U32(CountOf(catalog.FatFiles().size()));
    for (const ntfs::FatFileEntry& e : catalog.FatFiles()) {
        w.RecordLength(e.name, kFatFileFixed);
        w.Text(e.name);
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

template <typename List>
bool NamesFit(const List& list)
{
    return std::all_of(list.begin(), list.end(), [](const auto& e) { return e.name.size() <= kMaxNameLength; });
}

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
    explicit Cursor(std::span<const std::uint8_t> bytes) : m_view(bytes) {}

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
        if (nameLength > kMaxNameLength) {
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
    std::size_t m_pos = 0;
    Defect m_defect = Defect::None;
};

void ReadHeader(Cursor& c, SnapshotContents& s)
{
    // The caller has checked tag and version and positioned the cursor after them.
    s.scanTarget.scanType = c.S16();
    s.scanTarget.scanStartSector = c.U32();
    s.scanTarget.scanSectorCount = c.U32();
    s.scanTarget.scanEndSector = c.U32();
    s.scanTarget.scanPartitionTag = c.U16();
    ntfs::VolumeParams& v = s.volumeParams;
    v.type = c.S16();
    v.fatSectors = c.U32();
    v.sectorsPerCluster = c.U32();
    v.rootDirSectors = c.U32();
    v.reservedSectors = c.U32();
    v.clusterBase = c.U32();
    v.fat1Start = c.U32();
    v.fat2Start = c.U32();
    v.mftSector = c.S32();
    v.mftMirrSector = c.S32();
    v.sectorsPerFileRecord = c.S32();
    v.indexRecordSectors = c.S32();
    v.endSector = c.U32();
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
            ntfs::NtfsFolderEntry e;
            e.name = c.Text(*nameLength);
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
    if (const auto count = c.Count(kNtfsFileFixed)) {
        s.ntfsFiles.reserve(*count);
        for (std::uint32_t i = 0; i < *count && c.Ok(); ++i) {
            const auto nameLength = c.NameLength(kNtfsFileFixed);
            if (!nameLength) {
                return;
            }
            ntfs::NtfsFileEntry e;
            e.dataRecordSector = c.U32();
            e.name = c.Text(*nameLength);
            e.record = c.U32();
            e.parent = c.U32();
            e.created = c.U64();
            e.changed = c.U64();
            e.deleted = c.U8();
            e.size = c.U64();
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
            ntfs::FatFolderEntry e;
            e.name = c.Text(*nameLength);
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
            ntfs::FatFileEntry e;
            e.name = c.Text(*nameLength);
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
    if (!EqualsIgnoringCase(afterTag.first(std::min(afterTag.size(), kVersion.size())), kVersion)) {
        result.outcome = ParseOutcome::BadVersion;
        return result;
    }

    Cursor c(bytes);
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

SerializeOutcome SerializeSnapshot(const ntfs::Catalog& catalog, std::vector<std::uint8_t>& out)
{
    out.clear();
    const core::FsTypeCode type = catalog.volumeParams.type;
    const bool ntfsBody = type == core::kFsNtfs;
    const bool fatBody = IsFat(type);
    if ((ntfsBody && !(NamesFit(catalog.NtfsFolders()) && NamesFit(catalog.NtfsFiles()))) ||
        (fatBody && !(NamesFit(catalog.FatFolders()) && NamesFit(catalog.FatFiles())))) {
        return SerializeOutcome::NameTooLong;
    }
    ByteWriter w(out);
    WriteHeader(catalog, w);
    if (ntfsBody) {
        WriteNtfsBody(catalog, w);
    } else if (fatBody) {
        WriteFatBody(catalog, w);
    }
    return SerializeOutcome::Serialized;
}

void ApplySnapshot(SnapshotContents&& contents, ntfs::Catalog& catalog)
{
    catalog.ClearFatLists();
    catalog.ClearNtfsLists();
    catalog.scanTarget = contents.scanTarget;
    const std::uint32_t rootDirStart = catalog.volumeParams.rootDirStart;
    catalog.volumeParams = contents.volumeParams;
    catalog.volumeParams.rootDirStart = rootDirStart;
    catalog.selectedFileSystem = contents.selectedFileSystem;

    for (ntfs::NtfsFolderEntry& e : contents.ntfsFolders) {
        catalog.AddNtfsFolder(std::move(e));
    }
    for (ntfs::NtfsFileEntry& e : contents.ntfsFiles) {
        catalog.AddNtfsFile(std::move(e));
        ++catalog.fileCount;
    }
    for (ntfs::FatFolderEntry& e : contents.fatFolders) {
        catalog.AddFatFolder(std::move(e));
    }
    for (ntfs::FatFileEntry& e : contents.fatFiles) {
        catalog.AddFatFile(std::move(e));
        ++catalog.fileCount;
    }
}

}  // namespace snapshot
