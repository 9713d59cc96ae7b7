#include "repair/ppt/persist_relink.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <map>
#include <set>
#include <unordered_map>
#include <string>
#include <unordered_set>

#include "repair/ppt/page_drawing.h"
#include "repair/ppt/record_header.h"
#include "repair/ppt/record_tree_mend.h"
#include "repair/ppt/record_signatures.h"

namespace {

using namespace ppt;

// More user edits than this in one stream are not followed: a walk ends there.
constexpr std::size_t kLongestEditChain = 1 << 16;

// The record at `at` lies wholly inside the view.
bool Fits(const CByteView& view, std::size_t at, const RecordHeader& h) {
    return view.Has(at, kRecordHeaderSize) && view.Has(at + kRecordHeaderSize, h.length);
}

PersistKind KindOf(std::uint16_t type) {
    switch (type) {
    case kRtDocument: return PersistKind::Document;
    case kRtSlide: return PersistKind::Slide;
    case kRtNotes: return PersistKind::Notes;
    case kRtMainMaster: return PersistKind::MainMaster;
    case kRtHandout: return PersistKind::Handout;
    case kRtExternalObjectStorage: return PersistKind::ExternalStorage;
    default: return PersistKind::Other;
    }
}

// A record that a persist directory may point at: a persist object's
// container, or an object storage atom, whole inside the image. A container's
// first child must fit in it, which garbage rarely does; where the image's
// sectors may be out of order (`whole`), its children must fill it exactly, as
// they do only when its sectors follow each other.
bool IsPersistObject(const CByteView& view, std::size_t at, bool whole) {
    const auto h = RecordHeaderAt(view, at);
    if (!h || !Fits(view, at, *h))
        return false;
    const PersistKind kind = KindOf(h->type);
    if (kind == PersistKind::ExternalStorage)
        return h->Version() == 0 && h->Instance() <= 1;
    if (kind == PersistKind::Other || h->Version() != kContainerVersion)
        return false;
    if (whole)
        return ForEachChild(view, at, [](std::size_t, const auto&) {});
    if (h->length == 0)
        return true;
    const auto child = RecordHeaderAt(view, at + kRecordHeaderSize);
    return child && h->length >= kRecordHeaderSize && child->length <= h->length - kRecordHeaderSize;
}

bool IsAtom(const CByteView& view, std::size_t at, std::uint16_t type) {
    const auto h = RecordHeaderAt(view, at);
    return h && h->verInstance == 0 && h->type == type && Fits(view, at, *h);
}

bool IsUserEditHeader(const CByteView& view, std::size_t at) {
    const auto h = RecordHeaderAt(view, at);
    return h && h->verInstance == 0 && h->type == kRtUserEditAtom &&
           (h->length == kUserEditLengthShort || h->length == kUserEditLengthLong) && Fits(view, at, *h);
}

bool IsTopLevel(const CByteView& view, std::size_t at, bool whole) {
    return IsUserEditHeader(view, at) || IsAtom(view, at, kRtPersistDirectoryAtom) || IsPersistObject(view, at, whole);
}

struct TopRecord {
    std::size_t at = 0;
    std::uint16_t type = 0;
};

// The top-level records of the image: walked from record to record, and where
// a record is not one, searched for byte by byte until the next one.
std::vector<TopRecord> ScanTopLevel(const CByteView& view, bool whole) {
    std::vector<TopRecord> found;
    const std::uint8_t* bytes = view.data();
    std::size_t at = 0;
    while (view.Has(at, kRecordHeaderSize)) {
        if (IsTopLevel(view, at, whole)) {
            const RecordHeader h = *RecordHeaderAt(view, at);
            found.push_back({at, h.type});
            at += kRecordHeaderSize + h.length;
            continue;
        }
        // The high byte of every top-level recType: 0x03, 0x0F, 0x10 or 0x17.
        for (++at; view.Has(at, kRecordHeaderSize); ++at) {
            const std::uint8_t high = bytes[at + 3];
            if ((high == 0x03 || high == 0x0F || high == 0x10 || high == 0x17) && IsTopLevel(view, at, whole))
                break;
        }
    }
    return found;
}

struct UserEdit {
    std::size_t at = 0;      // in the image
    std::int64_t streamOffset = 0;  // in the stream it was written to
    std::size_t dirAt = 0;   // its persist directory, in the image
    std::uint32_t lastSlideIdRef = 0, offsetLastEdit = 0, docPersistIdRef = 0, persistIdSeed = 0;
    std::uint16_t lastView = 0;
};

// Image position of the stream offset `offset`, when it lies in the image.
std::optional<std::size_t> ImagePos(const CByteView& view, std::uint64_t offset, std::int64_t delta) {
    const std::int64_t at = static_cast<std::int64_t>(offset) + delta;
    if (at < 0 || static_cast<std::uint64_t>(at) >= view.size())
        return std::nullopt;
    return static_cast<std::size_t>(at);
}

// A valid user edit: its header, and a persist directory where `locateDir`
// finds the one it names.
template <typename LocateDir>
std::optional<UserEdit> ReadUserEdit(const CByteView& view, std::size_t at, LocateDir&& locateDir) {
    if (!IsUserEditHeader(view, at))
        return std::nullopt;
    CByteReader body(view, at + kRecordHeaderSize);
    UserEdit edit;
    edit.at = at;
    static_assert(kUserEditLastSlideIdRef == 0 && kUserEditOffsetLastEdit == 8 && kUserEditOffsetPersistDir == 12 &&
                  kUserEditDocPersistIdRef == 16 && kUserEditPersistIdSeed == 20 && kUserEditLastView == 24);
    edit.lastSlideIdRef = body.Le32();
    body.Skip(4);  // version
    edit.offsetLastEdit = body.Le32();
    const std::uint32_t dirOffset = body.Le32();
    edit.docPersistIdRef = body.Le32();
    edit.persistIdSeed = body.Le32();
    edit.lastView = body.Le16();
    if (!body.Ok())
        return std::nullopt;
    const auto dir = locateDir(dirOffset);
    if (!dir)
        return std::nullopt;
    edit.dirAt = *dir;
    return edit;
}

struct SlideRef {
    std::uint32_t persistId = 0;
    std::uint32_t slideId = 0;
};

// What the live DocumentContainer references by persist id.
struct DocumentRefs {
    std::vector<SlideRef> slides, masters, notes;
    std::uint32_t notesMaster = 0, handoutMaster = 0;
};

DocumentRefs ReadDocumentRefs(const CByteView& view, std::size_t docAt) {
    DocumentRefs refs;
    ForEachChild(view, docAt, [&](std::size_t child, const RecordHeader& h) {
        const std::size_t body = child + kRecordHeaderSize;
        if (h.type == kRtDocumentAtom && h.length >= kDocumentAtomHandoutMaster + 4) {
            static_assert(kDocumentAtomHandoutMaster == kDocumentAtomNotesMaster + 4);
            CByteReader masters(view, body + kDocumentAtomNotesMaster);
            const std::uint32_t notesMaster = masters.Le32();
            const std::uint32_t handoutMaster = masters.Le32();
            if (masters.Ok()) {
                refs.notesMaster = notesMaster;
                refs.handoutMaster = handoutMaster;
            }
        }
        if (h.type != kRtSlideListWithText)
            return;
        std::vector<SlideRef>* list = h.Instance() == kSlideListSlides    ? &refs.slides
                                      : h.Instance() == kSlideListMasters ? &refs.masters
                                      : h.Instance() == kSlideListNotes   ? &refs.notes
                                                                          : nullptr;
        if (!list)
            return;
        ForEachChild(view, child, [&](std::size_t atom, const RecordHeader& a) {
            if (a.type == kRtSlidePersistAtom && a.length >= kSlidePersistLength) {
                const std::size_t abody = atom + kRecordHeaderSize;
                const auto persistId = view.Le32(abody + kSlidePersistIdRef);
                const auto slideId = view.Le32(abody + kSlidePersistSlideId);
                if (persistId && slideId)
                    list->push_back({*persistId, *slideId});
            }
        });
    });
    return refs;
}

const char* KindName(PersistKind kind) {
    switch (kind) {
    case PersistKind::Document: return "document";
    case PersistKind::Slide: return "slide";
    case PersistKind::Notes: return "notes";
    case PersistKind::MainMaster: return "master";
    case PersistKind::Handout: return "handout master";
    case PersistKind::ExternalStorage: return "object storage";
    case PersistKind::Other: return "object";
    }
    return "object";
}

// A drawing id for a drawing given anew: drawing ids have 12 bits; no reader
// needs it to be unique to show the page.
std::uint32_t SpareDrawingId(std::uint32_t persistId) {
    constexpr std::uint32_t kDrawingIdMask = 0xFFF;
    return (persistId & kDrawingIdMask) ? (persistId & kDrawingIdMask) : 1;
}

std::string PersistName(PersistKind kind, std::uint32_t id) {
    return std::string(KindName(kind)) + " (persist id " + std::to_string(id) + ")";
}

struct Found {
    std::size_t at = 0;
    bool older = false;    // a newer entry for the id failed its check
    bool scanned = false;  // placed by the scan, not by a persist directory
};

// A stream is stored in sectors of 512 bytes (or 4096, a multiple), or in
// mini sectors of 64 bytes: wherever a sector lies, a stream offset keeps its
// place within it.
constexpr std::size_t kSectorUnits[] = {512, 64};

class Relinker {
public:
    Relinker(const CByteView& view, std::optional<std::uint32_t> currentEdit, const std::vector<PictureSlot>& pictures,
             bool scattered)
        : m_view(view), m_currentEdit(currentEdit), m_pictures(pictures), m_scattered(scattered) {}

