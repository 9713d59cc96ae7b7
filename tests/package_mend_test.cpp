// The package repair after the container rebuild, over small constructed
// presentations: a table of damaged packages with the exact parts that must come
// out and their states, then what every result must satisfy.
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "repair/pptx/package_mend.h"
#include "repair/pptx/package_rebuild.h"
#include "repair/pptx/package_scaffold.h"
#include "support/package_job.h"
#include "support/libzip_reader.h"
#include "support/office_required.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

using testzip::Builder;
using testzip::Bytes;
using testzip::Deflated;
using testzip::Entry;

namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const std::string kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const std::string kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const std::string kPml = "application/vnd.openxmlformats-officedocument.presentationml.";
const std::string kPNs = "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
                         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
                         "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"";

std::string Rels(const std::vector<std::pair<std::string, std::string>>& typeAndTarget) {
    std::string out = kDecl + "<Relationships xmlns=\"" + kRelsNs + "\">";
    int id = 1;
    for (const auto& [type, target] : typeAndTarget)
        out += "<Relationship Id=\"rId" + std::to_string(id++) + "\" Type=\"" + kRelType + type +
               "\" Target=\"" + target + "\"/>";
    return out + "</Relationships>";
}

// A slide of 40 text lines; letters drawn at random so that the deflated data
// grows with the text, and a cut half-way keeps about half of it.
std::string Slide(int n, bool picture = false) {
    std::string body;
    std::uint32_t seed = 2463534242u + static_cast<std::uint32_t>(n);
    for (int i = 0; i < 40; ++i) {
        std::string words;
        for (int k = 0; k < 40; ++k) {
            seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
            words += static_cast<char>('a' + seed % 26);
        }
        body += "<p:sp><p:txBody><a:p><a:r><a:t>Slide " + std::to_string(n) + " line " + std::to_string(i) + " " +
                words + "</a:t></a:r></a:p></p:txBody></p:sp>";
    }
    if (picture)
        body += "<p:pic><p:blipFill><a:blip r:embed=\"rId2\"/></p:blipFill></p:pic>";
    return kDecl + "<p:sld " + kPNs + "><p:cSld><p:spTree>" + body + "</p:spTree></p:cSld></p:sld>";
}

std::string ContentTypes() {
    std::string out = kDecl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                      "<Default Extension=\"png\" ContentType=\"image/png\"/>"
                      "<Override PartName=\"/ppt/presentation.xml\" ContentType=\"" + kPml + "presentation.main+xml\"/>"
                      "<Override PartName=\"/ppt/slideMasters/slideMaster1.xml\" ContentType=\"" + kPml + "slideMaster+xml\"/>";
    for (int n = 1; n <= 2; ++n)
        out += "<Override PartName=\"/ppt/slideLayouts/slideLayout" + std::to_string(n) + ".xml\" ContentType=\"" + kPml +
               "slideLayout+xml\"/>";
    for (int n = 1; n <= 3; ++n)
        out += "<Override PartName=\"/ppt/slides/slide" + std::to_string(n) + ".xml\" ContentType=\"" + kPml + "slide+xml\"/>";
    return out + "<Override PartName=\"/ppt/theme/theme1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/></Types>";
}

std::string Presentation() {
    return kDecl + "<p:presentation " + kPNs + "><p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/>"
           "</p:sldMasterIdLst><p:sldIdLst><p:sldId id=\"256\" r:id=\"rId2\"/><p:sldId id=\"257\" r:id=\"rId3\"/>"
           "<p:sldId id=\"258\" r:id=\"rId4\"/></p:sldIdLst><p:sldSz cx=\"9144000\" cy=\"6858000\"/>"
           "<p:notesSz cx=\"6858000\" cy=\"9144000\"/></p:presentation>";
}

