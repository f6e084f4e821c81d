// Fuzz target: data-run (mapping pairs) decoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "ntfs/data_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    const auto list = ntfs::DecodeRunList(bytes);
    // Every run takes at least two bytes; nothing beyond the input is consumed; no negative start.
    if (list.bytesUsed > size || list.runs.size() > size / 2) {
        std::abort();
    }
    for (const ntfs::DataRun& run : list.runs) {
        if (run.lcn < 0 || (run.sparse && run.lcn != 0)) {
            std::abort();
        }
    }
    if (list.status == ntfs::RunListStatus::Complete && (list.bytesUsed == 0 || bytes[list.bytesUsed - 1] != 0)) {
        std::abort();
    }
    const auto limited = ntfs::DecodeRunList(bytes, 3);
    if (limited.runs.size() > 3) {
        std::abort();
    }
    return 0;
}