    RelinkResult Run();
    std::map<std::uint32_t, std::size_t> MapNewest();

private:
    std::optional<std::size_t> Locate(std::uint32_t offset, std::int64_t delta, bool directory) const;
    std::optional<UserEdit> EditAt(std::size_t at, std::int64_t delta) const {
        return ReadUserEdit(m_view, at, [&](std::uint32_t offset) { return Locate(offset, delta, true); });
    }
    void Place(std::uint32_t id, const Found& found) {
        m_found[id] = found;
        m_used.insert(found.at);
    }
    std::optional<UserEdit> FindLiveEdit();
    void ScanImage();
    void CollectEdits();
    void MendEditAfter(std::size_t dirAt);
    void StandInForLostEdit();
    std::optional<UserEdit> EditBelow(std::int64_t streamOffset, const std::unordered_set<std::size_t>& visited);
    std::optional<UserEdit> EditAtOffset(std::uint32_t offset, const std::unordered_set<std::size_t>& visited);
    void ReadDirectory(std::size_t dirAt);
    void WalkChain(const UserEdit& live);
    bool PlaceDocument(std::uint32_t docId);
    void PlaceNeeded(std::uint32_t id, std::initializer_list<std::uint16_t> types, const std::string& name);
    std::vector<std::uint8_t> CopyDocument(const std::set<std::uint32_t>& missing) const;
    void FixPictureOffsets(std::vector<std::uint8_t>& doc) const;
    void MendTree(std::vector<std::uint8_t>& object, const std::string& name);
    void Write(const UserEdit& live, std::uint32_t docId, const DocumentRefs& refs);
    // `lost`: something of the live edit is missing or not its newest version.
    void Note(const std::string& name, ItemState state, const std::string& how, bool lost = true) {
        m_result.items.push_back({name, state, how});
        m_result.everythingKept = m_result.everythingKept && !lost;
    }

