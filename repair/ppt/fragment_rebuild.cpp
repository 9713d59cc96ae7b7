#include "repair/ppt/fragment_rebuild.h"

#include <algorithm>
#include <bit>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "automation/powerpoint_automation.h"
#include "platform/text_encoding.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/record_header.h"
#include "repair/ppt/record_scanner.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/slide_builder.h"
#include "repair/ppt/source_bytes.h"

namespace {

using namespace ppt;

constexpr std::uint64_t kGroupUnits = 129;
constexpr int kSaveAs = 1;

// The text of a text atom's body: UTF-16 for TextCharsAtom, the ANSI code page for TextBytesAtom.
std::string AtomText(const std::uint8_t* body, std::size_t count, bool wide) {
    return wide ? Utf16LeToUtf8(body, count) : AnsiToUtf8(body, count);
}

// Where texts and pictures go on a slide (points).
constexpr float kTextLeft = 95.0f;
constexpr float kFirstTop = 95.0f;
constexpr float kTopStep = 10.0f;
constexpr float kTitleWidth = 150.0f, kTitleHeight = 200.0f;
constexpr float kBoxWidth = 250.0f, kBoxHeight = 300.0f;
constexpr float kNamedPictureLeft = 200.0f, kNamedPictureTop = 200.0f;
constexpr float kNamedPictureWidth = 70.0f, kNamedPictureHeight = 70.0f;

// Read past the walked bytes, so that a header, a text or a picture name that
// starts inside them is read whole where the file holds it.
constexpr std::size_t kWalkSlack = kPictureNameTextOffset + kLongestPictureName + kRecordHeaderSize;
// A walk polls the run flag this often (bytes): containers whose recLen runs on
// to the end of the file are walked whole, each of them, so a file of many
// such headers takes long enough to be cancelled.
constexpr std::size_t kCancelPollBytes = 1u << 16;
// The bytes one rebuild walks in all: a floor and so many times the file. A
// damaged file walks a few times its size; one made of container headers whose
// recLens run to its end would walk its size squared. Containers met after the
// budget is spent are counted but not walked; the earlier walks went over them.
constexpr std::uint64_t kWalkBudgetFloor = 16u << 20;
constexpr std::uint64_t kWalkBudgetPerFileByte = 16;

// The bytes one rebuild may still walk; a walk outside a rebuild is unbounded.
class CWalkBudget {
public:
    explicit CWalkBudget(std::uint64_t fileSize)
        : m_bytesLeft(kWalkBudgetFloor + std::min(fileSize, UINT64_MAX / 32) * kWalkBudgetPerFileByte) {}

    // Takes `bytes` from the budget; false when it does not hold them.
    bool Spend(std::uint64_t bytes) {
        if (bytes > m_bytesLeft)
            return false;
        m_bytesLeft -= bytes;
        return true;
    }

private:
    std::uint64_t m_bytesLeft;
};

std::uint32_t Signature(CByteView bytes, std::size_t at) {
    const std::optional<std::uint32_t> value = bytes.Le32(at);
    return value ? __builtin_bswap32(*value) : 0;
}

// The walk of records for texts and picture names. A container's walk opens a
// slide at each SlideAtom and SlidePersistAtom; a planned slide's walk opens
// its one slide first and goes over its records without opening more.
class CContainerWalk {
public:
    CContainerWalk(std::uint32_t layoutCode, bool oneSlide, const CancelToken& cancel)
        : m_layoutCode(layoutCode), m_oneSlide(oneSlide), m_cancel(cancel), m_builder(SlideBuilder()) {}

    // Walks the first `end` bytes of `bytes` (which go on past them, so that a
    // record that starts inside is read whole where it can be).
    void Walk(CByteView bytes, std::size_t end) {
        m_bytes = bytes;
        m_end = end;
        for (std::size_t i = 0; i < m_end; ++i) {
            if (i % kCancelPollBytes == 0 && m_cancel.Cancelled())
                break;
            switch (Signature(m_bytes, i)) {
            case kSlideAtom:
                if (!m_oneSlide) {
                    OpenSlide(Signature(m_bytes, i + kSlideAtomGeometryOffset));
                    m_textIndex = 0;
                }
                break;
            case kSlidePersistAtom:
                if (!m_oneSlide) {
                    OpenSlide(m_layoutCode);
                    m_textIndex = 0;
                }
                break;
            case kTextBytesAtom:
                PlaceText(i, false);
                break;
            case kTextCharsAtom:
                PlaceText(i, true);
                break;
            default:
                break;
            }
            TestPictureName(i);
        }
    }

