// The relink of the document stream on small constructed streams: full and
// incremental saves, broken links, damaged entries and lost records. Each row
// says which slides, in which order, the written stream must show when read
// back as a reader of the format would (Current User -> user edit -> persist
// directory -> document -> slide list -> slides).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/ppt/persist_relink.h"
#include "support/record_builder.h"
#include "support/test_names.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using record_builder::Header;
using record_builder::Word;

constexpr std::uint16_t kDocument = 0x03E8, kDocumentAtom = 0x03E9, kSlide = 0x03EE, kMaster = 0x03F8,
                        kSlideList = 0x0FF0, kSlidePersist = 0x03F3, kUserEdit = 0x0FF5, kDirectory = 0x1772,
                        kDrawing = 0x040C, kTag = 0x0FA0;  // a text atom that names each slide version
constexpr std::uint32_t kDocId = 1, kMasterId = 2;

Bytes Container(std::uint16_t type, std::uint16_t instance, const Bytes& body) {
    Bytes out;
    Header(out, static_cast<std::uint16_t>(0xF | instance << 4), type, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
// A page named by its tag, with its drawing (none: as damage leaves it).
Bytes Tagged(std::uint16_t type, const std::string& tag, bool drawn = true) {
    Bytes body;
    Header(body, 0, kTag, static_cast<std::uint32_t>(tag.size()));
    body.insert(body.end(), tag.begin(), tag.end());
    if (drawn)
        Header(body, 0xF, kDrawing, 0);
    return Container(type, 0, body);
}

// Writes saves the way an incremental writer does: each appends the objects it
// changed, a persist directory for them and a user edit linked to the last one.
class StreamWriter {
public:
    Bytes bytes;
    std::uint32_t lastEdit = 0;

    std::uint32_t Append(const Bytes& record) {
        const auto at = static_cast<std::uint32_t>(bytes.size());
        bytes.insert(bytes.end(), record.begin(), record.end());
        return at;
    }
    static Bytes Document(const std::vector<std::uint32_t>& slideIds) {
        Bytes body;
        Header(body, 0x0001, kDocumentAtom, 40);
        body.resize(body.size() + 40, 0);
        Bytes masters;
        Header(masters, 0, kSlidePersist, 20);
        Word(masters, kMasterId), Word(masters, 0), Word(masters, 0), Word(masters, 0x80000000), Word(masters, 0);
        const Bytes masterList = Container(kSlideList, 1, masters);
        body.insert(body.end(), masterList.begin(), masterList.end());
        Bytes slides;
        for (std::uint32_t id : slideIds) {
            Header(slides, 0, kSlidePersist, 20);
            Word(slides, id), Word(slides, 0), Word(slides, 0), Word(slides, 0x100 + id), Word(slides, 0);
        }
        const Bytes slideList = Container(kSlideList, 0, slides);
        body.insert(body.end(), slideList.begin(), slideList.end());
        return Container(kDocument, 0, body);
    }
    // One save: `objects` by persist id. Returns the user edit's offset.
    std::uint32_t Save(const std::map<std::uint32_t, Bytes>& objects) {
        std::map<std::uint32_t, std::uint32_t> offsets;
        for (const auto& [id, record] : objects)
            offsets[id] = Append(record);
        Bytes dir;
        for (const auto& [id, offset] : offsets)
            Word(dir, id | 1u << 20), Word(dir, offset);
        Bytes dirRecord;
        Header(dirRecord, 0, kDirectory, static_cast<std::uint32_t>(dir.size()));
        dirRecord.insert(dirRecord.end(), dir.begin(), dir.end());
        const std::uint32_t dirAt = Append(dirRecord);
        Bytes edit;
        Header(edit, 0, kUserEdit, 28);
        Word(edit, 0x103), Word(edit, 3u << 24), Word(edit, lastEdit), Word(edit, dirAt), Word(edit, kDocId),
            Word(edit, 20), Word(edit, 1);
        lastEdit = Append(edit);
        return lastEdit;
    }
};

// A full save of three slides A, B, C (ids 3, 4, 5) and the master.
StreamWriter FullSave() {
    StreamWriter w;
    w.Save({{kDocId, StreamWriter::Document({3, 4, 5})},
            {kMasterId, Tagged(kMaster, "M")},
            {3, Tagged(kSlide, "A")},
            {4, Tagged(kSlide, "B")},
            {5, Tagged(kSlide, "C")}});
    return w;
}

// Three incremental saves after it: A, then B, then A again change.
StreamWriter IncrementalSaves(std::vector<std::uint32_t>* edits = nullptr) {
    StreamWriter w = FullSave();
    for (const auto& [id, tag] : std::vector<std::pair<std::uint32_t, std::string>>{{3, "A2"}, {4, "B2"}, {3, "A3"}}) {
        const std::uint32_t at = w.Save({{kDocId, StreamWriter::Document({3, 4, 5})}, {id, Tagged(kSlide, tag)}});
        if (edits)
            edits->push_back(at);
    }
    return w;
}

std::uint32_t Le32(const Bytes& b, std::size_t at) { return *CByteView(b.data(), b.size()).Le32(at); }
std::uint16_t Le16(const Bytes& b, std::size_t at) { return *CByteView(b.data(), b.size()).Le16(at); }

// Reads the written stream back: the tags of the slides in slide-list order,
// and the ids in its persist directory. Fails the test on any inconsistency.
std::vector<std::string> ReadBack(const RelinkResult& r, std::set<std::uint32_t>& ids) {
    const Bytes& s = r.stream;
    std::vector<std::string> tags;
    EXPECT_EQ(Le16(s, r.userEditOffset + 2), kUserEdit);
    EXPECT_EQ(r.userEditOffset + 36, s.size()) << "the user edit ends the stream";
    EXPECT_EQ(Le32(s, r.userEditOffset + 16), 0u) << "offsetLastEdit";
    const std::uint32_t dirAt = Le32(s, r.userEditOffset + 20);
    EXPECT_EQ(Le16(s, dirAt + 2), kDirectory);
    std::map<std::uint32_t, std::uint32_t> offsets;
    const std::uint32_t dirEnd = dirAt + 8 + Le32(s, dirAt + 4);
    for (std::uint32_t at = dirAt + 8; at < dirEnd;) {
        const std::uint32_t word = Le32(s, at), count = word >> 20;
        for (std::uint32_t k = 0; k < count; ++k)
            offsets[(word & 0xFFFFF) + k] = Le32(s, at + 4 + 4 * k);
        at += 4 + 4 * count;
    }
    for (const auto& [id, _] : offsets)
        ids.insert(id);
    EXPECT_GT(Le32(s, r.userEditOffset + 28), offsets.rbegin()->first) << "persistIdSeed above every id";
    const std::uint32_t doc = offsets.at(Le32(s, r.userEditOffset + 24));
    EXPECT_EQ(Le16(s, doc + 2), kDocument);
    const std::uint32_t docEnd = doc + 8 + Le32(s, doc + 4);
    for (std::uint32_t at = doc + 8; at < docEnd; at += 8 + Le32(s, at + 4)) {
        if (Le16(s, at + 2) != kSlideList || Le16(s, at) >> 4 != 0)
            continue;
        for (std::uint32_t atom = at + 8; atom < at + 8 + Le32(s, at + 4); atom += 8 + Le32(s, atom + 4)) {
            const std::uint32_t slide = offsets.at(Le32(s, atom + 8));
            EXPECT_EQ(Le16(s, slide + 2), kSlide);
            const std::uint32_t tagLength = Le32(s, slide + 12);
            tags.emplace_back(s.begin() + slide + 16, s.begin() + slide + 16 + tagLength);
        }
    }
    return tags;
}

struct Row {
    const char* name;
    std::function<Bytes()> build;
    std::vector<std::string> slides;  // tags in slide order
    std::set<std::uint32_t> ids;      // persist ids written
    bool everythingKept;
    bool fromOlderVersions;
};

// Zeroes `count` bytes at `at`.
Bytes Zeroed(Bytes b, std::size_t at, std::size_t count) {
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + count), 0);
    return b;
}
// The last save's offsetLastEdit set to `value` (a function of the edit's offset).
Bytes LastLinkTo(std::function<std::uint32_t(std::uint32_t)> value) {
    StreamWriter w = IncrementalSaves();
    PutLe32(&w.bytes[w.lastEdit + 16], value(w.lastEdit));
    return w.bytes;
}
// Offset of the first record of `type` holding `tag`.
std::size_t Find(const Bytes& b, std::uint16_t type, const std::string& tag) {
    const Bytes record = Tagged(type, tag);
    return static_cast<std::size_t>(std::search(b.begin(), b.end(), record.begin(), record.end()) - b.begin());
}