    const CByteView& m_view;
    std::optional<std::uint32_t> m_currentEdit;
    const std::vector<PictureSlot>& m_pictures;
    bool m_scattered = false;
    std::vector<TopRecord> m_top;
    std::vector<UserEdit> m_edits;  // every valid user edit the scan found
    std::unordered_set<std::size_t> m_used;  // records already taken for an id
    // Where the image is scattered: the records by their place within a sector
    // of each of kSectorUnits.
    std::unordered_map<std::size_t, std::vector<std::size_t>> m_byPlace[2];
    std::int64_t m_delta = 0;  // image position minus stream offset
    std::map<std::uint32_t, Found> m_found;
    std::set<std::uint32_t> m_failed;  // ids whose newest entry failed its check
    std::set<std::uint32_t> m_needed;
    std::vector<std::uint8_t> m_document;  // the live DocumentContainer, mended
    RelinkResult m_result;
};

// The record a stream offset names: at its image position, or where the
// image's sectors are scattered, the record of the wanted kind not yet taken
// that keeps the offset's place within a sector, nearest to that position.
std::optional<std::size_t> Relinker::Locate(std::uint32_t offset, std::int64_t delta, bool directory) const {
    auto wanted = [&](std::size_t at) {
        return directory ? IsAtom(m_view, at, kRtPersistDirectoryAtom) : IsPersistObject(m_view, at, m_scattered);
    };
    const auto at = ImagePos(m_view, offset, delta);
    if (at && wanted(*at))
        return at;
    if (!m_scattered)
        return std::nullopt;
    const std::int64_t expected = static_cast<std::int64_t>(offset) + delta;
    for (std::size_t unit : kSectorUnits) {
        std::optional<std::size_t> best;
        std::uint64_t bestDistance = UINT64_MAX;
        const auto& byPlace = m_byPlace[unit == kSectorUnits[0] ? 0 : 1];
        const auto list = byPlace.find(offset % unit);
        if (list == byPlace.end())
            continue;
        for (const std::size_t candidate : list->second) {
            const TopRecord r{candidate, 0};
            if (m_used.count(r.at) || !wanted(r.at))
                continue;
            const auto distance = static_cast<std::uint64_t>(std::llabs(static_cast<std::int64_t>(r.at) - expected));
            if (distance < bestDistance) {
                best = r.at;
                bestDistance = distance;
            }
        }
        if (best)
            return best;
    }
    return std::nullopt;
}

// Every valid user edit the scan found, with its offset in the stream: where
// its persist directory ends right at it (as a save writes them), the shift
// between image and stream comes from the directory; otherwise the image
// position is taken as the offset.
void Relinker::CollectEdits() {
    for (auto top = m_top.begin(); top != m_top.end(); ++top) {
        if (top->type != kRtUserEditAtom)
            continue;
        if (top != m_top.begin()) {
            const auto dir = std::prev(top);
            if (dir->type == kRtPersistDirectoryAtom &&
                dir->at + kRecordHeaderSize + RecordHeaderAt(m_view, dir->at)->length == top->at) {
                const std::uint32_t named = *m_view.Le32(top->at + kRecordHeaderSize + kUserEditOffsetPersistDir);
                const std::int64_t delta = static_cast<std::int64_t>(dir->at) - named;
                if (auto edit = EditAt(top->at, delta)) {
                    edit->streamOffset = static_cast<std::int64_t>(top->at) - delta;
                    m_edits.push_back(*edit);
                    continue;
                }
            }
        }
        if (auto edit = EditAt(top->at, 0)) {
            edit->streamOffset = static_cast<std::int64_t>(top->at);
            m_edits.push_back(*edit);
        }
    }
    for (const TopRecord& r : m_top)
        if (r.type == kRtPersistDirectoryAtom)
            MendEditAfter(r.at);
    StandInForLostEdit();
}

// A user edit whose header is damaged but whose body, right after its persist
// directory, names that directory: read from its body.
void Relinker::MendEditAfter(std::size_t dirAt) {
    const std::size_t at = dirAt + kRecordHeaderSize + RecordHeaderAt(m_view, dirAt)->length;
    const std::size_t body = at + kRecordHeaderSize;
    if (!m_view.Has(body, kUserEditLengthShort) || IsUserEditHeader(m_view, at))
        return;
    const std::uint32_t named = *m_view.Le32(body + kUserEditOffsetPersistDir);
    const std::int64_t delta = static_cast<std::int64_t>(dirAt) - named;
    const bool namesIt = delta == 0 || (m_scattered && dirAt % kSectorUnits[1] == named % kSectorUnits[1]);
    const std::uint32_t doc = *m_view.Le32(body + kUserEditDocPersistIdRef);
    const std::uint32_t last = *m_view.Le32(body + kUserEditOffsetLastEdit);
    if (!namesIt || doc == 0 || doc > kPersistIdMask || last >= named)
        return;
    UserEdit edit;
    edit.at = at;
    edit.dirAt = dirAt;
    edit.streamOffset = static_cast<std::int64_t>(at) - delta;
    edit.lastSlideIdRef = *m_view.Le32(body + kUserEditLastSlideIdRef);
    edit.offsetLastEdit = last;
    edit.docPersistIdRef = doc;
    edit.persistIdSeed = *m_view.Le32(body + kUserEditPersistIdSeed);
    edit.lastView = *m_view.Le16(body + kUserEditLastView);
    m_edits.push_back(edit);
    Note("user edit at " + std::to_string(edit.streamOffset), ItemState::Mended,
         "its record header is damaged; read from its body", false);
}

// The last save's user edit is lost when the last persist directory found
// lies after every user edit and none names it: the directory stands in for
// the save, linked to the user edits below it, with the document at the
// persist id the format gives it.
void Relinker::StandInForLostEdit() {
    const auto dir = std::find_if(m_top.rbegin(), m_top.rend(),
                                  [](const TopRecord& r) { return r.type == kRtPersistDirectoryAtom; });
    if (dir == m_top.rend() || std::any_of(m_edits.begin(), m_edits.end(), [&](const UserEdit& e) {
            return e.dirAt == dir->at || e.at > dir->at;
        }))
        return;
    UserEdit edit;
    edit.dirAt = dir->at;
    edit.at = dir->at + kRecordHeaderSize + RecordHeaderAt(m_view, dir->at)->length;
    edit.streamOffset = static_cast<std::int64_t>(edit.at);
    edit.offsetLastEdit = std::numeric_limits<std::uint32_t>::max();  // unknown: the scan links it
    edit.docPersistIdRef = kDocumentPersistId;
    edit.lastView = kSlideView;
    m_edits.push_back(edit);
    Note("last user edit", ItemState::LeftOut, "lost; its persist directory stands in for it");
}

// The live edit: the one "Current User" names when it is valid, else the
// valid one with the highest stream offset.
std::optional<UserEdit> Relinker::FindLiveEdit() {
    if (m_currentEdit) {
        if (auto edit = EditAt(*m_currentEdit, 0)) {
            edit->streamOffset = *m_currentEdit;
            return edit;
        }
    }
    if (m_edits.empty())
        return std::nullopt;
    const UserEdit live = *std::max_element(m_edits.begin(), m_edits.end(), [](const UserEdit& a, const UserEdit& b) {
        return a.streamOffset != b.streamOffset ? a.streamOffset < b.streamOffset : a.at < b.at;
    });
    m_delta = static_cast<std::int64_t>(live.at) - live.streamOffset;
    return live;
}

// The valid user edit found by the scan with the highest stream offset below
// `streamOffset`, not yet visited.
std::optional<UserEdit> Relinker::EditBelow(std::int64_t streamOffset, const std::unordered_set<std::size_t>& visited) {
    std::optional<UserEdit> best;
    for (const UserEdit& edit : m_edits)
        if (edit.streamOffset < streamOffset && !visited.count(edit.at) &&
            (!best || edit.streamOffset > best->streamOffset))
            best = edit;
    return best;
}

// The user edit at stream offset `offset`: one the scan found there, or the
// record at its image position.
std::optional<UserEdit> Relinker::EditAtOffset(std::uint32_t offset, const std::unordered_set<std::size_t>& visited) {
    for (const UserEdit& edit : m_edits)
        if (edit.streamOffset == offset && !visited.count(edit.at))
            return edit;
    const auto at = ImagePos(m_view, offset, m_delta);
    if (!at || visited.count(*at))
        return std::nullopt;
    auto edit = EditAt(*at, m_delta);
    if (edit)
        edit->streamOffset = offset;
    return edit;
}

// Takes every entry of the directory whose id has no valid version yet.
void Relinker::ReadDirectory(std::size_t dirAt) {
    const auto h = RecordHeaderAt(m_view, dirAt);
    if (!h)
        return;
    CByteReader directory(m_view.Sub(dirAt + kRecordHeaderSize, h->length).value_or(CByteView()));
    while (directory.Left() >= 4) {
        const std::uint32_t word = directory.Le32();
        const std::uint32_t first = word & kPersistIdMask;
        const std::uint32_t count = word >> kPersistIdBits;
        if (count > directory.Left() / 4)
            return;
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t offset = directory.Le32();
            const std::uint32_t id = first + k;
            if (id == 0 || id > kPersistIdMask || m_found.count(id))
                continue;
            const auto target = Locate(offset, m_delta, false);
            if (target)
                Place(id, Found{*target, m_failed.count(id) != 0, false});
            else
                m_failed.insert(id);
        }
    }
}

