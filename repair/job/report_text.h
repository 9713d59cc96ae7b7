#pragma once
// The recovery report as the command line gives it: a short summary for people
// and a JSON document of a fixed shape for programs (see README).
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "repair/job/repair_job.h"

// Version of the JSON shape; raised only when a field changes meaning or goes.
inline constexpr int kReportFormatVersion = 1;

// A few lines: the outcome with the result's figures and the method, what was
// left out or mended, and what the office showed of the damaged file.
std::string ReportSummary(const RepairResult& result);

// The report as text. Names read from a damaged file need not be valid UTF-8:
// their bad bytes are replaced, never the reason for a failed report.
std::string DumpReport(const nlohmann::json& report);

// The whole report of one repair of `source`; `destination` empty when nothing
// was written.
nlohmann::json ReportJson(const RepairResult& result, const std::string& source, const std::string& destination);