    void OpenSlide(std::uint32_t code) {
        CloseSlide();
        const LONG layout = m_builder.MapSlideLayout(code);
        LONG count = 0;
        m_builder.GetSlideCount(count);
        m_builder.AddSlide(count + 1, layout);
        m_top = kFirstTop;
        m_slideOpen = true;
    }

    // Goes on with the slide that the presentation has open, as the first one.
    void TakeOpenSlide() {
        m_top = kFirstTop;
        m_slideOpen = true;
    }

    void CloseSlide() {
        if (!m_pictureOk && !m_textPlaced) {
            m_builder.DeleteEmptyShapes();
            m_builder.DeleteSlideIfEmpty();
        }
    }

private:
    // The text atom's byte count, cut at the container's end.
    std::size_t TextLength(std::size_t i) const {
        return std::min<std::size_t>(m_bytes.Le32(i + kRecLenOffset).value_or(0), m_end - i);
    }

    // `count` bytes of text after the atom header at i, cut at what was read.
    std::string ReadText(std::size_t i, std::size_t count, bool wide) const {
        const std::size_t start = std::min(i + kRecordHeaderSize, m_bytes.size());
        count = std::min(count, m_bytes.size() - start);
        const std::uint8_t* text = m_bytes.data() + start;
        return AtomText(text, count, wide);
    }

    void PlaceText(std::size_t i, bool wide) {
        if (!m_slideOpen)
            OpenSlide(0);
        const std::size_t count = TextLength(i);
        const std::string text = ReadText(i, count, wide);
        // Each later text moves down by ten points per binary digit of half its length.
        m_top += m_textIndex < 1 ? kTopStep : kTopStep * static_cast<float>(std::max(1, static_cast<int>(std::bit_width(count / 2))));
        HRESULT hr = m_builder.SetSlideTitle(text, kTextLeft, m_top, kTitleWidth, kTitleHeight);
        if (hr != S_OK)
            hr = m_builder.AddTextBox(text, kTextLeft, m_top, kBoxWidth, kBoxHeight);
        if (hr == S_OK) {
            m_builder.SetFont();
            ++m_textIndex;
        }
        m_textPlaced = true;
    }

    void TestPictureName(std::size_t i) {
        if (m_bytes.Le32(i + kPictureNameMarkerOffset) != kPictureNameMarker)
            return;
        const std::optional<std::uint32_t> length = m_bytes.Le32(i + kPictureNameLengthOffset);
        if (!length || *length > kLongestPictureName)
            return;
        const std::optional<CByteView> name = m_bytes.Sub(i + kPictureNameTextOffset, *length);
        std::string& pictureName = g_pptAutomation.m_strPictureName;
        if (name) {
            const std::string text = Utf16LeToUtf8(name->data(), name->size());
            if (Utf8Length(text) >= kShortestPictureName)
                pictureName = text;
        }
        if (!m_slideOpen)
            OpenSlide(0);
        if (!pictureName.empty() &&
            m_builder.AddPicture(pictureName, kNamedPictureLeft, kNamedPictureTop, kNamedPictureWidth,
                                 kNamedPictureHeight) != S_OK)
            m_pictureOk = false;
        pictureName.clear();
    }

