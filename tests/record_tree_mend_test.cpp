// The mend of a persist object whose records no longer hold together, on a
// small slide built by hand: each row spoils it the way damage does (an
// inverted byte, a flipped bit, a zeroed stretch) and states the exact object
// that must come back.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/ppt/record_tree_mend.h"
#include "support/record_builder.h"
#include "support/test_names.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using record_builder::Half;
using record_builder::Header;
using record_builder::Word;

constexpr std::uint16_t kSlide = 0x03EE, kSlideAtom = 0x03EF, kDrawing = 0x040C, kDg = 0xF002, kFdg = 0xF008,
                        kSpgr = 0xF003, kSp = 0xF004, kFsp = 0xF00A, kFopt = 0xF00B, kTextHeader = 0x0F9F,
                        kTextChars = 0x0FA0, kTextBytes = 0x0FA8, kTextRuler = 0x0FA6, kColorScheme = 0x07F0,
                        kRoundTrip = 0x0428;

Bytes Atom(std::uint16_t verInstance, std::uint16_t type, const Bytes& body) {
    Bytes out;
    Header(out, verInstance, type, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
Bytes Container(std::uint16_t type, const std::vector<Bytes>& children) {
    Bytes body;
    for (const Bytes& child : children)
        body.insert(body.end(), child.begin(), child.end());
    return Atom(0xF, type, body);
}

struct Shape {
    bool withoutTextChars = false;     // the slide as it is once the zeroed record is left out
    bool simplePropertiesOnly = false;  // its property table once the complex data is left out
    bool withoutRuler = false;          // the slide once its overrun text ruler is left out
};

// A text ruler naming its levels and default tab size (2 bytes each).
Bytes Ruler() {
    Bytes body;
    Word(body, 0x3), Half(body, 1), Half(body, 576);
    return Atom(0, kTextRuler, body);
}

// A shape property table: two simple properties and one complex of 6 bytes.
// The first's value is no single spoiling away from 0, so that it cannot be
// taken for a complex property's spoilt length.
Bytes PropertyTable(bool simpleOnly) {
    Bytes body;
    Half(body, 0x0004), Word(body, 0x00010001);
    if (!simpleOnly)
        Half(body, 0x8145), Word(body, 6);
    Half(body, 0x0080), Word(body, 2);
    if (!simpleOnly)
        body.insert(body.end(), {1, 2, 3, 4, 5, 6});
    return Atom(static_cast<std::uint16_t>(3 | (simpleOnly ? 2 : 3) << 4), kFopt, body);
}

// A slide: its atom, a drawing of one shape, text atoms, a colour scheme.
// The text header's length (4) with bit 6 flipped (68) would end it where the
// record after the four text atoms begins.
Bytes Slide(Shape shape = {}) {
    const Bytes drawing = Container(
        kDrawing, {Container(kDg, {Atom(0x10, kFdg, Bytes(8, 0x22)),
                                   Container(kSpgr, {Container(kSp, {Atom(0x2, kFsp, Bytes(8, 0x33)),
                                                                     PropertyTable(shape.simplePropertiesOnly)})})})});
    std::vector<Bytes> children = {Atom(0x2, kSlideAtom, Bytes(24, 0x11)), drawing,
                                   Atom(0, kTextHeader, Bytes(4, 0x01)), Atom(0, kTextBytes, Bytes(8, 'a')),
                                   Atom(0, kTextChars, Bytes(8, 'b')), Atom(0, kTextBytes, Bytes(8, 'c')),
                                   Atom(0, kTextBytes, Bytes(8, 'd')), Atom(0, kColorScheme, Bytes(32, 0x44))};
    if (shape.withoutTextChars)
        children.erase(children.begin() + 4);
    if (!shape.withoutRuler)
        children.push_back(Ruler());
    return Container(kSlide, children);
}

// Offset of the `nth` record of `type` in a tree that holds together.
std::size_t Find(const Bytes& b, std::uint16_t type, int nth = 0) {
    std::function<std::size_t(std::size_t, std::size_t)> walk = [&](std::size_t begin, std::size_t end) {
        for (std::size_t at = begin; at < end;) {
            const CByteView view(b.data(), b.size());
            const std::uint16_t verInstance = *view.Le16(at);
            const std::uint32_t length = *view.Le32(at + 4);
            if (*view.Le16(at + 2) == type && nth-- == 0)
                return at;
            if ((verInstance & 0xF) == 0xF) {
                const std::size_t found = walk(at + 8, at + 8 + length);
                if (found != b.size())
                    return found;
            }
            at += 8 + length;
        }
        return b.size();
    };
    const std::size_t found = walk(0, b.size());
    EXPECT_NE(found, b.size()) << "no record of type " << type;
    return found;
}

Bytes Xor32(Bytes b, std::size_t at, std::uint32_t mask) {
    PutLe32(&b[at], *CByteView(b.data(), b.size()).Le32(at) ^ mask);
    return b;
}
Bytes Xor16(Bytes b, std::size_t at, std::uint16_t mask) {
    PutLe16(&b[at], static_cast<std::uint16_t>(*CByteView(b.data(), b.size()).Le16(at) ^ mask));
    return b;
}
// The offset of the property table's `k`th entry.
std::size_t Property(const Bytes& b, int k) { return Find(b, kFopt) + 8 + 6 * static_cast<std::size_t>(k); }

struct Row {
    const char* name;
    std::function<Bytes()> damaged;
    Bytes expected;  // empty: the object is left as it is
    RecordTreeMend counts;
};

const Row kRows[] = {
    {"a tree that holds together", [] { return Slide(); }, {}, {}},
    {"an atom's length with a byte inverted", [] { return Xor32(Slide(), Find(Slide(), kSlideAtom) + 4, 0xFF); },
     Slide(), {{}, 1, 0, 0, 0}},
    {"a container's length with a bit flipped", [] { return Xor32(Slide(), Find(Slide(), kDrawing) + 4, 0x10); },
     Slide(), {{}, 1, 0, 0, 0}},
    {"a length one flip away from skipping two spoilt ones stays",
     [] {
         const Bytes slide = Slide();
         return Xor32(Xor32(slide, Find(slide, kTextBytes, 0) + 4, 0x4), Find(slide, kTextBytes, 2) + 4, 0x4);
     },
     Slide(), {{}, 2, 0, 0, 0}},
    {"a zeroed record is left out",
     [] {
         Bytes slide = Slide();
         std::fill_n(slide.begin() + static_cast<std::ptrdiff_t>(Find(slide, kTextChars)), 16, 0);
         return slide;
     },
     Slide({.withoutTextChars = true}), {{}, 0, 0, 0, 16}},
    {"a type with a byte inverted", [] { return Xor16(Slide(), Find(Slide(), kDrawing) + 2, 0xFF00); }, Slide(),
     {{}, 0, 1, 0, 0}},
    // The colour scheme's length (32) with bit 4 flipped (48) ends the slide
    // after the ruler, but the format fixes that length.
    {"an atom of fixed length whose spoilt length leads on",
     [] { return Xor32(Slide(), Find(Slide(), kColorScheme) + 4, 0x10); }, Slide(), {{}, 1, 0, 0, 0}},
    // 0x07F0 with its high byte inverted is 0xF8F0, one bit away from 0xF0F0,
    // which lies in the drawing range but is no type of the format.
    {"a type spoilt where one candidate is the format's",
     [] { return Xor16(Slide(), Find(Slide(), kColorScheme) + 2, 0xFF00); }, Slide(), {{}, 0, 1, 0, 0}},
    {"a complex property's length with a bit flipped", [] { return Xor32(Slide(), Property(Slide(), 1) + 2, 0x100); },
     Slide(), {{}, 0, 0, 1, 0}},
    {"a simple property turned complex", [] { return Xor16(Slide(), Property(Slide(), 0), 0x8000); }, Slide(),
     {{}, 0, 0, 1, 0}},
    {"a property table past mending keeps its simple properties",
     [] { return Xor32(Slide(), Property(Slide(), 1) + 2, 0x7770); }, Slide({.simplePropertiesOnly = true}),
     {{}, 0, 0, 1, 0}},
    {"a text ruler whose mask names a field it lacks is left out",
     [] { return Xor32(Slide(), Find(Slide(), kTextRuler) + 8, 0x8); }, Slide({.withoutRuler = true}),
     {{}, 0, 0, 0, 0, 1}},
    {"a round-trip atom marked as a container is no container",
     [] {
         Bytes body = {'P', 'K', 3, 4};
         body.resize(40, 0x7F);
         return Container(kSlide, {Atom(0x2, kSlideAtom, Bytes(24, 0x11)), Atom(0xF, kRoundTrip, body)});
     },
     {}, {}},
};

class TreeMend : public ::testing::TestWithParam<Row> {};

TEST_P(TreeMend, TheObjectComesBackAsItWasWrittenWhereOneSpoilingExplainsTheDamage) {
    const Row& row = GetParam();
    const Bytes damaged = row.damaged();
    const auto mend = MendRecordTree(CByteView(damaged.data(), damaged.size()));
    if (row.expected.empty()) {
        EXPECT_FALSE(mend.has_value());
        return;
    }
    ASSERT_TRUE(mend.has_value());
    EXPECT_EQ(mend->bytes, row.expected);
    EXPECT_EQ(mend->lengthsMended, row.counts.lengthsMended);
    EXPECT_EQ(mend->typesRestored, row.counts.typesRestored);
    EXPECT_EQ(mend->tablesMended, row.counts.tablesMended);
    EXPECT_EQ(mend->bytesDropped, row.counts.bytesDropped);
}

INSTANTIATE_TEST_SUITE_P(Objects, TreeMend, ::testing::ValuesIn(kRows), RowName{});

// Damage that hits every byte of an object in turn (each inverted, then each
// zeroed) never makes the mend read or write outside it (the sanitizers
// watch), never makes the object longer, and a second mend finds nothing left
// to mend.
TEST(TreeMendEdges, EverySpoiltByteIsMendedInOnePass) {
    const Bytes slide = Slide();
    for (std::size_t at = 0; at < slide.size(); ++at) {
        for (const std::uint8_t spoil : {0xFF, 0x00}) {
            Bytes damaged = slide;
            damaged[at] = spoil == 0 ? 0 : static_cast<std::uint8_t>(damaged[at] ^ spoil);
            const auto mend = MendRecordTree(CByteView(damaged.data(), damaged.size()));
            if (!mend)
                continue;
            EXPECT_FALSE(MendRecordTree(CByteView(mend->bytes.data(), mend->bytes.size())).has_value())
                << "byte " << at << " spoilt with " << int(spoil);
            EXPECT_LE(mend->bytes.size(), damaged.size()) << "byte " << at << " spoilt with " << int(spoil);
        }
    }
}

}  // namespace
