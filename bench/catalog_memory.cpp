// Memory per catalog entry, lists and indexes included, for 150,000 entries of each kind.
// Heap growth is measured with glibc's mallinfo2 (allocator overhead included) beside the
// catalog's own account (Catalog::MemoryBytes). Built only on request:
//   c++ -std=c++20 -O2 -Isrc bench/catalog_memory.cpp src/catalog/catalog.cpp
//       src/catalog/position_index.cpp -o catalog_memory && ./catalog_memory
#include <malloc.h>

#include <cstdio>
#include <functional>
#include <string>

#include "catalog/catalog.h"

namespace {

constexpr std::uint32_t kEntries = 150000;

std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::string Name(std::uint32_t i, std::size_t length)
{
    std::string name = "f" + std::to_string(i);
    name.resize(length, 'x');
    return name;
}

void Measure(const char* what, std::size_t nameLength,
             const std::function<void(catalog::Catalog&, std::uint32_t, std::string)>& add)
{
    auto* catalog = new catalog::Catalog;
    const std::size_t before = HeapInUse();
    for (std::uint32_t i = 0; i < kEntries; ++i)
        add(*catalog, i, Name(i, nameLength));
    // Touch the lazily rebuilt indexes so that they count too.
    (void)catalog->NtfsFolderWithTreeItem(1);
    (void)catalog->NtfsFileWithDataRecordSector(1);
    (void)catalog->FoundFilesWithFsNumber(0);
    const std::size_t heap = HeapInUse() - before;
    const std::size_t own = catalog->MemoryBytes() - sizeof(catalog::Catalog);
    std::printf("%-34s name %2zu chars: heap %6.1f bytes/entry, own account %6.1f bytes/entry\n", what,
                nameLength, static_cast<double>(heap) / kEntries, static_cast<double>(own) / kEntries);
    delete catalog;
}

}  // namespace

int main()
{
    std::printf("sizeof: NtfsFolderEntry %zu, NtfsFileEntry %zu, FatFolderEntry %zu, FatFileEntry %zu, "
                "FoundFolderRecord %zu, FoundFileRecord %zu, FoundIndexRecord %zu, std::string %zu\n",
                sizeof(catalog::NtfsFolderEntry), sizeof(catalog::NtfsFileEntry), sizeof(catalog::FatFolderEntry),
                sizeof(catalog::FatFileEntry), sizeof(catalog::FoundFolderRecord), sizeof(catalog::FoundFileRecord),
                sizeof(catalog::FoundIndexRecord), sizeof(std::string));
    for (std::size_t nameLength : {std::size_t{12}, std::size_t{40}}) {
        // Files spread over 15,000 folders, one FILE record each.
        Measure("NtfsFileEntry", nameLength, [](catalog::Catalog& c, std::uint32_t i, std::string name) {
            c.AddNtfsFile({.name = std::move(name), .record = i + 64, .parent = 64 + i % 15000,
                           .dataRecordSector = 100000 + 2 * i});
        });
        Measure("NtfsFolderEntry (tree built)", nameLength, [](catalog::Catalog& c, std::uint32_t i, std::string name) {
            c.AddNtfsFolder({.name = std::move(name), .record = i + 64, .parent = i < 10 ? 5 : 64 + i / 10});
            c.SetNtfsFolderTreeItem(i, i + 1);
        });
        Measure("FatFileEntry", nameLength, [](catalog::Catalog& c, std::uint32_t i, std::string name) {
            c.AddFatFile({.name = std::move(name), .cluster = i + 3, .parentCluster = i % 15000});
            ++c.fileCount;
        });
        Measure("FoundFileRecord", nameLength, [](catalog::Catalog& c, std::uint32_t i, std::string name) {
            c.AddFoundFile({.name = std::move(name), .sector = 100000 + 2 * i, .parent = 64 + i % 15000});
        });
        Measure("FoundFolderRecord", nameLength, [](catalog::Catalog& c, std::uint32_t i, std::string name) {
            c.AddFoundFolder({.name = std::move(name), .sector = 100000 + 2 * i, .parent = 64 + i / 10,
                              .created = 132000000000000000ull + i});
        });
    }
    return 0;
}