const std::set<std::uint32_t> kAll = {1, 2, 3, 4, 5};

const Row kRows[] = {
    {"one full save", [] { return FullSave().bytes; }, {"A", "B", "C"}, kAll, true, false},
    {"three incremental saves", [] { return IncrementalSaves().bytes; }, {"A3", "B2", "C"}, kAll, true, false},
    {"last link points forward", [] { return LastLinkTo([](std::uint32_t at) { return at + 4; }); },
     {"A3", "B2", "C"}, kAll, true, false},
    {"last link points at itself", [] { return LastLinkTo([](std::uint32_t at) { return at; }); },
     {"A3", "B2", "C"}, kAll, true, false},
    {"last link points outside", [] { return LastLinkTo([](std::uint32_t) { return 0xFFFFFF00u; }); },
     {"A3", "B2", "C"}, kAll, true, false},
    {"entry points at garbage, object found by the scan",
     [] {
         StreamWriter w = FullSave();
         // The directory entry of slide B (id 4) points into slide A's body.
         const std::size_t dir = w.bytes.size() - 36 - 8 - 40;
         PutLe32(&w.bytes[dir + 8 + 3 * 8 + 4], static_cast<std::uint32_t>(Find(w.bytes, kSlide, "A") + 9));
         return w.bytes;
     },
     {"A", "B", "C"}, kAll, false, false},
    {"entry points at garbage, object gone",
     [] {
         StreamWriter w = FullSave();
         const std::size_t dir = w.bytes.size() - 36 - 8 - 40;
         const std::size_t b = Find(w.bytes, kSlide, "B");
         PutLe32(&w.bytes[dir + 8 + 3 * 8 + 4], static_cast<std::uint32_t>(Find(w.bytes, kSlide, "A") + 9));
         return Zeroed(w.bytes, b, 4);
     },
     {"A", "C"}, {1, 2, 3, 5}, false, false},
    {"live document lost",
     [] {
         StreamWriter w = FullSave();
         w.Save({{kDocId, StreamWriter::Document({3, 4, 5, 6})}, {6, Tagged(kSlide, "D")}});
         // The last save writes the document first: its header is lost.
         const std::size_t newest = w.bytes.size();
         w.Save({{kDocId, StreamWriter::Document({5, 3})}, {3, Tagged(kSlide, "A2")}});
         return Zeroed(w.bytes, newest, 8);
     },
     {"A2", "B", "C", "D"}, {1, 2, 3, 4, 5, 6}, false, true},
    {"persist directory of the last save lost",
     [] {
         StreamWriter w = IncrementalSaves();
         return Zeroed(w.bytes, w.lastEdit - 8 - 16, 8);
     },
     {"A2", "B2", "C"}, kAll, false, false},
    {"last user edit header zeroed",
     [] {
         StreamWriter w = IncrementalSaves();
         return Zeroed(w.bytes, w.lastEdit, 8);
     },
     {"A3", "B2", "C"}, kAll, true, false},
    {"last user edit cut off",
     [] {
         Bytes b = IncrementalSaves().bytes;
         b.resize(b.size() - 36);
         return b;
     },
     {"A3", "B2", "C"}, kAll, false, false},
    {"stream behind a prefix that is not its own",
     [] {
         Bytes b(700, 0x5A);
         const Bytes stream = IncrementalSaves().bytes;
         b.insert(b.end(), stream.begin(), stream.end());
         return b;
     },
     {"A3", "B2", "C"}, kAll, true, false},
};

