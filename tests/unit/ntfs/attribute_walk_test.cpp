// Attribute iterator, unnamed $DATA attribute and attribute-list entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntfs/attribute_walk.h"
#include "ntfs/data_runs.h"
#include "ntfs/fixup.h"
#include "support/ntfs_builder.h"

namespace {

using testing_support::ByteBuffer;
using testing_support::FileNameSpec;
using testing_support::FileRecordBuilder;
using testing_support::NonResidentSpec;
using testing_support::PutLe;

ByteBuffer Fixed(const FileRecordBuilder& b)
{
    ByteBuffer r = b.Build();
    ntfs::ApplyFixup(r);
    return r;
}

NonResidentSpec BigData()
{
    NonResidentSpec fields;
    fields.runs = testing_support::EncodeRunList({{16, 0x100}, {4, std::nullopt}, {8, 0x80}});
    fields.lastVcn = 27;
    fields.allocatedSize = 28 * 4096;
    fields.dataSize = 28 * 4096 - 100;
    fields.initializedSize = fields.dataSize;
    return fields;
}

FileRecordBuilder Sample()
{
    FileRecordBuilder b;
    FileNameSpec name;
    name.name = "movie.avi";
    b.FileName(name).ResidentData(ByteBuffer(5, 'a'), "ads").NonResident(BigData());
    return b;
}

TEST(AttributeIterator, YieldsEveryAttributeThenTheEndMarker)
{
    const FileRecordBuilder b = Sample();
    const ByteBuffer record = Fixed(b);
    ntfs::AttributeIterator it(record);
    std::vector<std::uint32_t> types;
    while (auto a = it.Next()) {
        EXPECT_EQ(a->offset, b.AttributeOffset(types.size()));
        types.push_back(a->type);
    }
    EXPECT_EQ(types, (std::vector<std::uint32_t>{0x30, 0x80, 0x80}));
    EXPECT_EQ(it.End(), ntfs::WalkEnd::EndMarker);
    EXPECT_FALSE(it.Next());
}

TEST(FindDataAttribute, NonResidentRunsAndSizes)
{
    const ByteBuffer record = Fixed(Sample());
    const auto data = ntfs::FindDataAttribute(record);
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->nonResident);
    EXPECT_EQ(data->dataSize, 28u * 4096 - 100);
    EXPECT_EQ(data->startVcn, 0u);
    const auto runs = ntfs::DecodeRunList(data->runs);
    EXPECT_EQ(runs.status, ntfs::RunListStatus::Complete);
    ASSERT_EQ(runs.runs.size(), 3u);
    EXPECT_EQ(runs.runs[2].lcn, 0x80);
}

TEST(FindDataAttribute, ResidentValueSkippingNamedStreams)
{
    ByteBuffer content(300);
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<std::uint8_t>(i);
    }
    FileRecordBuilder b;
    b.ResidentData(ByteBuffer(9, 'z'), "Zone.Identifier").ResidentData(content);
    const ByteBuffer record = Fixed(b);
    const auto data = ntfs::FindDataAttribute(record);
    ASSERT_TRUE(data);
    EXPECT_FALSE(data->nonResident);
    EXPECT_EQ(data->offset, b.AttributeOffset(1));
    EXPECT_EQ(ByteBuffer(data->value.begin(), data->value.end()), content);
    EXPECT_EQ(data->dataSize, 300u);
}

TEST(AttributeIterator, IndexRootIsRecognisedAsI30)
{
    FileRecordBuilder b;
    b.Flags(3).IndexRoot({}).IndexAllocation({{1, 50}});
    const ByteBuffer record = Fixed(b);
    ntfs::AttributeIterator it(record);
    auto root = it.Next();
    auto alloc = it.Next();
    ASSERT_TRUE(root && alloc);
    EXPECT_TRUE(root->IsI30());
    EXPECT_TRUE(alloc->IsI30());
}

// One broken header field each: the iterator must stop with BadHeader at that attribute (never
// yield it), and FindDataAttribute must report nothing.
struct HeaderField
{
    const char* what;
    std::size_t offset;      // within the non-resident $DATA attribute (attribute 2 of Sample)
    std::uint64_t value;
    std::size_t width;
};

class AttributeHeaderBroken : public ::testing::TestWithParam<HeaderField>
{
};

