#include "repair/ppt/stream_reassembly.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string_view>
#include <unordered_set>

#include "repair/ppt/compound_format.h"
#include "repair/ppt/embedded_zip.h"
#include "repair/ppt/record_header.h"
#include "repair/ppt/record_signatures.h"

using namespace ppt;

namespace {

// Streams below this size live in the mini stream, which is not followed here.
constexpr std::uint32_t kMiniStreamCutoff = cfb::kDefaultMiniStreamCutoff;
constexpr std::size_t kSectorSizes[] = {cfb::kSmallSectorSize, cfb::kLargeSectorSize};
// Headers read while looking for sectors, and sectors weighed while filling the
// stretches between them; a file that would need more gives up, and the
// whole-file scan takes over.
constexpr std::uint64_t kSearchBudget = std::uint64_t{1} << 22;
// Atoms up to this size are read whole to tell the ways of filling them apart.
constexpr std::uint64_t kLongestCheckedAtom = 1u << 20;
// What reading one byte of an atom for that check costs of the search budget.
constexpr std::uint64_t kCheckedBytesPerStep = 64;
// Sectors after a candidate whose headers count towards its score.
constexpr std::uint64_t kScoredRun = 2;

struct StreamEntry {
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

// Where the walk of the stream's records stands: the next header's position and
// the ends of the containers it is in, the stream's end at the bottom.
struct RecordCursor {
    std::uint64_t position = 0;
    std::vector<std::uint64_t> ends;
    bool atFirstChild = false;  // the next header is the first inside a container
};

bool IsRecordType(std::uint16_t type) {
    return (type >= kFirstRecordType && type < kEndRecordTypes) ||
           (type >= kFirstDrawingType && type < kEndDrawingTypes);
}

std::array<std::uint8_t, 40> StoredDocumentName() {
    std::array<std::uint8_t, 40> name{};
    const std::string_view text = kDocumentStreamName;
    for (std::size_t i = 0; i < text.size(); ++i)
        name[2 * i] = static_cast<std::uint8_t>(text[i]);
    return name;
}

// Directory entries of the document stream anywhere in the file, as sectors of
// `sectorSize` would hold them.
std::vector<StreamEntry> FindDocumentEntries(const CByteView& file, std::size_t sectorSize, std::uint64_t sectorCount) {
    static const auto name = StoredDocumentName();
    std::vector<StreamEntry> entries;
    for (std::size_t at = sectorSize; file.Has(at, cfb::kDirectoryEntrySize); at += cfb::kDirectoryEntrySize) {
        if (!file.Matches(at, name.data(), name.size()) || file.Le16(at + cfb::kEntryNameLengthOffset) != name.size() ||
            file.data()[at + cfb::kEntryTypeOffset] != cfb::kEntryTypeStream)
            continue;
        const StreamEntry entry{file.Le32(at + cfb::kEntryStartSectorOffset).value_or(0),
                                file.Le32(at + cfb::kEntrySizeOffset).value_or(0)};
        if (entry.size >= kMiniStreamCutoff && entry.size <= file.size() && entry.start < sectorCount)
            entries.push_back(entry);
    }
    return entries;
}

class CReassembly {
public:
    CReassembly(const CByteView& file, std::size_t sectorSize, StreamEntry entry, const CancelToken& cancel)
        : m_file(file), m_sectorSize(sectorSize), m_sectorCount(file.size() / sectorSize - 1), m_entry(entry),
          m_cancel(cancel) {}

