#include "repair/pptx/generated_master.h"

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kNamespaces =
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";

// The shape tree every slide-like part needs, empty: its group's properties only.
constexpr const char* kEmptyShapeTree =
    "<p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
    "<p:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/><a:chOff x=\"0\" y=\"0\"/>"
    "<a:chExt cx=\"0\" cy=\"0\"/></a:xfrm></p:grpSpPr></p:spTree>";

std::string SchemeColour(const char* slot, const std::string& colour) {
    return std::string("<a:") + slot + ">" + colour + "</a:" + slot + ">";
}

std::string Rgb(const char* hex) { return std::string("<a:srgbClr val=\"") + hex + "\"/>"; }

std::string ThreeTimes(const std::string& style) { return style + style + style; }

}  // namespace

std::string GeneratedSlideMaster(unsigned long layoutId) {
    return std::string(kDeclaration) + "<p:sldMaster " + kNamespaces + "><p:cSld>" +
           "<p:bg><p:bgRef idx=\"1001\"><a:schemeClr val=\"bg1\"/></p:bgRef></p:bg>" + kEmptyShapeTree +
           "</p:cSld><p:clrMap bg1=\"lt1\" tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\" accent1=\"accent1\" "
           "accent2=\"accent2\" accent3=\"accent3\" accent4=\"accent4\" accent5=\"accent5\" accent6=\"accent6\" "
           "hlink=\"hlink\" folHlink=\"folHlink\"/><p:sldLayoutIdLst><p:sldLayoutId id=\"" +
           std::to_string(layoutId) + "\" r:id=\"rId1\"/></p:sldLayoutIdLst>"
           "<p:txStyles><p:titleStyle/><p:bodyStyle/><p:otherStyle/></p:txStyles></p:sldMaster>";
}

std::string GeneratedSlideLayout() {
    return std::string(kDeclaration) + "<p:sldLayout " + kNamespaces + " type=\"blank\" preserve=\"1\">" +
           "<p:cSld name=\"Blank\">" + kEmptyShapeTree +
           "</p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sldLayout>";
}

std::string GeneratedTheme() {
    const std::string colours =
        SchemeColour("dk1", "<a:sysClr val=\"windowText\" lastClr=\"000000\"/>") +
        SchemeColour("lt1", "<a:sysClr val=\"window\" lastClr=\"FFFFFF\"/>") + SchemeColour("dk2", Rgb("44546A")) +
        SchemeColour("lt2", Rgb("E7E6E6")) + SchemeColour("accent1", Rgb("4472C4")) +
        SchemeColour("accent2", Rgb("ED7D31")) + SchemeColour("accent3", Rgb("A5A5A5")) +
        SchemeColour("accent4", Rgb("FFC000")) + SchemeColour("accent5", Rgb("5B9BD5")) +
        SchemeColour("accent6", Rgb("70AD47")) + SchemeColour("hlink", Rgb("0563C1")) +
        SchemeColour("folHlink", Rgb("954F72"));
    const std::string font = "<a:latin typeface=\"Arial\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>";
    const std::string fill = "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>";
    const std::string line = "<a:ln w=\"9525\">" + fill + "</a:ln>";
    return std::string(kDeclaration) +
           "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"Recovered\">"
           "<a:themeElements><a:clrScheme name=\"Recovered\">" + colours + "</a:clrScheme>"
           "<a:fontScheme name=\"Recovered\"><a:majorFont>" + font + "</a:majorFont><a:minorFont>" + font +
           "</a:minorFont></a:fontScheme><a:fmtScheme name=\"Recovered\"><a:fillStyleLst>" + ThreeTimes(fill) +
           "</a:fillStyleLst><a:lnStyleLst>" + ThreeTimes(line) + "</a:lnStyleLst><a:effectStyleLst>" +
           ThreeTimes("<a:effectStyle><a:effectLst/></a:effectStyle>") + "</a:effectStyleLst><a:bgFillStyleLst>" +
           ThreeTimes(fill) + "</a:bgFillStyleLst></a:fmtScheme></a:themeElements>"
           "<a:objectDefaults/><a:extraClrSchemeLst/></a:theme>";
}
