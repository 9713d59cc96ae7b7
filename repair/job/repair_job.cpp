#include "repair/job/repair_job.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "platform/file_ops.h"
#include "platform/message_box.h"
#include "repair/io/mapped_file.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/job/job_state.h"
#include "repair/job/messages.h"
#include "repair/job/source_comparison.h"
#include "repair/job/working_files.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/compound_probe.h"
#include "repair/ppt/document_edit_table.h"
#include "repair/ppt/document_image.h"
#include "repair/ppt/document_trim.h"
#include "repair/ppt/fragment_rebuild.h"
#include "repair/ppt/presentation_writer.h"
#include "repair/ppt/record_scanner.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/stream_locator.h"
#include "repair/pptx/package_driver.h"
#include "repair/pptx/package_probe.h"
#include "repair/pptx/zip_format.h"
#include "ui/settings/settings.h"

namespace {

constexpr std::size_t kTextSize = 1000;
constexpr std::uint64_t kSmallestSource = 512;     // this size or less holds no presentation
constexpr std::uint64_t kSmallestCompound = 2048;  // header, FAT, directory and a stream at least
constexpr std::uint32_t kScanBlock = 512;                   // block size of the source scans

// The texts the job may show, read once when it starts.
struct JobTexts {
    std::string cancelled, cannotOpen, cannotRepair, tooSmall, noMemory, caption;
    void Load() {
        cancelled = LoadLangString("IDS_WORD8", kTextSize);
        cannotOpen = LoadLangString("IDS_WORD9", kTextSize);
        cannotRepair = LoadLangString("IDS_WORD13", kTextSize);
        tooSmall = LoadLangString("IDS_WORD14", kTextSize);
        noMemory = LoadLangString("IDS_WORD15", kTextSize);
        caption = LoadLangString("IDS_INFORMATION", kTextSize);
    }
};

enum class SourceKind { Compound, Package, Unknown };

class CRepairJob {
public:
    explicit CRepairJob(CWnd* page) { g_pRepairPage = page; }
    void Run();

private:
    void RunBinary(std::uint8_t sectorShift);
    void BuildWorkingCopy();
    void EndBinary();
    void EndWithTheBetterResult(bool repaired, const std::string& working);
    void SendCheckpoint(double fraction);
    void RunPackage();
    void StopAnimation();
    void FinishRepair();
    void AbortRepair(const std::string& text);
    void CloseSource();

