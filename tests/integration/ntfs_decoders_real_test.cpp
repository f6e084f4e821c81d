// The NTFS decoders on real volumes made by mkntfs and ntfs-3g: every FILE record of each
// fixture's $MFT, found by walking the $MFT's own runs from record 0, is decoded and compared
// with what The Sleuth Kit's fls lists for that record (names, parents, data sizes), and every
// directory's first INDX buffer is decoded and checked to belong to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/le_view.h"
#include "core/ntfs_names.h"
#include "ntfs/attribute_walk.h"
#include "ntfs/boot_sector.h"
#include "ntfs/data_runs.h"
#include "ntfs/file_record.h"
#include "ntfs/fixup.h"
#include "ntfs/index_buffer.h"
#include "ntfs/ntfs_layout.h"
#include "support/fixtures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Volume
{
    const char* image;
    int part;
};

std::ostream& operator<<(std::ostream& os, const Volume& v) { return os << v.image << ".p" << v.part; }

// One row of `fls -r -p -l` / `fls -r -p -d -l`.
struct FlsRow
{
    bool directory = false;
    bool deleted = false;
    std::uint32_t record = 0;
    std::uint32_t attrType = 0;  // 0 when fls gave none
    std::string path;
    std::uint64_t size = 0;
};

std::vector<std::string> Split(const std::string& line, char sep)
{
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, sep)) {
        out.push_back(field);
    }
    return out;
}

std::vector<FlsRow> ReadFls(const std::filesystem::path& file)
{
    std::vector<FlsRow> rows;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto fields = Split(line, '\t');
        if (fields.size() < 7) {
            continue;
        }
        FlsRow row;
        row.directory = fields[0].size() > 2 && fields[0][2] == 'd';
        row.deleted = fields[0].find(" * ") != std::string::npos;
        std::string inode = fields[0].substr(fields[0].rfind(' ') + 1);
        inode.erase(std::remove(inode.begin(), inode.end(), ':'), inode.end());
        const auto parts = Split(inode, '-');
        row.record = static_cast<std::uint32_t>(std::stoul(parts.at(0)));
        row.attrType = parts.size() > 1 ? static_cast<std::uint32_t>(std::stoul(parts[1])) : 0;
        row.path = fields[1];
        row.size = std::stoull(fields[6]);
        rows.push_back(row);
    }
    return rows;
}

std::optional<std::uint32_t> PartitionStart(const std::string& image, int part)
{
    std::ifstream in(testing_support::DataDir() / (image + ".manifest.tsv"));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const auto fields = Split(line, '\t');
        if (fields.size() > 1 && std::stoi(fields[0]) == part) {
            return static_cast<std::uint32_t>(std::stoul(fields[1]));
        }
    }
    return std::nullopt;
}

struct FoundName
{
    std::string name;  // UTF-8
    std::uint32_t parent = 0;
    std::uint8_t nameSpace = 0;
};

// Reads one NTFS volume of an image through the decoders.
class VolumeReader
{
public:
    VolumeReader(Bytes image, std::uint64_t startSector) : m_image(std::move(image)), m_start(startSector * 512) {}

    bool Open()
    {
        const auto boot = ntfs::DecodeBootSector(Read(m_start, 512));
        if (!boot || !boot->hasSignature || !boot->hasNtfsTag) {
            return false;
        }
        m_clusterBytes = std::uint64_t{boot->sectorsPerCluster} * 512;
        m_indexBufferBytes = std::uint64_t{boot->indexBufferSectors.value_or(0)} * 512;
        // Record 0 lies at the start of the $MFT; it describes the $MFT's own runs.
        Bytes record0 = Read(m_start + std::uint64_t{boot->mftCluster} * m_clusterBytes, 1024);
        if (!ntfs::ApplyFixupChecked(record0).sequenceMatched) {
            return false;
        }
        const auto data = ntfs::FindDataAttribute(record0);
        if (!data || !data->nonResident) {
            return false;
        }
        auto runs = ntfs::DecodeRunList(data->runs);
        if (runs.status != ntfs::RunListStatus::Complete) {
            return false;
        }
        m_mftRuns = std::move(runs.runs);
        m_recordCount = data->dataSize / 1024;
        return true;
    }

    std::uint64_t RecordCount() const { return m_recordCount; }
    std::uint64_t IndexBufferBytes() const { return m_indexBufferBytes; }

