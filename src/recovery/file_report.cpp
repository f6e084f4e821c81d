// The per-file report of a batch recovery.
#include "recovery/file_report.h"

#include "core/json_writer.h"
#include "core/messages.h"
#include "recovery/batch_report.h"

namespace recovery {

namespace {

namespace msg = core::msg;

constexpr std::string_view kCsvLineEnd = "\r\n";

std::string_view Status(const BatchEvent& event)
{
    if (event.folder) {
        return msg::kLogFolderNotMade;
    }
    const ExtractResult& r = event.result;
    if (r.outcome == ExtractOutcome::Written && r.incomplete) {
        return msg::kSummaryIncomplete;
    }
    return OutcomeText(r);
}

void CsvField(std::string& line, std::string_view field)
{
    if (!line.empty()) {
        line += ',';
    }
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (const char c : field) {
        if (c == '"') {
            line += '"';
        }
        line += c;
    }
    line += '"';
}

} // namespace

ReportFormat ReportFormatFor(const std::filesystem::path& file)
{
    return file.extension() == ".jsonl" ? ReportFormat::JsonLines : ReportFormat::Csv;
}

std::string ReportHeader(ReportFormat format)
{
    if (format == ReportFormat::JsonLines) {
        return {};
    }
    std::string line("source,output,size,status,unreadableSectors,sha256");
    line += kCsvLineEnd;
    return line;
}

std::string ReportLine(const BatchEvent& event, ReportFormat format)
{
    const ExtractResult& r = event.result;
    const std::string output = r.path.string();
    const std::string sha256 = r.sha256 ? core::Sha256::Hex(*r.sha256) : std::string();
    if (format == ReportFormat::JsonLines) {
        core::JsonWriter json;
        json.BeginObject()
            .Field("source", event.relativePath)
            .Field("output", output)
            .Field("size", r.bytesWritten)
            .Field("status", Status(event))
            .Field("unreadableSectors", r.unreadableSectors)
            .Field("sha256", sha256)
            .EndObject();
        return json.Text() + '\n';
    }
    std::string line;
    CsvField(line, event.relativePath);
    CsvField(line, output);
    CsvField(line, std::to_string(r.bytesWritten));
    CsvField(line, Status(event));
    CsvField(line, std::to_string(r.unreadableSectors));
    line += ',';
    line += sha256;
    line += kCsvLineEnd;
    return line;
}

ReportWriter::~ReportWriter()
{
    Close();
}

bool ReportWriter::Open(const std::filesystem::path& file)
{
    Close();
    m_failed = false;
    m_format = ReportFormatFor(file);
    m_file = std::fopen(file.c_str(), "we");
    if (m_file == nullptr) {
        return false;
    }
    Put(ReportHeader(m_format));
    return !m_failed;
}

void ReportWriter::Add(const BatchEvent& event)
{
    Put(ReportLine(event, m_format));
}

void ReportWriter::Put(const std::string& text)
{
    if (m_file == nullptr || m_failed) {
        m_failed = true;
        return;
    }
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), m_file) != text.size()) {
        m_failed = true;
    }
}

bool ReportWriter::Close()
{
    if (m_file == nullptr) {
        return false;
    }
    if (std::fclose(m_file) != 0) {
        m_failed = true;
    }
    m_file = nullptr;
    return !m_failed;
}

bool FileReport::Save(const std::filesystem::path& file) const
{
    ReportWriter writer;
    if (!writer.Open(file)) {
        return false;
    }
    for (const BatchEvent& event : m_events) {
        writer.Add(event);
    }
    return writer.Close();
}

} // namespace recovery