TEST_P(AttributeHeaderBroken, WalkStopsBeforeTheBrokenAttribute)
{
    const HeaderField& f = GetParam();
    const FileRecordBuilder b = Sample();
    ByteBuffer record = Fixed(b);
    PutLe(record, b.AttributeOffset(2) + f.offset, f.value, f.width);
    const std::vector<std::uint8_t> exact(record.begin(), record.end());
    ntfs::AttributeIterator it(exact);
    std::size_t yielded = 0;
    while (it.Next()) {
        ++yielded;
    }
    EXPECT_EQ(yielded, 2u);
    EXPECT_EQ(it.End(), ntfs::WalkEnd::BadHeader);
    EXPECT_FALSE(ntfs::FindDataAttribute(exact));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, AttributeHeaderBroken,
    ::testing::Values(HeaderField{"length_zero", 4, 0, 4},
                      HeaderField{"length_below_header", 4, 16, 4},
                      HeaderField{"length_past_record", 4, 0x1000, 4},
                      HeaderField{"non_resident_byte_2", 8, 2, 1},
                      HeaderField{"name_past_attribute", 9, 200, 1},
                      HeaderField{"name_overlaps_runs", 9, 1, 1},
                      HeaderField{"runs_offset_in_header", 32, 16, 2},
                      HeaderField{"runs_offset_negative", 32, 0x8000, 2},
                      HeaderField{"runs_offset_past_attribute", 32, 0x400, 2},
                      HeaderField{"start_vcn_after_last", 16, 100, 8},
                      HeaderField{"last_vcn_negative", 24, 0x8000'0000'0000'0000ULL, 8},
                      HeaderField{"start_vcn_negative", 16, 0xFFFF'FFFF'FFFF'FFF0ULL, 8},
                      HeaderField{"data_size_above_allocated", 48, 29 * 4096, 8},
                      HeaderField{"allocated_size_negative", 40, 0x8000'0000'0000'0000ULL, 8}),
    [](const ::testing::TestParamInfo<HeaderField>& p) { return std::string(p.param.what); });

TEST(AttributeIterator, ResidentValueOutsideTheAttributeIsRejected)
{
    for (const auto& [offset, value, width] : std::vector<std::tuple<std::size_t, std::uint64_t, std::size_t>>{
             {16, 0x1000, 4}, {20, 8, 2}, {20, 0xFFF0, 2}, {20, 0x200, 2}}) {
        FileRecordBuilder b;
        b.ResidentData(ByteBuffer(10, 'x'));
        ByteBuffer record = Fixed(b);
        PutLe(record, b.AttributeOffset(0) + offset, value, width);
        ntfs::AttributeIterator it(record);
        EXPECT_FALSE(it.Next()) << offset << " " << value;
        EXPECT_EQ(it.End(), ntfs::WalkEnd::BadHeader);
    }
}

TEST(AttributeIterator, EmptyExtentIsValid)
{
    NonResidentSpec fields;
    fields.runs = {0};
    fields.lastVcn = ~std::uint64_t{0};
    fields.allocatedSize = fields.dataSize = fields.initializedSize = 0;
    const ByteBuffer record = Fixed(FileRecordBuilder().NonResident(fields));
    const auto data = ntfs::FindDataAttribute(record);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->dataSize, 0u);
}

TEST(AttributeIterator, FirstAttributeOutsideTheRecordEndsAtOnce)
{
    for (std::uint16_t first : {0x8000, 1021, 1024, 0xFFFF}) {
        ByteBuffer record = Fixed(Sample());
        PutLe(record, 20, first, 2);
        ntfs::AttributeIterator it(record);
        EXPECT_FALSE(it.Next());
        EXPECT_NE(it.End(), ntfs::WalkEnd::Running);
    }
}

TEST(AttributeListWalker, DecodesEntries)
{
    const ByteBuffer value = testing_support::BuildAttributeListValue(
        {{.type = 0x10, .record = 0x0005'0000'0000'0020ULL},
         {.type = 0x80, .startVcn = 0, .record = 0x21},
         {.type = 0x80, .startVcn = 1000, .record = 0x22, .name = "ads"}});
    ntfs::AttributeListWalker walker(value);
    std::vector<ntfs::AttributeListEntry> entries;
    while (auto e = walker.Next()) {
        entries.push_back(*e);
    }
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].recordNumber, 0x20u);
    EXPECT_EQ(entries[0].length, 32u);
    EXPECT_EQ(entries[2].startVcn, 1000u);
    EXPECT_EQ(entries[2].nameLength, 3u);
    EXPECT_EQ(entries[2].name.size(), 6u);
    EXPECT_EQ(entries[2].name[0], 'a');
}

TEST(AttributeListWalker, BrokenEntriesEndTheWalk)
{
    const ByteBuffer good = testing_support::BuildAttributeListValue({{.record = 1}, {.record = 2}, {.record = 3}});
    struct Case
    {
        std::size_t offset;
        std::uint64_t value;
        std::size_t width;
        std::size_t kept;
    };
    for (const Case c : {Case{32 + 4, 0, 2, 1}, Case{32 + 4, 25, 2, 1}, Case{32 + 4, 0xFFFF, 2, 1},
                         Case{32 + 0, 0xFFFFFFFF, 4, 1}, Case{32 + 6, 10, 1, 1},
                         Case{0, 0, 4, 0}}) {
        ByteBuffer value = good;
        PutLe(value, c.offset, c.value, c.width);
        ntfs::AttributeListWalker walker(value);
        std::size_t n = 0;
        while (walker.Next()) {
            ++n;
        }
        EXPECT_EQ(n, c.kept) << c.offset;
    }
    // A value cut inside the last entry.
    ntfs::AttributeListWalker cut(std::span<const std::uint8_t>(good.data(), good.size() - 1));
    std::size_t n = 0;
    while (cut.Next()) {
        ++n;
    }
    EXPECT_EQ(n, 2u);
}

}  // namespace