    CByteView m_bytes;
    std::size_t m_end = 0;
    std::uint32_t m_layoutCode;
    bool m_oneSlide;
    const CancelToken& m_cancel;
    CSlideBuilder& m_builder;
    bool m_slideOpen = false;
    bool m_textPlaced = false;
    bool m_pictureOk = true;
    float m_top = kFirstTop;
    std::uint16_t m_textIndex = 0;
};

BOOL SaveAndClose(const std::string& path) {
    g_pptAutomation.ClosePowerPoint(TRUE, path, kSaveAs);
    return FALSE;
}

// The first slide of the new presentation, with the design and the document
// properties that the document scan recovered.
void StartPresentation(const DocumentScanState& scan) {
    const CRecoveredProperties& recovered = scan.recoveredProperties;
    g_pptAutomation.m_strDesignName = Utf16ToUtf8(recovered.m_strDesignName);
    for (std::size_t k = 0; k < recovered.m_pDocProperties.size(); ++k) {
        const std::string& ansi = recovered.m_pDocProperties[k];
        g_pptAutomation.m_pDocProperties[k] =
            AnsiToUtf8(reinterpret_cast<const std::uint8_t*>(ansi.data()), ansi.size());
    }
    CSlideBuilder& builder = SlideBuilder();
    builder.AddSlide(1, builder.MapSlideLayout(0));
    g_pptAutomation.ApplyDesign();
    if (scan.bSummaryFound == 1)
        g_pptAutomation.SetDocumentProperties();
}

// Counts the container whose header is at file offset `a`, if there is one:
// the slides themselves come from the plan.
void CountContainer(DocumentScanState& scan, CByteView group, std::size_t at, std::uint64_t a) {
    switch (Signature(group, at)) {
    case kDocumentContainer:
        ++scan.nDocumentCount;
        scan.posDocument = a;
        break;
    case kSlideListWithText:
    case kSlideContainer:
        ++scan.nSlideContainers;
        break;
    case kNotesContainer:
        // Notes belong to their slide: they never become slides of their own.
        ++scan.nNotesContainers;
        break;
    default:
        break;
    }
}

// The layout code of a planned slide: its SlideAtom's geometry, or a title
// slide for one that only the slide list gives.
std::uint32_t PlannedLayout(const PlannedSlide& slide) {
    const CByteView container(slide.container.data(), slide.container.size());
    if (Signature(container, kRecordHeaderSize) == kSlideAtom)
        return Signature(container, kRecordHeaderSize + kSlideAtomGeometryOffset);
    return slide.container.empty() ? 0 : kSlideLayoutCode;
}

// Walks `records` on the slide that `walk` has open; false when the walk
// budget does not hold them.
bool WalkPlannedRecords(CContainerWalk& walk, CWalkBudget& budget, const std::vector<std::uint8_t>& records) {
    if (records.empty())
        return true;
    if (!budget.Spend(records.size()))
        return false;
    std::vector<std::uint8_t> bytes(records.size() + kWalkSlack, 0);
    std::copy(records.begin(), records.end(), bytes.begin());
    walk.Walk(CByteView(bytes.data(), bytes.size()), records.size());
    return true;
}

// The carved pictures by BLIP id, and which of them went on a planned slide.
struct CarvedPictures {
    std::map<std::array<std::uint8_t, 16>, std::size_t> byId;
    std::vector<bool> placed;
};

CarvedPictures ListCarvedPictures(const FragmentSource& source) {
    CarvedPictures carved;
    const auto ids = source.pictures.Ids(source.file);
    for (std::size_t i = 0; i < ids.size(); ++i)
        carved.byId.emplace(ids[i], i);
    carved.placed.assign(ids.size(), false);
    return carved;
}

// Each carved picture that the slide's shapes show, once, on the slide.
void PlaceSlidePictures(const FragmentSource& source, const PlannedSlide& slide, CarvedPictures& carved) {
    std::set<std::size_t> onSlide;
    for (const auto& id : slide.pictures) {
        const auto picture = carved.byId.find(id);
        if (picture == carved.byId.end() || !onSlide.insert(picture->second).second)
            continue;
        if (source.pictures.PlaceOnCurrentSlide(picture->second, source.file))
            carved.placed[picture->second] = true;
    }
}

// The text of a notes container's body, one paragraph per text atom: those
// after a TextHeaderAtom of the notes type, and those before any header. The
// records are walked in order, into every container.
std::string NotesText(const std::vector<std::uint8_t>& notes) {
    const CByteView view(notes.data(), notes.size());
    std::string text;
    std::optional<std::uint32_t> textType;
    for (std::uint64_t at = 0; const auto h = WholeRecordAt(view, at);) {
        if (h->IsContainer()) {
            at += kRecordHeaderSize;
            continue;
        }
        const std::uint8_t* body = notes.data() + at + kRecordHeaderSize;
        if (h->type == kRtTextHeaderAtom)
            textType = view.Le32(at + kRecordHeaderSize);
        const bool isText = h->type == kRtTextCharsAtom || h->type == kRtTextBytesAtom;
        if (isText && (!textType || *textType == kTextTypeNotes)) {
            if (!text.empty())
                text += '\r';
            text += AtomText(body, h->length, h->type == kRtTextCharsAtom);
        }
        at += kRecordHeaderSize + h->length;
    }
    return text;
}

// One slide of the plan: the slide list's texts first (the title leads
// them), then the texts and pictures of its container. The first one goes on
// the presentation's first slide, so that the plan's slides are all there are.
void BuildPlannedSlide(const FragmentSource& source, const PlannedSlide& slide, bool first, CarvedPictures& carved,
                       CWalkBudget& budget) {
    CContainerWalk walk(kSlideLayoutCode, true, source.cancel);
    if (first)
        walk.TakeOpenSlide();
    else
        walk.OpenSlide(PlannedLayout(slide));
    if (WalkPlannedRecords(walk, budget, slide.listEntry))
        WalkPlannedRecords(walk, budget, slide.container);
    PlaceSlidePictures(source, slide, carved);
    // Notes go to the slide's notes page; a refusal costs the notes alone.
    if (const std::string notes = NotesText(slide.notes); !notes.empty())
        SlideBuilder().SetNotesText(notes);
    walk.CloseSlide();
}

}  // namespace