    JobTexts m_texts;
    // The binary chain's work: the locator and the document image, then the cut
    // that goes to the compound-file writer.
    CStreamLocator m_locator;
    CDocumentImage m_image;
    CDocumentCut m_cut;
};

void DeleteStaleWorkingFiles() {
    for (const char* name : {kPackageResultName, kStaleWorkingName})
        DeleteFileW(TempFilePath(name));
    for (const char* ext : {"ppt", "pps"})
        DeleteFileW(TempFilePath(std::string(kWorkingPrefix) + ext));
}

SourceKind KindOf(const std::uint8_t* block0) {
    if (std::memcmp(block0, ppt::kCompoundSignature, sizeof ppt::kCompoundSignature) == 0)
        return SourceKind::Compound;
    if (std::memcmp(block0, zip::kLocalHeaderSig, sizeof zip::kLocalHeaderSig) == 0)
        return SourceKind::Package;
    return SourceKind::Unknown;
}

void CRepairJob::Run() {
    DeleteStaleWorkingFiles();
    ResetScanState();
    m_texts.Load();

    if (!g_srcFile.Open(g_mappedSource.Path())) {
        AbortRepair(m_texts.cannotOpen);
        return;
    }
    if (g_srcFile.m_nFileSize <= kSmallestSource) {
        AbortRepair(m_texts.tooSmall);
        return;
    }
    // Block 0, with a spare block of zeros behind it.
    std::vector<std::uint8_t> block0(2 * std::size_t{g_srcFile.m_nBlockSize}, 0);
    if (!g_srcFile.ReadBlocks(block0.data(), g_srcFile.m_nBlockSize, 0, TRUE)) {
        CloseSource();
        AbortRepair(m_texts.cannotRepair);
        return;
    }
    // The kind is decided by the first bytes, never by the extension.
    switch (KindOf(block0.data())) {
    case SourceKind::Compound:
        RunBinary(block0[ppt::kSectorShiftOffset]);
        return;
    case SourceKind::Package:
        RunPackage();
        return;
    case SourceKind::Unknown:
        // A package behind a few bytes that are not its own is still a package.
        if (IsShiftedPackage(g_mappedSource.Path())) {
            RunPackage();
            return;
        }
        // A compound file whose header is lost still holds its document stream.
        if (HoldsDocumentStream(g_srcFile)) {
            RunBinary(block0[ppt::kSectorShiftOffset]);
            return;
        }
        CloseSource();
        AbortRepair(m_texts.cannotRepair);
        return;
    }
}

void CRepairJob::RunBinary(std::uint8_t sectorShift) {
    if (g_srcFile.m_nFileSize < kSmallestCompound) {
        AbortRepair(m_texts.tooSmall);
        return;
    }
    g_nSectorSize = static_cast<std::int16_t>(sectorShift == 9 || sectorShift == 12 ? 1 << sectorShift : 512);
    const std::uint64_t size = g_srcFile.m_nFileSize;
    try {
        // The encryption check also refuses a CryptSession10Container, whatever
        // the "Current User" stream says.
        if (!ScanSourceFile(size, kScanBlock, kScanEncryption) || !ScanSourceFile(size, kScanBlock, kScanPictures)) {
            CloseSource();
            AbortRepair(m_texts.cannotRepair);
            return;
        }
        g_strWorkingPath = TempFilePath(std::string(kWorkingPrefix) + g_strSourceExt);
        SendCheckpoint(0.1);
        if (!BuildDocumentImage(g_srcFile, static_cast<std::uint16_t>(g_nSectorSize), m_locator, m_image)) {
            CloseSource();
            AbortRepair(m_texts.cannotRepair);
            return;
        }
        if (RepairCancelled()) {
            AbortRepair(m_texts.cancelled);
            return;
        }
        ScanDocumentRecords(m_image.scanUnit, m_image.bytes.data(), m_image.length);
        SendCheckpoint(0.2);
        m_cut = TrimDocumentStream(std::move(m_image.bytes), m_image.length, m_image.scanUnit);
        SendCheckpoint(0.33);
        // Scanned again, so that the user edit's offset is the one inside the cut.
        g_posDocument = kNoDocument;
        ScanDocumentRecords(m_image.scanUnit, m_cut.stream.data(), m_cut.length);
        if (RepairCancelled()) {
            AbortRepair(m_texts.cancelled);
            return;
        }
        BuildWorkingCopy();
        EndBinary();
    } catch (const std::bad_alloc&) {
        CloseSource();
        AbortRepair(m_texts.noMemory);
    }
}

// The working copy: the cut written as a new compound file when a user edit
// was found and the office server opens the result; otherwise a presentation
// built anew through the office session from what the damaged bytes hold.
void CRepairJob::BuildWorkingCopy() {
    const bool writable = g_posUserEdit != 0 && m_cut.length <= UINT32_MAX;
    if (writable && WritePresentationFile(m_image.scanUnit, m_cut.stream.data(), g_strWorkingPath,
                                          static_cast<std::uint32_t>(m_cut.length)))
        return;
    if (RepairCancelled())
        return;
    SendCheckpoint(0.66);
    m_cut = {};
    g_pptAutomation.NewPresentation(FALSE, 0);
    g_pptAutomation.SavePresentation(g_strWorkingPath, 1);
    RebuildFromFragments(m_image.scanUnit, g_strWorkingPath);
}

void CRepairJob::EndBinary() {
    if (RepairCancelled()) {
        AbortRepair(m_texts.cancelled);
        return;
    }
    SendCheckpoint(0.95);
    m_cut = {};
    CloseSource();
    g_pictureCarver.Reset();
    // A working copy built from nothing is no repair, and neither is one that the
    // office session could not save.
    const bool nothingSalvaged =
        g_nDocumentCount == 0 && g_nMasterCount == 0 && g_nSlideContainers == 0 && g_nNotesContainers == 0;
    EndWithTheBetterResult(!nothingSalvaged && FileExists(g_strWorkingPath), g_strWorkingPath);
}

// The user never gets less than the damaged file shows in the office: a
// repaired working copy is compared with it, and a failed repair hands over
// the damaged file saved anew when the office still opens it.
void CRepairJob::EndWithTheBetterResult(bool repaired, const std::string& working) {
    const std::string& source = g_mappedSource.Path();
    if (repaired) {
        if (g_bCompareWithSource)
            KeepTheBetterResult(source, working);
    } else if (!g_bCompareWithSource || !SaveSourceIfItOpens(source, working)) {
        AbortRepair(m_texts.cannotRepair);
        return;
    }
    FinishRepair();
}

// Progress at a checkpoint: the fraction `fraction` of the source size.
void CRepairJob::SendCheckpoint(double fraction) {
    const std::uint64_t total = g_srcFile.m_nFileSize;
    SendProgress(static_cast<std::uint64_t>(static_cast<double>(total) * fraction), total);
}

void CRepairJob::RunPackage() {
    g_strWorkingPath.clear();
    ResetPackageScanState();
    g_mappedSource.Map(nullptr);
    bool repaired = false;
    PackageRepairResult package;
    try {
        if (CopyPackageToTemp(g_mappedSource.Path()))
            package = RepairPackageWithReport();
        repaired = package.repaired;
    } catch (const std::bad_alloc&) {
        g_mappedSource.Unmap();
        CloseSource();
        AbortRepair(m_texts.noMemory);
        return;
    }
    g_mappedSource.Unmap();
    CloseSource();
    if (RepairCancelled()) {
        AbortRepair(m_texts.cancelled);
        return;
    }
    if (package.failure == PackageFailure::NotAPresentation) {
        // Another kind of document: the office would open it, but not as a presentation.
        AbortRepair(m_texts.cannotRepair);
        return;
    }
    EndWithTheBetterResult(repaired, TempFilePath(kPackageResultName));
}

void CRepairJob::StopAnimation() {
    if (g_pRepairPage)
        SendMessageW(g_pRepairPage->GetDlgItem(kRepairAnimationId), ACM_STOP, 0, 0);
}

void CRepairJob::CloseSource() {
    if (g_srcFile.IsOpen())
        g_srcFile.Close();
}

void CRepairJob::FinishRepair() {
    CloseSource();
    if (RepairCancelled()) {
        AbortRepair(m_texts.cancelled);
        return;
    }
    StopAnimation();
    SendProgress(100, 100);
    SendMessageW(g_pRepairPage, WM_DESTROY, 0, 0);
}

void CRepairJob::AbortRepair(const std::string& text) {
    // Whatever the office session holds is let go, so that no office process
    // outlives the repair.
    g_pptAutomation.ClosePowerPoint(FALSE, {}, 0);
    // A cancel shows the cancel text, whichever step it interrupted.
    const std::string& shown = RepairCancelled() ? m_texts.cancelled : text;
    SendProgress(100, 100);
    StopAnimation();
    MessageBoxW(g_pRepairPage, shown, m_texts.caption, MB_ICONINFORMATION);
    CloseSource();
    CWnd* frame = g_pRepairPage ? g_pRepairPage->GetParent() : nullptr;
    SendMessageW(g_pRepairPage, WM_DESTROY, 0, 0);
    SendMessageW(frame, WM_COMMAND, kStepStartPage, 0);
}

}  // namespace

// Scan results of an earlier repair must not leak into this one: the positions,
// the document-edit table (whose stale entries would otherwise be chosen), the
// picture list and the recovered texts.
void ResetScanState() {
    ResetRepairCounts();
    g_strResultReport.clear();
    g_posDocument = kNoDocument;
    g_posUserEdit = 0;
    g_bSummaryFound = 0;
    g_posChosenDocument = 0;
    g_docEditTable.Clear();
    g_pictureCarver.Reset();
    g_recoveredProperties.Clear();
}

void ResetRepairCounts() {
    g_nDocumentCount = 0;
    g_nMasterCount = 0;
    ResetFragmentCounts();
    g_pictureCarver.m_nCount = 0;
}

UINT RepairThreadProc(void* page) {
    CRepairJob job(static_cast<CWnd*>(page));
    try {
        job.Run();
    } catch (const std::bad_alloc&) {
        // Out of memory before any chain took over: nothing more can be shown safely.
    }
    // Balances the office session's initialisation on this thread.
    CoUninitialize();
    return 0;
}
