#include "repair/ppt/slide_plan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "repair/ppt/compound_file.h"
#include "repair/ppt/persist_relink.h"
#include "repair/ppt/record_header.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/relink_source.h"
#include "repair/ppt/source_bytes.h"

namespace {

using namespace ppt;

// A file larger than this is not read whole for the plan: the rebuild then
// builds the slides that the document stream alone gives.
constexpr std::uint64_t kLargestPlannedFile = std::uint64_t{1} << 31;
// The bytes one plan copies in all, beyond twice the view: slide containers are
// taken once each and list entries do not overlap, so only damage reaches it.
constexpr std::size_t kPlanBytesFloor = 16u << 20;

std::size_t EndOf(std::size_t at, const RecordHeader& h) { return at + kRecordHeaderSize + h.length; }

// The children that one plan may visit in all: damage can nest records that
// each run to the end of the view, and each walk of them would visit the rest.
struct StepBudget {
    std::size_t left = 0;
};
constexpr std::size_t kPlanStepsFloor = 1u << 20;
constexpr std::size_t kPlanStepsPerRecordHeader = 4;

// The children of the container at `at`, as far as they fit in it and the
// budget lasts; `whole` when they fill it exactly.
struct Children {
    std::vector<std::size_t> at;
    bool whole = false;
};

Children ChildrenOf(const CByteView& view, std::size_t at, StepBudget& steps) {
    Children children;
    const auto h = WholeRecordAt(view, at);
    if (!h)
        return children;
    const std::size_t end = EndOf(at, *h);
    std::size_t child = at + kRecordHeaderSize;
    while (child < end) {
        const auto c = WholeRecordAt(view, child);
        if (!c || EndOf(child, *c) > end || steps.left == 0)
            return children;
        --steps.left;
        children.at.push_back(child);
        child = EndOf(child, *c);
    }
    children.whole = true;
    return children;
}

// One slide of a slide list: its SlidePersistAtom and the records up to the next.
struct ListEntry {
    std::uint32_t persistId = 0;
    std::size_t begin = 0, end = 0;
};

struct SlideList {
    std::size_t at = 0;
    bool whole = false;
    std::vector<ListEntry> entries;
};

// The next SlidePersistAtom header in [from, end), where a list's walk goes
// on after damage.
std::optional<std::size_t> NextSlidePersist(const CByteView& view, std::size_t from, std::size_t end) {
    std::uint8_t header[kRecordHeaderSize] = {};
    PutLe16(header + 2, kRtSlidePersistAtom);
    PutLe32(header + kRecLenOffset, kSlidePersistLength);
    const std::uint8_t* bytes = view.data();
    if (from >= end || end > view.size())
        return std::nullopt;
    const std::uint8_t* found = std::search(bytes + from, bytes + end, header, header + kRecordHeaderSize);
    if (found == bytes + end)
        return std::nullopt;
    return static_cast<std::size_t>(found - bytes);
}

// The entries of the slide list at `at`; where damage breaks the walk of its
// children, it goes on at the next slide entry, so that one damaged record
// does not cut off the slides after it.
SlideList ReadSlideList(const CByteView& view, std::size_t at, StepBudget& steps) {
    SlideList list;
    list.at = at;
    const auto h = WholeRecordAt(view, at);
    if (!h)
        return list;
    const std::size_t end = EndOf(at, *h);
    list.whole = true;
    std::size_t child = at + kRecordHeaderSize;
    while (child < end && steps.left > 0) {
        --steps.left;
        const auto c = WholeRecordAt(view, child);
        if (!c || EndOf(child, *c) > end) {
            list.whole = false;
            const auto next = NextSlidePersist(view, child + 1, end);
            if (!next)
                break;
            child = *next;
            continue;
        }
        if (c->type == kRtSlidePersistAtom && c->length >= kSlidePersistLength)
            if (const auto persistId = view.Le32(child + kRecordHeaderSize + kSlidePersistIdRef))
                list.entries.push_back({*persistId, child, child});
        if (!list.entries.empty())
            list.entries.back().end = EndOf(child, *c);
        child = EndOf(child, *c);
    }
    return list;
}

// The slides or the notes list (`instance`) of the DocumentContainer at
// `docAt`, when it has one.
std::optional<SlideList> ListOf(const CByteView& view, std::size_t docAt, std::uint16_t instance, StepBudget& steps) {
    for (const std::size_t child : ChildrenOf(view, docAt, steps).at) {
        const RecordHeader h = *WholeRecordAt(view, child);
        if (h.type == kRtSlideListWithText && h.Instance() == instance)
            return ReadSlideList(view, child, steps);
    }
    return std::nullopt;
}

// The persist ids of the notes list's entries by their notes id.
std::map<std::uint32_t, std::uint32_t> NotesPersistIds(const CByteView& view, const std::optional<SlideList>& list) {
    std::map<std::uint32_t, std::uint32_t> ids;
    if (!list)
        return ids;
    for (const ListEntry& entry : list->entries)
        if (const auto notesId = view.Le32(entry.begin + kRecordHeaderSize + kSlidePersistSlideId))
            ids.emplace(*notesId, entry.persistId);
    return ids;
}

// Offsets of the whole records whose first four bytes spell `signature` (as
// record_signatures.h writes them), in file order.
std::vector<std::size_t> FindRecords(const CByteView& view, std::uint32_t signature) {
    std::vector<std::size_t> found;
    const std::uint8_t first = static_cast<std::uint8_t>(signature >> 24);
    const std::uint8_t* bytes = view.data();
    for (std::size_t at = 0; view.Has(at, kRecordHeaderSize); ++at) {
        const void* next = std::memchr(bytes + at, first, view.size() - at);
        if (!next)
            break;
        at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - bytes);
        const auto word = view.Le32(at);
        if (word && __builtin_bswap32(*word) == signature && WholeRecordAt(view, at))
            found.push_back(at);
    }
    return found;
}