// Newest to oldest: offsetLastEdit is followed only to a smaller offset and
// never twice; where it leads nowhere valid, the next lower valid user edit
// found by the scan continues the walk.
void Relinker::WalkChain(const UserEdit& live) {
    std::unordered_set<std::size_t> visited;
    std::optional<UserEdit> edit = live;
    for (std::size_t steps = 0; edit && steps < kLongestEditChain; ++steps) {
        visited.insert(edit->at);
        ReadDirectory(edit->dirAt);
        if (edit->offsetLastEdit == 0)
            break;
        std::optional<UserEdit> previous;
        if (edit->offsetLastEdit < edit->streamOffset)
            previous = EditAtOffset(edit->offsetLastEdit, visited);
        if (!previous) {
            previous = EditBelow(edit->streamOffset, visited);
            if (previous)
                Note("user edit at " + std::to_string(edit->streamOffset), ItemState::Mended,
                     "its link to the previous save is broken; the walk went on at the user edit found below it",
                     false);
        }
        edit = previous;
    }
}

// The live DocumentContainer, or when every entry for it is lost, the newest
// one the scan found.
bool Relinker::PlaceDocument(std::uint32_t docId) {
    const auto entry = m_found.find(docId);
    if (entry != m_found.end()) {
        if (RecordHeaderAt(m_view, entry->second.at)->type == kRtDocument)
            return true;
        m_found.erase(entry);
    }
    for (auto top = m_top.rbegin(); top != m_top.rend(); ++top) {
        if (top->type == kRtDocument) {
            Place(docId, Found{top->at, true, true});
            return true;
        }
    }
    return false;
}

