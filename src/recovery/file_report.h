// The per-file report of a batch recovery: one line per file (CSV with a header row, or JSON
// Lines) with its source path, output path, size, status, unreadable sectors and the SHA-256 of
// what was written; streamed to a file while the batch runs, or kept and saved afterwards.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "recovery/batch_recovery.h"

namespace recovery {

enum class ReportFormat {
    Csv,       // RFC 4180: a header row, CRLF line ends, fields quoted where they need it
    JsonLines, // one JSON object per line, the same fields under the same names
};

// JSON Lines when the file name ends in ".jsonl", CSV otherwise.
ReportFormat ReportFormatFor(const std::filesystem::path& file);

// The CSV header row (with its line end); empty for JSON Lines.
std::string ReportHeader(ReportFormat format);

// The line of one event, with its line end. The status is the batch's outcome text ("written",
// "renamed", "skipped: duplicate", "error: write failed", "cut short", ...), "incomplete" for a
// file written with clusters that could not be located or decoded, and the folder text for a
// folder that could not be made. The size is the bytes written; the hash is empty for a file
// not written (or written before hashing was asked for).
std::string ReportLine(const BatchEvent& event, ReportFormat format);

// Writes the report to a file line by line as events arrive.
class ReportWriter
{
public:
    ReportWriter() = default;
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Makes (or empties) the file and writes the header; false when it cannot be made.
    bool Open(const std::filesystem::path& file);
    void Add(const BatchEvent& event);
    // Flushes and closes; false when any write failed.
    bool Close();

private:
    void Put(const std::string& text);

    std::FILE* m_file = nullptr;
    ReportFormat m_format = ReportFormat::Csv;
    bool m_failed = false;
};

// The events of the last batch, kept for "Save Report...".
class FileReport
{
public:
    void Add(const BatchEvent& event) { m_events.push_back(event); }
    bool Empty() const noexcept { return m_events.empty(); }
    // The whole report in the format the file's name calls for; false when it cannot be written.
    bool Save(const std::filesystem::path& file) const;

private:
    std::vector<BatchEvent> m_events;
};

} // namespace recovery