    // Record k, fixed up; empty when it does not start with "FILE".
    std::optional<Bytes> Record(std::uint64_t k, bool* matched = nullptr)
    {
        Bytes record;
        for (std::uint64_t s = 0; s < 2; ++s) {
            const auto at = MapVirtual(m_mftRuns, k * 1024 + s * 512);
            if (!at) {
                return std::nullopt;
            }
            const Bytes sector = Read(*at, 512);
            record.insert(record.end(), sector.begin(), sector.end());
        }
        if (!ntfs::HasFileSignature(record)) {
            return std::nullopt;
        }
        const auto fix = ntfs::ApplyFixupChecked(record);
        if (matched) {
            *matched = fix.sequenceMatched;
        }
        return record;
    }

    // The value of a non-resident attribute read from its clusters, cut to its data size.
    Bytes NonResidentValue(std::span<const std::uint8_t> runBytes, std::uint64_t size)
    {
        const auto runs = ntfs::DecodeRunList(runBytes);
        Bytes out;
        for (const ntfs::DataRun& run : runs.runs) {
            for (std::uint64_t c = 0; c < run.lengthClusters && out.size() < size; ++c) {
                const Bytes cluster = run.sparse ? Bytes(m_clusterBytes, 0)
                                                 : Read(m_start + (std::uint64_t(run.lcn) + c) * m_clusterBytes,
                                                        m_clusterBytes);
                out.insert(out.end(), cluster.begin(), cluster.end());
            }
        }
        out.resize(std::min<std::uint64_t>(out.size(), size));
        return out;
    }

    Bytes Read(std::uint64_t offset, std::uint64_t length) const
    {
        Bytes out(length, 0);
        if (offset < m_image.size()) {
            const std::uint64_t n = std::min<std::uint64_t>(length, m_image.size() - offset);
            std::memcpy(out.data(), m_image.data() + offset, n);
        }
        return out;
    }

    std::uint64_t ClusterOffset(std::int64_t lcn) const { return m_start + std::uint64_t(lcn) * m_clusterBytes; }

private:
    std::optional<std::uint64_t> MapVirtual(const std::vector<ntfs::DataRun>& runs, std::uint64_t vbyte) const
    {
        std::uint64_t vcn = vbyte / m_clusterBytes;
        for (const ntfs::DataRun& run : runs) {
            if (vcn < run.lengthClusters) {
                if (run.sparse) {
                    return std::nullopt;
                }
                return ClusterOffset(run.lcn) + vcn * m_clusterBytes + vbyte % m_clusterBytes;
            }
            vcn -= run.lengthClusters;
        }
        return std::nullopt;
    }

    Bytes m_image;
    std::uint64_t m_start = 0;
    std::uint64_t m_clusterBytes = 0;
    std::uint64_t m_indexBufferBytes = 0;
    std::vector<ntfs::DataRun> m_mftRuns;
    std::uint64_t m_recordCount = 0;
};

// Every $FILE_NAME of one record, in attribute order, decoded from the values the iterator yields.
std::vector<FoundName> FileNamesOf(std::span<const std::uint8_t> record)
{
    std::vector<FoundName> names;
    ntfs::AttributeIterator it(record);
    while (auto a = it.Next()) {
        if (a->type != ntfs::kAttrTypeFileName || a->nonResident || a->nameLength != 0) {
            continue;
        }
        core::LeView value(a->value);
        FoundName found;
        found.parent = value.U32(ntfs::kFnParent);
        found.nameSpace = value.U8(ntfs::kFnNamespace);
        const std::size_t units = value.U8(ntfs::kFnNameLength);
        if (!value.Ok() || a->value.size() < ntfs::kFnName + 2 * units) {
            ADD_FAILURE() << "short $FILE_NAME value";
            continue;
        }
        found.name = core::NameFromUtf16(a->value.subspan(ntfs::kFnName), units);
        names.push_back(found);
    }
    EXPECT_EQ(it.End(), ntfs::WalkEnd::EndMarker);
    return names;
}

class NtfsDecodersReal : public ::testing::TestWithParam<Volume>
{
};