    std::optional<std::vector<std::uint8_t>> Run() {
        const std::uint64_t streamSectors = (m_entry.size + m_sectorSize - 1) / m_sectorSize;
        if (streamSectors > m_sectorCount)
            return std::nullopt;
        ExcludeOtherSectors();
        m_excluded.erase(m_entry.start);
        m_chain.push_back(m_entry.start);
        m_used.insert(m_entry.start);
        RecordCursor cursor{0, {m_entry.size}};
        while (cursor.position < m_entry.size) {
            const std::uint64_t needed = (cursor.position + kRecordHeaderSize - 1) / m_sectorSize;
            if (needed >= m_chain.size() && !PlaceThrough(needed, cursor))
                return std::nullopt;
            const auto header = Header(cursor.position);
            if (header && !Fits(*header, cursor) && cursor.atFirstChild) {
                SkipContainer(cursor);
                continue;
            }
            if (!header || !Fits(*header, cursor))
                return std::nullopt;
            m_sawUserEdit |= cursor.ends.size() == 1 && header->type == kRtUserEditAtom;
            if (!header->IsContainer() && header->length > m_sectorSize)
                m_longAtoms.emplace(cursor.position + kRecordHeaderSize, *header);
            Advance(cursor, *header);
        }
        m_chain.resize(static_cast<std::size_t>(streamSectors), kUnknown);
        if (!m_sawUserEdit || !FillUnknownSectors())
            return std::nullopt;
        return Bytes();
    }

private:
    static constexpr std::uint32_t kUnknown = UINT32_MAX;  // no header falls in this sector of the stream

    std::optional<std::uint8_t> Byte(std::uint64_t at) const {
        const std::uint64_t k = at / m_sectorSize;
        if (k >= m_chain.size() || m_chain[k] == kUnknown)
            return std::nullopt;
        const std::uint64_t position = (std::uint64_t{m_chain[k]} + 1) * m_sectorSize + at % m_sectorSize;
        if (!m_file.Has(position, 1))
            return std::nullopt;
        return m_file.data()[position];
    }

    std::optional<RecordHeader> Header(std::uint64_t at) const {
        std::array<std::uint8_t, kRecordHeaderSize> bytes{};
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto b = Byte(at + i);
            if (!b)
                return std::nullopt;
            bytes[i] = *b;
        }
        return RecordHeaderAt(CByteView(bytes.data(), bytes.size()), 0);
    }

    static bool Fits(const RecordHeader& h, const RecordCursor& cursor) {
        return IsRecordType(h.type) && h.length <= cursor.ends.back() - cursor.position - kRecordHeaderSize;
    }

    static void Advance(RecordCursor& cursor, const RecordHeader& h) {
        cursor.atFirstChild = h.IsContainer();
        if (h.IsContainer()) {
            cursor.position += kRecordHeaderSize;
            cursor.ends.push_back(cursor.position + h.length);
        } else {
            cursor.position += kRecordHeaderSize + h.length;
        }
        PopEndedContainers(cursor);
    }

    // A record marked as a container whose first child is no record holds data
    // of its own (some do): it is stepped over whole.
    static void SkipContainer(RecordCursor& cursor) {
        cursor.position = cursor.ends.back();
        cursor.ends.pop_back();
        cursor.atFirstChild = false;
        PopEndedContainers(cursor);
    }

    static void PopEndedContainers(RecordCursor& cursor) {
        while (cursor.ends.size() > 1 && cursor.position == cursor.ends.back()) {
            cursor.ends.pop_back();
            cursor.atFirstChild = false;
        }
    }

    bool Usable(std::uint64_t sector) const {
        return sector < m_sectorCount && !m_used.count(static_cast<std::uint32_t>(sector)) &&
               !m_excluded.count(static_cast<std::uint32_t>(sector));
    }

