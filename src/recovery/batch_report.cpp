// The report of a batch recovery.
#include "recovery/batch_report.h"

#include "core/messages.h"

namespace recovery {

namespace msg = core::msg;

std::string_view OutcomeText(const ExtractResult& result)
{
    switch (result.outcome) {
    case ExtractOutcome::Written:
        return result.renamed ? msg::kOutcomeRenamed : msg::kOutcomeWritten;
    case ExtractOutcome::CutByStop:
        return msg::kOutcomeStopped;
    case ExtractOutcome::CutBySkip:
        return msg::kOutcomeCutShort;
    case ExtractOutcome::NotStarted:
        return msg::kOutcomeNotStarted;
    case ExtractOutcome::EmptyFile:
        return msg::kOutcomeEmptyFile;
    case ExtractOutcome::FilteredOut:
        return msg::kOutcomeFilteredOut;
    case ExtractOutcome::ExcludedDeleted:
        return msg::kOutcomeExcludedDeleted;
    case ExtractOutcome::DuplicateSkipped:
        return msg::kOutcomeDuplicate;
    case ExtractOutcome::NoDataAttribute:
        return msg::kOutcomeNoDataAttribute;
    case ExtractOutcome::ResidentTooLarge:
        return msg::kOutcomeResidentTooLarge;
    case ExtractOutcome::NoDecodableRun:
        return msg::kOutcomeNoDataRun;
    case ExtractOutcome::CreateFailed:
        return msg::kOutcomeCannotCreate;
    case ExtractOutcome::WriteFailed:
        return msg::kOutcomeWriteFailed;
    case ExtractOutcome::NotReached:
        return msg::kOutcomeNotReached;
    case ExtractOutcome::RecordNotFile:
        return msg::kOutcomeRecordNotFile;
    case ExtractOutcome::RecordTorn:
        return msg::kOutcomeRecordTorn;
    case ExtractOutcome::RecordOfOtherFile:
        return msg::kOutcomeRecordOfOtherFile;
    }
    return msg::kOutcomeUnknown;
}

std::string SummaryText(const BatchSummary& s)
{
    std::string text;
    const auto line = [&text](std::string_view label, std::uint32_t count) {
        text += label;
        text += ": ";
        text += std::to_string(count);
        text += '\n';
    };
    line(msg::kSummaryWritten, s.written);
    line(msg::kSummaryRenamed, s.renamed);
    line(msg::kSummarySkipped, s.skipped);
    line(msg::kSummaryErrors, s.errors);
    line(msg::kSummaryCutShort, s.cutShort);
    line(msg::kSummaryPartial, s.partial);
    line(msg::kSummaryUnreadable, s.withUnreadableSectors);
    line(msg::kSummaryIncomplete, s.incomplete);
    line(msg::kSummaryFoldersCreated, s.foldersCreated);
    text += msg::kSummaryStopped;
    text += ": ";
    text += s.stopped ? "yes" : "no";
    text += '\n';
    return text;
}

void BatchReport::Add(const BatchEvent& event)
{
    const ExtractResult& r = event.result;
    if (event.folder) {
        m_lines += msg::kLogFolderNotMade;
        m_lines += '\t';
        m_lines += event.relativePath;
        m_lines += '\n';
        return;
    }
    const bool output = r.outcome == ExtractOutcome::Written || r.outcome == ExtractOutcome::CutByStop ||
                        r.outcome == ExtractOutcome::CutBySkip;
    switch (r.outcome) {
    case ExtractOutcome::Written:
    case ExtractOutcome::EmptyFile:
    case ExtractOutcome::FilteredOut:
    case ExtractOutcome::ExcludedDeleted:
    case ExtractOutcome::DuplicateSkipped:
        if (r.unreadableSectors == 0 && !r.incomplete) {
            return;  // whole, or passed over as the settings ask
        }
        break;
    default:
        break;
    }
    m_lines += OutcomeText(r);
    m_lines += '\t';
    m_lines += event.relativePath;
    if (output && r.unreadableSectors != 0) {
        m_lines += "\t(";
        m_lines += std::to_string(r.unreadableSectors);
        m_lines += msg::kLogUnreadableSectors;
    }
    if (output && r.incomplete) {
        m_lines += '\t';
        m_lines += msg::kLogIncomplete;
    }
    if (r.partial) {
        m_lines += '\t';
        m_lines += msg::kLogPartial;
        m_lines += r.name;
    }
    m_lines += '\n';
}

std::string BatchReport::Text(const std::filesystem::path& destination, const BatchSummary& summary) const
{
    std::string text(msg::kLogHeading);
    text += destination.string();
    text += "\n\n";
    text += m_lines;
    if (!m_lines.empty()) {
        text += '\n';
    }
    text += SummaryText(summary);
    return text;
}

}  // namespace recovery
