#include "repair/job/source_comparison.h"

#include <algorithm>
#include <filesystem>

#include "automation/powerpoint_automation.h"
#include "platform/file_ops.h"
#include "platform/text_encoding.h"
#include "repair/io/job_control.h"
#include "repair/io/working_files.h"

namespace {

constexpr int kSaveAs = 1;
// One missing paragraph in 50 is put down to the office's own rewriting.
constexpr std::size_t kParagraphsPerAllowedMiss = 50;

std::string Shows(const CPresentationMeasure& measure) {
    return Grouped(measure.slides) + (measure.slides == 1 ? " slide, " : " slides, ") + Grouped(measure.characters) +
           " characters";
}

bool IsBreak(char c) { return c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t BreaksIn(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), IsBreak));
}

void AddParagraph(std::set<std::string>& into, std::string& paragraph) {
    if (!paragraph.empty() && paragraph.back() == ' ')
        paragraph.pop_back();
    if (!paragraph.empty())
        into.insert(paragraph);
    paragraph.clear();
}

// Pictures of the open presentation's first slides, as asked for; none when
// the job was cancelled or the export fails before the first one.
std::vector<std::string> SlidePictures(const SlidePictureRequest& request, const CancelToken& cancel) {
    std::vector<std::string> pictures;
    if (request.Wanted() && !cancel.Cancelled())
        g_pptAutomation.ExportSlidePictures(GetTempPathW(), request.slides, request.width, request.budget, pictures);
    return pictures;
}

// Opens `path`, counts, makes the pictures asked for, and closes the
// presentation; the office keeps running for the next one.
CPresentationMeasure Measure(const std::string& path, bool readOnly, const CancelToken& cancel,
                             const SlidePictureRequest& request = {}, std::vector<std::string>* pictures = nullptr) {
    CPresentationMeasure measure;
    const std::string opened = readOnly ? g_pptAutomation.OpenPresentationReadOnly(path)
                                        : g_pptAutomation.OpenPresentation(path, FALSE, 0);
    if (opened.empty())
        return measure;
    measure.opened = SUCCEEDED(g_pptAutomation.GetSlideCount(measure.slides));
    std::vector<std::string> texts;
    if (measure.opened && SUCCEEDED(g_pptAutomation.GetTexts(texts))) {
        // Characters of text, as a reader counts them: paragraph and line
        // breaks are not text.
        for (const std::string& text : texts)
            measure.characters += static_cast<LONG>(Utf8Length(text) - BreaksIn(text));
        measure.paragraphs = DistinctParagraphs(texts);
    }
    // Last, once the counts are taken: a failing export cannot change them.
    if (measure.opened && pictures)
        *pictures = SlidePictures(request, cancel);
    g_pptAutomation.ClosePresentation();
    return measure;
}

// The source as the office reads it, saved under `working`, with the pictures
// asked for of what was saved; the source file itself is only read.
bool SaveSourceAs(const std::string& source, const std::string& working, const SlidePictureRequest& request,
                  const CancelToken& cancel, std::vector<std::string>& pictures) {
    if (g_pptAutomation.OpenPresentationReadOnly(source).empty())
        return false;
    const bool saved = SUCCEEDED(g_pptAutomation.SavePresentation(working, kSaveAs)) && FileExists(working);
    if (saved)
        pictures = SlidePictures(request, cancel);
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

bool ShowsSlides(const CPresentationMeasure& measure) { return measure.opened && measure.slides > 0; }

}  // namespace

std::string Grouped(std::int64_t value) {
    std::string digits = std::to_string(value < 0 ? 0 : value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::set<std::string> DistinctParagraphs(const std::vector<std::string>& texts) {
    std::set<std::string> paragraphs;
    std::string paragraph;
    for (const std::string& text : texts) {
        for (char c : text) {
            if (IsBreak(c)) {
                AddParagraph(paragraphs, paragraph);
            } else if (IsBlank(c)) {
                if (!paragraph.empty() && paragraph.back() != ' ')
                    paragraph += ' ';
            } else {
                paragraph += c;
            }
        }
        AddParagraph(paragraphs, paragraph);
    }
    return paragraphs;
}

bool ShowsParagraphsOf(const CPresentationMeasure& shower, const CPresentationMeasure& shown) {
    std::size_t missing = 0;
    for (const std::string& paragraph : shown.paragraphs)
        missing += shower.paragraphs.count(paragraph) == 0;
    return missing * kParagraphsPerAllowedMiss <= shown.paragraphs.size();
}

KeptResult ChooseResult(const CPresentationMeasure& source, const CPresentationMeasure& repaired) {
    if (!ShowsSlides(source))
        return KeptResult::Repaired;
    if (!ShowsSlides(repaired))
        return KeptResult::Source;
    if (!ShowsParagraphsOf(repaired, source) || repaired.slides < source.slides)
        return KeptResult::Source;
    // The same paragraphs over more slides: older versions of slides repeated.
    if (repaired.slides > source.slides && ShowsParagraphsOf(source, repaired))
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

CCheckedResult CheckInTheOffice(const std::string& source, const std::string& working, bool compare,
                                const CancelToken& cancel, const SlidePictureRequest& pictures) {
    CCheckedResult checked;
    bool asked = false;
    if (FileExists(working)) {
        checked.repaired = Measure(working, false, cancel, pictures, &checked.pictures);
        asked = true;
    }
    const CSourceCopy copy(compare ? source : std::string());
    if (compare && !cancel.Cancelled()) {
        checked.source = Measure(copy.Path(), true, cancel);
        asked = true;
    }
    checked.officeAvailable = !asked || g_pptAutomation.m_pApplication != nullptr;
    checked.kept = compare ? ChooseResult(checked.source, checked.repaired) : KeptResult::Repaired;
    // The working copy stands unless the source could be saved in its place.
    std::vector<std::string> sourcePictures;
    if (checked.kept == KeptResult::Source &&
        (cancel.Cancelled() || !SaveSourceAs(copy.Path(), working, pictures, cancel, sourcePictures)))
        checked.kept = KeptResult::Repaired;
    if (checked.kept == KeptResult::Source)
        checked.pictures = std::move(sourcePictures);
    EndOffice();
    if (compare)
        checked.line = DescribeResult(checked.kept, checked.source, checked.repaired);
    return checked;
}

std::vector<std::string> SlidePicturesOf(const std::string& path, const SlidePictureRequest& request,
                                         const CancelToken& cancel) {
    std::vector<std::string> pictures;
    if (!request.Wanted() || cancel.Cancelled())
        return pictures;
    // Nothing is counted: the result's figures come from its parts.
    if (!g_pptAutomation.OpenPresentationReadOnly(path).empty()) {
        pictures = SlidePictures(request, cancel);
        g_pptAutomation.ClosePresentation();
    }
    EndOffice();
    return pictures;
}