// A needed object without a valid entry is looked for among the scanned
// records between the objects of its neighbouring ids (a full save writes
// them in id order); it is taken only when exactly one record of its kind fits.
void Relinker::PlaceNeeded(std::uint32_t id, std::initializer_list<std::uint16_t> types, const std::string& name) {
    if (id == 0 || id > kPersistIdMask)
        return;
    m_needed.insert(id);
    if (m_found.count(id))
        return;
    std::size_t low = 0, high = m_view.size();
    const auto above = m_found.upper_bound(id);
    if (above != m_found.end())
        high = above->second.at;
    if (above != m_found.begin())
        low = std::prev(above)->second.at;
    std::set<std::size_t> used;
    for (const auto& [_, f] : m_found)
        used.insert(f.at);
    std::vector<std::size_t> fitting;
    for (const TopRecord& r : m_top) {
        if (r.at > low && r.at < high && !used.count(r.at) &&
            std::find(types.begin(), types.end(), r.type) != types.end())
            fitting.push_back(r.at);
        if (fitting.size() > 1)
            break;
    }
    if (fitting.size() == 1) {
        Place(id, Found{fitting.front(), false, true});
        return;
    }
    Note(name, ItemState::LeftOut, "no valid version of it was found");
}

// The DocumentContainer as written: slides and notes that were left out are
// taken out of its slide lists, so that no list names a missing object.
std::vector<std::uint8_t> Relinker::CopyDocument(const std::set<std::uint32_t>& missing) const {
    if (missing.empty())
        return m_document;
    const CByteView view(m_document.data(), m_document.size());
    const std::uint8_t* bytes = m_document.data();
    std::vector<std::uint8_t> out(bytes, bytes + kRecordHeaderSize);
    const bool walked = ForEachChild(view, 0, [&](std::size_t child, const RecordHeader& c) {
        if (c.type != kRtSlideListWithText) {
            out.insert(out.end(), bytes + child, bytes + child + kRecordHeaderSize + c.length);
            return;
        }
        const std::size_t listAt = out.size();
        out.insert(out.end(), bytes + child, bytes + child + kRecordHeaderSize);
        bool dropping = false;
        ForEachChild(view, child, [&](std::size_t atom, const RecordHeader& a) {
            if (a.type == kRtSlidePersistAtom && a.length >= kSlidePersistLength)
                dropping = missing.count(*view.Le32(atom + kRecordHeaderSize + kSlidePersistIdRef)) != 0;
            if (!dropping)
                out.insert(out.end(), bytes + atom, bytes + atom + kRecordHeaderSize + a.length);
        });
        PutLe32(&out[listAt + kRecLenOffset], static_cast<std::uint32_t>(out.size() - listAt - kRecordHeaderSize));
    });
    if (!walked)
        return m_document;
    PutLe32(&out[kRecLenOffset], static_cast<std::uint32_t>(out.size() - kRecordHeaderSize));
    return out;
}

