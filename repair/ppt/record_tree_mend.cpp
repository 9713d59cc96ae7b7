#include "repair/ppt/record_tree_mend.h"

#include <algorithm>
#include <array>
#include <bit>

#include "repair/ppt/embedded_zip.h"
#include "repair/ppt/record_header.h"

using namespace ppt;

namespace {

// Below this depth a tree is taken as it is: no writer nests records so deep.
constexpr std::size_t kDeepest = 32;

// The ways one spoilt byte or bit changes a value: a byte inverted, then a bit.
template <typename T>
constexpr auto Spoilings() {
    constexpr unsigned bytes = sizeof(T), bits = 8 * sizeof(T);
    std::array<T, bytes + bits> ways{};
    for (unsigned k = 0; k < bytes; ++k)
        ways[k] = static_cast<T>(T{0xFF} << (8 * k));
    for (unsigned b = 0; b < bits; ++b)
        ways[bytes + b] = static_cast<T>(T{1} << b);
    return ways;
}
constexpr auto kSpoilt16 = Spoilings<std::uint16_t>();
constexpr auto kSpoilt32 = Spoilings<std::uint32_t>();

// A type that the format names.
bool KnownType(std::uint16_t type) {
    return std::binary_search(std::begin(kKnownRecordTypes), std::end(kKnownRecordTypes), type);
}

bool PlausibleType(std::uint16_t type) {
    return (type >= kFirstRecordType && type < kEndRecordTypes) ||
           (type >= kFirstDrawingType && type < kEndDrawingTypes);
}

// The length the format fixes for an atom of this type, if it does.
std::optional<std::uint32_t> FixedLength(const RecordHeader& h) {
    if (h.IsContainer())
        return std::nullopt;
    for (const FixedLengthAtom& atom : kFixedLengthAtoms)
        if (atom.type == h.type)
            return atom.length;
    return std::nullopt;
}

bool WrongLength(const RecordHeader& h) {
    const auto fixed = FixedLength(h);
    return fixed && *fixed != h.length;
}


bool IsPropertyTable(std::uint16_t type) {
    return type == kRtOfficeArtFopt || type == kRtOfficeArtSecondaryFopt || type == kRtOfficeArtTertiaryFopt;
}

// The one type that a type spoilt by one inverted byte or one flipped bit
// can have been: the one the format names among the candidates, else the one
// plausible candidate; none where there are several.
std::optional<std::uint16_t> TypeBeforeItWasSpoilt(std::uint16_t type) {
    for (const auto taken : {KnownType, PlausibleType}) {
        std::optional<std::uint16_t> restored;
        bool several = false;
        for (const std::uint16_t spoilt : kSpoilt16) {
            const auto candidate = static_cast<std::uint16_t>(type ^ spoilt);
            if (!taken(candidate) || candidate == restored)
                continue;
            several = several || restored.has_value();
            restored = candidate;
        }
        if (restored)
            return several ? std::nullopt : restored;
    }
    return std::nullopt;
}

// The header with its type as it was before one spoiling, where that is known.
RecordHeader WithTypeRestored(RecordHeader h) {
    if (!PlausibleType(h.type))
        h.type = TypeBeforeItWasSpoilt(h.type).value_or(h.type);
    return h;
}

// How a record is taken when the records are followed: only plausible types,
// or also a type that one spoiling explains.
enum class Types { Plausible, SpoiltToo };

// The record at `at` that ends by `end`.
std::optional<RecordHeader> RecordWithin(const CByteView& view, std::size_t at, std::size_t end,
                                         Types types = Types::Plausible) {
    const auto h = RecordHeaderAt(view, at);
    if (!h || at + kRecordHeaderSize > end || h->length > end - at - kRecordHeaderSize)
        return std::nullopt;
    const bool typed = PlausibleType(h->type) || (types == Types::SpoiltToo && TypeBeforeItWasSpoilt(h->type));
    return typed ? h : std::nullopt;
}

// Whether the record at `at` holds records. Some writers mark the round-trip
// atoms, whose body is a ZIP package, as containers.
bool HoldsRecords(const CByteView& view, std::size_t at, const RecordHeader& h) {
    const std::size_t body = at + kRecordHeaderSize;
    return h.IsContainer() &&
           !(body <= view.size() && OpensWithZipEntry(CByteView(view.data() + body, view.size() - body)));
}

// A shape property table: fixed entries, then the data of its complex
// properties, each as long as its entry's value says.
struct Property {
    std::uint16_t opid = 0;
    std::uint32_t value = 0;
    bool Complex() const { return (opid & kPropertyIsComplex) != 0; }
};

// The entries of the table whose header is `h` at `at`, as many as its body holds.
std::vector<Property> PropertiesOf(const CByteView& view, std::size_t at, const RecordHeader& h) {
    std::vector<Property> properties;
    const CByteView body = view.Sub(at + kRecordHeaderSize, h.length).value_or(CByteView());
    CByteReader reader(body);
    for (std::size_t k = 0; k < h.Instance(); ++k) {
        const std::uint16_t opid = reader.Le16();
        const std::uint32_t value = reader.Le32();
        if (!reader.Ok())
            break;
        properties.push_back({opid, value});
    }
    return properties;
}

// The bytes left for the complex data after `count` entries, and the bytes
// that data takes; nullopt when the entries do not fit in `length`.
struct Fill {
    std::uint64_t room = 0;
    std::uint64_t data = 0;
};

std::optional<Fill> FillOf(const std::vector<Property>& properties, std::size_t count, std::uint32_t length) {
    if (properties.size() != count || std::uint64_t{count} * kFoptPropertySize > length)
        return std::nullopt;
    Fill fill{length - count * kFoptPropertySize, 0};
    for (const Property& p : properties)
        fill.data += p.Complex() ? p.value : 0;
    return fill;
}

// The fill of the table whose header is `h` at `at`; nullopt when its
// entries do not fit in it.
std::optional<Fill> TableFill(const CByteView& view, std::size_t at, const RecordHeader& h) {
    return FillOf(PropertiesOf(view, at, h), h.Instance(), h.length);
}

// Whether the table's complex data stays inside it. Some writers leave bytes
// over, which readers pass by.
bool PropertyTableHolds(const CByteView& view, std::size_t at, const RecordHeader& h) {
    const auto fill = TableFill(view, at, h);
    return fill && fill->data <= fill->room;
}

// Whether a text ruler's fields, as its mask names them, fill it exactly.
bool RulerFills(const CByteView& view, std::size_t at, const RecordHeader& h) {
    const CByteView body = view.Sub(at + kRecordHeaderSize, h.length).value_or(CByteView());
    CByteReader reader(body);
    const std::uint32_t mask = reader.Le32();
    const int before = std::popcount(mask & (kRulerLevels | kRulerDefaultTabSize));
    std::uint64_t size = kRulerMaskSize + kRulerFieldSize * std::uint64_t(before + std::popcount(mask & kRulerMarginsAndIndents));
    if (mask & kRulerTabStops) {
        reader.Skip(kRulerFieldSize * before);
        size += kRulerFieldSize + std::uint64_t{kTabStopSize} * reader.Le16();
    }
    return reader.Ok() && size == h.length;
}

// An atom whose fields do not fill it, where a reader would read past it:
// it is left out.
bool BrokenAtom(const CByteView& view, std::size_t at, const RecordHeader& h) {
    return h.type == kRtTextRulerAtom && !RulerFills(view, at, h);
}

// Whether the records from `begin` follow one another to `end` exactly, and
// so on down through every container among them.
bool Holds(const CByteView& view, std::size_t begin, std::size_t end, std::size_t depth) {
    if (depth > kDeepest)
        return true;
    for (std::size_t at = begin; at < end;) {
        const auto h = RecordWithin(view, at, end);
        if (!h)
            return false;
        const std::size_t next = at + kRecordHeaderSize + h->length;
        if (WrongLength(*h))
            return false;
        if (HoldsRecords(view, at, *h) ? !Holds(view, at + kRecordHeaderSize, next, depth + 1)
                                       : (IsPropertyTable(h->type) && !PropertyTableHolds(view, at, *h)) ||
                                             BrokenAtom(view, at, *h))
            return false;
        at = next;
    }
    return true;
}

class CTreeMender {
public:
    explicit CTreeMender(const CByteView& view) : m_view(view) {}

