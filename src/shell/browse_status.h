// The browse step's status line under the list: folders, files (the deleted ones among them) and
// the total size of the listed folder and of the selection, sizes in human units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/listing.h"

namespace shell {

// A size in bytes as the status line shows it: "0 bytes", "980 bytes", "1.5 KB", "20.0 MB"
// (units of 1024, one decimal).
std::string HumanSize(std::uint64_t bytes);

struct RowTally
{
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t deleted = 0;  // deleted folders and files
    std::uint64_t bytes = 0;    // of the files
};

// The rows at `positions` (all rows when `positions` is null); positions past the end are passed over.
RowTally TallyRows(const std::vector<ntfs::ListRow>& rows, const std::vector<std::size_t>* positions = nullptr);

// "4 folders, 12 files (3 deleted), 1.2 MB", followed by "   Selected: 1 folder, 2 files, 4.0 KB"
// when something is selected.
std::string BrowseStatusText(const std::vector<ntfs::ListRow>& rows, const std::vector<std::size_t>& selected);

}  // namespace shell
