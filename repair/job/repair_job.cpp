#include "repair/job/repair_job.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <string>
#include <string_view>
#include <vector>

#include "automation/powerpoint_automation.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "repair/io/mapped_file.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/job/repair_state.h"
#include "repair/job/source_comparison.h"
#include "repair/io/working_files.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/compound_probe.h"
#include "repair/ppt/document_edit_table.h"
#include "repair/ppt/document_image.h"
#include "repair/ppt/document_trim.h"
#include "repair/ppt/fragment_rebuild.h"
#include "repair/ppt/presentation_writer.h"
#include "repair/ppt/record_scanner.h"
#include "repair/ppt/compound_format.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/relink_source.h"
#include "repair/ppt/stream_locator.h"
#include "repair/pptx/package_mend.h"
#include "repair/pptx/package_probe.h"
#include "repair/pptx/zip_format.h"
#include "ui/settings/settings.h"

namespace {

constexpr std::size_t kTextSize = 1000;
constexpr std::uint64_t kSmallestSource = 512;     // this size or less holds no presentation
constexpr std::uint64_t kSmallestCompound = 2048;  // header, FAT, directory and a stream at least
constexpr std::uint32_t kScanBlock = 512;          // block size of the source scans
constexpr int kRebuildAttempts = 2;                // an office that died under the rebuild gets a second try

// The texts the job may give as its reason, read once when it starts.
struct JobTexts {
    std::string cancelled, cannotOpen, cannotRepair, tooSmall, noMemory, notPresentation, readError, protectedFile;
    void Load() {
        cancelled = LoadLangString("IDS_WORD8", kTextSize);
        cannotOpen = LoadLangString("IDS_WORD9", kTextSize);
        cannotRepair = LoadLangString("IDS_WORD13", kTextSize);
        tooSmall = LoadLangString("IDS_WORD14", kTextSize);
        noMemory = LoadLangString("IDS_WORD15", kTextSize);
        notPresentation = LoadLangString("IDS_NOT_PRESENTATION", kTextSize);
        readError = LoadLangString("IDS_READ_ERROR", kTextSize);
        protectedFile = LoadLangString("IDS_PASSWORD_PROTECTED", kTextSize);
    }
};

enum class SourceKind { Compound, Package, Unknown };

SourceKind KindOf(const std::uint8_t* block0) {
    if (std::memcmp(block0, cfb::kSignature, sizeof cfb::kSignature) == 0)
        return SourceKind::Compound;
    if (std::memcmp(block0, zip::kLocalHeaderSig, sizeof zip::kLocalHeaderSig) == 0)
        return SourceKind::Package;
    return SourceKind::Unknown;
}

// Working files of an earlier repair in the same folder: the rebuilds write
// only into names that do not exist yet.
void DeleteStaleWorkingFiles(const std::string& folder) {
    for (const char* name : {kPackageCopyName, kPackageResultName, kStaleWorkingName})
        DeleteFileW(folder + name);
    for (const char* ext : {"ppt", "pps", "PPT", "PPS"})
        DeleteFileW(folder + kWorkingPrefix + ext);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void CloseSource(CRawFile& source) {
    if (source.IsOpen())
        source.Close();
}

// Nothing of a presentation was found in the bytes: no document, no master, no
// slide, and no document stream of this format or an older one is named.
bool NoPresentationFound(RepairState& state, const CancelToken& cancel) {
    const DocumentScanState& scan = state.scan;
    CRawFile& source = state.srcFile;
    return scan.nDocumentCount == 0 && scan.nMasterCount == 0 && scan.nSlideContainers == 0 &&
           !(source.IsOpen() && (NamesStream(source, ppt::kDocumentStreamName, cancel) ||
                                 NamesStream(source, ppt::kOldDocumentStreamName, cancel)));
}

ShownFigures Figures(const CPresentationMeasure& measure) {
    return {measure.opened, measure.slides, measure.characters, static_cast<std::int64_t>(measure.paragraphs.size())};
}

enum class PartKind { Slide, Notes, Media };

// Parts of the result of one kind, by their place in the package.
std::int64_t CountParts(const std::vector<ReportItem>& items, PartKind kind) {
    static constexpr std::string_view kFolders[] = {"ppt/slides/", "ppt/notesSlides/", "ppt/media/"};
    const std::string_view folder = kFolders[static_cast<int>(kind)];
    std::int64_t count = 0;
    for (const ReportItem& item : items) {
        const std::string_view name = item.name;
        const bool part = name.starts_with(folder) && name.find('/', folder.size()) == std::string_view::npos;
        const bool xml = kind == PartKind::Media || name.ends_with(".xml");
        count += item.state != ItemState::LeftOut && part && xml;
    }
    return count;
}

// Every way out of a step: the job goes on only while `Going`.
class CRepairJob {
public:
    CRepairJob(const RepairRequest& request, const RepairContext& context, RepairState& state, std::string folder)
        : m_request(request), m_state(state), m_cancel(context.cancel), m_report{context.progress, context.phase},
          m_folder(std::move(folder)) {}
    RepairResult Run();

private:
    void Start();
    void RunBinary(std::uint8_t sectorShift);
    bool RunBinaryChain();
    bool BuildWorkingCopy();
    bool RebuildThroughOffice(const std::string& working);
    void RunPackage();
    void HandOverUnchecked(const std::string& result);
    void Finish(const std::string& working, bool produced);
    void Grade(CCheckedResult& checked, const std::string& working);
    void Fail(const std::string& reason);
    bool Cancelled();
    void SendCheckpoint(double fraction);
    std::uint32_t UserEditOffset() const;
    bool Going() const { return !m_ended; }
    CarvedSource Carved() { return {m_state.pictureCarver, m_state.srcFile}; }

    const RepairRequest& m_request;
    RepairState& m_state;
    const CancelToken& m_cancel;
    const JobReporter m_report;
    const std::string m_folder;  // the job's temporary folder, with its trailing slash
    RepairResult m_result;
    bool m_ended = false;
    bool m_somethingLeftOut = false;  // the result lacks or mends something the damaged file had
    bool m_noPresentation = false;    // the damaged file holds nothing of a presentation
    JobTexts m_texts;
    // The binary chain's work: the locator and the document image, then the cut
    // that goes to the compound-file writer.
    CStreamLocator m_locator;
    CDocumentImage m_image;
    CDocumentCut m_cut;
    // The relinked document stream, tried before the cut.
    RelinkResult m_relinked;
};

RepairResult CRepairJob::Run() {
    m_texts.Load();
    try {
        Start();
    } catch (const std::bad_alloc&) {
        m_cut = {};
        m_image = {};
        Fail(m_texts.noMemory);
    }
    m_state.mappedSource.Unmap();
    CloseSource(m_state.srcFile);
    m_state.pictureCarver.Reset();
    if (!m_result.Usable())
        m_result.resultPath.clear();
    m_report.Progress(100, 100);
    return std::move(m_result);
}

void CRepairJob::Start() {
    DeleteStaleWorkingFiles(m_folder);
    m_report.Phase(RepairPhase::Reading);
    CRawFile& source = m_state.srcFile;
    const std::string& path = m_state.mappedSource.Path();
    if (!source.Open(path) || IsFolder(path))
        return Fail(m_texts.cannotOpen);
    if (source.m_nFileSize <= kSmallestSource)
        return Fail(m_texts.tooSmall);
    // Block 0, with a spare block of zeros behind it.
    std::vector<std::uint8_t> block0(2 * std::size_t{source.m_nBlockSize}, 0);
    if (!source.ReadBlocks(block0.data(), source.m_nBlockSize, 0, TRUE))
        return Fail(m_texts.cannotRepair);
    // The kind is decided by the first bytes, never by the extension.
    switch (KindOf(block0.data())) {
    case SourceKind::Compound:
        return RunBinary(block0[cfb::kSectorShiftOffset]);
    case SourceKind::Package:
        return RunPackage();
    case SourceKind::Unknown:
        // A package behind a few bytes that are not its own is still a package.
        if (IsShiftedPackage(path))
            return RunPackage();
        // A compound file whose header is lost still holds its document stream.
        if (HoldsDocumentStream(source, m_cancel))
            return RunBinary(block0[cfb::kSectorShiftOffset]);
        return Fail(m_texts.notPresentation);
    }
}

void CRepairJob::RunBinary(std::uint8_t sectorShift) {
    if (m_state.srcFile.m_nFileSize < kSmallestCompound)
        return Fail(m_texts.tooSmall);
    const bool knownShift = sectorShift == cfb::kSmallSectorShift || sectorShift == cfb::kLargeSectorShift;
    m_state.nSectorSize = static_cast<std::int16_t>(knownShift ? 1u << sectorShift : cfb::kSmallSectorSize);
    m_state.strWorkingPath = m_folder + kWorkingPrefix + m_state.strSourceExt;
    DeleteFileW(m_state.strWorkingPath);
    const bool built = RunBinaryChain();
    if (!Going())
        return;
    m_cut = {};
    SendCheckpoint(0.95);
    m_noPresentation = NoPresentationFound(m_state, m_cancel);
    m_result.report.pictures = m_state.pictureCarver.m_nCount;
    CloseSource(m_state.srcFile);
    m_state.pictureCarver.Reset();
    // A working copy built from nothing is no repair.
    Finish(m_state.strWorkingPath, built && !m_noPresentation);
}

// The scans, the cut and the working copy. False when no working copy was made.
bool CRepairJob::RunBinaryChain() {
    CRawFile& source = m_state.srcFile;
    DocumentScanState& scan = m_state.scan;
    const std::uint64_t size = source.m_nFileSize;
    const SourceScanJob sourceScan{source, m_state.pictureCarver, m_cancel};
    m_report.Phase(RepairPhase::FindingRecords);
    // The encryption check also refuses a CryptSession10Container, whatever
    // the "Current User" stream says.
    if (NamesStream(source, ppt::kEncryptedPackageName, m_cancel) ||
        !ScanSourceFile(sourceScan, size, kScanBlock, kScanEncryption)) {
        Fail(source.ReadError() == 0 ? m_texts.protectedFile : m_texts.cannotRepair);
        return false;
    }
    if (!ScanSourceFile(sourceScan, size, kScanBlock, kScanPictures) ||
        !BuildDocumentImage(source, static_cast<std::uint16_t>(m_state.nSectorSize), m_locator, m_image, m_cancel)) {
        Fail(m_texts.cannotRepair);
        return false;
    }
    SendCheckpoint(0.1);
    if (Cancelled())
        return false;
    ScanDocumentRecords(scan, source.m_nBlockSize, m_image.bytes.data(), m_image.length);
    SendCheckpoint(0.2);
    m_report.Phase(RepairPhase::RebuildingDocument);
    m_relinked = RelinkSourceDocument(m_state.mappedSource.Path(), m_image, Carved(), m_cancel);
    m_cut = TrimDocumentStream(scan, std::move(m_image.bytes), m_image.length, m_image.scanUnit);
    SendCheckpoint(0.33);
    // Scanned again, so that the user edit's offset is the one inside the cut.
    scan.posDocument = kNoDocument;
    ScanDocumentRecords(scan, source.m_nBlockSize, m_cut.stream.data(), m_cut.length);
    if (Cancelled())
        return false;
    const bool built = BuildWorkingCopy();
    return !Cancelled() && built;
}

// The working copy: the relinked document stream written as a new compound
// file when the office opens it; else the cut at a user edit, written and opened
// the same way; otherwise a presentation built anew through the office session
// from what the damaged bytes hold.
bool CRepairJob::BuildWorkingCopy() {
    m_report.Phase(RepairPhase::CheckingResult);
    const std::string& working = m_state.strWorkingPath;
    if (m_relinked.Usable() &&
        WritePresentationFile(Carved(), m_cancel, m_image.scanUnit, m_relinked.stream.data(), working,
                              static_cast<std::uint32_t>(m_relinked.stream.size()),
                              m_relinked.userEditOffset, m_relinked.pictures)) {
        RecoveryReport& report = m_result.report;
        report.method = RepairMethod::StreamRelinked;
        report.items = m_relinked.items;
        report.everythingKept = m_relinked.everythingKept;
        report.notes = std::count_if(m_relinked.kept.begin(), m_relinked.kept.end(),
                                     [](const RelinkedObject& object) { return object.kind == PersistKind::Notes; });
        m_somethingLeftOut = !m_relinked.everythingKept || m_relinked.fromOlderVersions;
        return true;
    }
    if (Cancelled())
        return false;
    const bool writable = m_state.scan.posUserEdit != 0 && m_cut.length <= UINT32_MAX;
    if (writable && WritePresentationFile(Carved(), m_cancel, m_image.scanUnit, m_cut.stream.data(), working,
                                          static_cast<std::uint32_t>(m_cut.length), UserEditOffset())) {
        m_result.report.method = RepairMethod::CutAtUserEdit;
        return true;
    }
    if (Cancelled())
        return false;
    m_report.Phase(RepairPhase::BuildingSlides);
    SendCheckpoint(0.66);
    m_cut = {};
    m_result.report.method = RepairMethod::RebuiltFromFragments;
    // A rebuild keeps texts and pictures, not the layouts, formatting and objects.
    m_somethingLeftOut = true;
    // The rebuild takes the pictures it places and counts the containers it
    // reads: a second try starts from what the first one found.
    const CPictureCarver pictures = m_state.pictureCarver;
    const DocumentScanState scan = m_state.scan;
    for (int attempt = 1;; ++attempt) {
        if (RebuildThroughOffice(working))
            return true;
        if (Cancelled() || attempt == kRebuildAttempts)
            return false;
        m_state.pictureCarver = pictures;
        m_state.scan = scan;
    }
}

// A presentation built anew through the office session at `working`.
bool CRepairJob::RebuildThroughOffice(const std::string& working) {
    // The rebuild saves into a file that must not hold an earlier attempt.
    DeleteFileW(working);
    if (FAILED(g_pptAutomation.NewPresentation(FALSE, 0)) || FAILED(g_pptAutomation.SavePresentation(working, 1))) {
        g_pptAutomation.ClosePowerPoint(FALSE, {}, 0);
        DeleteFileW(working);
        return false;
    }
    const std::string& path = m_state.mappedSource.Path();
    const FragmentSource fragments{m_state.srcFile, path, m_state.pictureCarver, m_state.scan, m_cancel};
    if (!RebuildFromFragments(fragments, m_image.scanUnit, working, PlanSourceSlides(path, m_state.srcFile))) {
        DeleteFileW(working);
        return false;
    }
    return true;
}

// The stream lengths are 32-bit, so the user edit's offset in the stream is too.
std::uint32_t CRepairJob::UserEditOffset() const {
    return static_cast<std::uint32_t>(m_state.scan.posUserEdit);
}

void CRepairJob::RunPackage() {
    m_state.strWorkingPath.clear();
    m_report.Phase(RepairPhase::FindingRecords);
    m_state.mappedSource.Map(nullptr);
    const std::string copy = m_folder + kPackageCopyName;
    const std::string result = m_folder + kPackageResultName;
    const PackageJob job{m_state.packageScan, m_cancel, m_report};
    PackageRepairResult package;
    if (CopyFileW(m_state.mappedSource.Path(), copy, FALSE)) {
        package = RepairPackageFile(job, copy, result);
        if (!package.repaired)
            m_report.Progress(100, 100);
    }
    // The byte copy of the user's package is of no use once the rebuild has run.
    DeleteFileW(copy);
    m_state.mappedSource.Unmap();
    CloseSource(m_state.srcFile);
    if (Cancelled())
        return;
    if (package.failure == PackageFailure::NotAPresentation) {
        DeleteFileW(result);
        return Fail(m_texts.notPresentation);
    }
    RecoveryReport& report = m_result.report;
    report.method = RepairMethod::ContainerRebuilt;
    report.items = std::move(package.items);
    report.everythingKept = package.repaired && package.everythingKept;
    report.pictures = CountParts(report.items, PartKind::Media);
    report.notes = CountParts(report.items, PartKind::Notes);
    m_somethingLeftOut = !report.everythingKept;
    // Every part came back byte for byte with its CRC checked: the office can
    // show no more of the damaged file than this, and nothing needs checking.
    if (report.everythingKept && CountParts(report.items, PartKind::Slide) > 0)
        return HandOverUnchecked(result);
    Finish(result, package.repaired);
}

// The package as it is, its figures counted from its parts.
void CRepairJob::HandOverUnchecked(const std::string& result) {
    RecoveryReport& report = m_result.report;
    report.outcome = RepairOutcome::Repaired;
    report.checkedInOffice = false;
    report.slides = CountParts(report.items, PartKind::Slide);
    report.characters = kNotCounted;
    m_result.resultPath = result;
    if (m_request.compareWithSource)
        m_result.comparison = "kept the rebuilt file: every part of the damaged file came back as it was";
    // Only a caller that keeps an office at hand asks for pictures (the wizard).
    report.slidePictures = SlidePicturesOf(result, m_request.slidePictures, m_cancel);
}

// The office opens what was produced (and, when asked, the damaged file); the
// result is graded by what it shows. When the repair produced nothing that shows
// a slide, the damaged file saved anew by the office is the result when the
// comparison is on and the office shows slides of it.
void CRepairJob::Finish(const std::string& working, bool produced) {
    if (Cancelled())
        return;
    if (!produced)
        DeleteFileW(working);
    // A result that kept every live object of the damaged file needs no
    // comparison: the office cannot show more of the damaged file than that.
    const bool compare = m_request.compareWithSource && !(produced && m_result.report.everythingKept);
    m_report.Phase(compare ? RepairPhase::Comparing : RepairPhase::CheckingResult);
    CCheckedResult checked = CheckInTheOffice(m_request.source, working, compare, m_cancel, m_request.slidePictures);
    m_result.comparison = checked.line;
    if (Cancelled())
        return;
    Grade(checked, working);
}

void CRepairJob::Grade(CCheckedResult& checked, const std::string& working) {
    RecoveryReport& report = m_result.report;
    report.source = Figures(checked.source);
    const CPresentationMeasure& shown = checked.kept == KeptResult::Source ? checked.source : checked.repaired;
    if (!shown.opened || shown.slides <= 0) {
        if (!checked.officeAvailable && FileExists(working) && report.method == RepairMethod::ContainerRebuilt) {
            // Nothing could check the package; it is handed over as rebuilt, and said so.
            report.outcome = RepairOutcome::RepairedInPart;
            report.checkedInOffice = false;
            m_result.resultPath = working;
            return;
        }
        DeleteFileW(working);
        return Fail(m_noPresentation ? m_texts.notPresentation : m_texts.cannotRepair);
    }
    report.checkedInOffice = true;
    report.slidePictures = std::move(checked.pictures);
    report.slides = shown.slides;
    report.characters = shown.characters;
    if (checked.kept == KeptResult::Source) {
        report.outcome = RepairOutcome::KeptSource;
        report.method = RepairMethod::SourceResaved;
    } else {
        report.outcome = m_somethingLeftOut ? RepairOutcome::RepairedInPart : RepairOutcome::Repaired;
    }
    m_result.resultPath = working;
}

void CRepairJob::Fail(const std::string& reason) {
    if (m_ended)
        return;
    m_ended = true;
    // Whatever the office session holds is let go, so that no office process
    // outlives the repair.
    g_pptAutomation.ClosePowerPoint(FALSE, {}, 0);
    RecoveryReport& report = m_result.report;
    if (m_cancel.Cancelled()) {
        report.outcome = RepairOutcome::Cancelled;
        report.reason = m_texts.cancelled;
        return;
    }
    report.outcome = RepairOutcome::Failed;
    const int readError = m_state.srcFile.ReadError();
    report.reason = readError != 0 ? m_texts.readError + " (" + FormatMessageW(readError) + ")" : reason;
}

// A cancel ends the job at once, with the cancel text, whichever step it interrupted.
bool CRepairJob::Cancelled() {
    if (!m_cancel.Cancelled())
        return false;
    Fail(m_texts.cancelled);
    return true;
}

// Progress at a checkpoint: the fraction `fraction` of the source size.
void CRepairJob::SendCheckpoint(double fraction) {
    const std::uint64_t total = m_state.srcFile.m_nFileSize;
    m_report.Progress(static_cast<std::uint64_t>(static_cast<double>(total) * fraction), total);
}

// Where the job's own working files go: its folder, read from the context
// rather than from the temporary folder another job may have set meanwhile.
std::string JobFolder(const RepairContext& context) {
    const std::string& folder = context.tempFolder;
    if (folder.empty())
        return GetTempPathW();
    return folder.back() == '/' ? folder : folder + '/';
}

// The file under repair and its extension, which names the working copy.
void SetSource(RepairState& state, const std::string& source) {
    const std::size_t slash = source.find_last_of('/');
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    state.strSourceExt = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
    state.mappedSource.SetPath(source);
}

// The job's folder is the temporary folder while it runs; the one before comes
// back after it, since the job's folder goes with the job.
class CTempFolderInPlace {
public:
    explicit CTempFolderInPlace(const std::string& folder)
        : m_set(!folder.empty()), m_before(m_set ? SetTempFolder(folder) : std::string()) {}
    ~CTempFolderInPlace() {
        if (m_set)
            SetTempFolder(m_before);
    }
    CTempFolderInPlace(const CTempFolderInPlace&) = delete;
    CTempFolderInPlace& operator=(const CTempFolderInPlace&) = delete;

private:
    bool m_set;
    std::string m_before;
};

}  // namespace

RepairContext::RepairContext() = default;
RepairContext::~RepairContext() = default;

RepairResult RepairPresentation(const RepairRequest& request, RepairContext& context) {
    const CTempFolderInPlace temp(context.tempFolder);
    try {
        // Nothing of an earlier run of this context leaks into this one.
        context.state = std::make_unique<RepairState>();
        RepairState& state = *context.state;
        SetSource(state, request.source);
        CRepairJob job(request, context, state, JobFolder(context));
        RepairResult result = job.Run();
        g_pptAutomation.ClosePowerPoint(FALSE, {}, 0);
        return result;
    } catch (const std::bad_alloc&) {
        // Out of memory before a chain took over, or while the result was made.
        g_pptAutomation.ClosePowerPoint(FALSE, {}, 0);
        RepairResult failed;
        failed.report.outcome = RepairOutcome::Failed;
        failed.report.reason = LoadLangString("IDS_WORD15", kTextSize);
        return failed;
    }
}