// Without a live document: the newest slides list that the scan finds, one
// whose entries fill it preferred, as damage inside a list cuts it short.
std::optional<SlideList> NewestSlideList(const CByteView& view, StepBudget& steps) {
    std::optional<SlideList> newestPartial;
    const std::vector<std::size_t> lists = FindRecords(view, kSlideListWithText);
    for (auto at = lists.rbegin(); at != lists.rend(); ++at) {
        SlideList list = ReadSlideList(view, *at, steps);
        if (list.entries.empty())
            continue;
        if (list.whole)
            return list;
        if (!newestPartial)
            newestPartial = std::move(list);
    }
    return newestPartial;
}

using BlipId = std::array<std::uint8_t, kBlipUidSize>;

// The BLIP ids of the newest BStore whose entries fill it, in entry order: a
// shape names its picture by its place there, from 1.
std::vector<BlipId> NewestBStore(const CByteView& view, StepBudget& steps) {
    for (std::size_t at = view.size(); at-- > 0;) {
        const auto h = WholeRecordAt(view, at);
        if (!h || h->type != kRtOfficeArtBStore || !h->IsContainer())
            continue;
        const Children entries = ChildrenOf(view, at, steps);
        if (!entries.whole)
            continue;
        std::vector<BlipId> ids;
        for (const std::size_t entry : entries.at) {
            BlipId id{};
            const auto fbse = view.Sub(entry + kRecordHeaderSize + kFbseUid, id.size());
            if (fbse)
                std::copy(fbse->data(), fbse->data() + id.size(), id.begin());
            ids.push_back(id);
        }
        return ids;
    }
    return {};
}

// The pictures that the shape properties of `container` name, by BLIP id.
std::vector<BlipId> PicturesOf(const CByteView& container, const std::vector<BlipId>& bstore) {
    std::vector<BlipId> pictures;
    for (std::size_t at = 0; container.Has(at, kRecordHeaderSize); ++at) {
        const auto h = WholeRecordAt(container, at);
        if (!h || h->type != kRtOfficeArtFopt || h->Version() != kFoptVersion)
            continue;
        const std::size_t count = std::min<std::size_t>(h->Instance(), h->length / kFoptPropertySize);
        CByteReader properties(container, at + kRecordHeaderSize);
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint16_t opid = properties.Le16();
            const std::uint32_t value = properties.Le32();
            if (!properties.Ok())
                break;
            const std::uint16_t id = opid & kPropertyIdMask;
            if ((id == kPropertyPib || id == kPropertyFillBlip) && (opid & kPropertyIsBlip) && value >= 1 &&
                value <= bstore.size())
                pictures.push_back(bstore[value - 1]);
        }
    }
    return pictures;
}