    // Places stream sector `k`, in which the cursor's next header ends: the
    // sector that continues the run of the last one placed when the headers
    // that fall in it read as records, else the file's sector that scores
    // best. The sectors before `k` that hold no header wait for
    // FillUnknownSectors.
    bool PlaceThrough(std::uint64_t k, const RecordCursor& cursor) {
        if (m_cancel.Cancelled())
            return false;
        m_chain.resize(static_cast<std::size_t>(k), kUnknown);
        const std::uint64_t following = std::uint64_t{m_chain[m_lastPlaced]} + (k - m_lastPlaced);
        const int continuing = Usable(following) ? Score(static_cast<std::uint32_t>(following), k, cursor) : -1;
        if (continuing > 0)
            return Take(k, static_cast<std::uint32_t>(following), cursor);
        std::uint32_t best = 0;
        int bestScore = 0;
        bool tied = false;
        for (std::uint64_t s = 0; s < m_sectorCount; ++s) {
            if (!Usable(s))
                continue;
            const int score = Score(static_cast<std::uint32_t>(s), k, cursor);
            if (score > 0 && score == bestScore)
                tied = true;
            if (score > bestScore)
                bestScore = score, best = static_cast<std::uint32_t>(s), tied = false;
            if (m_checks > kSearchBudget || m_cancel.Cancelled())
                return false;
        }
        // Two sectors that read equally well (an earlier save's copy of the
        // same records) leave the order a guess.
        if (tied)
            return false;
        if (bestScore > 0)
            return Take(k, best, cursor);
        // Nothing in the sector tells one sector from another: the run goes on.
        return continuing == 0 && Take(k, static_cast<std::uint32_t>(following), cursor);
    }

    // A header that starts in a sector not yet placed and ends in `k`: that
    // sector is taken to be the one before `k`'s in the file.
    bool Straddles(std::uint64_t k, const RecordCursor& cursor) const {
        return cursor.position / m_sectorSize < k && m_chain[k - 1] == kUnknown;
    }

    bool Take(std::uint64_t k, std::uint32_t sector, const RecordCursor& cursor) {
        if (Straddles(k, cursor)) {
            m_chain[k - 1] = sector - 1;
            m_used.insert(sector - 1);
        }
        m_chain.resize(static_cast<std::size_t>(k), kUnknown);
        m_chain.push_back(sector);
        m_used.insert(sector);
        m_lastPlaced = static_cast<std::size_t>(k);
        return true;
    }

    // How well `sector` does as stream sector `k`: the headers that read as
    // records in it and, as its run goes on, in the next sectors (records of an
    // earlier save can match one sector, seldom its run); -1 when a header in
    // it is no record.
    int Score(std::uint32_t sector, std::uint64_t k, RecordCursor cursor) {
        const bool straddles = Straddles(k, cursor);
        if (straddles && (sector == 0 || !Usable(sector - 1)))
            return -1;
        if (straddles)
            m_chain[k - 1] = sector - 1;
        int score = HeadersIn(sector, k, cursor);
        if (score > 0) {
            m_chain.push_back(sector);
            for (std::uint64_t ahead = 1; ahead <= kScoredRun && Usable(sector + ahead); ++ahead) {
                const int more = HeadersIn(static_cast<std::uint32_t>(sector + ahead), k + ahead, cursor);
                if (more < 0)
                    break;
                score += more;
                m_chain.push_back(static_cast<std::uint32_t>(sector + ahead));
            }
            m_chain.resize(static_cast<std::size_t>(k));
        }
        if (straddles)
            m_chain[k - 1] = kUnknown;
        return score;
    }

    // How many headers the walk from `cursor` reads in stream sector `k` when
    // `sector` holds it, the cursor left after them: -1 when one of them is no
    // record, 0 when none tells.
    int HeadersIn(std::uint32_t sector, std::uint64_t k, RecordCursor& cursor) {
        m_chain.push_back(sector);
        const std::uint64_t sectorEnd = (k + 1) * m_sectorSize;
        int count = 0;
        while (cursor.position < m_entry.size && cursor.position + kRecordHeaderSize <= sectorEnd) {
            ++m_checks;
            const auto header = Header(cursor.position);
            if (header && !Fits(*header, cursor) && cursor.atFirstChild) {
                SkipContainer(cursor);
                continue;
            }
            if (!header || !Fits(*header, cursor)) {
                count = -1;
                break;
            }
            ++count;
            Advance(cursor, *header);
        }
        m_chain.pop_back();
        return count;
    }