class Relink : public ::testing::TestWithParam<Row> {};

TEST_P(Relink, WritesTheLiveObjectsOnceInSlideOrder) {
    const Row& row = GetParam();
    const Bytes image = row.build();
    const RelinkResult r = RelinkDocumentStream(CByteView(image.data(), image.size()));
    ASSERT_TRUE(r.Usable());
    std::set<std::uint32_t> ids;
    EXPECT_EQ(ReadBack(r, ids), row.slides);
    EXPECT_EQ(ids, row.ids);
    EXPECT_EQ(r.everythingKept, row.everythingKept);
    EXPECT_EQ(r.fromOlderVersions, row.fromOlderVersions);
    EXPECT_EQ(r.everythingKept, r.items.empty() || std::all_of(r.items.begin(), r.items.end(), [](const ReportItem& i) {
                                    return i.state == ItemState::Mended && i.name.rfind("user edit", 0) == 0;
                                })) << "every loss is reported";
}

INSTANTIATE_TEST_SUITE_P(Streams, Relink, ::testing::ValuesIn(kRows), RowName{});

TEST(RelinkEdges, CurrentUserNamesTheLiveEditEvenWithANewerOneBehindIt) {
    std::vector<std::uint32_t> edits;
    const Bytes image = IncrementalSaves(&edits).bytes;
    const RelinkResult r = RelinkDocumentStream(CByteView(image.data(), image.size()), edits[1]);
    std::set<std::uint32_t> ids;
    EXPECT_EQ(ReadBack(r, ids), (std::vector<std::string>{"A2", "B2", "C"}));
}

