#include "repair/job/repair_job.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/message_box.h"
#include "repair/io/mapped_file.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/job/job_state.h"
#include "repair/job/messages.h"
#include "repair/job/working_files.h"
#include "repair/pptx/package_driver.h"
#include "repair/pptx/package_probe.h"
#include "ui/settings/settings.h"

namespace {

constexpr std::size_t kTextSize = 1000;
constexpr std::uint64_t kSmallestSource = 512;     // this size or less holds no presentation
constexpr std::uint64_t kSmallestCompound = 2048;  // header, FAT, directory and a stream at least
constexpr std::uint8_t kCompoundSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint8_t kPackageSignature[4] = {'P', 'K', 3, 4};
constexpr std::size_t kSectorShiftOffset = 30;

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
    void RunPackage();
    void StopAnimation();
    void FinishRepair();
    void AbortRepair(const std::string& text);
    void CloseSource();

    JobTexts m_texts;
};

void DeleteStaleWorkingFiles() {
    for (const char* name : {kPackageResultName, kStaleWorkingName})
        DeleteFileW(TempFilePath(name));
    for (const char* ext : {"ppt", "pps"})
        DeleteFileW(TempFilePath(std::string(kWorkingPrefix) + ext));
}

SourceKind KindOf(const std::uint8_t* block0) {
    if (std::memcmp(block0, kCompoundSignature, sizeof kCompoundSignature) == 0)
        return SourceKind::Compound;
    if (std::memcmp(block0, kPackageSignature, sizeof kPackageSignature) == 0)
        return SourceKind::Package;
    return SourceKind::Unknown;
}

void CRepairJob::Run() {
    DeleteStaleWorkingFiles();
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
        RunBinary(block0[kSectorShiftOffset]);
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
    try {
        // The binary chain goes here: the encryption check and picture count, the
        // document image, both document scans and the trim, then the compound-file
        // writer or the rebuild from fragments. Until those exist, a compound file
        // cannot be repaired.
        g_strWorkingPath = TempFilePath(std::string(kWorkingPrefix) + g_strSourceExt);
        CloseSource();
        AbortRepair(m_texts.cannotRepair);
    } catch (const std::bad_alloc&) {
        CloseSource();
        AbortRepair(m_texts.noMemory);
    }
}

void CRepairJob::RunPackage() {
    g_strWorkingPath.clear();
    ResetPackageScanState();
    g_mappedSource.Map(nullptr);
    bool repaired = false;
    try {
        repaired = CopyPackageToTemp(g_mappedSource.Path()) && RepairPackage();
    } catch (const std::bad_alloc&) {
        g_mappedSource.Unmap();
        CloseSource();
        AbortRepair(m_texts.noMemory);
        return;
    }
    g_mappedSource.Unmap();
    if (repaired)
        FinishRepair();
    else
        AbortRepair(m_texts.cannotRepair);
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

UINT RepairThreadProc(void* page) {
    CRepairJob job(static_cast<CWnd*>(page));
    try {
        job.Run();
    } catch (const std::bad_alloc&) {
        // Out of memory before any chain took over: nothing more can be shown safely.
    }
    return 0;
}
