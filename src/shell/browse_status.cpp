// The browse step's status line.
#include "shell/browse_status.h"

#include <array>
#include <cstdio>

#include "core/messages.h"

namespace shell {

std::string HumanSize(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + std::string(core::msg::kStatusBytes);
    static constexpr std::array<const char*, 5> kUnits{"KB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < kUnits.size()) {
        value /= 1024.0;
        ++unit;
    }
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f %s", value, kUnits[unit]);
    return text.data();
}

RowTally TallyRows(const std::vector<ntfs::ListRow>& rows, const std::vector<std::size_t>* positions)
{
    RowTally tally;
    const auto add = [&tally](const ntfs::ListRow& row) {
        (row.folder ? tally.folders : tally.files) += 1;
        tally.deleted += row.deleted ? 1 : 0;
        tally.bytes += row.folder ? 0 : row.sizeBytes;
    };
    if (positions == nullptr) {
        for (const ntfs::ListRow& row : rows)
            add(row);
        return tally;
    }
    for (const std::size_t position : *positions) {
        if (position < rows.size())
            add(rows[position]);
    }
    return tally;
}

namespace {

std::string Counted(std::uint64_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + std::string(n == 1 ? one : many);
}

std::string TallyText(const RowTally& t)
{
    std::string text = Counted(t.folders, core::msg::kStatusFolder, core::msg::kStatusFolders);
    text += ", ";
    text += Counted(t.files, core::msg::kStatusFile, core::msg::kStatusFiles);
    if (t.deleted != 0) {
        text += " (" + std::to_string(t.deleted) + std::string(core::msg::kStatusDeleted) + ")";
    }
    text += ", " + HumanSize(t.bytes);
    return text;
}

}  // namespace

std::string BrowseStatusText(const std::vector<ntfs::ListRow>& rows, const std::vector<std::size_t>& selected)
{
    std::string text = TallyText(TallyRows(rows));
    if (!selected.empty())
        text += std::string(core::msg::kStatusSelected) + TallyText(TallyRows(rows, &selected));
    return text;
}

}  // namespace shell
