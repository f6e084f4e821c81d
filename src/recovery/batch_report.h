// The report of a batch recovery: why each file was not written whole, the summary counts, and
// the plain-text log that "&Open Log" shows.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "recovery/batch_recovery.h"
#include "recovery/file_extraction.h"

namespace recovery {

// What became of a file, in a few words ("written", "cut short", "error: cannot create", ...).
std::string_view OutcomeText(const ExtractResult& result);

// The summary counts, one "label: count" line each, in the order the command line prints them.
std::string SummaryText(const BatchSummary& summary);

// Collects the events of one batch that did not leave a whole file (errors, files cut short,
// files with unreadable sectors or missing clusters, folders not made) and writes the log.
class BatchReport
{
public:
    // Call with every event of the batch, in order.
    void Add(const BatchEvent& event);
    // The log: the destination, one line per file not written whole (its reason, then its path
    // below the destination), then the summary counts.
    std::string Text(const std::filesystem::path& destination, const BatchSummary& summary) const;

private:
    std::string m_lines;
};

}  // namespace recovery
