// Fuzz target: FILE record fixup, every find routine and the attribute walk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "ntfs/attribute_walk.h"
#include "ntfs/data_runs.h"
#include "ntfs/file_record.h"
#include "ntfs/fixup.h"
#include "ntfs/index_buffer.h"

namespace {

void WalkAttributes(std::span<const std::uint8_t> record)
{
    ntfs::AttributeIterator it(record);
    std::size_t count = 0;
    while (auto a = it.Next()) {
        if (++count > record.size()) {
            std::abort();  // the walk must always move forward
        }
        if (a->nonResident) {
            static_cast<void>(ntfs::DecodeRunList(a->runs));
        } else if (a->type == 0x20) {
            ntfs::AttributeListWalker walker(a->value);
            while (walker.Next()) {
            }
        } else if (a->type == 0x90) {
            if (auto entries = ntfs::WalkIndexRoot(*a)) {
                while (entries->Next()) {
                }
            }
        }
    }
    if (const auto data = ntfs::FindDataAttribute(record); data && data->nonResident) {
        static_cast<void>(ntfs::DecodeRunList(data->runs));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096) {
        return 0;
    }
    std::vector<std::uint8_t> record(data, data + size);
    ntfs::ApplyFixupChecked(record);
    const std::span<const std::uint8_t> bytes(record);
    for (std::uint8_t ns = 0; ns < 4; ++ns) {
        static_cast<void>(ntfs::FindFileName(bytes, ns));
    }
    static_cast<void>(ntfs::HasFileSignature(bytes));
    static_cast<void>(ntfs::RecordFlags(bytes));
    static_cast<void>(ntfs::GetDataSize(bytes));
    std::vector<std::uint32_t> list;
    ntfs::CollectExtensionRecords(bytes, list);
    if (list.size() > ntfs::kExtensionListCapacity) {
        std::abort();
    }
    for (std::size_t limit : {std::size_t{1024}, size, std::size_t{0}, std::size_t{1}}) {
        static_cast<void>(ntfs::FindIndexAttribute(bytes, 0x90, limit));
        static_cast<void>(ntfs::FindIndexAttribute(bytes, 0xA0, limit));
        static_cast<void>(ntfs::FirstIndexCluster(bytes, limit));
    }
    static_cast<void>(ntfs::DirectoryNumberFromIndexRoot(bytes));
    WalkAttributes(bytes);
    return 0;
}