    RecordTreeMend Mend(std::size_t end) {
        Record(0, *RecordHeaderAt(m_view, 0), end, 0);
        return std::move(m_mend);
    }

private:
    std::vector<std::uint8_t>& Out() { return m_mend.bytes; }

    // Appends the record at `at` whose body ends at `end`, mended.
    void Record(std::size_t at, RecordHeader h, std::size_t end, std::size_t depth) {
        const std::size_t body = at + kRecordHeaderSize;
        const auto length = static_cast<std::uint32_t>(end - body);
        if (!h.IsContainer() && BrokenAtom(m_view, at, {h.verInstance, h.type, length})) {
            ++m_mend.atomsLeftOut;
            return;
        }
        const std::size_t headerAt = Out().size();
        Out().insert(Out().end(), m_view.data() + at, m_view.data() + body);
        if (!PlausibleType(h.type))
            RestoreType(headerAt, h.type);
        if (length != h.length)
            ++m_mend.lengthsMended;
        h.length = length;
        const bool holdsRecords = HoldsRecords(m_view, at, h);
        if (holdsRecords && !Holds(m_view, body, end, depth + 1))
            Children(body, end, depth + 1);
        else if (!holdsRecords && IsPropertyTable(h.type) && !PropertyTableHolds(m_view, at, h))
            PropertyTable(headerAt, at, h);
        else
            Out().insert(Out().end(), m_view.data() + body, m_view.data() + end);
        PutLe32(&Out()[headerAt + kRecLenOffset], static_cast<std::uint32_t>(Out().size() - headerAt - kRecordHeaderSize));
    }