    // A stretch of stream sectors that hold no header: between two placed
    // sectors, or from one to the stream's end.
    struct Stretch {
        std::size_t from = 0, end = 0;
        bool filled = false;
    };

    // The ways to fill `stretch`: the run before it continued for `forward`
    // sectors, then the sectors just before the next placed one, for every
    // `forward` whose sectors are all free.
    std::vector<std::vector<std::uint32_t>> Fillings(const Stretch& stretch) const {
        const std::uint64_t gap = stretch.end - stretch.from;
        const std::uint64_t before = m_chain[stretch.from - 1];
        const bool last = stretch.end == m_chain.size();
        std::vector<std::vector<std::uint32_t>> fillings;
        // Between the two ends of one run every way is the same way.
        const bool oneRun = !last && std::uint64_t{m_chain[stretch.end]} == before + gap + 1;
        for (std::uint64_t forward = gap + 1; forward-- > (oneRun ? gap : 0);) {
            const std::uint64_t backward = gap - forward;
            if (backward > 0 && (last || m_chain[stretch.end] < backward))
                continue;
            std::vector<std::uint32_t> sectors;
            std::unordered_set<std::uint32_t> distinct;
            bool usable = true;
            for (std::uint64_t i = 0; i < gap && usable; ++i) {
                const std::uint64_t s = i < forward ? before + 1 + i : m_chain[stretch.end] - (gap - i);
                usable = Usable(s) && distinct.insert(static_cast<std::uint32_t>(s)).second;
                sectors.push_back(static_cast<std::uint32_t>(s));
            }
            if (usable && !m_refused.count(sectors))
                fillings.push_back(std::move(sectors));
            m_checks += gap;
            if (m_checks > kSearchBudget)
                return {};
        }
        return fillings;
    }

    // Fills the stretches when exactly one way fills them all: nothing in
    // their bytes tells a run that goes on from one that jumps, so where two
    // ways are left the order of the sectors is a guess, and the stream is not
    // put back together. The stretch with the fewest ways is tried first.
    bool FillUnknownSectors() {
        std::vector<Stretch> stretches;
        for (std::size_t j = 1; j < m_chain.size(); ++j)
            if (m_chain[j] == kUnknown) {
                Stretch stretch{j, j};
                while (stretch.end < m_chain.size() && m_chain[stretch.end] == kUnknown)
                    ++stretch.end;
                stretches.push_back(stretch);
                j = stretch.end;
            }
        for (const Stretch& stretch : stretches)
            RefuseWaysTheAtomDenies(stretch);
        std::vector<std::uint32_t> solution;
        if (CountFillings(stretches, solution) != 1)
            return false;
        m_chain = std::move(solution);
        return true;
    }

    // Where the atom that holds `stretch` carries a ZIP package, the ways of
    // filling the stretch whose bytes break the package's CRCs are refused,
    // as long as one way keeps them.
    void RefuseWaysTheAtomDenies(const Stretch& stretch) {
        const std::uint64_t from = stretch.from * m_sectorSize;
        auto atom = m_longAtoms.upper_bound(from);
        if (atom == m_longAtoms.begin())
            return;
        --atom;
        const std::uint64_t bodyAt = atom->first, length = atom->second.length;
        if (bodyAt + length < stretch.end * m_sectorSize || length > kLongestCheckedAtom)
            return;
        const auto ways = Fillings(stretch);
        if (ways.size() < 2)
            return;
        std::vector<std::vector<std::uint32_t>> denied;
        for (const auto& way : ways) {
            m_checks += length / kCheckedBytesPerStep;
            if (m_checks > kSearchBudget)
                return;
            std::copy(way.begin(), way.end(), m_chain.begin() + static_cast<std::ptrdiff_t>(stretch.from));
            const std::vector<std::uint8_t> body = Gather(bodyAt, length);
            std::fill_n(m_chain.begin() + static_cast<std::ptrdiff_t>(stretch.from), way.size(), kUnknown);
            const CByteView view(body.data(), body.size());
            const std::optional<CByteView> package = body.size() == length ? PackageIn(atom->second, view) : std::nullopt;
            if (!package)
                return;  // no package to tell the ways apart
            if (!EmbeddedZipChecksOut(*package))
                denied.push_back(way);
        }
        if (denied.size() < ways.size())
            m_refused.insert(denied.begin(), denied.end());
    }

