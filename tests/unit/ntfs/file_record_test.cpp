// FILE-record find routines: names, data size, extension records, $I30 index attributes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ntfs_names.h"
#include "ntfs/file_record.h"
#include "ntfs/fixup.h"
#include "support/ntfs_builder.h"

namespace {

using testing_support::AttributeListEntrySpec;
using testing_support::ByteBuffer;
using testing_support::FileNameSpec;
using testing_support::FileRecordBuilder;
using testing_support::IndexEntrySpec;
using testing_support::NonResidentSpec;
using testing_support::PutLe;

ByteBuffer Fixed(const FileRecordBuilder& b)
{
    ByteBuffer r = b.Build();
    ntfs::ApplyFixup(r);
    return r;
}

FileNameSpec Name(const std::string& name, std::uint8_t nameSpace, std::uint64_t parent = 5)
{
    FileNameSpec s;
    s.name = name;
    s.nameSpace = nameSpace;
    s.parent = parent;
    return s;
}

TEST(FindFileName, ReportsNameParentAndTimes)
{
    FileNameSpec fields = Name("Quarterly Report.doc", 1, 0x0003'0000'0000'0027ULL);
    fields.created = 0x01D5'0000'1111'2222ULL;
    fields.changed = 0x01D6'0000'3333'4444ULL;
    const auto record = Fixed(FileRecordBuilder().FileName(fields));
    const auto info = ntfs::FindFileName(record, 1);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, "Quarterly Report.doc");
    EXPECT_EQ(info->parent, 0x27u);
    EXPECT_EQ(info->created, fields.created);
    EXPECT_EQ(info->changed, fields.changed);
    EXPECT_EQ(info->nameSpace, 1);
}

TEST(FindFileName, NamespaceIsMatchedExactlyWhateverTheOrder)
{
    const auto dosFirst = Fixed(FileRecordBuilder().FileName(Name("REPORT~1.DOC", 2)).FileName(Name("report.doc", 1)));
    EXPECT_EQ(ntfs::FindFileName(dosFirst, 1)->name, "report.doc");
    EXPECT_EQ(ntfs::FindFileName(dosFirst, 2)->name, "REPORT~1.DOC");
    EXPECT_FALSE(ntfs::FindFileName(dosFirst, 3));

    const auto dosOnly = Fixed(FileRecordBuilder().FileName(Name("A.TXT", 2)));
    EXPECT_FALSE(ntfs::FindFileName(dosOnly, 1));
    EXPECT_FALSE(ntfs::FindFileName(dosOnly, 3));
    EXPECT_EQ(ntfs::FindFileName(dosOnly, 2)->name, "A.TXT");
}

TEST(FindFileName, PosixOnlyNameIsFoundOnlyWhenAskedFor)
{
    const auto record = Fixed(FileRecordBuilder().FileName(Name("Makefile.am", 0)));
    for (std::uint8_t ns : {1, 3, 2}) {
        EXPECT_FALSE(ntfs::FindFileName(record, ns)) << int{ns};
    }
    const auto posix = ntfs::FindFileName(record, 0);
    ASSERT_TRUE(posix);
    EXPECT_EQ(posix->name, "Makefile.am");
}

TEST(FindFileName, NamedFileNameAttributeIsPassedOver)
{
    ByteBuffer named = testing_support::BuildResidentAttribute(
        0x30, testing_support::BuildFileNameValue(Name("wrong", 1)), "x");
    const auto record = Fixed(FileRecordBuilder().Attribute(named).FileName(Name("right", 1)));
    EXPECT_EQ(ntfs::FindFileName(record, 1)->name, "right");
}

TEST(FindFileName, NonAsciiIsDecodedToUtf8)
{
    ByteBuffer value = testing_support::BuildFileNameValue(Name("ab", 1));
    PutLe(value, 66, 0x00E9, 2);  // é
    PutLe(value, 68, 0x4E2D, 2);  // a CJK unit: low byte 0x2D
    const auto record = Fixed(FileRecordBuilder().Attribute(testing_support::BuildResidentAttribute(0x30, value)));
    EXPECT_EQ(ntfs::FindFileName(record, 1)->name, "\xC3\xA9\xE4\xB8\xAD");  // é中
}

TEST(FindFileName, NameUnitsBeyondTheRecordAreNotRead)
{
    // A filler pushes the $FILE_NAME to offset 920, so its name starts at byte 1010 and a name
    // length of 255 units would run far past the record.
    FileRecordBuilder b;
    b.ResidentData(ByteBuffer(824, 'f'), "filler").FileName(Name("abc", 1));
    ASSERT_EQ(b.AttributeOffset(1), 920u);
    ByteBuffer record = Fixed(b);
    record[920 + 24 + 64] = 255;
    const auto info = ntfs::FindFileName(std::span<const std::uint8_t>(record), 1);
    ASSERT_TRUE(info);
    EXPECT_EQ(core::CodePointCount(info->name), 7u);
    EXPECT_EQ(info->name.substr(0, 3), "abc");
}

TEST(FindRoutines, FirstAttributeAt1023OrMoreFindsNothing)
{
    FileRecordBuilder b;
    b.FileName(Name("a.txt", 1)).ResidentData(ByteBuffer(10, 'x')).AttributeList({{.type = 0x80, .record = 77}});
    for (std::uint16_t first : {1023, 1024, 0x7FFF, 0x8000, 0xFFFF}) {
        ByteBuffer record = Fixed(b);
        PutLe(record, 20, first, 2);
        EXPECT_FALSE(ntfs::FindFileName(record, 1)) << first;
        EXPECT_FALSE(ntfs::GetDataSize(record)) << first;
        std::vector<std::uint32_t> list;
        EXPECT_EQ(ntfs::CollectExtensionRecords(record, list), 0u) << first;
        EXPECT_TRUE(list.empty());
    }
}

TEST(GetDataSize, ResidentValueLength)
{
    const auto record = Fixed(FileRecordBuilder().FileName(Name("a", 1)).ResidentData(ByteBuffer(300, 'x')));
    EXPECT_EQ(ntfs::GetDataSize(record), 300u);
}

TEST(GetDataSize, NonResidentDataSizeNotAllocatedSize)
{
    NonResidentSpec fields;
    fields.runs = testing_support::EncodeRunList({{0x10000, 0x1234}});
    fields.lastVcn = 0xFFFF;
    fields.allocatedSize = 0x1'0000'0000ULL;
    fields.dataSize = 0xFFFF'F001ULL;
    fields.initializedSize = fields.dataSize;
    const auto record = Fixed(FileRecordBuilder().FileName(Name("big.iso", 1)).NonResident(fields));
    EXPECT_EQ(ntfs::GetDataSize(record), 0xFFFF'F001ULL);
}

TEST(GetDataSize, NamedStreamBeforeTheUnnamedOneIsSkipped)
{
    const auto record = Fixed(FileRecordBuilder()
                                  .FileName(Name("a", 1))
                                  .ResidentData(ByteBuffer(40, 'z'), "Zone.Identifier")
                                  .ResidentData(ByteBuffer(7, 'x')));
    EXPECT_EQ(ntfs::GetDataSize(record), 7u);
    const auto onlyNamed = Fixed(FileRecordBuilder().ResidentData(ByteBuffer(40, 'z'), "ads"));
    EXPECT_FALSE(ntfs::GetDataSize(onlyNamed));
}

TEST(CollectExtensionRecords, AppendsListEntriesInOrderWithoutDuplicateCheck)
{
    const auto record = Fixed(FileRecordBuilder()
                                  .AttributeList({{.type = 0x10, .record = 40},
                                                  {.type = 0x30, .record = 40},
                                                  {.type = 0x80, .record = 0x0002'0000'0000'0099ULL},
                                                  {.type = 0x80, .startVcn = 9, .record = 0x9A}})
                                  .FileName(Name("a", 1)));
    std::vector<std::uint32_t> list = {40};
    EXPECT_EQ(ntfs::CollectExtensionRecords(record, list), 4u);
    EXPECT_EQ(list, (std::vector<std::uint32_t>{40, 40, 40, 0x99, 0x9A}));
}

TEST(CollectExtensionRecords, StopsAtCapacityAndAtTheValueEnd)
{
    std::vector<AttributeListEntrySpec> many;
    for (std::uint32_t i = 0; i < 20; ++i) {
        many.push_back({.type = 0x80, .record = 100 + i});
    }
    const auto record = Fixed(FileRecordBuilder().AttributeList(many));
    std::vector<std::uint32_t> list = {7};
    EXPECT_EQ(ntfs::CollectExtensionRecords(record, list, 5), 4u);
    EXPECT_EQ(list.size(), 5u);

    // Bytes after the value that look like entries are not read.
    ByteBuffer r2 = Fixed(FileRecordBuilder().AttributeList({{.type = 0x80, .record = 1}}));
    const std::size_t attr = FileRecordBuilder::kFirstAttribute;
    PutLe(r2, attr + 16, 32, 4);                    // value length: one entry
    std::vector<std::uint32_t> list2;
    EXPECT_EQ(ntfs::CollectExtensionRecords(r2, list2), 1u);
}

TEST(CollectExtensionRecords, NonResidentListIsPassedOver)
{
    NonResidentSpec fields;
    fields.type = 0x20;
    fields.runs = testing_support::EncodeRunList({{1, 50}});
    const auto record = Fixed(FileRecordBuilder().NonResident(fields).AttributeList({{.record = 3}}));
    std::vector<std::uint32_t> list;
    EXPECT_EQ(ntfs::CollectExtensionRecords(record, list), 1u);
    EXPECT_EQ(list.at(0), 3u);
}

FileRecordBuilder Directory(std::uint64_t ownNumber = 0x0001'0000'0000'0042ULL)
{
    FileRecordBuilder b;
    b.Flags(3).FileName(Name("Documents", 1)).IndexRoot({{.record = 0x50, .key = Name("a.txt", 1, ownNumber)}});
    b.IndexAllocation({{1, 0x1234}, {1, 0x2000}});
    return b;
}

TEST(IndexAttributes, FoundByTypeAndI30Name)
{
    const auto b = Directory();
    const auto record = Fixed(b);
    EXPECT_EQ(ntfs::FindIndexAttribute(record, 0x90), b.AttributeOffset(1));
    EXPECT_EQ(ntfs::FindIndexAttribute(record, 0xA0), b.AttributeOffset(2));
    EXPECT_EQ(ntfs::DirectoryNumberFromIndexRoot(record), 0x42u);
    EXPECT_EQ(ntfs::FirstIndexCluster(record), 0x1234);
}

TEST(IndexAttributes, OtherNamesAreNotI30)
{
    NonResidentSpec sdh;
    sdh.type = 0xA0;
    sdh.name = "$SDH";
    sdh.runs = testing_support::EncodeRunList({{1, 0x99}});
    FileRecordBuilder b;
    b.NonResident(sdh).IndexAllocation({{1, 0x77}});
    const auto record = Fixed(b);
    EXPECT_EQ(ntfs::FindIndexAttribute(record, 0xA0), b.AttributeOffset(1));
    EXPECT_EQ(ntfs::FirstIndexCluster(record), 0x77);
}

TEST(IndexAttributes, RootHoldingOnlyTheEndEntryGivesNoNumber)
{
    const auto record = Fixed(FileRecordBuilder().Flags(3).FileName(Name("empty", 1)).IndexRoot({}));
    EXPECT_TRUE(ntfs::FindIndexAttribute(record, 0x90));
    EXPECT_FALSE(ntfs::DirectoryNumberFromIndexRoot(record));
    EXPECT_FALSE(ntfs::FindIndexAttribute(record, 0xA0));
    EXPECT_FALSE(ntfs::FirstIndexCluster(record));
}

TEST(IndexAttributes, NumberFFFFFFFFCountsAsNone)
{
    EXPECT_FALSE(ntfs::DirectoryNumberFromIndexRoot(Fixed(Directory(0xFFFF'FFFFULL))));
}

TEST(IndexAttributes, FirstRunOffsetIsSignedAndOneToFourBytes)
{
    for (const auto& [runs, expected] : std::vector<std::pair<ByteBuffer, std::optional<std::int64_t>>>{
             {{0x11, 0x01, 0xFF, 0x00}, -1},
             {{0x21, 0x01, 0x34, 0x12, 0x00}, 0x1234},
             {{0x41, 0x01, 0x00, 0x00, 0x80, 0x00, 0x00}, 8388608},
             {{0x01, 0x01, 0x00}, std::nullopt},
             {{0x51, 0x01, 1, 2, 3, 4, 5, 0x00}, std::nullopt},
             {{0x00}, std::nullopt}}) {
        NonResidentSpec fields;
        fields.type = 0xA0;
        fields.name = "$I30";
        fields.runs = runs;
        const auto record = Fixed(FileRecordBuilder().NonResident(fields));
        EXPECT_EQ(ntfs::FirstIndexCluster(record), expected);
    }
}

// One corruption per field: each must give not-found or a bounded answer, never a read outside
// the record.
struct Corruption
{
    const char* what;
    std::size_t offset;      // from the start of the record, or of attribute `attribute` when >= 0
    int attribute;
    std::uint64_t value;
    std::size_t width;
};

FileRecordBuilder FullRecord()
{
    FileRecordBuilder b;
    b.AttributeList({{.type = 0x30, .record = 9}, {.type = 0x80, .record = 12}})
        .FileName(Name("Documents", 1))
        .FileName(Name("DOCUME~1", 2))
        .ResidentData(ByteBuffer(16, 's'), "ads")
        .IndexRoot({{.record = 0x50, .key = Name("a.txt", 1, 0x42)}})
        .IndexAllocation({{1, 0x1234}})
        .ResidentData(ByteBuffer(300, 'x'));
    return b;
}

class FileRecordCorrupted : public ::testing::TestWithParam<Corruption>
{
};

TEST_P(FileRecordCorrupted, FindRoutinesStayBounded)
{
    const Corruption& c = GetParam();
    const FileRecordBuilder b = FullRecord();
    ByteBuffer record = b.Build();
    const std::size_t at = c.offset + (c.attribute >= 0 ? b.AttributeOffset(static_cast<std::size_t>(c.attribute)) : 0);
    PutLe(record, at, c.value, c.width);
    ASSERT_EQ(record.size(), 1024u);
    ntfs::ApplyFixup(record);
    // A copy exactly the record's size so a sanitizer sees any read past it.
    const std::vector<std::uint8_t> exact(record.begin(), record.end());
    for (std::uint8_t ns = 0; ns < 4; ++ns) {
        if (const auto name = ntfs::FindFileName(exact, ns)) {
            EXPECT_LE(core::CodePointCount(name->name), 255u);
            EXPECT_LE(name->name.size(), core::kMaxNameUtf8Bytes);
        }
    }
    static_cast<void>(ntfs::GetDataSize(exact));
    std::vector<std::uint32_t> list;
    ntfs::CollectExtensionRecords(exact, list);
    EXPECT_LE(list.size(), ntfs::kExtensionListCapacity);
    if (const auto off = ntfs::FindIndexAttribute(exact, 0x90)) {
        EXPECT_LT(*off, 1024u);
    }
    if (const auto off = ntfs::FindIndexAttribute(exact, 0xA0)) {
        EXPECT_LT(*off, 1023u);
    }
    static_cast<void>(ntfs::DirectoryNumberFromIndexRoot(exact));
    static_cast<void>(ntfs::FirstIndexCluster(exact));
    // Shorter buffers than a record are handled too.
    for (std::size_t n : {0u, 21u, 100u, 600u, 1000u}) {
        const std::vector<std::uint8_t> part(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(n));
        static_cast<void>(ntfs::FindFileName(part, 1));
        static_cast<void>(ntfs::GetDataSize(part));
        ntfs::CollectExtensionRecords(part, list);
        static_cast<void>(ntfs::DirectoryNumberFromIndexRoot(part));
        static_cast<void>(ntfs::FirstIndexCluster(part));
    }
}

// Attribute order in FullRecord: 0 list, 1 Win32 name, 2 DOS name, 3 named data, 4 index root,
// 5 index allocation, 6 data.
INSTANTIATE_TEST_SUITE_P(
    Fields, FileRecordCorrupted,
    ::testing::Values(Corruption{"usa_offset_huge", 4, -1, 0xFFFF, 2},
                      Corruption{"usa_count_huge", 6, -1, 0xFFFF, 2},
                      Corruption{"usa_offset_odd", 4, -1, 83, 2},
                      Corruption{"first_attr_negative", 20, -1, 0x8000, 2},
                      Corruption{"first_attr_1022", 20, -1, 1022, 2},
                      Corruption{"first_attr_1020", 20, -1, 1020, 2},
                      Corruption{"first_attr_odd", 20, -1, 57, 2},
                      Corruption{"list_length_zero", 4, 0, 0, 4},
                      Corruption{"list_length_huge", 4, 0, 0xFFFFFFF0, 4},
                      Corruption{"list_value_offset_negative", 20, 0, 0xFFF0, 2},
                      Corruption{"list_value_offset_past_record", 20, 0, 1000, 2},
                      Corruption{"list_value_length_huge", 16, 0, 0xFFFFFFFF, 4},
                      Corruption{"list_entry_length_zero", 24 + 4, 0, 0, 2},
                      Corruption{"list_entry_length_negative", 24 + 4, 0, 0xFFF8, 2},
                      Corruption{"list_entry_length_past_record", 24 + 4, 0, 1000, 2},
                      Corruption{"name_length_1023", 4, 1, 1023, 4},
                      Corruption{"name_length_1025", 4, 1, 1025, 4},
                      Corruption{"name_value_offset_past_record", 20, 1, 1000, 2},
                      Corruption{"name_value_offset_negative", 20, 1, 0x8001, 2},
                      Corruption{"name_units_255", 24 + 64, 1, 255, 1},
                      Corruption{"name_named_attribute", 9, 1, 3, 1},
                      Corruption{"dos_name_length_zero", 4, 2, 0, 4},
                      Corruption{"named_data_length_huge", 4, 3, 0x7FFFFFFF, 4},
                      Corruption{"root_type_end", 0, 4, 0xFFFFFFFF, 4},
                      Corruption{"root_length_huge", 4, 4, 0xFFFFFFFF, 4},
                      Corruption{"root_entry_name_length", 144, 4, 0, 1},
                      Corruption{"alloc_length_1023", 4, 5, 1023, 4},
                      Corruption{"alloc_runs_offset_negative", 32, 5, 0x8000, 2},
                      Corruption{"alloc_runs_offset_past_record", 32, 5, 0x7FFF, 2},
                      Corruption{"alloc_run_header_wide", 72, 5, 0xFF, 1},
                      Corruption{"data_non_resident_byte", 8, 6, 7, 1},
                      Corruption{"data_non_resident_set", 8, 6, 1, 1},
                      Corruption{"data_length_zero", 4, 6, 0, 4},
                      Corruption{"end_marker_removed", 0, 7, 0x80, 4}),
    [](const ::testing::TestParamInfo<Corruption>& info) { return std::string(info.param.what); });

}  // namespace
