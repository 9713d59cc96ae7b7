#include "repair/job/report_text.h"

#include <nlohmann/json.hpp>

#include "repair/job/source_comparison.h"

namespace {

std::string Counted(std::int64_t count, const char* one, const char* many) {
    return Grouped(count) + " " + (count == 1 ? one : many);
}

const char* MethodText(RepairMethod method) {
    switch (method) {
    case RepairMethod::ContainerRebuilt: return "package rebuilt";
    case RepairMethod::StreamRelinked: return "document stream relinked";
    case RepairMethod::CutAtUserEdit: return "document stream cut at a consistent save";
    case RepairMethod::RebuiltFromFragments: return "slides rebuilt from the text and pictures found";
    case RepairMethod::SourceResaved: return "the damaged file as the office reads it, saved anew";
    case RepairMethod::None: break;
    }
    return "nothing";
}

const char* OutcomeText(RepairOutcome outcome) {
    switch (outcome) {
    case RepairOutcome::Repaired: return "Repaired";
    case RepairOutcome::RepairedInPart: return "Repaired in part";
    case RepairOutcome::KeptSource: return "Kept the damaged file as the office reads it";
    case RepairOutcome::Failed: return "Not repaired";
    case RepairOutcome::Cancelled: return "Cancelled";
    }
    return "Not repaired";
}

std::string Contents(const RecoveryReport& report) {
    std::string text = Counted(report.slides, "slide", "slides");
    if (report.characters != kNotCounted)
        text += ", " + Counted(report.characters, "character", "characters");
    if (report.pictures > 0)
        text += ", " + Counted(report.pictures, "picture", "pictures");
    if (report.notes > 0)
        text += ", " + Counted(report.notes, "page of notes", "pages of notes");
    return text;
}

// Names read from a damaged file, made printable: bytes that are not UTF-8 text
// become U+FFFD, as the JSON report writes them.
std::string Printable(const std::string& name) {
    const std::string quoted = nlohmann::json(name).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return nlohmann::json::parse(quoted).get<std::string>();
}

void AddItems(std::string& text, const RecoveryReport& report, ItemState state, const char* heading) {
    std::string list;
    for (const ReportItem& item : report.items)
        if (item.state == state)
            list += "\n  " + Printable(item.name) + (item.how.empty() ? "" : " (" + item.how + ")");
    if (!list.empty())
        text += std::string("\n") + heading + ":" + list;
}

}  // namespace

std::string ReportSummary(const RepairResult& result) {
    const RecoveryReport& report = result.report;
    if (!result.Usable())
        return std::string(OutcomeText(report.outcome)) + ": " + report.reason;
    std::string text = std::string(OutcomeText(report.outcome)) + ": " + Contents(report) + " (" +
                       MethodText(report.method) + ")";
    if (report.checkedInOffice)
        text += "; opened in the office.";
    else if (!report.everythingKept)
        text += "; not opened in an office, which is not available.";
    else
        text += ".";
    if (report.everythingKept)
        text += "\nEvery part of the damaged file came back as it was.";
    AddItems(text, report, ItemState::LeftOut, "Left out");
    AddItems(text, report, ItemState::Mended, "Mended");
    AddItems(text, report, ItemState::Regenerated, "Made anew");
    if (report.source.opened)
        text += "\nThe damaged file opens in the office with " + Counted(report.source.slides, "slide", "slides") +
                ", " + Counted(report.source.characters, "character", "characters") + ".";
    return text;
}

std::string DumpReport(const nlohmann::json& report) {
    return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json ReportJson(const RepairResult& result, const std::string& source, const std::string& destination) {
    const RecoveryReport& report = result.report;
    nlohmann::json items = nlohmann::json::array();
    for (const ReportItem& item : report.items)
        items.push_back({{"name", item.name}, {"state", ItemStateName(item.state)}, {"how", item.how}});
    nlohmann::json json = {
        {"format", kReportFormatVersion},
        {"source", source},
        {"destination", destination.empty() ? nlohmann::json() : nlohmann::json(destination)},
        {"outcome", OutcomeName(report.outcome)},
        {"reason", report.reason},
        {"method", MethodName(report.method)},
        {"result",
         {{"slides", report.slides},
          {"characters", report.characters == kNotCounted ? nlohmann::json() : nlohmann::json(report.characters)},
          {"pictures", report.pictures},
          {"notes", report.notes},
          {"checkedInOffice", report.checkedInOffice}}},
        {"damagedFile",
         {{"measured", report.source.opened},
          {"slides", report.source.slides},
          {"characters", report.source.characters},
          {"paragraphs", report.source.paragraphs}}},
        {"everythingKept", report.everythingKept},
        {"items", items},
        {"comparison", result.comparison},
    };
    return json;
}