    // The ZIP package that the atom's body holds: the body itself, or a shape
    // property table's metroBlob.
    static std::optional<CByteView> PackageIn(const RecordHeader& atom, const CByteView& body) {
        if (OpensWithZipEntry(body))
            return body;
        const bool propertyTable = atom.type == kRtOfficeArtFopt || atom.type == kRtOfficeArtSecondaryFopt ||
                                   atom.type == kRtOfficeArtTertiaryFopt;
        if (!propertyTable)
            return std::nullopt;
        CByteReader properties(body);
        std::uint64_t complexAt = std::uint64_t{atom.Instance()} * kFoptPropertySize;
        for (std::uint16_t k = 0; k < atom.Instance(); ++k) {
            const std::uint16_t opid = properties.Le16();
            const std::uint32_t value = properties.Le32();
            if (!properties.Ok() || !(opid & kPropertyIsComplex))
                continue;
            if ((opid & kPropertyIdMask) == kPropertyMetroBlob) {
                const auto package = body.Sub(complexAt, value);
                return package && OpensWithZipEntry(*package) ? package : std::nullopt;
            }
            complexAt += value;
        }
        return std::nullopt;
    }

    // `length` bytes of the stream from `at`, cut short where a sector is not placed.
    std::vector<std::uint8_t> Gather(std::uint64_t at, std::uint64_t length) const {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(static_cast<std::size_t>(length));
        for (std::uint64_t i = 0; i < length; ++i) {
            const auto b = Byte(at + i);
            if (!b)
                break;
            bytes.push_back(*b);
        }
        return bytes;
    }

    // The number of ways to fill every stretch, counted up to two (or two when
    // the count costs more than the budget); the first way goes to `solution`.
    int CountFillings(std::vector<Stretch>& stretches, std::vector<std::uint32_t>& solution) {
        Stretch* chosen = nullptr;
        std::vector<std::vector<std::uint32_t>> chosenWays;
        for (Stretch& stretch : stretches) {
            if (stretch.filled)
                continue;
            auto ways = Fillings(stretch);
            if (ways.empty())
                return m_checks > kSearchBudget ? 2 : 0;
            if (!chosen || ways.size() < chosenWays.size())
                chosen = &stretch, chosenWays = std::move(ways);
        }
        if (!chosen) {
            solution = m_chain;
            return 1;
        }
        int count = 0;
        for (const auto& way : chosenWays) {
            for (std::size_t i = 0; i < way.size(); ++i)
                m_chain[chosen->from + i] = way[i], m_used.insert(way[i]);
            chosen->filled = true;
            std::vector<std::uint32_t> found;
            const int more = CountFillings(stretches, found);
            if (count == 0 && more > 0)
                solution = std::move(found);
            count += more;
            chosen->filled = false;
            for (std::size_t i = 0; i < way.size(); ++i)
                m_chain[chosen->from + i] = kUnknown, m_used.erase(way[i]);
            if (count > 1)
                return 2;
        }
        return count;
    }

    // Sectors that cannot be the stream's: the FAT and DIFAT sectors that the
    // header lists, and sectors that hold directory entries.
    void ExcludeOtherSectors() {
        for (std::size_t i = 0; i < cfb::kHeaderDifatEntries; ++i)
            if (const auto sector = m_file.Le32(cfb::kHeaderDifatOffset + 4 * i); sector && *sector < m_sectorCount)
                m_excluded.insert(*sector);
        for (std::uint64_t s = 0; s < m_sectorCount; ++s)
            if (HoldsDirectoryEntry(s))
                m_excluded.insert(static_cast<std::uint32_t>(s));
    }