TEST(RelinkEdges, LinksThatLoopOrIdsOutOfRangeEndTheWalk) {
    StreamWriter w = IncrementalSaves();
    // A directory run of 4095 ids from the highest id: cut by its length.
    const std::size_t dir = w.lastEdit - 8 - 16;
    PutLe32(&w.bytes[dir + 8], 0xFFFFFu | 0xFFFu << 20);
    const RelinkResult r = RelinkDocumentStream(CByteView(w.bytes.data(), w.bytes.size()));
    ASSERT_TRUE(r.Usable());
    std::set<std::uint32_t> ids;
    EXPECT_EQ(ReadBack(r, ids), (std::vector<std::string>{"A2", "B2", "C"}));
}

TEST(RelinkEdges, SectorsOutOfStreamOrderAreFoundByTheirPlaceInASector) {
    // The full save, then three incremental saves, each part padded to whole
    // sectors; the file holds junk, then the later part before the first.
    StreamWriter w = FullSave();
    w.bytes.resize((w.bytes.size() / 512 + 1) * 512, 0);
    const std::size_t split = w.bytes.size();
    for (const auto& [id, tag] : std::vector<std::pair<std::uint32_t, std::string>>{{3, "A2"}, {4, "B2"}, {3, "A3"}})
        w.Save({{kDocId, StreamWriter::Document({3, 4, 5})}, {id, Tagged(kSlide, tag)}});
    Bytes file(512, 0x5A);
    file.insert(file.end(), w.bytes.begin() + static_cast<std::ptrdiff_t>(split), w.bytes.end());
    file.resize((file.size() / 512 + 1) * 512, 0);
    file.insert(file.end(), w.bytes.begin(), w.bytes.begin() + static_cast<std::ptrdiff_t>(split));

    const CByteView view(file.data(), file.size());
    EXPECT_FALSE(RelinkDocumentStream(view).everythingKept) << "read as one stream, the first save is not where it is named";
    const RelinkResult r = RelinkDocumentStream(view, std::nullopt, {}, true);
    ASSERT_TRUE(r.Usable());
    std::set<std::uint32_t> ids;
    EXPECT_EQ(ReadBack(r, ids), (std::vector<std::string>{"A3", "B2", "C"}));
    EXPECT_EQ(ids, kAll);
    EXPECT_TRUE(r.everythingKept);
}

TEST(RelinkEdges, NothingUsableWithoutAPersistDirectory) {
    Bytes noDirectory = FullSave().bytes;
    noDirectory.resize(noDirectory.size() - 36 - 48);  // the directory and user edit cut off
    for (const Bytes& image : {Bytes{}, Bytes(5, 0), Bytes(4096, 0xFF), noDirectory})
        EXPECT_FALSE(RelinkDocumentStream(CByteView(image.data(), image.size())).Usable());
}