    void RestoreType(std::size_t headerAt, std::uint16_t type) {
        if (const auto restored = TypeBeforeItWasSpoilt(type)) {
            PutLe16(&Out()[headerAt + 2], *restored);
            ++m_mend.typesRestored;
        }
    }

    // Appends the children of the body [begin, end): the reading of its bytes
    // as records that asks the fewest changes. A record read as it stands costs
    // nothing, one whose length one spoiling explains a little, and each byte
    // left out adds up. A record whose type was spoilt costs less than leaving
    // its header out, more than a few bytes, lest stray bytes pass for one.
    // A body where no record can be read at all is an atom's, its version
    // spoilt: it stays as it is, as does a body too long to read so.
    void Children(std::size_t begin, std::size_t end, std::size_t depth) {
        auto asItIs = [&] { Out().insert(Out().end(), m_view.data() + begin, m_view.data() + end); };
        if (end - begin > kLongestMended)
            return asItIs();
        const std::vector<Step> steps = CheapestReading(begin, end);
        if (std::all_of(steps.begin(), steps.end() - 1, [](const Step& step) { return step.dropped; }))
            return asItIs();
        for (std::size_t at = begin; at < end;) {
            const Step& step = steps[at - begin];
            if (step.dropped) {
                ++m_mend.bytesDropped;
                ++at;
                continue;
            }
            Record(at, *RecordHeaderAt(m_view, at), at + step.length, depth);
            at += step.length;
        }
    }

    struct Step {
        std::uint32_t cost = kNever;
        std::uint32_t length = 0;  // of the record read here, header included; 1 for a byte left out
        bool dropped = false;
    };
    static constexpr std::uint32_t kNever = ~std::uint32_t{0};
    static constexpr std::uint32_t kSpoiltTypeCost = 32, kSpoiltLengthCost = 6, kDroppedByteCost = 8, kUnknownTypeCost = 4,
                                   kSpoiltSoundLengthCost = kDroppedByteCost << 13;
    // Longer bodies are left as they are: the reading takes memory in
    // proportion (and the cost of leaving all out stays below kNever).
    static constexpr std::size_t kLongestMended = std::size_t{4} << 20;
    static constexpr std::uint64_t kWorkBudget = std::uint64_t{1} << 26;  // then only bytes are left out
    static constexpr std::size_t kLongZeroedRun = 64;