// Each BStore entry whose picture is in the written "Pictures" stream points at it.
void Relinker::FixPictureOffsets(std::vector<std::uint8_t>& doc) const {
    if (m_pictures.empty())
        return;
    const CByteView view(doc.data(), doc.size());
    auto inside = [&](std::size_t at, std::uint16_t type, auto&& then) {
        ForEachChild(view, at, [&](std::size_t child, const RecordHeader& c) {
            if (c.type == type)
                then(child, c);
        });
    };
    inside(0, kRtDrawingGroup, [&](std::size_t group, const RecordHeader&) {
        inside(group, kRtOfficeArtDgg, [&](std::size_t dgg, const RecordHeader&) {
            inside(dgg, kRtOfficeArtBStore, [&](std::size_t store, const RecordHeader&) {
                inside(store, kRtOfficeArtFbse, [&](std::size_t fbse, const RecordHeader& f) {
                    const std::size_t body = fbse + kRecordHeaderSize;
                    if (f.length < kFbseFoDelay + 4)
                        return;
                    for (const PictureSlot& slot : m_pictures) {
                        if (view.Matches(body + kFbseUid, slot.uid.data(), kBlipUidSize)) {
                            PutLe32(&doc[body + kFbseFoDelay], slot.offset);
                            break;
                        }
                    }
                });
            });
        });
    });
}

