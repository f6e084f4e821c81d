// Data runs (mapping pairs): the clusters of a non-resident attribute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ntfs {

struct DataRun
{
    std::int64_t lcn = 0;               // absolute start cluster; 0 for a sparse run
    std::uint64_t lengthClusters = 0;
    bool sparse = false;                // no clusters on disk (offset field of 0 bytes)
};

enum class RunListStatus
{
    Complete,       // ended by a 0 header byte
    Truncated,      // the bytes ended before the 0 header byte or inside a run's fields
    BadHeader,      // a header byte named a length field of 0 bytes or a field wider than 8 bytes
    LcnOverflow,    // an offset took the start cluster outside the signed 64-bit range
    NegativeLcn,    // an offset took the start cluster below 0
    TooManyRuns,    // more runs than the caller allowed
};

struct RunList
{
    std::vector<DataRun> runs;          // the runs decoded before the list ended
    RunListStatus status = RunListStatus::Truncated;
    bool wideField = false;             // some length or offset field was wider than 4 bytes
    std::size_t bytesUsed = 0;          // bytes consumed, the 0 header byte included
};

// Decodes the runs in `bytes`: each starts with a header byte H (0 ends the list), whose low
// nibble is the size of the length field (unsigned clusters) and high nibble the size of the offset
// field. The first offset is the start cluster; every later one is a signed two's-complement
// delta from the start of the nearest earlier run that had an offset. An offset field of 0 bytes
// is a sparse run. Fields of 1 to 8 bytes are decoded; nothing outside `bytes` is read. A run
// whose start cluster would overflow or become negative ends the list without being added.
RunList DecodeRunList(std::span<const std::uint8_t> bytes, std::size_t maxRuns = SIZE_MAX);

}  // namespace ntfs
