// The relink as the binary chain runs it, on compound files written here: an
// original "Pictures" stream that survives whole is kept byte for byte, and
// every BStore entry's foDelay with it; otherwise foDelay moves to the carved
// picture with the entry's id.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/ole_file_manager.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/presentation_writer.h"
#include "repair/ppt/relink_source.h"
#include "support/source_file.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using record_builder::Header;
using record_builder::Word;

Bytes Container(std::uint16_t type, const Bytes& body) {
    Bytes out;
    Header(out, 0xF, type, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A JPEG BLIP whose id is sixteen bytes of `idByte`.
Bytes Blip(std::uint8_t idByte, std::size_t dataBytes) {
    Bytes out;
    Header(out, 0x46A0, 0xF01D, static_cast<std::uint32_t>(17 + dataBytes));
    out.resize(out.size() + 16, idByte);
    out.push_back(0xFF);
    out.resize(out.size() + dataBytes, 0xD8);
    return out;
}

constexpr std::uint32_t kSecondPicture = 8 + 17 + 40;  // where the second BLIP starts

// One full save: a document whose BStore has one entry, for the second
// picture, and its persist directory and user edit. The user edit's offset
// goes to `userEdit`.
Bytes DocumentStream(std::uint32_t& userEdit) {
    Bytes fbse;
    Header(fbse, 0x0052, 0xF007, 36);
    fbse.push_back(5), fbse.push_back(5);
    fbse.resize(fbse.size() + 16, 0x22);
    fbse.resize(fbse.size() + 10, 0);  // tag, size, cRef
    Word(fbse, kSecondPicture);        // foDelay
    fbse.resize(fbse.size() + 4, 0);
    Bytes documentAtom;
    Header(documentAtom, 0x0001, 0x03E9, 40);
    documentAtom.resize(documentAtom.size() + 40, 0);
    Bytes body = documentAtom;
    const Bytes group = Container(0x040B, Container(0xF000, Container(0xF001, fbse)));
    body.insert(body.end(), group.begin(), group.end());
    Bytes stream = Container(0x03E8, body);
    const auto dirAt = static_cast<std::uint32_t>(stream.size());
    Header(stream, 0, 0x1772, 8);
    Word(stream, 1u | 1u << 20), Word(stream, 0);
    userEdit = static_cast<std::uint32_t>(stream.size());
    Header(stream, 0, 0x0FF5, 28);
    Word(stream, 0), Word(stream, 3u << 24), Word(stream, 0), Word(stream, dirAt), Word(stream, 1), Word(stream, 2),
        Word(stream, 1);
    return stream;
}

// foDelay of the relinked stream's one BStore entry.
std::optional<std::uint32_t> FoDelayOf(const Bytes& stream) {
    const Bytes fbseHeader = {0x52, 0x00, 0x07, 0xF0};
    const auto at = std::search(stream.begin(), stream.end(), fbseHeader.begin(), fbseHeader.end());
    if (at == stream.end())
        return std::nullopt;
    return CByteView(stream.data(), stream.size()).Le32(static_cast<std::size_t>(at - stream.begin()) + 8 + 28);
}

// The carver finds the second picture (alone, so that its carved offset is 0)
// wherever the file holds its header.
void CarveSecondPicture(CPictureCarver& pictures, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Bytes blip = Blip(0x22, 60);
    const Bytes header(blip.begin(), blip.begin() + 24);
    const auto at = std::search(file.begin(), file.end(), header.begin(), header.end());
    if (at != file.end()) {
        const auto offset = static_cast<std::uint64_t>(at - file.begin());
        pictures.MatchPicture(CByteView(file.data(), file.size()), offset, offset, file.size());
    }
}

TEST(RelinkSource, AnOriginalPicturesStreamThatSurvivesWholeIsKeptAsItIs) {
    const Bytes whole = [] {
        Bytes b = Blip(0x11, 40);
        const Bytes second = Blip(0x22, 60);
        b.insert(b.end(), second.begin(), second.end());
        return b;
    }();
    Bytes cutShort = whole;
    cutShort.resize(whole.size() - 10);
    Bytes trailingJunk = whole;
    trailingJunk.resize(whole.size() + 12, 0);
    struct Case {
        const char* what;
        std::optional<Bytes> pictures;  // the "Pictures" stream; none when not written
        bool kept;
        std::uint32_t foDelay;  // of the relinked BStore entry
    } cases[] = {
        {"picture records back to back to its last byte", whole, true, kSecondPicture},
        {"the last record runs past the stream's end", cutShort, false, 0},
        {"bytes after the last picture that are no record of one", trailingJunk, false, 0},
        {"an empty stream", Bytes{}, false, kSecondPicture},
        {"no stream", std::nullopt, false, kSecondPicture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir / "deck.ppt";
        std::uint32_t userEdit = 0;
        const Bytes document = DocumentStream(userEdit);
        std::vector<std::uint8_t> currentUser(kCurrentUserTemplate.begin(), kCurrentUserTemplate.end());
        PutLe32(&currentUser[kCurrentEditFieldOffset], userEdit);
        {
            COleFileManager ole;
            ASSERT_TRUE(ole.CreateDocfile(path));
            if (c.pictures) {
                ASSERT_TRUE(ole.WriteStream(ole.GetStorage(), kPicturesStreamName, c.pictures->data(),
                                            static_cast<std::uint32_t>(c.pictures->size())));
            }
            ASSERT_TRUE(ole.WriteStream(ole.GetStorage(), kDocumentStreamName, document.data(),
                                        static_cast<std::uint32_t>(document.size())));
            ASSERT_TRUE(ole.WriteStream(ole.GetStorage(), kCurrentUserStreamName, currentUser.data(),
                                        static_cast<std::uint32_t>(currentUser.size())));
            ASSERT_TRUE(ole.Close());
        }
        SourceFile source(path);
        ASSERT_TRUE(source.IsOpen());
        CPictureCarver pictures;
        const CancelToken going;
        CarveSecondPicture(pictures, path);
        const RelinkResult relinked = RelinkSourceDocument(path, CDocumentImage{}, {pictures, source.File()}, going);
        ASSERT_TRUE(relinked.Usable());
        EXPECT_EQ(relinked.pictures, c.kept ? whole : Bytes{});
        EXPECT_EQ(FoDelayOf(relinked.stream), c.foDelay);
    }
}

}  // namespace