// An object whose records no longer hold together is mended, and says how.
void Relinker::MendTree(std::vector<std::uint8_t>& object, const std::string& name) {
    auto mend = MendRecordTree(CByteView(object.data(), object.size()));
    if (!mend)
        return;
    std::vector<std::string> parts;
    if (mend->lengthsMended)
        parts.push_back(std::to_string(mend->lengthsMended) + " record lengths mended");
    if (mend->typesRestored)
        parts.push_back(std::to_string(mend->typesRestored) + " record types mended");
    if (mend->tablesMended)
        parts.push_back(std::to_string(mend->tablesMended) + " shape property tables mended");
    if (mend->atomsLeftOut)
        parts.push_back(std::to_string(mend->atomsLeftOut) + " text rulers that overran their record left out");
    if (mend->bytesDropped)
        parts.push_back(std::to_string(mend->bytesDropped) + " bytes that no record explained left out");
    std::string how = "its records did not hold together:";
    for (std::size_t k = 0; k < parts.size(); ++k)
        how += (k ? ", " : " ") + parts[k];
    Note(name, ItemState::Mended, how);
    object = std::move(mend->bytes);
}

// The objects in id order, then one persist directory and one user edit.
void Relinker::Write(const UserEdit& live, std::uint32_t docId, const DocumentRefs& refs) {
    std::set<std::uint32_t> missing;
    for (std::uint32_t id : m_needed)
        if (!m_found.count(id))
            missing.insert(id);
    std::vector<std::uint8_t>& out = m_result.stream;
    for (const auto& [id, f] : m_found) {
        const RecordHeader h = *RecordHeaderAt(m_view, f.at);
        const PersistKind kind = KindOf(h.type);
        // Slides, notes, masters and documents that the live document does not
        // name are old versions or deleted objects: not written.
        const bool page = kind == PersistKind::Slide || kind == PersistKind::Notes ||
                          kind == PersistKind::MainMaster || kind == PersistKind::Document;
        if (page && !m_needed.count(id))
            continue;
        const std::string name = PersistName(kind, id);
        std::vector<std::uint8_t> object;
        if (id == docId) {
            object = CopyDocument(missing);  // mended already
            FixPictureOffsets(object);
        } else {
            object.assign(m_view.data() + f.at, m_view.data() + f.at + kRecordHeaderSize + h.length);
            MendTree(object, name);
            const bool drawn = kind == PersistKind::Slide || kind == PersistKind::Notes ||
                               kind == PersistKind::MainMaster || kind == PersistKind::Handout;
            if (drawn && GiveEmptyDrawing(object, SpareDrawingId(id)))
                Note(name, ItemState::Mended, "its drawing is lost; it has an empty one");
        }
        if (out.size() > std::numeric_limits<std::uint32_t>::max() - object.size()) {
            m_result = {};
            return;
        }
        m_result.kept.push_back({id, kind, f.at, static_cast<std::uint32_t>(out.size())});
        out.insert(out.end(), object.begin(), object.end());
        if (f.older || f.scanned) {
            m_result.fromOlderVersions = m_result.fromOlderVersions || f.older;
            Note(name, ItemState::Mended,
                 f.scanned ? "its directory entry is lost; taken from the records found"
                           : "its newest version is damaged; taken from an earlier save");
        }
    }
    // One directory entry per run of consecutive ids.
    std::vector<std::uint8_t> dir;
    for (std::size_t i = 0; i < m_result.kept.size();) {
        std::size_t run = 1;
        while (i + run < m_result.kept.size() && run < kPersistRunLongest &&
               m_result.kept[i + run].persistId == m_result.kept[i].persistId + run)
            ++run;
        AppendWord(dir, m_result.kept[i].persistId | static_cast<std::uint32_t>(run) << kPersistIdBits);
        for (std::size_t k = 0; k < run; ++k)
            AppendWord(dir, m_result.kept[i + k].streamOffset);
        i += run;
    }
    const auto dirOffset = static_cast<std::uint32_t>(out.size());
    AppendHeader(out, 0, kRtPersistDirectoryAtom, static_cast<std::uint32_t>(dir.size()));
    out.insert(out.end(), dir.begin(), dir.end());

    for (const SlideRef& s : refs.slides)
        if (!missing.count(s.persistId))
            m_result.slides.push_back(s.persistId);
    std::uint32_t lastSlide = 0;
    for (const SlideRef& s : refs.slides)
        if (!missing.count(s.persistId) && s.slideId == live.lastSlideIdRef)
            lastSlide = s.slideId;
    const std::uint32_t highest = m_result.kept.empty() ? 0 : m_result.kept.back().persistId;
    const std::uint32_t seed = live.persistIdSeed > highest && live.persistIdSeed <= kPersistIdMask + 1
                                   ? live.persistIdSeed
                                   : highest + 1;

    m_result.userEditOffset = static_cast<std::uint32_t>(out.size());
    AppendHeader(out, 0, kRtUserEditAtom, kUserEditLengthShort);
    AppendWord(out, lastSlide);
    AppendWord(out, kUserEditMajorVersion << 24);  // version 0, minorVersion 0, majorVersion 3
    AppendWord(out, 0);                            // offsetLastEdit: the only save
    AppendWord(out, dirOffset);
    AppendWord(out, docId);
    AppendWord(out, seed);
    AppendWord(out, live.lastView);                // lastView, then two unused bytes
    if (out.size() > std::numeric_limits<std::uint32_t>::max())
        m_result = {};
}

