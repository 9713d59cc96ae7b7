#include "repair/job/source_comparison.h"

#include <filesystem>

#include "automation/powerpoint_automation.h"
#include "platform/file_ops.h"
#include "repair/job/job_state.h"
#include "repair/job/working_files.h"

std::string g_strResultReport;
bool g_bCompareWithSource = true;

namespace {

constexpr int kSaveAs = 1;

// 4180 as "4,180".
std::string Grouped(LONG value) {
    std::string digits = std::to_string(value < 0 ? 0 : value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::string Shows(const CPresentationMeasure& measure) {
    return Grouped(measure.slides) + (measure.slides == 1 ? " slide, " : " slides, ") + Grouped(measure.characters) +
           " characters";
}

// Opens `path`, counts, and closes the presentation; the office keeps running
// for the next one.
CPresentationMeasure Measure(const std::string& path, bool readOnly) {
    CPresentationMeasure measure;
    const std::string opened = readOnly ? g_pptAutomation.OpenPresentationReadOnly(path)
                                        : g_pptAutomation.OpenPresentation(path, FALSE, 0);
    if (opened.empty())
        return measure;
    measure.opened = SUCCEEDED(g_pptAutomation.GetSlideCount(measure.slides));
    if (measure.opened)
        g_pptAutomation.GetTextLength(measure.characters);
    g_pptAutomation.ClosePresentation();
    return measure;
}

// The source as the office reads it, saved under `working`; the source file
// itself is only read.
bool SaveSourceAs(const std::string& source, const std::string& working) {
    if (g_pptAutomation.OpenPresentationReadOnly(source).empty())
        return false;
    const bool saved = SUCCEEDED(g_pptAutomation.SavePresentation(working, kSaveAs)) && FileExists(working);
    g_pptAutomation.ClosePresentation();
    return saved;
}

void EndOffice() { g_pptAutomation.ClosePowerPoint(FALSE, {}, 0); }

// The office reads a private copy of the damaged file, never the file itself:
// another program could touch it (its access time, a lock file beside it).
class CSourceCopy {
public:
    explicit CSourceCopy(const std::string& source)
        : m_path(TempFilePath("__source" + std::filesystem::path(source).extension().string())) {
        m_copied = CopyFileW(source, m_path, FALSE);
    }
    ~CSourceCopy() { DeleteFileW(m_path); }
    CSourceCopy(const CSourceCopy&) = delete;
    CSourceCopy& operator=(const CSourceCopy&) = delete;

    // The copy, or an empty path (which opens nothing) when it could not be made.
    std::string Path() const { return m_copied ? m_path : std::string(); }

private:
    std::string m_path;
    bool m_copied = false;
};

}  // namespace

KeptResult ChooseResult(const CPresentationMeasure& source, const CPresentationMeasure& repaired) {
    if (!source.opened)
        return KeptResult::Repaired;
    const LONG slides = repaired.opened ? repaired.slides : 0;
    const LONG characters = repaired.opened ? repaired.characters : 0;
    // More slides but less text is still less than the user had.
    if (source.slides > slides || source.characters > characters)
        return KeptResult::Source;
    return KeptResult::Repaired;
}

std::string DescribeResult(KeptResult kept, const CPresentationMeasure& source, const CPresentationMeasure& repaired) {
    const std::string sourceShows = source.opened ? "opens with " + Shows(source) : "does not open";
    if (kept == KeptResult::Source)
        return "kept the damaged file as the office reads it, saved anew: " + Shows(source) +
               (repaired.opened ? "; the rebuilt file held " + Shows(repaired) : "; nothing could be rebuilt");
    return "kept the rebuilt file: " + Shows(repaired) + "; the damaged file " + sourceShows;
}

void KeepTheBetterResult(const std::string& source, const std::string& working) {
    g_strResultReport.clear();
    const CSourceCopy copy(source);
    const CPresentationMeasure repaired = Measure(working, false);
    const CPresentationMeasure original = RepairCancelled() ? CPresentationMeasure{} : Measure(copy.Path(), true);
    KeptResult kept = ChooseResult(original, repaired);
    // The working copy stands unless the source could be saved in its place.
    if (kept == KeptResult::Source && (RepairCancelled() || !SaveSourceAs(copy.Path(), working)))
        kept = KeptResult::Repaired;
    EndOffice();
    g_strResultReport = DescribeResult(kept, original, repaired);
}

bool SaveSourceIfItOpens(const std::string& source, const std::string& working) {
    g_strResultReport.clear();
    const CSourceCopy copy(source);
    const CPresentationMeasure original = Measure(copy.Path(), true);
    const bool saved =
        original.opened && original.slides > 0 && !RepairCancelled() && SaveSourceAs(copy.Path(), working);
    EndOffice();
    if (saved)
        g_strResultReport = DescribeResult(KeptResult::Source, original, {});
    return saved;
}