    // The sector's first slot reads as a directory entry: a name of at most 31
    // characters, none of them zero, then zeros to the end of the name field;
    // the name's byte count with its zero; the type of a storage, stream or
    // root; a colour of red or black.
    bool HoldsDirectoryEntry(std::uint64_t sector) const {
        const auto slot = m_file.Sub(static_cast<std::size_t>((sector + 1) * m_sectorSize), cfb::kDirectoryEntrySize);
        if (!slot)
            return false;
        const auto nameBytes = slot->Le16(cfb::kEntryNameLengthOffset).value_or(0);
        if (nameBytes < 4 || nameBytes > cfb::kEntryNameBytes || nameBytes % 2 != 0)
            return false;
        for (std::size_t at = 0; at < cfb::kEntryNameBytes; at += 2) {
            const bool inName = at + 2 < nameBytes;
            if ((slot->Le16(at).value_or(0) != 0) != inName)
                return false;
        }
        const std::uint8_t type = slot->data()[cfb::kEntryTypeOffset];
        const std::uint8_t colour = slot->data()[cfb::kEntryColourOffset];
        const bool entryType =
            type == cfb::kEntryTypeStorage || type == cfb::kEntryTypeStream || type == cfb::kEntryTypeRoot;
        return entryType && colour <= 1;
    }

    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> stream(m_entry.size);
        for (std::size_t k = 0; k < m_chain.size(); ++k) {
            const std::size_t from = k * m_sectorSize;
            const std::size_t count = std::min<std::size_t>(m_sectorSize, stream.size() - from);
            const auto bytes = m_file.Sub((std::size_t{m_chain[k]} + 1) * m_sectorSize, count);
            if (!bytes)
                return {};
            std::copy(bytes->data(), bytes->data() + count, stream.begin() + static_cast<std::ptrdiff_t>(from));
        }
        return stream;
    }

    const CByteView m_file;
    const std::size_t m_sectorSize;
    const std::uint64_t m_sectorCount;
    const StreamEntry m_entry;
    const CancelToken& m_cancel;
    std::vector<std::uint32_t> m_chain;  // the file's sector for each sector of the stream
    std::unordered_set<std::uint32_t> m_used;
    std::unordered_set<std::uint32_t> m_excluded;
    std::size_t m_lastPlaced = 0;
    // The long atoms of the stream by the offset of their body, and the ways
    // of filling stretches that their packages deny.
    std::map<std::uint64_t, RecordHeader> m_longAtoms;
    std::set<std::vector<std::uint32_t>> m_refused;
    mutable std::uint64_t m_checks = 0;
    bool m_sawUserEdit = false;
};

// The sector sizes to try: the header's when it names one, else both.
std::vector<std::size_t> SectorSizesOf(const CByteView& file) {
    const auto shift = file.Le16(cfb::kSectorShiftOffset);
    const bool known = shift && (*shift == cfb::kSmallSectorShift || *shift == cfb::kLargeSectorShift);
    if (file.Matches(0, cfb::kSignature, sizeof cfb::kSignature) && known)
        return {std::size_t{1} << *shift};
    return {std::begin(kSectorSizes), std::end(kSectorSizes)};
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReassembleDocumentStream(const CByteView& file, const CancelToken& cancel) {
    for (const std::size_t sectorSize : SectorSizesOf(file)) {
        if (file.size() < 2 * sectorSize)
            continue;
        const std::uint64_t sectorCount = file.size() / sectorSize - 1;
        for (const StreamEntry& entry : FindDocumentEntries(file, sectorSize, sectorCount))
            if (auto stream = CReassembly(file, sectorSize, entry, cancel).Run(); stream && !stream->empty())
                return stream;
    }
    return std::nullopt;
}