// The top-level records and the valid user edits of the image.
void Relinker::ScanImage() {
    m_top = ScanTopLevel(m_view, m_scattered);
    if (m_scattered) {
        for (const TopRecord& r : m_top)
            for (std::size_t u = 0; u < 2; ++u)
                m_byPlace[u][r.at % kSectorUnits[u]].push_back(r.at);
    }
    CollectEdits();
}

std::map<std::uint32_t, std::size_t> Relinker::MapNewest() {
    ScanImage();
    const auto live = FindLiveEdit();
    if (!live)
        return {};
    WalkChain(*live);
    std::map<std::uint32_t, std::size_t> newest;
    for (const auto& [id, found] : m_found)
        newest[id] = found.at;
    return newest;
}

RelinkResult Relinker::Run() {
    m_result.everythingKept = true;
    ScanImage();
    const auto live = FindLiveEdit();
    if (!live)
        return {};
    // A user edit above the live one was unusable: the newest save is lost.
    for (const TopRecord& r : m_top)
        if (r.type == kRtUserEditAtom && static_cast<std::int64_t>(r.at) - m_delta > live->streamOffset &&
            std::none_of(m_edits.begin(), m_edits.end(), [&](const UserEdit& e) { return e.at == r.at; }))
            Note("user edit at " + std::to_string(r.at), ItemState::LeftOut, "its persist directory is lost");
    WalkChain(*live);
    const std::uint32_t docId = live->docPersistIdRef;
    if (docId == 0 || docId > kPersistIdMask || !PlaceDocument(docId))
        return {};
    m_needed.insert(docId);
    // The document is mended before its lists are read: a spoilt length in a
    // slide list would hide every slide after it.
    const std::size_t docAt = m_found[docId].at;
    m_document.assign(m_view.data() + docAt, m_view.data() + docAt + kRecordHeaderSize + RecordHeaderAt(m_view, docAt)->length);
    MendTree(m_document, PersistName(PersistKind::Document, docId));
    const DocumentRefs refs = ReadDocumentRefs(CByteView(m_document.data(), m_document.size()), 0);
    for (const SlideRef& m : refs.masters)
        PlaceNeeded(m.persistId, {kRtMainMaster, kRtSlide}, "master (persist id " + std::to_string(m.persistId) + ")");
    for (std::size_t i = 0; i < refs.slides.size(); ++i)
        PlaceNeeded(refs.slides[i].persistId, {kRtSlide},
                    "slide " + std::to_string(i + 1) + " (persist id " + std::to_string(refs.slides[i].persistId) + ")");
    for (const SlideRef& n : refs.notes)
        PlaceNeeded(n.persistId, {kRtNotes}, "notes (persist id " + std::to_string(n.persistId) + ")");
    PlaceNeeded(refs.notesMaster, {kRtNotes}, "notes master (persist id " + std::to_string(refs.notesMaster) + ")");
    PlaceNeeded(refs.handoutMaster, {kRtHandout},
                "handout master (persist id " + std::to_string(refs.handoutMaster) + ")");
    Write(*live, docId, refs);
    return std::move(m_result);
}

}  // namespace

RelinkResult RelinkDocumentStream(const CByteView& image, std::optional<std::uint32_t> currentEdit,
                                  const std::vector<PictureSlot>& pictures, bool scattered) {
    return Relinker(image, currentEdit, pictures, scattered).Run();
}

std::map<std::uint32_t, std::size_t> NewestPersistObjects(const CByteView& image, std::optional<std::uint32_t> currentEdit,
                                                          bool scattered) {
    return Relinker(image, currentEdit, {}, scattered).MapNewest();
}