std::uint32_t NotesIdOf(const CByteView& view, std::size_t slideAt, StepBudget& steps) {
    for (const std::size_t child : ChildrenOf(view, slideAt, steps).at) {
        const auto h = WholeRecordAt(view, child);
        if (h && h->type == kRtSlideAtom && h->length >= kSlideAtomLength)
            return view.Le32(child + kRecordHeaderSize + kSlideAtomNotesIdRef).value_or(0);
    }
    return 0;
}

class CPlanner {
public:
    CPlanner(const CByteView& view, std::optional<std::uint32_t> currentEdit, bool scattered)
        : m_view(view), m_currentEdit(currentEdit), m_scattered(scattered),
          m_bytesLeft(kPlanBytesFloor + std::min(view.size(), SIZE_MAX / 4) * 2),
          m_steps{kPlanStepsFloor + view.size() / kRecordHeaderSize * kPlanStepsPerRecordHeader} {}

    SlidePlan Run() {
        m_bstore = NewestBStore(m_view, m_steps);
        const RelinkResult relinked = RelinkDocumentStream(m_view, m_currentEdit, {}, m_scattered);
        std::optional<SlideList> list;
        std::map<std::uint32_t, std::size_t> slideAt;
        for (const RelinkedObject& object : relinked.kept) {
            const auto at = static_cast<std::size_t>(object.imageOffset);
            if (object.kind == PersistKind::Document) {
                list = ListOf(m_view, at, kSlideListSlides, m_steps);
                m_notesPersistIds = NotesPersistIds(m_view, ListOf(m_view, at, kSlideListNotes, m_steps));
            }
            if (object.kind == PersistKind::Slide)
                slideAt[object.persistId] = at;
            if (object.kind == PersistKind::Notes)
                m_notesAt[object.persistId] = at;
        }
        // Damage inside the live list cuts it short: a newer or older list
        // that is whole then knows the slides better.
        if (!list || !list->whole) {
            std::optional<SlideList> newest = NewestSlideList(m_view, m_steps);
            if (newest && (!list || newest->whole))
                list = std::move(newest);
        }
        if (!list)
            return PlanFromContainers();
        // Slides that the relink did not take: the newest versions that the
        // persist directories give.
        for (const auto& [id, at] : NewestPersistObjects(m_view, m_currentEdit, m_scattered)) {
            const auto h = WholeRecordAt(m_view, at);
            if (h && h->type == kRtSlide)
                slideAt.emplace(id, at);
            if (h && h->type == kRtNotes)
                m_notesAt.emplace(id, at);
        }
        return PlanFromList(*list, slideAt);
    }

private:
    // Each entry of the list once, with the newest version of its slide.
    SlidePlan PlanFromList(const SlideList& list, const std::map<std::uint32_t, std::size_t>& slideAt) {
        m_plan.fromSlideList = true;
        std::set<std::uint32_t> built;
        for (const ListEntry& entry : list.entries) {
            if (!built.insert(entry.persistId).second)
                continue;
            PlannedSlide slide;
            slide.listEntry = Copy(entry.begin, entry.end);
            const auto container = slideAt.find(entry.persistId);
            if (container != slideAt.end()) {
                slide.container = CopyContainer(container->second);
                slide.notes = NotesOf(container->second);
            }
            slide.pictures = PicturesOf(CByteView(slide.container.data(), slide.container.size()), m_bstore);
            m_plan.slides.push_back(std::move(slide));
        }
        return std::move(m_plan);
    }

