// INDX buffers and index entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ntfs/attribute_walk.h"
#include "ntfs/fixup.h"
#include "ntfs/index_buffer.h"
#include "support/ntfs_builder.h"

namespace {

using testing_support::ByteBuffer;
using testing_support::FileNameSpec;
using testing_support::IndexEntrySpec;
using testing_support::PutLe;

IndexEntrySpec Entry(std::uint64_t record, const std::string& name, std::uint64_t parent, bool directory = false)
{
    IndexEntrySpec e;
    e.record = record;
    e.key.name = name;
    e.key.parent = parent;
    e.key.created = 1000 + record;
    e.key.changed = 2000 + record;
    e.key.fileAttributes = directory ? 0x10000000u : 0x20u;
    return e;
}

std::vector<ntfs::IndexEntryView> All(ntfs::IndexEntryWalker walker)
{
    std::vector<ntfs::IndexEntryView> out;
    while (auto e = walker.Next()) {
        out.push_back(*e);
    }
    return out;
}

TEST(IndexBuffer, HeaderAndEntries)
{
    ByteBuffer buffer = testing_support::BuildIndexBuffer(
        0x1'0000'0003ULL, {Entry(0x0002'0000'0000'0040ULL, "alpha.txt", 0x27), Entry(0x41, "Beta", 0x27, true)});
    ntfs::ApplyFixup(buffer);
    const auto header = ntfs::DecodeIndexBufferHeader(buffer);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->vcn, 3u);
    EXPECT_EQ(header->totalBytes, 4096u);
    EXPECT_EQ(header->sectors, 8u);
    const auto entries = All(ntfs::WalkIndexBuffer(buffer, *header));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].recordNumber, 0x40u);
    EXPECT_EQ(entries[0].name, "alpha.txt");
    EXPECT_EQ(entries[0].parent, 0x27u);
    EXPECT_EQ(entries[0].created, 1000u + 0x0002'0000'0000'0040ULL);
    EXPECT_FALSE(entries[0].IsDirectory());
    EXPECT_EQ(entries[1].name, "Beta");
    EXPECT_TRUE(entries[1].IsDirectory());
    EXPECT_EQ(entries[1].changed, 2000u + 0x41);
}

TEST(IndexBuffer, HeaderLimits)
{
    const ByteBuffer good = testing_support::BuildIndexBuffer(0, {Entry(0x40, "a", 5)});
    struct Case
    {
        const char* what;
        std::size_t offset;
        std::uint64_t value;
        std::size_t width;
        bool accepted;
    };
    for (const Case c : {Case{"signature", 0, 'X', 1, false},
                         Case{"65536 bytes", 32, 65536 - 24, 4, true},
                         Case{"65537 bytes", 32, 65536 - 23, 4, false},
                         Case{"alloc wraps", 32, 0xFFFFFFF0, 4, false},
                         Case{"below a sector", 32, 400, 4, false},
                         Case{"usa count 0", 6, 0, 2, false},
                         Case{"usa past buffer", 4, 4090, 2, false},
                         Case{"first entry past buffer", 24, 4096, 4, false}}) {
        ByteBuffer b = good;
        PutLe(b, c.offset, c.value, c.width);
        EXPECT_EQ(ntfs::DecodeIndexBufferHeader(b).has_value(), c.accepted) << c.what;
    }
    EXPECT_FALSE(ntfs::DecodeIndexBufferHeader(std::span<const std::uint8_t>(good.data(), 35)));
}

TEST(IndexEntryWalker, EndConditions)
{
    ByteBuffer buffer = testing_support::BuildIndexBuffer(0, {Entry(0x40, "one", 5), Entry(0x41, "two", 5)});
    ntfs::ApplyFixup(buffer);
    const auto header = *ntfs::DecodeIndexBufferHeader(buffer);
    const std::size_t first = 64;
    const std::size_t second = first + buffer[first + 8];

    ByteBuffer zeroLength = buffer;
    PutLe(zeroLength, second + 8, 0, 2);
    EXPECT_EQ(All(ntfs::WalkIndexBuffer(zeroLength, header)).size(), 2u);  // yielded, then stops

    ByteBuffer noName = buffer;
    noName[second + 80] = 0;
    EXPECT_EQ(All(ntfs::WalkIndexBuffer(noName, header)).size(), 1u);

    // Name units running past the buffer end the walk.
    ByteBuffer longName = buffer;
    longName[first + 80] = 255;
    const std::span<const std::uint8_t> shortBuffer(longName.data(), first + 82 + 100);
    EXPECT_TRUE(All(ntfs::IndexEntryWalker(shortBuffer, first)).empty());

    // An entry length that runs past the buffer ends the walk after that entry.
    ByteBuffer huge = buffer;
    PutLe(huge, first + 8, 0xFFFF, 2);
    EXPECT_EQ(All(ntfs::WalkIndexBuffer(huge, header)).size(), 1u);

    // Start beyond the buffer.
    EXPECT_TRUE(All(ntfs::IndexEntryWalker(buffer, 5000)).empty());
}

TEST(IndexEntryWalker, IndexRootEntries)
{
    testing_support::FileRecordBuilder b;
    b.Flags(3).IndexRoot({Entry(0x40, "x.txt", 0x42), Entry(0x43, "y", 0x42)});
    ByteBuffer record = b.Build();
    ntfs::ApplyFixup(record);
    ntfs::AttributeIterator it(record);
    const auto root = it.Next();
    ASSERT_TRUE(root);
    auto walker = ntfs::WalkIndexRoot(*root);
    ASSERT_TRUE(walker);
    const auto entries = All(*walker);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].offset + root->offset + 24 + 8, 64u + root->offset);  // value at 32, entry at 64
    EXPECT_EQ(entries[1].name, "y");

    // The index length bounds the walk.
    ByteBuffer cut = record;
    PutLe(cut, root->offset + 32 + 16 + 4, 16 + 8, 4);
    ntfs::AttributeIterator it2(cut);
    EXPECT_TRUE(All(*ntfs::WalkIndexRoot(*it2.Next())).empty());
}

}  // namespace
