#pragma once
// Record headers of the presentation format as the scanners meet them: the first
// four header bytes (recVer/recInstance word, recType word, both little-endian)
// read big-endian, so each value below spells the file bytes in file order.
#include <cstdint>

namespace ppt {

inline constexpr std::uint32_t kCurrentUserAtom = 0x0000F60F;       // 00 00 F6 0F
inline constexpr std::uint32_t kDocumentContainer = 0x0F00E803;     // 0F 00 E8 03
inline constexpr std::uint32_t kUserEditAtom = 0x0000F50F;          // 00 00 F5 0F
inline constexpr std::uint32_t kMainMasterContainer = 0x0F00F803;   // 0F 00 F8 03
inline constexpr std::uint32_t kPropertySetHeader = 0xFEFF0000;     // FE FF 00 00: byte order, version 0
inline constexpr std::uint32_t kDesignNameString = 0x2000BA0F;      // 20 00 BA 0F: CString, instance 2
inline constexpr std::uint32_t kCryptSession10Container = 0x0F00142F;  // 0F 00 14 2F

// Slide fragments that the rebuild through automation looks for.
inline constexpr std::uint32_t kSlideListWithText = 0x0F00F00F;  // 0F 00 F0 0F
inline constexpr std::uint32_t kMastersListWithText = 0x1F00F00F;  // 1F 00 F0 0F: instance 1
inline constexpr std::uint32_t kSlideContainer = 0x0F00EE03;     // 0F 00 EE 03
inline constexpr std::uint32_t kNotesContainer = 0x0F00F003;     // 0F 00 F0 03
inline constexpr std::uint32_t kSlideAtom = 0x0200EF03;          // 02 00 EF 03 (recVer 2)
inline constexpr std::uint32_t kSlidePersistAtom = 0x0000F303;   // 00 00 F3 03
inline constexpr std::uint32_t kTextBytesAtom = 0x0000A80F;      // 00 00 A8 0F
inline constexpr std::uint32_t kTextCharsAtom = 0x0000A00F;      // 00 00 A0 0F
// The layout geometry of a SlideAtom, 8 bytes after its header start.
inline constexpr std::uint32_t kSlideAtomGeometryOffset = 8;
// An OfficeArt pibName property (0xC105, complex) after two zero bytes, read
// little-endian 4 bytes after the examined offset; its byte count follows, and
// the name's UTF-16 text starts 18 bytes after the offset.
inline constexpr std::uint32_t kPictureNameMarker = 0xC1050000;
inline constexpr std::uint32_t kPictureNameMarkerOffset = 4;
inline constexpr std::uint32_t kPictureNameLengthOffset = 8;
inline constexpr std::uint32_t kPictureNameTextOffset = 18;
inline constexpr std::uint32_t kLongestPictureName = 500;  // bytes
inline constexpr std::size_t kShortestPictureName = 4;     // characters

// BLIP records that the picture carver recognises have these recTypes.
inline constexpr std::uint16_t kFirstBlipType = 0xF01A;
inline constexpr std::uint16_t kLastBlipType = 0xF020;

// The header token of a CurrentUserAtom, 12 bytes after its header start, and
// offsetToCurrentEdit (the newest UserEditAtom) 16 bytes after it.
inline constexpr std::uint32_t kCurrentUserTokenOffset = 12;
inline constexpr std::uint32_t kCurrentUserEditOffset = 16;
inline constexpr std::uint32_t kTokenPlain = 0xE391C05F;
inline constexpr std::uint32_t kTokenEncrypted = 0xF3D1C4DF;

// Every record header: recVer/recInstance, recType, then recLen at +4.
inline constexpr std::uint32_t kRecordHeaderSize = 8;
inline constexpr std::uint32_t kRecLenOffset = 4;

// A UserEditAtom body is 28 bytes, or 32 with encryptSessionPersistIdRef.
inline constexpr std::uint32_t kUserEditLengthShort = 28;
inline constexpr std::uint32_t kUserEditLengthLong = 32;

// A CryptSession10Container opens with its EncryptionVersionInfo: major 2, 3 or
// 4 and minor 2 (RC4 CryptoAPI). The version is tested too, because four bytes
// alone turn up by chance in compressed picture data.
inline constexpr std::uint32_t kCryptVersionOffset = 8;
inline constexpr std::uint16_t kCryptMajorLowest = 2;
inline constexpr std::uint16_t kCryptMajorHighest = 4;
inline constexpr std::uint16_t kCryptMinor = 2;

// Stream names: a password-protected package inside a compound file, the
// document streams of presentations of this format and of older ones, and the
// streams that lead to the document and hold its pictures.
inline constexpr const char* kEncryptedPackageName = "EncryptedPackage";
inline constexpr const char* kDocumentStreamName = "PowerPoint Document";
inline constexpr const char* kOldDocumentStreamName = "PP40";
inline constexpr const char* kCurrentUserStreamName = "Current User";
inline constexpr const char* kPicturesStreamName = "Pictures";
// A run starts at a sector that begins with a DocumentContainer header, or with
// these bytes (".xml"), as little-endian 32-bit values.
inline constexpr std::uint32_t kRunStartDocument = 0x03E8000F;
inline constexpr std::uint32_t kRunStartXml = 0x6C6D782E;

// Record types (the recType word) that the relink of the document stream reads.
inline constexpr std::uint16_t kRtDocument = 0x03E8;
inline constexpr std::uint16_t kRtDocumentAtom = 0x03E9;
inline constexpr std::uint16_t kRtSlide = 0x03EE;
inline constexpr std::uint16_t kRtSlideAtom = 0x03EF;
inline constexpr std::uint16_t kRtNotes = 0x03F0;
inline constexpr std::uint16_t kRtSlidePersistAtom = 0x03F3;
inline constexpr std::uint16_t kRtMainMaster = 0x03F8;
inline constexpr std::uint16_t kRtDrawingGroup = 0x040B;
inline constexpr std::uint16_t kRtHandout = 0x0FC9;
inline constexpr std::uint16_t kRtTextHeaderAtom = 0x0F9F;
inline constexpr std::uint16_t kRtTextCharsAtom = 0x0FA0;
inline constexpr std::uint16_t kRtTextBytesAtom = 0x0FA8;
inline constexpr std::uint16_t kRtSlideListWithText = 0x0FF0;
inline constexpr std::uint16_t kRtUserEditAtom = 0x0FF5;
inline constexpr std::uint16_t kRtCurrentUserAtom = 0x0FF6;
inline constexpr std::uint16_t kRtExternalObjectStorage = 0x1011;  // ExOleObjStg, ExControlStg, VbaProjectStg
inline constexpr std::uint16_t kRtPersistDirectoryAtom = 0x1772;
inline constexpr std::uint16_t kRtOfficeArtDgg = 0xF000;
inline constexpr std::uint16_t kRtOfficeArtBStore = 0xF001;
inline constexpr std::uint16_t kRtOfficeArtFbse = 0xF007;
// The ranges of recType that the format's own records and its drawings' records
// take: a header whose type lies outside both is no record of the stream.
inline constexpr std::uint16_t kFirstRecordType = 0x03E8, kEndRecordTypes = 0x3000;
inline constexpr std::uint16_t kFirstDrawingType = 0xF000, kEndDrawingTypes = 0xF200;
// The textType of a TextHeaderAtom whose text is a notes page's body.
inline constexpr std::uint32_t kTextTypeNotes = 2;
// recVer of a container (the low four bits of the first header word).
inline constexpr std::uint16_t kContainerVersion = 0xF;
// recInstance of a SlideListWithTextContainer: the slides, masters or notes list.
inline constexpr std::uint16_t kSlideListSlides = 0, kSlideListMasters = 1, kSlideListNotes = 2;

// UserEditAtom body fields (offsets from the end of the header).
inline constexpr std::uint32_t kUserEditLastSlideIdRef = 0;
inline constexpr std::uint32_t kUserEditVersion = 4;        // version 0, minorVersion 0, majorVersion 3
inline constexpr std::uint32_t kUserEditOffsetLastEdit = 8;
inline constexpr std::uint32_t kUserEditOffsetPersistDir = 12;
inline constexpr std::uint32_t kUserEditDocPersistIdRef = 16;
inline constexpr std::uint32_t kUserEditPersistIdSeed = 20;
inline constexpr std::uint32_t kUserEditLastView = 24;
inline constexpr std::uint32_t kUserEditMajorVersion = 3;
// The document's persist id is always 1; lastView 1 is the slide view.
inline constexpr std::uint32_t kDocumentPersistId = 1;
inline constexpr std::uint16_t kSlideView = 1;
// A PersistDirectoryEntry: persistId in the low 20 bits, cPersist in the high
// 12, then cPersist 32-bit offsets.
inline constexpr std::uint32_t kPersistIdBits = 20;
inline constexpr std::uint32_t kPersistIdMask = 0xFFFFF;
inline constexpr std::uint32_t kPersistRunLongest = 0xFFF;
// SlidePersistAtom body: persistIdRef at 0, slideId at 12.
inline constexpr std::uint32_t kSlidePersistIdRef = 0;
inline constexpr std::uint32_t kSlidePersistSlideId = 12;
inline constexpr std::uint32_t kSlidePersistLength = 20;
// SlideAtom body: the layout geometry at 0 and notesIdRef (the slide id of
// its notes, 0 for none) at 16.
inline constexpr std::uint32_t kSlideAtomGeometry = 0;
inline constexpr std::uint32_t kSlideAtomNotesIdRef = 16;
inline constexpr std::uint32_t kSlideAtomLength = 24;
// DocumentAtom body: notes master and handout master persist ids.
inline constexpr std::uint32_t kDocumentAtomNotesMaster = 24;
inline constexpr std::uint32_t kDocumentAtomHandoutMaster = 28;
// OfficeArtFBSE body: the BLIP's MD4 id at 2, foDelay (its offset in the
// "Pictures" stream) at 28. A BLIP record's own id follows its header.
inline constexpr std::uint32_t kFbseUid = 2;
inline constexpr std::uint32_t kFbseFoDelay = 28;
inline constexpr std::uint32_t kBlipUidSize = 16;
// An OfficeArtFOPT (recVer 3) holds recInstance properties of 6 bytes each:
// opid (the id in its low 14 bits; fBid: the value is a BStore index from 1),
// then the value. A shape's picture and a fill's picture are named so.
inline constexpr std::uint16_t kRtOfficeArtFopt = 0xF00B;
inline constexpr std::uint16_t kFoptVersion = 3;
inline constexpr std::uint32_t kFoptPropertySize = 6;
inline constexpr std::uint16_t kPropertyIdMask = 0x3FFF;
inline constexpr std::uint16_t kPropertyIsBlip = 0x4000;
inline constexpr std::uint16_t kPropertyIsComplex = 0x8000;
// The secondary and tertiary property tables, laid out as the first; a complex
// property's data follows the table, in the order of the properties.
inline constexpr std::uint16_t kRtOfficeArtSecondaryFopt = 0xF121;
inline constexpr std::uint16_t kRtOfficeArtTertiaryFopt = 0xF122;
// metroBlob: a shape's DrawingML for newer writers, as a ZIP package.
inline constexpr std::uint16_t kPropertyMetroBlob = 0x03A9;
inline constexpr std::uint16_t kPropertyPib = 0x0104;
inline constexpr std::uint16_t kPropertyFillBlip = 0x0186;
// A page's drawing: the PPDrawing holds one OfficeArtDgContainer, which holds
// the drawing's OfficeArtFDG and its group of shapes, led by the patriarch
// shape (an OfficeArtSpContainer with an OfficeArtFSPGR and an OfficeArtFSP).
inline constexpr std::uint16_t kRtDrawing = 0x040C;
inline constexpr std::uint16_t kRtOfficeArtDg = 0xF002;
inline constexpr std::uint16_t kRtOfficeArtSpgr = 0xF003;
inline constexpr std::uint16_t kRtOfficeArtSp = 0xF004;
inline constexpr std::uint16_t kRtOfficeArtFdg = 0xF008;
inline constexpr std::uint16_t kRtOfficeArtFspgr = 0xF009;
inline constexpr std::uint16_t kRtOfficeArtFsp = 0xF00A;
inline constexpr std::uint32_t kFdgLength = 8, kFspgrLength = 16, kFspLength = 8;
inline constexpr std::uint16_t kFspgrVersion = 1, kFspVersion = 2;
inline constexpr std::uint32_t kFspGroupPatriarch = 0x5;  // fGroup | fPatriarch
inline constexpr std::uint32_t kShapesPerDrawing = 1024;  // a drawing's shape ids start at its id times this
// A text ruler: a mask, then the fields it names, in this order: cLevels and
// defaultTabSize (2 bytes each), the tab stops (a 2-byte count, 4 bytes each),
// then a left margin and an indent (2 bytes each) for each of five levels.
inline constexpr std::uint16_t kRtTextRulerAtom = 0x0FA6;
inline constexpr std::uint32_t kRulerDefaultTabSize = 0x1, kRulerLevels = 0x2, kRulerTabStops = 0x4;
inline constexpr std::uint32_t kRulerMarginsAndIndents = 0x1FF8;
inline constexpr std::uint32_t kRulerMaskSize = 4, kRulerFieldSize = 2, kTabStopSize = 4;
// The record types of the format's own records and of its drawings, in
// order. A damaged container is read preferring these.
inline constexpr std::uint16_t kKnownRecordTypes[] = {
    0x03E8, 0x03E9, 0x03EA, 0x03EE, 0x03EF, 0x03F0, 0x03F1, 0x03F2, 0x03F3, 0x03F8, 0x03F9, 0x03FA, 0x03FB,
    0x03FD, 0x03FE, 0x03FF, 0x0400, 0x0401, 0x0402, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A, 0x040B, 0x040C,
    0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x07D0, 0x07D5, 0x07D6,
    0x07E3, 0x07E4, 0x07E5, 0x07E6, 0x07E7, 0x07E9, 0x07F0, 0x07F8, 0x0BC1, 0x0BC3, 0x0BDB, 0x0BDC, 0x0BDD,
    0x0F9E, 0x0F9F, 0x0FA0, 0x0FA1, 0x0FA2, 0x0FA3, 0x0FA4, 0x0FA5, 0x0FA6, 0x0FA7, 0x0FA8, 0x0FA9, 0x0FAA,
    0x0FAB, 0x0FAC, 0x0FAD, 0x0FAE, 0x0FAF, 0x0FB0, 0x0FB1, 0x0FB2, 0x0FB3, 0x0FB4, 0x0FB5, 0x0FB6, 0x0FB7,
    0x0FB8, 0x0FBA, 0x0FC1, 0x0FC3, 0x0FC8, 0x0FC9, 0x0FCC, 0x0FCD, 0x0FCE, 0x0FD0, 0x0FD1, 0x0FD2, 0x0FD3,
    0x0FD7, 0x0FD8, 0x0FD9, 0x0FDA, 0x0FDF, 0x0FE4, 0x0FE7, 0x0FEE, 0x0FF0, 0x0FF1, 0x0FF2, 0x0FF3, 0x0FF5,
    0x0FF6, 0x0FF7, 0x0FF8, 0x0FF9, 0x0FFA, 0x0FFB, 0x1004, 0x1005, 0x1006, 0x1007, 0x100D, 0x100E, 0x100F,
    0x1010, 0x1011, 0x1012, 0x1013, 0x1014, 0x1015, 0x1018, 0x1019, 0x101A, 0x101D, 0x1388, 0x1389, 0x138A,
    0x138B, 0x1770, 0x1772, 0x1773, 0x177A, 0x177B, 0x177C, 0x177D, 0x177E, 0x177F, 0x1784, 0x1785, 0x1788,
    0x1789, 0x178C, 0x178D, 0x2AFB, 0x2B00, 0x2B01, 0x2B02, 0x2B03, 0x2B04, 0x2B05, 0x2B06, 0x2B07, 0x2B08,
    0x2B09, 0x2B0A, 0x2B0B, 0x2B0D, 0x2EE0, 0x2EE1, 0x2EE4, 0x2EE5, 0x2EE6, 0x2EE7, 0x2EEA, 0x2EEB, 0x2EEC,
    0x2EED, 0x2EEE, 0x2EEF, 0x2EF0, 0x2EF1, 0x2F14,
    0xF000, 0xF001, 0xF002, 0xF003, 0xF004, 0xF005, 0xF006, 0xF007, 0xF008, 0xF009, 0xF00A, 0xF00B, 0xF00C,
    0xF00D, 0xF00E, 0xF00F, 0xF010, 0xF011, 0xF012, 0xF014, 0xF017, 0xF01A, 0xF01B, 0xF01C, 0xF01D, 0xF01E,
    0xF01F, 0xF029, 0xF02A, 0xF118, 0xF119, 0xF11A, 0xF11D, 0xF11E, 0xF121, 0xF122, 0xF123, 0xF124, 0xF125,
    0xF126, 0xF127, 0xF128, 0xF129, 0xF12A, 0xF12B, 0xF12C, 0xF12D, 0xF12E, 0xF12F, 0xF130, 0xF131, 0xF132,
    0xF133, 0xF134, 0xF135, 0xF136, 0xF137, 0xF138, 0xF139, 0xF13A, 0xF13B, 0xF13C, 0xF13D, 0xF13E, 0xF13F,
    0xF140, 0xF141, 0xF142, 0xF143, 0xF144, 0xF145,
};
// Atoms whose length the format fixes: DocumentAtom, SlideAtom, NotesAtom,
// SlidePersistAtom, GuideAtom, ZoomViewInfoAtom, ColorSchemeAtom,
// OutlineTextRefAtom, TextHeaderAtom, FontEntityAtom, ExOleObjAtom,
// ExHyperlinkAtom, HeadersFootersAtom, and the drawing's FDG, FSPGR, FSP and
// child anchor.
struct FixedLengthAtom {
    std::uint16_t type;
    std::uint32_t length;
};
inline constexpr FixedLengthAtom kFixedLengthAtoms[] = {
    {kRtDocumentAtom, 40}, {kRtSlideAtom, 24},    {0x03F1, 8},          {kRtSlidePersistAtom, 20},
    {0x03FB, 8},           {0x03FD, 52},          {0x07F0, 32},         {0x0F9E, 4},
    {kRtTextHeaderAtom, 4}, {0x0FB7, 68},         {0x0FC3, 24},         {0x0FD3, 4},
    {0x0FDA, 4},           {kRtOfficeArtFdg, kFdgLength}, {kRtOfficeArtFspgr, kFspgrLength},
    {kRtOfficeArtFsp, kFspLength}, {0xF00F, 16},
};
// The records of a "Pictures" stream, back to back: BLIPs (recTypes of this
// range) or file BStore entries.
inline constexpr std::uint16_t kRtBlipFirst = 0xF018;
inline constexpr std::uint16_t kRtBlipLast = 0xF117;

}  // namespace ppt