    // No slide list: the slide containers that the newest persist directories
    // name, in persist id order, less the title masters that a masters list
    // names; without those, every slide container, where several versions name
    // the same notes, the newest (highest offset) one in the place of the first.
    SlidePlan PlanFromContainers() {
        std::set<std::uint32_t> masters;
        for (const std::size_t at : FindRecords(m_view, kMastersListWithText))
            for (const ListEntry& entry : ReadSlideList(m_view, at, m_steps).entries)
                masters.insert(entry.persistId);
        for (const auto& [id, at] : NewestPersistObjects(m_view, m_currentEdit, m_scattered)) {
            const auto h = WholeRecordAt(m_view, at);
            if (h && h->type == kRtSlide && !masters.count(id))
                AddContainerSlide(at);
        }
        if (!m_plan.slides.empty())
            return std::move(m_plan);
        std::vector<std::size_t> chosen;
        std::map<std::uint32_t, std::size_t> placeOfNotes;
        for (const std::size_t at : FindRecords(m_view, kSlideContainer)) {
            const std::uint32_t notesId = NotesIdOf(m_view, at, m_steps);
            const auto seen = notesId ? placeOfNotes.find(notesId) : placeOfNotes.end();
            if (seen != placeOfNotes.end()) {
                chosen[seen->second] = at;
                continue;
            }
            if (notesId)
                placeOfNotes[notesId] = chosen.size();
            chosen.push_back(at);
        }
        for (const std::size_t at : chosen)
            AddContainerSlide(at);
        return std::move(m_plan);
    }

    // The newest notes of the slide container at `at`, through the live notes list.
    std::vector<std::uint8_t> NotesOf(std::size_t slideAt) {
        const std::uint32_t notesId = NotesIdOf(m_view, slideAt, m_steps);
        const auto persistId = m_notesPersistIds.find(notesId);
        if (notesId == 0 || persistId == m_notesPersistIds.end())
            return {};
        const auto at = m_notesAt.find(persistId->second);
        return at == m_notesAt.end() ? std::vector<std::uint8_t>() : CopyContainer(at->second);
    }

    void AddContainerSlide(std::size_t at) {
        PlannedSlide slide;
        slide.container = CopyContainer(at);
        slide.pictures = PicturesOf(CByteView(slide.container.data(), slide.container.size()), m_bstore);
        if (!slide.container.empty())
            m_plan.slides.push_back(std::move(slide));
    }

    // The container at `at`, whole; empty when it was taken before.
    std::vector<std::uint8_t> CopyContainer(std::size_t at) {
        const auto h = WholeRecordAt(m_view, at);
        if (!h || !m_copied.insert(at).second)
            return {};
        return Copy(at, EndOf(at, *h));
    }

    std::vector<std::uint8_t> Copy(std::size_t begin, std::size_t end) {
        if (end < begin || end > m_view.size() || end - begin > m_bytesLeft)
            return {};
        m_bytesLeft -= end - begin;
        return std::vector<std::uint8_t>(m_view.data() + begin, m_view.data() + end);
    }

    const CByteView& m_view;
    std::optional<std::uint32_t> m_currentEdit;
    bool m_scattered = false;
    std::size_t m_bytesLeft = 0;
    StepBudget m_steps;
    std::set<std::size_t> m_copied;
    std::vector<BlipId> m_bstore;
    // The live notes list's persist ids by notes id, and the newest notes
    // containers by persist id.
    std::map<std::uint32_t, std::uint32_t> m_notesPersistIds;
    std::map<std::uint32_t, std::size_t> m_notesAt;
    SlidePlan m_plan;
};

}  // namespace

SlidePlan PlanSlides(const CByteView& view, std::optional<std::uint32_t> currentEdit, bool scattered) {
    return CPlanner(view, currentEdit, scattered).Run();
}

SlidePlan PlanSourceSlides(const std::string& path, CRawFile& file) {
    if (const auto stream = ReadCompoundStream(path, kDocumentStreamName)) {
        SlidePlan plan = PlanSlides(CByteView(stream->data(), stream->size()), CurrentEditOf(path));
        if (!plan.slides.empty())
            return plan;
    }
    if (!file.IsOpen() || file.m_nFileSize == 0 || file.m_nFileSize > kLargestPlannedFile)
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.m_nFileSize), 0);
    if (!ReadSourceBytes(file, bytes.data(), 0, static_cast<std::uint32_t>(bytes.size())))
        return {};
    return PlanSlides(CByteView(bytes.data(), bytes.size()), std::nullopt, true);
}