TEST_P(NtfsDecodersReal, RecordsMatchTheSleuthKit)
{
    const Volume v = GetParam();
    const auto imagePath = testing_support::FixturePath(std::string(v.image) + ".img");
    if (!std::filesystem::exists(imagePath)) {
        GTEST_SKIP() << "fixture image missing: " << imagePath;
    }
    const auto start = PartitionStart(v.image, v.part);
    ASSERT_TRUE(start);
    Bytes image(std::filesystem::file_size(imagePath));
    std::ifstream in(imagePath, std::ios::binary);
    in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    ASSERT_TRUE(in);
    VolumeReader volume(std::move(image), *start);
    ASSERT_TRUE(volume.Open());
    ASSERT_GT(volume.RecordCount(), 16u);

    const std::string stem = std::string(v.image) + ".p" + std::to_string(v.part);
    std::vector<FlsRow> rows = ReadFls(testing_support::DataDir() / "oracle" / (stem + ".fls.txt"));
    const auto deletedRows = ReadFls(testing_support::DataDir() / "oracle" / (stem + ".fls-deleted.txt"));
    ASSERT_FALSE(rows.empty());
    rows.insert(rows.end(), deletedRows.begin(), deletedRows.end());

    std::map<std::string, std::uint32_t> folders;
    for (const FlsRow& row : rows) {
        if (row.directory) {
            folders.emplace(row.path, row.record);
        }
    }

    // Names of each record, its extension records included (the attribute list is read from the
    // record, or from its clusters when non-resident).
    std::map<std::uint32_t, std::vector<FoundName>> namesByRecord;
    std::size_t checkedRows = 0;
    std::set<std::uint32_t> checkedDirectories;
    for (const FlsRow& row : rows) {
        const std::string leaf = row.path.substr(row.path.rfind('/') + 1);
        if (row.path.rfind("$OrphanFiles", 0) == 0 || leaf.find(':') != std::string::npos) {
            continue;  // streams and The Sleuth Kit's virtual folders
        }
        SCOPED_TRACE(row.path);
        ASSERT_LT(row.record, volume.RecordCount());
        bool matched = false;
        const auto base = volume.Record(row.record, &matched);
        ASSERT_TRUE(base) << "record " << row.record << " has no FILE signature";
        EXPECT_TRUE(matched) << "update sequence of record " << row.record;

        std::vector<std::uint32_t> extensions;
        ntfs::AttributeIterator it(*base);
        while (auto a = it.Next()) {
            if (a->type != ntfs::kAttrTypeAttributeList) {
                continue;
            }
            const Bytes listValue = a->nonResident ? volume.NonResidentValue(a->runs, a->dataSize)
                                                   : Bytes(a->value.begin(), a->value.end());
            ntfs::AttributeListWalker walker(listValue);
            std::size_t walked = 0;
            while (auto e = walker.Next()) {
                ++walked;
                if (e->recordNumber != row.record &&
                    std::find(extensions.begin(), extensions.end(), e->recordNumber) == extensions.end()) {
                    extensions.push_back(e->recordNumber);
                }
            }
            EXPECT_GT(walked, 0u);
            if (!a->nonResident) {
                std::vector<std::uint32_t> collected;
                ntfs::CollectExtensionRecords(*base, collected, SIZE_MAX);
                EXPECT_EQ(collected.size(), walked);
            }
        }

        auto& names = namesByRecord[row.record];
        if (names.empty()) {
            names = FileNamesOf(*base);
            for (std::uint32_t ext : extensions) {
                const auto extRecord = volume.Record(ext);
                ASSERT_TRUE(extRecord) << "extension record " << ext;
                const auto more = FileNamesOf(*extRecord);
                names.insert(names.end(), more.begin(), more.end());
            }
            // FindFileName gives the first name of the asked namespace in the base record.
            const auto baseNames = FileNamesOf(*base);
            for (std::uint8_t ns = 0; ns < 4; ++ns) {
                const auto found = ntfs::FindFileName(*base, ns);
                const auto first = std::find_if(baseNames.begin(), baseNames.end(),
                                                [ns](const FoundName& n) { return n.nameSpace == ns; });
                ASSERT_EQ(found.has_value(), first != baseNames.end()) << "namespace " << int{ns};
                if (found) {
                    EXPECT_EQ(found->name, first->name);
                    EXPECT_EQ(found->parent, first->parent);
                }
            }
        }

        const auto slash = row.path.rfind('/');
        const std::string parentPath = slash == std::string::npos ? std::string() : row.path.substr(0, slash);
        const auto parentIt = folders.find(parentPath);
        const std::uint32_t parent = parentPath.empty() ? 5u : (parentIt != folders.end() ? parentIt->second : 0u);
        const bool named = std::any_of(names.begin(), names.end(), [&](const FoundName& n) {
            return n.name == leaf && (parent == 0 || n.parent == parent);
        });
        EXPECT_TRUE(named) << "record " << row.record << " lacks the name " << leaf << " under " << parent;

        if (!row.directory && row.attrType == ntfs::kAttrTypeData) {
            std::optional<std::uint64_t> size = ntfs::GetDataSize(*base);
            for (std::size_t i = 0; !size && i < extensions.size(); ++i) {
                size = ntfs::GetDataSize(*volume.Record(extensions[i]));
            }
            ASSERT_TRUE(size) << "no $DATA for record " << row.record;
            EXPECT_EQ(*size, row.size);
            const auto data = ntfs::FindDataAttribute(*base);
            if (data && data->startVcn == 0) {
                EXPECT_EQ(data->dataSize, row.size);
                if (data->nonResident) {
                    const auto runs = ntfs::DecodeRunList(data->runs);
                    EXPECT_EQ(runs.status, ntfs::RunListStatus::Complete);
                    EXPECT_FALSE(runs.wideField);
                }
            }
        }

        if (row.directory && !row.deleted && checkedDirectories.insert(row.record).second) {
            // A large directory's $INDEX_ROOT may sit in an extension record.
            bool hasRoot = ntfs::FindIndexAttribute(*base, ntfs::kAttrTypeIndexRoot).has_value();
            for (std::size_t i = 0; !hasRoot && i < extensions.size(); ++i) {
                hasRoot = ntfs::FindIndexAttribute(*volume.Record(extensions[i]), ntfs::kAttrTypeIndexRoot).has_value();
            }
            EXPECT_TRUE(hasRoot);
            if (const auto own = ntfs::DirectoryNumberFromIndexRoot(*base)) {
                EXPECT_EQ(*own, row.record);
            }
            if (const auto cluster = ntfs::FirstIndexCluster(*base)) {
                const Bytes first = volume.Read(volume.ClusterOffset(*cluster), 512);
                const auto header = ntfs::DecodeIndexBufferHeader(first);
                ASSERT_TRUE(header) << "no INDX at cluster " << *cluster;
                EXPECT_EQ(header->vcn, 0u);
                EXPECT_EQ(header->totalBytes, volume.IndexBufferBytes());
                Bytes buffer = volume.Read(volume.ClusterOffset(*cluster), header->totalBytes);
                EXPECT_TRUE(ntfs::ApplyFixupChecked(buffer).sequenceMatched);
                auto walker = ntfs::WalkIndexBuffer(buffer, *header);
                std::size_t live = 0;
                while (auto entry = walker.Next()) {
                    if (entry->flags & ntfs::kIeFlagLast) {
                        break;  // what follows is slack
                    }
                    EXPECT_EQ(entry->parent, row.record) << entry->name;
                    ++live;
                }
                EXPECT_GT(live, 0u);
            }
        }
        ++checkedRows;
    }
    EXPECT_GT(checkedRows, 10u);

    // Every other FILE record of the $MFT decodes too: in-use records with a whole update
    // sequence, and every record with a name in some namespace.
    std::size_t fileRecords = 0;
    for (std::uint64_t k = 0; k < volume.RecordCount(); ++k) {
        bool matched = false;
        const auto record = volume.Record(k, &matched);
        if (!record) {
            continue;
        }
        ++fileRecords;
        const bool inUse = (ntfs::RecordFlags(*record).value_or(0) & ntfs::kFileFlagInUse) != 0;
        EXPECT_TRUE(matched || !inUse) << "record " << k;
        if (!inUse) {
            continue;
        }
        ntfs::AttributeIterator it(*record);
        while (it.Next()) {
        }
        EXPECT_EQ(it.End(), ntfs::WalkEnd::EndMarker) << "record " << k;
    }
    EXPECT_GE(fileRecords, namesByRecord.size());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, NtfsDecodersReal,
                         ::testing::Values(Volume{"ntfs_basic", 1}, Volume{"multi_part", 1}, Volume{"multi_part", 3},
                                           Volume{"multi_part", 4}, Volume{"reformatted", 1}),
                         [](const ::testing::TestParamInfo<Volume>& p) {
                             return std::string(p.param.image) + "_p" + std::to_string(p.param.part);
                         });

}  // namespace