BOOL WalkContainer(CRawFile& file, const CancelToken& cancel, std::uint32_t layoutCode, std::uint64_t fileOffset,
                   std::uint32_t recLen) {
    // After a cancel no container is read; the file scan stops at its next group.
    if (fileOffset >= file.m_nFileSize || cancel.Cancelled())
        return TRUE;
    // A container cannot reach past the end of the file, whatever its recLen says.
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(recLen, file.m_nFileSize - fileOffset));
    std::vector<std::uint8_t> bytes(end + kWalkSlack, 0);
    if (!ReadSourceBytes(file, bytes.data(), fileOffset, static_cast<std::uint32_t>(bytes.size())))
        return FALSE;
    CContainerWalk walk(layoutCode, false, cancel);
    walk.Walk(CByteView(bytes.data(), bytes.size()), end);
    walk.CloseSlide();
    return TRUE;
}

BOOL RebuildFromFragments(const FragmentSource& source, std::uint32_t sectorSize, const std::string& path,
                          const SlidePlan& plan) {
    CRawFile& file = source.file;
    CPictureCarver& pictures = source.pictures;
    if (!file.IsOpen())
        return SaveAndClose(path);
    StartPresentation(source.scan);

    const std::uint64_t fileSize = file.m_nFileSize;
    CWalkBudget budget(fileSize);
    CarvedPictures carved = ListCarvedPictures(source);
    for (const PlannedSlide& slide : plan.slides) {
        if (source.cancel.Cancelled()) {
            pictures.Reset();
            return SaveAndClose(path);
        }
        BuildPlannedSlide(source, slide, &slide == &plan.slides.front(), carved, budget);
    }
    // The pictures left go on slides of their own only when no slide was found:
    // beside found slides they are the masters', older versions', deleted or
    // lost slides', and slides of their own would outnumber the presentation's.
    const auto shown = static_cast<std::uint32_t>(std::count(carved.placed.begin(), carved.placed.end(), true));
    if (!plan.slides.empty())
        carved.placed.assign(carved.placed.size(), true);
    pictures.Drop(carved.placed);
    // The rebuilt presentation holds the pictures its slides show and those
    // still to go on slides of their own, not every picture the scan found.
    pictures.m_nCount = shown + static_cast<std::uint32_t>(pictures.Pictures().size());
    const std::uint64_t unit = std::max<std::uint32_t>(sectorSize, kRecordHeaderSize);
    const std::uint64_t groupBytes = kGroupUnits * unit;
    // Each read takes one unit more than the group, so that a header near the
    // group's end is read whole.
    std::vector<std::uint8_t> group(static_cast<std::size_t>(groupBytes + unit), 0);
    for (std::uint64_t start = 0; start < fileSize; start += groupBytes) {
        if (source.cancel.Cancelled() ||
            !ReadSourceBytes(file, group.data(), start, static_cast<std::uint32_t>(group.size()))) {
            pictures.Reset();
            return SaveAndClose(path);
        }
        const CByteView view(group.data(), group.size());
        const std::size_t examined = static_cast<std::size_t>(std::min(groupBytes, fileSize - start));
        for (std::size_t at = 0; at < examined; ++at) {
            // Every container of interest starts 0F 00.
            const void* next = std::memchr(group.data() + at, 0x0F, examined - at);
            if (!next)
                break;
            at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - group.data());
            CountContainer(source.scan, view, at, start + at);
        }
    }

    LONG slides = 0;
    SlideBuilder().GetSlideCount(slides);
    // A rebuild whose save fails is no rebuild: the file holds at most the
    // empty presentation saved before it.
    const bool saved = SUCCEEDED(SlideBuilder().SavePresentation(path));
    g_pptAutomation.ClosePowerPoint(FALSE, {}, 0);
    if (!saved) {
        pictures.Reset();
        return FALSE;
    }
    if (slides != 0 || pictures.m_nCount != 0) {
        CRawFile again;
        if (again.Open(source.path)) {
            pictures.InsertPictures(path, again, source.cancel);
            again.Close();
        }
    }
    pictures.Reset();
    return TRUE;
}