// The parts of a small sound presentation, in the order they are written.
std::vector<Entry> SoundParts() {
    std::string png = "\x89PNG\r\n\x1a\n" + std::string(2000, 'i');
    return {
        Deflated("[Content_Types].xml", ContentTypes()),
        Deflated("_rels/.rels", Rels({{"officeDocument", "ppt/presentation.xml"}})),
        Deflated("ppt/presentation.xml", Presentation()),
        Deflated("ppt/_rels/presentation.xml.rels",
                 Rels({{"slideMaster", "slideMasters/slideMaster1.xml"}, {"slide", "slides/slide1.xml"},
                       {"slide", "slides/slide2.xml"}, {"slide", "slides/slide3.xml"}, {"theme", "theme/theme1.xml"}})),
        Deflated("ppt/slideMasters/slideMaster1.xml",
                 kDecl + "<p:sldMaster " + kPNs + "><p:sldLayoutIdLst><p:sldLayoutId id=\"2147483649\" r:id=\"rId1\"/>"
                 "<p:sldLayoutId id=\"2147483650\" r:id=\"rId2\"/></p:sldLayoutIdLst></p:sldMaster>"),
        Deflated("ppt/slideMasters/_rels/slideMaster1.xml.rels",
                 Rels({{"slideLayout", "../slideLayouts/slideLayout1.xml"}, {"slideLayout", "../slideLayouts/slideLayout2.xml"},
                       {"theme", "../theme/theme1.xml"}})),
        Deflated("ppt/slideLayouts/slideLayout1.xml", kDecl + "<p:sldLayout " + kPNs + "/>"),
        Deflated("ppt/slideLayouts/_rels/slideLayout1.xml.rels", Rels({{"slideMaster", "../slideMasters/slideMaster1.xml"}})),
        Deflated("ppt/slideLayouts/slideLayout2.xml", kDecl + "<p:sldLayout " + kPNs + "/>"),
        Deflated("ppt/slideLayouts/_rels/slideLayout2.xml.rels", Rels({{"slideMaster", "../slideMasters/slideMaster1.xml"}})),
        Deflated("ppt/theme/theme1.xml", kDecl + "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"/>"),
        Deflated("ppt/media/image1.png", png),
        Deflated("ppt/slides/_rels/slide1.xml.rels",
                 Rels({{"slideLayout", "../slideLayouts/slideLayout1.xml"}, {"image", "../media/image1.png"}})),
        Deflated("ppt/slides/slide1.xml", Slide(1, true)),
        Deflated("ppt/slides/_rels/slide2.xml.rels", Rels({{"slideLayout", "../slideLayouts/slideLayout2.xml"}})),
        Deflated("ppt/slides/slide2.xml", Slide(2)),
        Deflated("ppt/slides/_rels/slide3.xml.rels", Rels({{"slideLayout", "../slideLayouts/slideLayout1.xml"}})),
        Deflated("ppt/slides/slide3.xml", Slide(3)),
    };
}

Bytes Build(const std::vector<Entry>& parts, bool finish = true) {
    Builder b;
    for (const auto& e : parts)
        b.Add(e);
    if (finish)
        b.Finish();
    return b.bytes();
}

std::vector<Entry> Without(std::vector<Entry> parts, const std::vector<std::string>& names) {
    std::erase_if(parts, [&](const Entry& e) { return std::find(names.begin(), names.end(), e.name) != names.end(); });
    return parts;
}

std::vector<Entry> Changed(std::vector<Entry> parts, const std::string& name, const std::function<void(Entry&)>& change) {
    for (auto& e : parts)
        if (e.name == name)
            change(e);
    return parts;
}

// The package cut `keep` bytes into the data of its last entry.
Bytes CutInLast(const std::vector<Entry>& parts, std::size_t keep) {
    Builder b;
    std::uint64_t last = 0;
    for (const auto& e : parts)
        last = b.Add(e);
    Bytes bytes = b.bytes();
    bytes.resize(last + 30 + parts.back().name.size() + keep);
    return bytes;
}

// The whole package with one byte of `name`'s local header damaged.
Bytes WithDamagedHeader(const std::vector<Entry>& parts, const std::string& name, std::size_t field,
                        std::uint8_t flip) {
    Builder b;
    std::uint64_t at = 0;
    for (const auto& e : parts) {
        std::uint64_t offset = b.Add(e);
        if (e.name == name)
            at = offset;
    }
    b.Finish();
    Bytes bytes = b.bytes();
    bytes[at + field] ^= flip;
    return bytes;
}

// The parts as a streaming writer leaves them: sizes and CRC in a descriptor
// behind the data, with or without its signature.
std::vector<Entry> Streamed(std::vector<Entry> parts, bool signature) {
    for (auto& e : parts) {
        e.streaming = true;
        e.descriptorSigned = signature;
    }
    return parts;
}

// The parts with 65,536 one-byte pictures before the last one.
std::vector<Entry> WithFillers(std::vector<Entry> parts) {
    constexpr int kFillers = 65536;
    std::vector<Entry> fillers;
    fillers.reserve(kFillers);
    for (int i = 0; i < kFillers; ++i)
        fillers.emplace_back("ppt/media/f" + std::to_string(i) + ".png", "x");
    parts.insert(parts.end() - 1, fillers.begin(), fillers.end());
    return parts;
}

std::vector<Entry> Moved(std::vector<Entry> parts, const std::string& name) {
    auto it = std::find_if(parts.begin(), parts.end(), [&](const Entry& e) { return e.name == name; });
    Entry e = *it;
    parts.erase(it);
    parts.push_back(e);
    return parts;
}

struct Repaired {
    PackageRepairResult result;
    Bytes bytes;
    std::map<std::string, ItemState> states;
};

Repaired Repair(const Bytes& source) {
    TempDir dir;
    testzip::WriteFile(dir / "in.pptx", source);
    TestPackageJob job;
    Repaired r;
    r.result = RepairPackageFile(job.Job(), dir / "in.pptx", dir / "out.pptx");
    r.bytes = testzip::ReadFile(dir / "out.pptx");
    for (const auto& item : r.result.items)
        r.states[item.name] = item.state;
    return r;
}

constexpr ItemState K = ItemState::Kept, M = ItemState::Mended, R = ItemState::Regenerated, L = ItemState::LeftOut;

// Every state Kept except those named.
std::map<std::string, ItemState> Expected(const std::vector<Entry>& parts, std::map<std::string, ItemState> changes) {
    std::map<std::string, ItemState> states;
    for (const auto& e : parts)
        states[e.name] = K;
    for (const auto& [name, state] : changes)
        states[name] = state;
    return states;
}

// The part a relationship target names, from the relationships part `rels`.
std::string Resolved(const std::string& rels, const std::string& target) {
    std::string path = target[0] == '/' ? target.substr(1) : rels.substr(0, rels.rfind("_rels/")) + target;
    // Resolve "folder/../" once: the fixtures go up one level at most.
    for (std::size_t up; (up = path.find("/../")) != std::string::npos;)
        path.erase(path.rfind('/', up - 1) + 1, up + 4 - path.rfind('/', up - 1) - 1);
    return path;
}

// The parts that the relationships of `part` of type `type` name.
std::vector<std::string> Related(const ZipContents& zip, const std::string& part, const std::string& type) {
    const std::string rels = part.substr(0, part.rfind('/') + 1) + "_rels/" + part.substr(part.rfind('/') + 1) + ".rels";
    std::vector<std::string> targets;
    auto it = zip.entries.find(rels);
    if (it == zip.entries.end())
        return targets;
    const std::regex relation("Type=\"[^\"]*/" + type + "\" Target=\"([^\"]+)\"");
    for (std::sregex_iterator m(it->second.begin(), it->second.end(), relation), end; m != end; ++m)
        targets.push_back(Resolved(rels, (*m)[1]));
    return targets;
}

// Every relationship of the result points at a part that is there, every XML
// part parses, every slide has a layout whose master the presentation lists,
// and libzip reads every entry with its CRC right.
void ExpectWhole(const Bytes& bytes) {
    TempDir dir;
    testzip::WriteFile(dir / "out.pptx", bytes);
    ZipContents zip = ReadWithLibzip(dir / "out.pptx");
    ASSERT_TRUE(zip.ok) << zip.error;
    ASSERT_TRUE(zip.entries.count("[Content_Types].xml"));
    ASSERT_TRUE(zip.entries.count("_rels/.rels"));
    // The presentation part and every slide have their own type: under the
    // Default for "xml" the office takes the package for no presentation.
    const std::string& types = zip.entries["[Content_Types].xml"];
    const auto masters = Related(zip, "ppt/presentation.xml", "slideMaster");
    const std::regex slidePart("ppt/slides/slide[0-9]+\\.xml");
    for (const auto& [name, data] : zip.entries) {
        const bool slide = std::regex_match(name, slidePart);
        if (slide || name == "ppt/presentation.xml") {
            EXPECT_NE(types.find("PartName=\"/" + name + "\" ContentType=\"" + kPml +
                                 (slide ? "slide+xml" : "presentation.main+xml")),
                      std::string::npos) << name << " untyped in " << types;
        }
        if (!slide)
            continue;
        const auto layouts = Related(zip, name, "slideLayout");
        ASSERT_EQ(layouts.size(), 1u) << name;
        const auto master = Related(zip, layouts[0], "slideMaster");
        ASSERT_EQ(master.size(), 1u) << layouts[0];
        EXPECT_NE(std::find(masters.begin(), masters.end(), master[0]), masters.end()) << master[0];
    }
    const std::regex target("Target=\"([^\"]+)\"");
    for (const auto& [name, data] : zip.entries) {
        SCOPED_TRACE(name);
        if (name.ends_with(".xml") || name.ends_with(".rels")) {
            EXPECT_TRUE(IsWellFormedXml(data));
        }
        if (!name.ends_with(".rels"))
            continue;
        for (std::sregex_iterator it(data.begin(), data.end(), target), end; it != end; ++it)
            EXPECT_TRUE(zip.entries.count(Resolved(name, (*it)[1]))) << "dangling target " << (*it)[1];
    }
}

const std::vector<std::string> kMaster = {"ppt/slideMasters/slideMaster1.xml",
                                          "ppt/slideMasters/_rels/slideMaster1.xml.rels"};
const std::vector<std::string> kLayouts = {
    "ppt/slideLayouts/slideLayout1.xml", "ppt/slideLayouts/_rels/slideLayout1.xml.rels",
    "ppt/slideLayouts/slideLayout2.xml", "ppt/slideLayouts/_rels/slideLayout2.xml.rels"};

std::vector<std::string> MasterLayoutsAndTheme() {
    std::vector<std::string> names = kMaster;
    names.insert(names.end(), kLayouts.begin(), kLayouts.end());
    names.push_back("ppt/theme/theme1.xml");
    return names;
}

struct Case {
    const char* what;
    std::function<Bytes()> build;
    std::map<std::string, ItemState> states;
};

TEST(PackageMend, TableOfDamagedPresentations) {
    const auto sound = SoundParts();
    const std::string slide3 = "ppt/slides/slide3.xml";
    const std::vector<Case> cases = {
        {"a cut inside slide 3", [&] { return CutInLast(sound, testzip::DeflateRaw(Slide(3)).size() / 2); },
         Expected(sound, {{slide3, M}})},
        {"a cut inside the content types, written last",
         [&] { return CutInLast(Moved(sound, "[Content_Types].xml"), testzip::DeflateRaw(ContentTypes()).size() / 2); },
         Expected(sound, {{"[Content_Types].xml", M}})},
        {"the package relationships missing", [&] { return Build(Without(sound, {"_rels/.rels"})); },
         Expected(sound, {{"_rels/.rels", R}})},
        {"the presentation relationships missing",
         [&] { return Build(Without(sound, {"ppt/_rels/presentation.xml.rels"})); },
         Expected(sound, {{"ppt/presentation.xml", R}, {"ppt/_rels/presentation.xml.rels", R}})},
        {"the presentation part missing", [&] { return Build(Without(sound, {"ppt/presentation.xml"})); },
         Expected(sound, {{"ppt/presentation.xml", R}, {"ppt/_rels/presentation.xml.rels", R}})},
        {"a relationship to a lost slide",
         [&] { return Build(Without(sound, {"ppt/slides/slide2.xml", "ppt/slides/_rels/slide2.xml.rels"})); },
         [&] {
             auto s = Expected(Without(sound, {"ppt/slides/slide2.xml", "ppt/slides/_rels/slide2.xml.rels"}),
                               {{"ppt/presentation.xml", M}, {"ppt/_rels/presentation.xml.rels", M},
                                {"[Content_Types].xml", M}});
             return s;
         }()},
        {"a CRC mismatch in slide 2",
         [&] { return Build(Changed(sound, "ppt/slides/slide2.xml", [](Entry& e) { *e.crcOverride ^= 1; })); },
         Expected(sound, {{"ppt/slides/slide2.xml", M}})},
        {"a damaged local header, the directory intact",
         [&] { return WithDamagedHeader(sound, "ppt/slides/slide2.xml", 26, 0x05); },
         Expected(sound, {{"ppt/slides/slide2.xml", M}})},
        {"encryption and patch flags set by damage on a sound slide",
         [&] { return WithDamagedHeader(sound, "ppt/slides/slide1.xml", 6, 0x21); },
         Expected(sound, {{"ppt/slides/slide1.xml", M}})},
        {"a damaged picture",
         [&] { return Build(Changed(sound, "ppt/media/image1.png", [](Entry& e) { e.data[e.data.size() / 2] ^= 0x55; })); },
         Expected(sound, {{"ppt/media/image1.png", L}, {"ppt/slides/_rels/slide1.xml.rels", M},
                          {"ppt/slides/slide1.xml", M}, {"[Content_Types].xml", K}})},
        {"a slide whose layout is lost",
         [&] { return Build(Without(sound, {"ppt/slideLayouts/slideLayout2.xml", "ppt/slideLayouts/_rels/slideLayout2.xml.rels"})); },
         Expected(Without(sound, {"ppt/slideLayouts/slideLayout2.xml", "ppt/slideLayouts/_rels/slideLayout2.xml.rels"}),
                  {{"ppt/slides/_rels/slide2.xml.rels", M}, {"ppt/slideMasters/slideMaster1.xml", M},
                   {"ppt/slideMasters/_rels/slideMaster1.xml.rels", M}, {"[Content_Types].xml", M}})},
        {"no slide master survives: one is generated, the lost master's theme kept",
         [&] { return Build(Without(sound, kMaster)); },
         Expected(Without(sound, kMaster),
                  {{kMaster[0], R}, {kMaster[1], R}, {"ppt/slideLayouts/slideLayout3.xml", R},
                   {"ppt/slideLayouts/_rels/slideLayout3.xml.rels", R}, {kLayouts[0], L}, {kLayouts[1], L},
                   {kLayouts[2], L}, {kLayouts[3], L}, {"ppt/slides/_rels/slide1.xml.rels", M},
                   {"ppt/slides/_rels/slide2.xml.rels", M}, {"ppt/slides/_rels/slide3.xml.rels", M},
                   {"ppt/presentation.xml", R}, {"ppt/_rels/presentation.xml.rels", R}, {"[Content_Types].xml", M}})},
        {"no slide master, layout or theme survives: all three are generated",
         [&] { return Build(Without(sound, MasterLayoutsAndTheme())); },
         Expected(Without(sound, MasterLayoutsAndTheme()),
                  // Slides 1 and 3 named the layout whose name the generated one takes.
                  {{kMaster[0], R}, {kMaster[1], R}, {kLayouts[0], R}, {kLayouts[1], R}, {"ppt/theme/theme1.xml", R},
                   {"ppt/slides/_rels/slide2.xml.rels", M}, {"ppt/presentation.xml", R},
                   {"ppt/_rels/presentation.xml.rels", R}, {"[Content_Types].xml", M}})},
        {"a streamed package cut inside slide 3",
         [&] { return CutInLast(Streamed(sound, true), testzip::DeflateRaw(Slide(3)).size() / 2); },
         Expected(sound, {{slide3, M}})},
        {"a streamed package without descriptor signatures cut inside slide 3",
         [&] { return CutInLast(Streamed(sound, false), testzip::DeflateRaw(Slide(3)).size() / 2); },
         Expected(sound, {{slide3, M}})},
        {"a streamed package cut inside a stored slide",
         [&] {
             auto parts = Changed(Streamed(sound, true), slide3, [](Entry& e) { e = Entry(e.name, Slide(3)); });
             parts.back().streaming = true;
             return CutInLast(parts, Slide(3).size() / 2);
         },
         Expected(sound, {{slide3, M}})},
        {"a streamed package cut inside its picture",
         [&] {
             auto parts = Streamed(Moved(sound, "ppt/media/image1.png"), false);
             return CutInLast(parts, parts.back().data.size() / 2);
         },
         Expected(sound, {{"ppt/media/image1.png", L}, {"ppt/slides/_rels/slide1.xml.rels", M},
                          {"ppt/slides/slide1.xml", M}})},
        {"a streamed package cut early inside its content types, written last",
         [&] { return CutInLast(Streamed(Moved(sound, "[Content_Types].xml"), true), 120); },
         Expected(sound, {{"[Content_Types].xml", M}})},
        {"a streamed package without signatures cut inside the last descriptor",
         [&] { return CutInLast(Streamed(sound, false), testzip::DeflateRaw(Slide(3)).size() + 5); },
         Expected(sound, {})},
        {"a streamed package without signatures and without its directory",
         [&] { return Build(Streamed(sound, false), false); }, Expected(sound, {})},
        // More entries than the plain end record counts: the result needs ZIP64
        // end records, and its mending works as for any other package.
        {"a package of 65,536 more entries cut inside slide 3",
         [&] { return CutInLast(WithFillers(sound), testzip::DeflateRaw(Slide(3)).size() / 2); },
         Expected(WithFillers(sound), {{slide3, M}})},
        // A part whose name has no extension and no type of its own gets an
        // Override: a Default with an empty extension makes the package unreadable.
        {"a part without an extension and without a type",
         [&] {
             auto parts = sound;
             parts.push_back(Deflated("ppt/media/image2", "not typed"));
             return Build(parts);
         },
         [&] {
             auto parts = sound;
             parts.push_back(Deflated("ppt/media/image2", "not typed"));
             return Expected(parts, {{"[Content_Types].xml", M}});
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Repaired r = Repair(c.build());
        ASSERT_TRUE(r.result.repaired);
        EXPECT_EQ(r.states, c.states);
        EXPECT_EQ(r.result.everythingKept,
                  std::all_of(c.states.begin(), c.states.end(), [](const auto& s) { return s.second == K; }));
        ExpectWhole(r.bytes);
        TempDir dir;
        testzip::WriteFile(dir / "out.pptx", r.bytes);
        const ZipContents zip = ReadWithLibzip(dir / "out.pptx");
        EXPECT_EQ(zip.entries.at("[Content_Types].xml").find("Extension=\"\""), std::string::npos);
    }
}

TEST(PackageMend, SoundPackageComesOutAsTheContainerRebuildWritesIt) {
    const Bytes source = Build(SoundParts());
    Repaired r = Repair(source);
    ASSERT_TRUE(r.result.repaired);
    EXPECT_TRUE(r.result.everythingKept);
    EXPECT_EQ(r.states, Expected(SoundParts(), {}));

    TempDir dir;
    testzip::WriteFile(dir / "in.pptx", source);
    TestPackageJob job;
    ASSERT_TRUE(RebuildPackageFile(job.Job(), dir / "in.pptx", dir / "rebuilt.pptx"));
    EXPECT_EQ(r.bytes, testzip::ReadFile(dir / "rebuilt.pptx"));
}

TEST(PackageMend, MendedPartsKeepWhatSurvived) {
    Repaired r = Repair(CutInLast(SoundParts(), testzip::DeflateRaw(Slide(3)).size() / 2));
    TempDir dir;
    testzip::WriteFile(dir / "out.pptx", r.bytes);
    ZipContents zip = ReadWithLibzip(dir / "out.pptx");
    ASSERT_TRUE(zip.ok) << zip.error;
    const std::string& slide = zip.entries["ppt/slides/slide3.xml"];
    EXPECT_NE(slide.find("Slide 3 line 0"), std::string::npos);
    EXPECT_EQ(slide.find("Slide 3 line 39"), std::string::npos);
    EXPECT_TRUE(slide.ends_with("</p:sld>\n"));

    // A lost picture becomes a missing picture: its reference goes, the picture stays.
    Repaired p = Repair(Build(Changed(SoundParts(), "ppt/media/image1.png", [](Entry& e) { e.data[e.data.size() / 2] ^= 0x55; })));
    testzip::WriteFile(dir / "pic.pptx", p.bytes);
    ZipContents pic = ReadWithLibzip(dir / "pic.pptx");
    ASSERT_TRUE(pic.ok) << pic.error;
    EXPECT_NE(pic.entries["ppt/slides/slide1.xml"].find("<a:blip/>"), std::string::npos);
    EXPECT_EQ(pic.entries["ppt/slides/_rels/slide1.xml.rels"].find("image1.png"), std::string::npos);
}

TEST(PackageMend, RegeneratedPresentationListsTheSlidesInOrder) {
    Repaired r = Repair(Build(Without(SoundParts(), {"ppt/_rels/presentation.xml.rels"})));
    TempDir dir;
    testzip::WriteFile(dir / "out.pptx", r.bytes);
    ZipContents zip = ReadWithLibzip(dir / "out.pptx");
    const std::string& pres = zip.entries["ppt/presentation.xml"];
    const std::string& rels = zip.entries["ppt/_rels/presentation.xml.rels"];
    EXPECT_NE(pres.find("<p:sldSz cx=\"9144000\" cy=\"6858000\"/>"), std::string::npos) << "size from the old part";
    EXPECT_NE(pres.find("<p:sldId id=\"256\" r:id=\"rId2\"/><p:sldId id=\"257\" r:id=\"rId3\"/>"
                        "<p:sldId id=\"258\" r:id=\"rId4\"/>"), std::string::npos) << pres;
    EXPECT_NE(rels.find("Id=\"rId4\" Type=\"" + kRelType + "slide\" Target=\"slides/slide3.xml\""), std::string::npos) << rels;
}

// Slides that lost every master open in the office with all their text once a
// master is generated for them.
TEST(PackageMend, SlidesWithoutAnyMasterOpenInTheOffice) {
    DECKMEND_REQUIRE_OFFICE();
    const std::vector<std::pair<const char*, std::vector<std::string>>> losses = {
        {"the master", kMaster}, {"the master, its layouts and its theme", MasterLayoutsAndTheme()}};
    for (const auto& [what, lost] : losses) {
        SCOPED_TRACE(what);
        TempDir dir, tmp;
        testzip::WriteFile(dir / "in.pptx", Build(Without(SoundParts(), lost)));
        const ProcessResult run = RunProcess({BuildPath("deckmend-repair"), "--no-compare", "--report",
                                              dir / "report.json", dir / "in.pptx", dir / "out.pptx"},
                                             tmp.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::ifstream in(dir / "report.json");
        const nlohmann::json report = nlohmann::json::parse(in, nullptr, false);
        ASSERT_FALSE(report.is_discarded());
        EXPECT_EQ(report["result"]["checkedInOffice"], true);
        EXPECT_EQ(report["result"]["slides"], 3);
        // 40 lines of 40 random letters and their numbering on each slide.
        EXPECT_GE(report["result"]["characters"].get<int>(), 3 * 40 * 40);
    }
}

TEST(PackageMend, OtherDocumentsAreNotRepairedAsPresentations) {
    const std::vector<Entry> word = {
        Deflated("[Content_Types].xml", ContentTypes()),
        Deflated("_rels/.rels", Rels({{"officeDocument", "word/document.xml"}})),
        Deflated("word/document.xml", kDecl + "<w:document xmlns:w=\"urn:w\"><w:body/></w:document>"),
    };
    Repaired r = Repair(Build(word));
    EXPECT_FALSE(r.result.repaired);
    EXPECT_EQ(r.result.failure, PackageFailure::NotAPresentation);
    EXPECT_TRUE(r.bytes.empty());
}

TEST(PackageMend, XmlBombsAreRefusedNotFollowed) {
    std::string deep = kDecl;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_FALSE(IsWellFormedXml(deep));
    // Mending keeps no more than the parser's depth limit of the nesting.
    auto closed = CloseTruncatedXml(deep);
    ASSERT_TRUE(closed.has_value());
    std::size_t depth = 0;
    for (std::size_t at = 0; (at = closed->find("<a>", at)) != std::string::npos; ++at)
        ++depth;
    EXPECT_LE(depth, 256u);
    const std::string entities = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
                                 "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
                                 "<r>&c;&c;&c;</r>";
    EXPECT_FALSE(IsWellFormedXml(entities));
    EXPECT_FALSE(CloseTruncatedXml(entities).has_value());
}

}  // namespace
