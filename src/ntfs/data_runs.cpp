// Data runs (mapping pairs).
#include "ntfs/data_runs.h"

#include "core/checked_math.h"
#include "core/le_view.h"
#include "ntfs/ntfs_layout.h"

namespace ntfs {

RunList DecodeRunList(std::span<const std::uint8_t> bytes, std::size_t maxRuns)
{
    RunList list;
    core::LeView view(bytes);
    std::size_t pos = 0;
    std::int64_t lcn = 0;
    while (true) {
        if (pos >= bytes.size()) {
            list.status = RunListStatus::Truncated;
            break;
        }
        const std::uint8_t header = bytes[pos];
        if (header == 0) {
            list.status = RunListStatus::Complete;
            list.bytesUsed = pos + 1;
            return list;
        }
        const std::size_t lengthSize = header & kRunLengthSizeMask;
        const std::size_t offsetSize = static_cast<std::size_t>(header >> kRunOffsetSizeShift);
        if (lengthSize == 0 || lengthSize > kRunMaxFieldSize || offsetSize > kRunMaxFieldSize) {
            list.status = RunListStatus::BadHeader;
            break;
        }
        if (!core::InRange(bytes.size(), pos + 1, lengthSize + offsetSize)) {
            list.status = RunListStatus::Truncated;
            break;
        }
        if (lengthSize > kRunSupportedFieldSize || offsetSize > kRunSupportedFieldSize) {
            list.wideField = true;
        }
        DataRun run;
        run.lengthClusters = view.UVar(pos + 1, lengthSize);
        if (offsetSize == 0) {
            run.sparse = true;
        } else {
            // The first offset is a delta from cluster 0, so the one rule serves every run.
            const std::int64_t delta = view.SVar(pos + 1 + lengthSize, offsetSize);
            const auto next = core::CheckedAdd(lcn, delta);
            if (!next) {
                list.status = RunListStatus::LcnOverflow;
                break;
            }
            if (*next < 0) {
                list.status = RunListStatus::NegativeLcn;
                break;
            }
            lcn = *next;
            run.lcn = lcn;
        }
        if (list.runs.size() >= maxRuns) {
            list.status = RunListStatus::TooManyRuns;
            break;
        }
        list.runs.push_back(run);
        pos += 1 + lengthSize + offsetSize;
    }
    list.bytesUsed = pos;
    return list;
}

}  // namespace ntfs