TEST(RelinkEdges, BStoreEntriesPointAtTheirPicturesInTheWrittenStream) {
    // A document with a drawing group whose BStore holds one FBSE.
    Bytes fbse;
    Header(fbse, 0x0062, 0xF007, 36);
    const std::size_t uidAt = fbse.size() + 2;
    fbse.resize(fbse.size() + 36, 0);
    for (int i = 0; i < 16; ++i)
        fbse[uidAt + i] = static_cast<std::uint8_t>(0xA0 + i);
    PutLe32(&fbse[8 + 28], 0x7777);
    const Bytes group = Container(0x040B, 0, Container(0xF000, 0, Container(0xF001, 1, fbse)));
    Bytes doc = StreamWriter::Document({3});
    doc.insert(doc.end(), group.begin(), group.end());
    PutLe32(&doc[4], static_cast<std::uint32_t>(doc.size() - 8));
    StreamWriter w;
    w.Save({{kDocId, doc}, {kMasterId, Tagged(kMaster, "M")}, {3, Tagged(kSlide, "A")}});

    PictureSlot slot;
    for (int i = 0; i < 16; ++i)
        slot.uid[i] = static_cast<std::uint8_t>(0xA0 + i);
    slot.offset = 0x1234;
    const RelinkResult r = RelinkDocumentStream(CByteView(w.bytes.data(), w.bytes.size()), std::nullopt, {slot});
    ASSERT_TRUE(r.Usable());
    const auto at = std::search(r.stream.begin(), r.stream.end(), fbse.begin(), fbse.begin() + 8 + 28);
    ASSERT_NE(at, r.stream.end());
    EXPECT_EQ(Le32(r.stream, static_cast<std::size_t>(at - r.stream.begin()) + 8 + 28), 0x1234u);
}

// A spoilt length in the master list would hide the slide list after it: the
// document is mended before its lists are read.
TEST(RelinkEdges, TheDocumentIsMendedBeforeItsListsAreRead) {
    StreamWriter w = FullSave();
    const Bytes masterList = Container(kSlideList, 1, {});
    const std::size_t list = static_cast<std::size_t>(
        std::search(w.bytes.begin(), w.bytes.end(), masterList.begin(), masterList.begin() + 4) - w.bytes.begin());
    PutLe32(&w.bytes[list + 4], Le32(w.bytes, list + 4) ^ 0xFF00);
    const RelinkResult r = RelinkDocumentStream(CByteView(w.bytes.data(), w.bytes.size()));
    ASSERT_TRUE(r.Usable());
    std::set<std::uint32_t> ids;
    EXPECT_EQ(ReadBack(r, ids), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(ids, kAll);
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_EQ(r.items[0].name, "document (persist id 1)");
    EXPECT_EQ(r.items[0].how, "its records did not hold together: 1 record lengths mended");
}

// Stricter readers refuse a presentation with a page that has no drawing.
TEST(RelinkEdges, APageWhoseDrawingIsLostGetsAnEmptyOne) {
    StreamWriter w;
    w.Save({{kDocId, StreamWriter::Document({3})}, {kMasterId, Tagged(kMaster, "M")}, {3, Tagged(kSlide, "A", false)}});
    const RelinkResult r = RelinkDocumentStream(CByteView(w.bytes.data(), w.bytes.size()));
    ASSERT_TRUE(r.Usable());
    std::set<std::uint32_t> ids;
    EXPECT_EQ(ReadBack(r, ids), std::vector<std::string>{"A"});
    const auto slide = std::find_if(r.kept.begin(), r.kept.end(), [](const RelinkedObject& o) { return o.persistId == 3; });
    ASSERT_NE(slide, r.kept.end());
    const std::size_t drawing = slide->streamOffset + 8 + 8 + 1;  // after the tag "A"
    EXPECT_EQ(Le16(r.stream, drawing + 2), kDrawing);
    EXPECT_EQ(Le32(r.stream, slide->streamOffset + 4), 8 + 1 + 8 + Le32(r.stream, drawing + 4)) << "the slide holds it";
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_EQ(r.items[0].how, "its drawing is lost; it has an empty one");
    EXPECT_FALSE(r.everythingKept);
}

}  // namespace