    std::vector<Step> CheapestReading(std::size_t begin, std::size_t end) {
        std::vector<Step> steps(end - begin + 1);
        steps[end - begin].cost = 0;
        // zeroedRuns[i]: how many long runs of zeroed bytes start before begin + i.
        std::vector<std::uint32_t> zeroedRuns(end - begin + 1, 0);
        for (std::size_t at = begin, run = 0; at < end; ++at) {
            run = m_view.data()[at] == 0 ? run + 1 : 0;
            zeroedRuns[at - begin + 1] = zeroedRuns[at - begin] + (run == kLongZeroedRun ? 1 : 0);
        }
        // inZeroedStretch[i]: the byte at begin + i lies in a run of zeroed
        // bytes at least as long as a record header.
        std::vector<bool> inZeroedStretch(end - begin, false);
        for (std::size_t at = begin; at < end;) {
            std::size_t run = at;
            while (run < end && m_view.data()[run] == 0)
                ++run;
            if (run - at >= kRecordHeaderSize)
                std::fill(inZeroedStretch.begin() + static_cast<std::ptrdiff_t>(at - begin),
                          inZeroedStretch.begin() + static_cast<std::ptrdiff_t>(run - begin), true);
            at = std::max(run, at + 1);
        }
        // Damage zeroes a stretch, it does not spoil a length so as to cover
        // what it zeroed: no record swallows a long run of zeroed bytes but
        // one of those that follow one another from the body's start, where
        // the zeroed stretch can begin. Stray bytes would pass for records.
        auto swallowsZeroes = [&](std::size_t at, std::size_t next) {
            return zeroedRuns[next - begin] != zeroedRuns[std::min(at + kLongZeroedRun, next) - begin];
        };
        // The records that follow one another from the body's start, up to the
        // first that does not: a zeroed stretch may begin inside one of them.
        std::vector<bool> chained(end - begin + 1, false);
        for (std::size_t at = begin; at < end;) {
            const auto h = RecordWithin(m_view, at, end, Types::SpoiltToo);
            if (!h)
                break;
            chained[at - begin] = true;
            at += kRecordHeaderSize + h->length;
        }
        for (std::size_t at = end; at-- > begin;) {
            Step& best = steps[at - begin];
            auto consider = [&](std::size_t next, std::uint32_t cost, bool dropped = false) {
                const std::uint32_t after = steps[next - begin].cost;
                if (after != kNever && after + cost < best.cost)
                    best = {after + cost, static_cast<std::uint32_t>(next - at), dropped};
            };
            // A length that leads on seems sound: taking it for spoilt asks
            // much more than taking one that leads nowhere.
            std::uint32_t spoiltLengthCost = kSpoiltLengthCost;
            if (const auto header = RecordHeaderAt(m_view, at); header && !KnownType(header->type))
                spoiltLengthCost += kUnknownTypeCost;
            if (const auto h = RecordWithin(m_view, at, end, Types::SpoiltToo)) {
                const std::size_t next = at + kRecordHeaderSize + h->length;
                if ((chained[at - begin] || !swallowsZeroes(at, next)) && !WrongLength(WithTypeRestored(*h)))
                    consider(next, !PlausibleType(h->type) ? kSpoiltTypeCost : KnownType(h->type) ? 0 : kUnknownTypeCost);
                if (LeadsOn(next, end))
                    spoiltLengthCost = kSpoiltSoundLengthCost;
            }
            const auto h = RecordHeaderAt(m_view, at);
            // An atom whose length the format fixes has that length, whatever its header says.
            const auto fixed = h && PlausibleType(h->type) ? FixedLength(*h) : std::nullopt;
            if (fixed) {
                const std::size_t next = at + kRecordHeaderSize + *fixed;
                if (*fixed != h->length && next <= end && !swallowsZeroes(at, next))
                    consider(next, kSpoiltLengthCost);
            } else if (m_work < kWorkBudget && h && PlausibleType(h->type) && at + kRecordHeaderSize <= end) {
                const std::size_t room = end - at - kRecordHeaderSize;
                for (const std::uint32_t spoilt : kSpoilt32) {
                    ++m_work;
                    const std::uint32_t length = h->length ^ spoilt;
                    const std::size_t next = at + kRecordHeaderSize + length;
                    if (length > room || steps[next - begin].cost == kNever ||
                        steps[next - begin].cost + spoiltLengthCost >= best.cost || swallowsZeroes(at, next))
                        continue;
                    if (!HoldsRecords(m_view, at, *h) || FollowsExactly(at + kRecordHeaderSize, next))
                        consider(next, spoiltLengthCost);
                }
            }
            // Zeroed stretches are what damage leaves most: left out, their
            // bytes cost nothing, so that no stray record is taken to swallow
            // them. A zero byte on its own is no such stretch.
            consider(at + 1, inZeroedStretch[at - begin] ? 0 : kDroppedByteCost, true);
        }
        return steps;
    }

    // Whether a record ending at `at` leads on: to the end, to where zeroed
    // bytes begin, to a record, or to one with its type spoilt that itself
    // leads to a record.
    bool LeadsOn(std::size_t at, std::size_t end) const {
        if (at == end || ZeroedAt(at) || RecordWithin(m_view, at, end))
            return true;
        const auto spoilt = RecordWithin(m_view, at, end, Types::SpoiltToo);
        if (!spoilt)
            return false;
        const std::size_t next = at + kRecordHeaderSize + spoilt->length;
        return next == end || RecordWithin(m_view, next, end);
    }

    bool ZeroedAt(std::size_t at) const {
        static constexpr std::uint8_t kZeroes[kRecordHeaderSize] = {};
        return m_view.Matches(at, kZeroes, kRecordHeaderSize);
    }

    bool FollowsExactly(std::size_t begin, std::size_t end) {
        std::size_t at = begin;
        while (at < end) {
            ++m_work;
            const auto h = RecordWithin(m_view, at, end, Types::SpoiltToo);
            if (!h)
                return false;
            at += kRecordHeaderSize + h->length;
        }
        return at == end;
    }

    // Appends the body of a property table whose complex data overruns it: a
    // spoilt count, value or property id is undone where one spoiling explains
    // it; otherwise only the simple properties stay.
    void PropertyTable(std::size_t headerAt, std::size_t at, const RecordHeader& h) {
        const std::size_t body = at + kRecordHeaderSize;
        for (const std::uint16_t spoilt : kSpoilt16) {
            const auto verInstance = static_cast<std::uint16_t>(h.verInstance ^ spoilt);
            const RecordHeader candidate{verInstance, h.type, h.length};
            // The complex data fills the table exactly, as a writer leaves it.
            const auto fill = TableFill(m_view, at, candidate);
            if (candidate.Version() == kFoptVersion && fill && fill->data == fill->room) {
                PutLe16(&Out()[headerAt], verInstance);
                ++m_mend.tablesMended;
                Out().insert(Out().end(), m_view.data() + body, m_view.data() + body + h.length);
                return;
            }
        }
        std::vector<Property> properties = PropertiesOf(m_view, at, h);
        if (properties.size() == h.Instance() && UndoOneSpoiling(properties, h)) {
            const std::size_t tableAt = Out().size();
            Out().insert(Out().end(), m_view.data() + body, m_view.data() + body + h.length);
            for (std::size_t k = 0; k < properties.size(); ++k) {
                PutLe16(&Out()[tableAt + k * kFoptPropertySize], properties[k].opid);
                PutLe32(&Out()[tableAt + k * kFoptPropertySize + 2], properties[k].value);
            }
            ++m_mend.tablesMended;
            return;
        }
        std::uint16_t kept = 0;
        for (const Property& p : properties) {
            if (p.Complex())
                continue;
            const std::size_t entryAt = Out().size();
            Out().resize(entryAt + kFoptPropertySize);
            PutLe16(&Out()[entryAt], p.opid);
            PutLe32(&Out()[entryAt + 2], p.value);
            ++kept;
        }
        PutLe16(&Out()[headerAt], static_cast<std::uint16_t>(kFoptVersion | kept << 4));
        ++m_mend.tablesMended;
    }

    // Undoes the one spoilt value or property id that makes the complex data
    // overrun the table, when exactly one change makes it fill the table.
    static bool UndoOneSpoiling(std::vector<Property>& properties, const RecordHeader& h) {
        const auto fill = FillOf(properties, h.Instance(), h.length);
        if (!fill)
            return false;
        auto data = [](const Property& p) -> std::uint64_t { return p.Complex() ? p.value : 0; };
        std::optional<std::pair<std::size_t, Property>> undone;
        bool ambiguous = false;
        auto consider = [&](std::size_t k, const Property& p) {
            if (fill->data - data(properties[k]) + data(p) != fill->room)
                return;
            ambiguous = ambiguous || undone.has_value();
            undone = {k, p};
        };
        for (std::size_t k = 0; k < properties.size(); ++k) {
            const Property was = properties[k];
            if (was.Complex())
                for (const std::uint32_t spoilt : kSpoilt32)
                    consider(k, {was.opid, was.value ^ spoilt});
            // Only the complex bit of an id counts: the id itself is not checked.
            consider(k, {static_cast<std::uint16_t>(was.opid ^ kPropertyIsComplex), was.value});
        }
        if (!undone || ambiguous)
            return false;
        properties[undone->first] = undone->second;
        return true;
    }

    const CByteView& m_view;
    RecordTreeMend m_mend;
    std::uint64_t m_work = 0;
};

}  // namespace

std::optional<RecordTreeMend> MendRecordTree(const CByteView& object) {
    const auto h = WholeRecordAt(object, 0);
    if (!h || !HoldsRecords(object, 0, *h))
        return std::nullopt;
    const std::size_t end = kRecordHeaderSize + h->length;
    if (Holds(object, kRecordHeaderSize, end, 1))
        return std::nullopt;
    RecordTreeMend mend = CTreeMender(object).Mend(end);
    if (mend.bytes.size() == end && std::equal(mend.bytes.begin(), mend.bytes.end(), object.data()))
        return std::nullopt;
    return mend;
}
