#include "repair/pptx/package_scaffold.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "repair/pptx/generated_master.h"

namespace {

// Namespaces, relationship types and content types of a presentation package.
constexpr const char* kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr const char* kTypesNs = "http://schemas.openxmlformats.org/package/2006/content-types";
constexpr const char* kRefNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kPresNs = "http://schemas.openxmlformats.org/presentationml/2006/main";
constexpr const char* kDrawNs = "http://schemas.openxmlformats.org/drawingml/2006/main";
const std::string kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const std::string kPackageRelType = "http://schemas.openxmlformats.org/package/2006/relationships/metadata/";
const std::string kPml = "application/vnd.openxmlformats-officedocument.presentationml.";

constexpr const char* kContentTypes = "[Content_Types].xml";
constexpr const char* kRootRels = "_rels/.rels";
constexpr const char* kPresentation = "ppt/presentation.xml";
constexpr const char* kPresentationRels = "ppt/_rels/presentation.xml.rels";

// The default slide size: widescreen 13.333 x 7.5 inches in EMU.
constexpr const char* kDefaultSlideCx = "12192000";
constexpr const char* kDefaultSlideCy = "6858000";
// The first ids a presentation part may give its slides and masters.
constexpr unsigned kFirstSlideId = 256;
constexpr unsigned long kFirstMasterId = 2147483648ul;

// Where a part lies in the package: its folder and name prefix, its content
// type and the type of the relationship that targets it from the presentation.
struct PartKind {
    const char* prefix;
    std::string contentType;
    const char* relType;
};
const std::vector<PartKind>& PartKinds() {
    static const std::vector<PartKind> kinds = {
        {"ppt/presentation.xml", kPml + "presentation.main+xml", nullptr},
        {"ppt/slides/slide", kPml + "slide+xml", "slide"},
        {"ppt/slidelayouts/slidelayout", kPml + "slideLayout+xml", nullptr},
        {"ppt/slidemasters/slidemaster", kPml + "slideMaster+xml", "slideMaster"},
        {"ppt/notesslides/notesslide", kPml + "notesSlide+xml", nullptr},
        {"ppt/notesmasters/notesmaster", kPml + "notesMaster+xml", "notesMaster"},
        {"ppt/handoutmasters/handoutmaster", kPml + "handoutMaster+xml", "handoutMaster"},
        {"ppt/theme/theme", "application/vnd.openxmlformats-officedocument.theme+xml", nullptr},
        {"ppt/presprops.xml", kPml + "presProps+xml", "presProps"},
        {"ppt/viewprops.xml", kPml + "viewProps+xml", "viewProps"},
        {"ppt/tablestyles.xml", kPml + "tableStyles+xml", "tableStyles"},
        {"ppt/commentauthors.xml", kPml + "commentAuthors+xml", "commentAuthors"},
        {"ppt/comments/comment", kPml + "comments+xml", nullptr},
        {"docprops/core.xml", "application/vnd.openxmlformats-package.core-properties+xml", nullptr},
        {"docprops/app.xml", "application/vnd.openxmlformats-officedocument.extended-properties+xml", nullptr},
    };
    return kinds;
}

const std::map<std::string, std::string>& DefaultTypes() {
    static const std::map<std::string, std::string> types = {
        {"rels", "application/vnd.openxmlformats-package.relationships+xml"},
        {"xml", "application/xml"},
        {"png", "image/png"}, {"jpeg", "image/jpeg"}, {"jpg", "image/jpeg"}, {"gif", "image/gif"},
        {"bmp", "image/bmp"}, {"tif", "image/tiff"}, {"tiff", "image/tiff"},
        {"emf", "image/x-emf"}, {"wmf", "image/x-wmf"}, {"svg", "image/svg+xml"},
        {"bin", "application/vnd.openxmlformats-officedocument.oleObject"},
        {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {"wav", "audio/wav"}, {"mp3", "audio/mpeg"}, {"mp4", "video/mp4"},
    };
    return types;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
bool StartsWith(const std::string& s, const std::string& head) { return s.rfind(head, 0) == 0; }

std::string Extension(const std::string& name) {
    auto slash = name.rfind('/');
    auto dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return Lower(name.substr(dot + 1));
}

bool IsXmlName(const std::string& name) {
    std::string ext = Extension(name);
    return ext == "xml" || ext == "rels";
}

const PartKind* KindOf(const std::string& name) {
    std::string lower = Lower(name);
    for (const PartKind& kind : PartKinds()) {
        std::string prefix = kind.prefix;
        bool exact = EndsWith(prefix, ".xml");
        if (exact ? lower == prefix : StartsWith(lower, prefix) && EndsWith(lower, ".xml") &&
                                          lower.find('/', prefix.size()) == std::string::npos)
            return &kind;
    }
    return nullptr;
}

// The number in a part name such as "ppt/slides/slide12.xml"; 0 when none.
unsigned long PartNumber(const std::string& name) {
    auto dot = name.rfind('.');
    auto end = dot == std::string::npos ? name.size() : dot;
    auto start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1])) && end - start < 9)
        --start;
    return start == end ? 0 : std::stoul(name.substr(start, end - start));
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// --- libxml2 ---

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

// Parses `text`; with `recover`, as much as is well formed. The parser's own
// limits on depth and entity expansion stay on, no network, no entity
// substitution, and a document type declaration (which no package part has) is
// refused.
Doc Parse(const std::string& text, bool recover) {
    if (text.empty() || text.size() > kMaxMendedPart)
        return nullptr;
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    if (recover)
        options |= XML_PARSE_RECOVER;
    Doc doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, options));
    if (!doc || !xmlDocGetRootElement(doc.get()) || doc->intSubset)
        return nullptr;
    return doc;
}

// How often a damaged part is cut back before it is given up.
constexpr int kMendAttempts = 8;

// The byte offset of the first error of a strict parse; nothing when the text
// parses.
std::optional<std::size_t> FirstErrorOffset(const std::string& text) {
    if (text.size() > kMaxMendedPart)
        return 0;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        return 0;
    xmlDoc* doc = xmlCtxtReadMemory(ctxt, text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    std::optional<std::size_t> offset;
    if (!doc || !ctxt->wellFormed || !ctxt->nsWellFormed || doc->intSubset) {
        // The error's line and column, turned into an offset.
        const xmlError* error = xmlCtxtGetLastError(ctxt);
        std::size_t at = 0;
        for (int line = 1; error && line < error->line && at < text.size(); ++line) {
            at = text.find('\n', at);
            at = at == std::string::npos ? text.size() : at + 1;
        }
        if (error && error->int2 > 0)
            at += static_cast<std::size_t>(error->int2 - 1);
        offset = std::min(at, text.size());
    }
    xmlFreeDoc(doc);
    xmlFreeParserCtxt(ctxt);
    return offset;
}

std::string Serialize(xmlDoc* doc) {
    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc, &buffer, &size, "UTF-8");
    std::string out(reinterpret_cast<const char*>(buffer), buffer ? static_cast<std::size_t>(size) : 0);
    xmlFree(buffer);
    return out;
}

std::string Attribute(xmlNode* node, const char* name, const char* ns = nullptr) {
    xmlChar* value = ns ? xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name),
                                       reinterpret_cast<const xmlChar*>(ns))
                        : xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string out = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return out;
}

bool Named(xmlNode* node, const char* localName) {
    return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(localName)) == 0;
}

// --- relationship targets ---

std::string PercentDecoded(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The folder of the part a relationships part belongs to ("ppt/" for
// "ppt/_rels/presentation.xml.rels", "" for "_rels/.rels").
std::string RelsBase(const std::string& relsName) {
    auto at = relsName.rfind("_rels/");
    return at == std::string::npos ? "" : relsName.substr(0, at);
}

// The part a relationships part belongs to; empty for the package's own.
std::string RelsSource(const std::string& relsName) {
    auto at = relsName.rfind("_rels/");
    if (at == std::string::npos || !EndsWith(relsName, ".rels"))
        return "";
    std::string file = relsName.substr(at + 6, relsName.size() - at - 6 - 5);
    return file.empty() ? "" : relsName.substr(0, at) + file;
}

std::string RelsOf(const std::string& partName) {
    auto slash = partName.rfind('/');
    std::string folder = slash == std::string::npos ? "" : partName.substr(0, slash + 1);
    return folder + "_rels/" + partName.substr(slash == std::string::npos ? 0 : slash + 1) + ".rels";
}

// The part name a target resolves to, from the folder `base`.
std::string Resolve(const std::string& base, const std::string& target) {
    std::string path = PercentDecoded(target);
    path = !path.empty() && path[0] == '/' ? path.substr(1) : base + path;
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& s : segments)
        out += (out.empty() ? "" : "/") + s;
    return out;
}

// A relative target from the folder of `fromPart` to `toPart`.
std::string RelativeTarget(const std::string& fromPart, const std::string& toPart) {
    auto slash = fromPart.rfind('/');
    std::string base = slash == std::string::npos ? "" : fromPart.substr(0, slash + 1);
    if (StartsWith(toPart, base))
        return toPart.substr(base.size());
    return "/" + toPart;
}

struct Relationship {
    std::string id, type, target;
};

// True when a relationship type names `kind`, in the transitional namespace or
// the strict one ("http://purl.oclc.org/ooxml/officeDocument/relationships/...").
bool TypeIs(const std::string& type, const std::string& kind) {
    return EndsWith(type, "/" + kind);
}

std::string RelsDocument(const std::vector<Relationship>& rels) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Relationships xmlns=\"";
    out += kRelsNs;
    out += "\">";
    for (const auto& r : rels)
        out += "<Relationship Id=\"" + Escape(r.id) + "\" Type=\"" + Escape(r.type) + "\" Target=\"" +
               Escape(r.target) + "\"/>";
    return out + "</Relationships>";
}

// --- the package being mended ---

class CScaffold {
public:
    CScaffold(std::vector<PackagePart>& parts, const PartLoader& load) : m_parts(parts), m_load(load) {
        for (std::size_t i = 0; i < m_parts.size(); ++i)
            m_byName[Lower(m_parts[i].name)].push_back(i);
    }
    ScaffoldOutcome Run();

private:
    PackagePart* Find(const std::string& name);
    bool Survives(const std::string& name) { return Find(name) != nullptr; }
    std::optional<std::string> Text(PackagePart& part);
    void SetContent(PackagePart& part, std::string content, ItemState state, const std::string& how);
    PackagePart& AddPart(const std::string& name, std::string content, const std::string& how);
    void LeaveOut(PackagePart& part, const std::string& how);
    std::vector<PackagePart*> PartsOfKind(const char* prefix);
    std::vector<Relationship> ReadRelationships(PackagePart* rels);

    void LeaveOutOrphans();
    void PruneRelationships(PackagePart& rels);
    void DropReferences(PackagePart& part, const std::set<std::string>& removedIds);
    void AttachLostLayouts();
    std::string UnusedName(const std::string& prefix);
    PackagePart* UnclaimedTheme();
    void GenerateMaster();
    void RegeneratePackageRels();
    bool PresentationNeedsRebuild();
    void RegeneratePresentation();
    void RepairContentTypes();

    std::vector<PackagePart>& m_parts;
    const PartLoader& m_load;
    // Indexes into m_parts by lower-case name, left out or not: a package of many
    // thousand parts is looked up part by part.
    std::unordered_map<std::string, std::vector<std::size_t>> m_byName;
};

PackagePart* CScaffold::Find(const std::string& name) {
    auto found = m_byName.find(Lower(name));
    if (found == m_byName.end())
        return nullptr;
    for (std::size_t i : found->second)
        if (m_parts[i].state != ItemState::LeftOut)
            return &m_parts[i];
    return nullptr;
}

std::optional<std::string> CScaffold::Text(PackagePart& part) {
    if (part.hasContent)
        return part.content;
    return m_load(part);
}

void CScaffold::SetContent(PackagePart& part, std::string content, ItemState state, const std::string& how) {
    part.content = std::move(content);
    part.hasContent = true;
    if (part.state == ItemState::Kept || state == ItemState::Regenerated)
        part.state = state;
    part.how = part.how.empty() ? how : part.how + "; " + how;
}

PackagePart& CScaffold::AddPart(const std::string& name, std::string content, const std::string& how) {
    if (PackagePart* existing = Find(name)) {
        existing->how.clear();
        SetContent(*existing, std::move(content), ItemState::Regenerated, how);
        return *existing;
    }
    PackagePart part;
    part.name = name;
    part.state = ItemState::Regenerated;
    part.how = how;
    part.hasContent = true;
    part.content = std::move(content);
    m_byName[Lower(part.name)].push_back(m_parts.size());
    m_parts.push_back(std::move(part));
    return m_parts.back();
}

void CScaffold::LeaveOut(PackagePart& part, const std::string& how) {
    part.state = ItemState::LeftOut;
    part.how = how;
    part.hasContent = false;
    part.content.clear();
}

std::vector<PackagePart*> CScaffold::PartsOfKind(const char* prefix) {
    std::vector<PackagePart*> found;
    for (auto& part : m_parts) {
        const PartKind* kind = part.state == ItemState::LeftOut ? nullptr : KindOf(part.name);
        if (kind && std::string(kind->prefix) == prefix)
            found.push_back(&part);
    }
    std::stable_sort(found.begin(), found.end(), [](PackagePart* a, PackagePart* b) {
        return PartNumber(a->name) < PartNumber(b->name);
    });
    return found;
}

std::vector<Relationship> CScaffold::ReadRelationships(PackagePart* rels) {
    std::vector<Relationship> out;
    auto text = rels ? Text(*rels) : std::nullopt;
    Doc doc = text ? Parse(*text, false) : nullptr;
    if (!doc)
        return out;
    std::string base = RelsBase(rels->name);
    for (xmlNode* n = xmlDocGetRootElement(doc.get())->children; n; n = n->next)
        if (Named(n, "Relationship") && Attribute(n, "TargetMode") != "External")
            out.push_back({Attribute(n, "Id"), Attribute(n, "Type"), Resolve(base, Attribute(n, "Target"))});
    return out;
}

// A relationships part whose part is gone goes with it; so does a layout whose
// master is gone, and then its own relationships.
void CScaffold::LeaveOutOrphans() {
    for (PackagePart* layout : PartsOfKind("ppt/slidelayouts/slidelayout")) {
        bool hasMaster = false;
        for (const auto& r : ReadRelationships(Find(RelsOf(layout->name))))
            hasMaster = hasMaster || (TypeIs(r.type, "slideMaster") && Survives(r.target));
        if (!hasMaster)
            LeaveOut(*layout, "its slide master is lost");
    }
    for (auto& part : m_parts) {
        if (part.state == ItemState::LeftOut || !EndsWith(Lower(part.name), ".rels"))
            continue;
        std::string source = RelsSource(part.name);
        if (!source.empty() && !Survives(source))
            LeaveOut(part, "the part it belongs to is lost");
    }
}

void CScaffold::PruneRelationships(PackagePart& rels) {
    auto text = Text(rels);
    Doc doc = text ? Parse(*text, false) : nullptr;
    if (!doc) {
        LeaveOut(rels, "unreadable relationships");
        return;
    }
    std::string base = RelsBase(rels.name);
    std::set<std::string> removed;
    xmlNode* root = xmlDocGetRootElement(doc.get());
    for (xmlNode* n = root->children, *next = nullptr; n; n = next) {
        next = n->next;
        if (!Named(n, "Relationship") || Attribute(n, "TargetMode") == "External")
            continue;
        if (!Survives(Resolve(base, Attribute(n, "Target")))) {
            removed.insert(Attribute(n, "Id"));
            xmlUnlinkNode(n);
            xmlFreeNode(n);
        }
    }
    if (removed.empty())
        return;
    SetContent(rels, Serialize(doc.get()), ItemState::Mended, "relationships to lost parts removed");
    if (PackagePart* source = Find(RelsSource(rels.name)))
        DropReferences(*source, removed);
}

// Elements that only name a relationship go with it (a slide in the slide list,
// a layout in a master's list); elsewhere the reference alone is removed, so a
// picture whose data is lost shows as a missing picture.
void CScaffold::DropReferences(PackagePart& part, const std::set<std::string>& removedIds) {
    if (!IsXmlName(part.name))
        return;
    auto text = Text(part);
    Doc doc = text ? Parse(*text, false) : nullptr;
    if (!doc)
        return;
    bool changed = false;
    std::vector<xmlNode*> stack{xmlDocGetRootElement(doc.get())};
    while (!stack.empty()) {
        xmlNode* node = stack.back();
        stack.pop_back();
        bool dropNode = false;
        for (xmlAttr* a = node->properties, *nextAttr = nullptr; a; a = nextAttr) {
            nextAttr = a->next;
            if (!a->ns || xmlStrcmp(a->ns->href, reinterpret_cast<const xmlChar*>(kRefNs)) != 0)
                continue;
            xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(a));
            bool lost = value && removedIds.count(reinterpret_cast<const char*>(value));
            xmlFree(value);
            if (!lost)
                continue;
            changed = true;
            if (EndsWith(reinterpret_cast<const char*>(node->name), "Id") && node->parent &&
                node->parent->type == XML_ELEMENT_NODE) {
                dropNode = true;
                break;
            }
            xmlRemoveProp(a);
        }
        if (dropNode) {
            xmlUnlinkNode(node);
            xmlFreeNode(node);
            continue;
        }
        for (xmlNode* c = node->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE)
                stack.push_back(c);
    }
    if (changed)
        SetContent(part, Serialize(doc.get()), ItemState::Mended, "references to lost parts removed");
}

// A slide whose layout is lost is attached to the first surviving layout.
void CScaffold::AttachLostLayouts() {
    auto layouts = PartsOfKind("ppt/slidelayouts/slidelayout");
    if (layouts.empty())
        return;
    const std::string layoutType = kRelType + "slideLayout";
    for (PackagePart* slide : PartsOfKind("ppt/slides/slide")) {
        std::string relsName = RelsOf(slide->name);
        PackagePart* rels = Find(relsName);
        auto existing = ReadRelationships(rels);
        if (std::any_of(existing.begin(), existing.end(), [&](const Relationship& r) { return TypeIs(r.type, "slideLayout"); }))
            continue;
        Relationship layout{"rIdLayout", layoutType, RelativeTarget(slide->name, layouts.front()->name)};
        if (!rels) {
            AddPart(relsName, RelsDocument({layout}), "the slide's layout relationship rebuilt");
            continue;
        }
        auto text = Text(*rels);
        Doc doc = text ? Parse(*text, false) : nullptr;
        if (!doc)
            continue;
        xmlNode* r = xmlNewChild(xmlDocGetRootElement(doc.get()), nullptr,
                                 reinterpret_cast<const xmlChar*>("Relationship"), nullptr);
        xmlNewProp(r, reinterpret_cast<const xmlChar*>("Id"), reinterpret_cast<const xmlChar*>(layout.id.c_str()));
        xmlNewProp(r, reinterpret_cast<const xmlChar*>("Type"), reinterpret_cast<const xmlChar*>(layout.type.c_str()));
        xmlNewProp(r, reinterpret_cast<const xmlChar*>("Target"), reinterpret_cast<const xmlChar*>(layout.target.c_str()));
        SetContent(*rels, Serialize(doc.get()), ItemState::Mended, "attached to a surviving layout");
    }
}

// A name "prefix" N ".xml" that no part has, left out or not, so the report
// tells a generated part from a lost one.
std::string CScaffold::UnusedName(const std::string& prefix) {
    for (std::size_t n = 1;; ++n) {
        const std::string name = prefix + std::to_string(n) + ".xml";
        if (!m_byName.count(Lower(name)))
            return name;
    }
}

// The theme of a lost master, where it survives: one that no surviving part
// but the presentation relates to.
PackagePart* CScaffold::UnclaimedTheme() {
    std::set<std::string> claimed;
    for (auto& part : m_parts)
        if (part.state != ItemState::LeftOut && EndsWith(Lower(part.name), ".rels") && part.name != kPresentationRels)
            for (const auto& r : ReadRelationships(&part))
                claimed.insert(Lower(r.target));
    for (PackagePart* theme : PartsOfKind("ppt/theme/theme"))
        if (!claimed.count(Lower(theme->name)))
            return theme;
    return nullptr;
}

// Slides without any master do not open: a plain master with one blank layout
// (and a theme, unless the lost master's survives) takes them in.
void CScaffold::GenerateMaster() {
    const std::string how = "generated: no slide master survived";
    // Masters, layouts and themes lie in sibling folders under "ppt/".
    auto fromSibling = [](const std::string& part) { return "../" + part.substr(4); };
    const std::string master = UnusedName("ppt/slideMasters/slideMaster");
    const std::string layout = UnusedName("ppt/slideLayouts/slideLayout");
    std::string theme;
    if (PackagePart* kept = UnclaimedTheme()) {
        theme = kept->name;
    } else {
        theme = UnusedName("ppt/theme/theme");
        AddPart(theme, GeneratedTheme(), how);
    }
    // The master's id in the presentation part is the first; its layout's follows.
    AddPart(master, GeneratedSlideMaster(kFirstMasterId + 1), how);
    AddPart(RelsOf(master),
            RelsDocument({{"rId1", kRelType + "slideLayout", fromSibling(layout)},
                          {"rId2", kRelType + "theme", fromSibling(theme)}}),
            how);
    AddPart(layout, GeneratedSlideLayout(), how);
    AddPart(RelsOf(layout), RelsDocument({{"rId1", kRelType + "slideMaster", fromSibling(master)}}), how);
}

void CScaffold::RegeneratePackageRels() {
    if (PackagePart* rels = Find(kRootRels)) {
        auto text = Text(*rels);
        if (text && Parse(*text, false))
            return;
    }
    std::vector<Relationship> rels{{"rId1", kRelType + "officeDocument", kPresentation}};
    if (Survives("docProps/core.xml"))
        rels.push_back({"rId2", kPackageRelType + "core-properties", "docProps/core.xml"});
    if (Survives("docProps/app.xml"))
        rels.push_back({"rId3", kRelType + "extended-properties", "docProps/app.xml"});
    for (const char* thumb : {"docProps/thumbnail.jpeg", "docProps/thumbnail.jpg", "docProps/thumbnail.png"})
        if (PackagePart* t = Find(thumb)) {
            rels.push_back({"rId4", kPackageRelType + "thumbnail", t->name});
            break;
        }
    AddPart(kRootRels, RelsDocument(rels), "rebuilt from the parts present");
}

bool CScaffold::PresentationNeedsRebuild() {
    for (const char* name : {kPresentation, kPresentationRels}) {
        PackagePart* part = Find(name);
        if (!part || part->state == ItemState::Mended)
            return true;
        auto text = Text(*part);
        if (!text || !Parse(*text, false))
            return true;
    }
    return false;
}

// The presentation part and its relationships, from the masters, slides and
// property parts present; the slide size from what is left of the old part.
void CScaffold::RegeneratePresentation() {
    std::string cx = kDefaultSlideCx, cy = kDefaultSlideCy, sizeType;
    if (PackagePart* old = Find(kPresentation)) {
        auto text = Text(*old);
        if (Doc doc = text ? Parse(*text, true) : nullptr) {
            for (xmlNode* n = xmlDocGetRootElement(doc.get())->children; n; n = n->next)
                if (Named(n, "sldSz") && !Attribute(n, "cx").empty() && !Attribute(n, "cy").empty()) {
                    cx = Attribute(n, "cx");
                    cy = Attribute(n, "cy");
                    sizeType = Attribute(n, "type");
                }
        }
    }
    std::vector<Relationship> rels;
    auto relate = [&](const std::string& type, PackagePart* part) {
        std::string id = "rId" + std::to_string(rels.size() + 1);
        rels.push_back({id, kRelType + type, part->name.substr(4)});  // relative to ppt/
        return id;
    };
    auto numeric = [](const std::string& s) {
        return !s.empty() && s.size() < 12 && std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    };
    std::string body;
    body += "<p:sldMasterIdLst>";
    unsigned long masterId = kFirstMasterId;
    for (PackagePart* master : PartsOfKind("ppt/slidemasters/slidemaster")) {
        body += "<p:sldMasterId id=\"" + std::to_string(masterId) + "\" r:id=\"" + relate("slideMaster", master) + "\"/>";
        // Layout ids of the master come after its own id.
        masterId += 1 + 256;
    }
    body += "</p:sldMasterIdLst>";
    if (auto notes = PartsOfKind("ppt/notesmasters/notesmaster"); !notes.empty())
        body += "<p:notesMasterIdLst><p:notesMasterId r:id=\"" + relate("notesMaster", notes.front()) + "\"/></p:notesMasterIdLst>";
    if (auto handouts = PartsOfKind("ppt/handoutmasters/handoutmaster"); !handouts.empty())
        body += "<p:handoutMasterIdLst><p:handoutMasterId r:id=\"" + relate("handoutMaster", handouts.front()) + "\"/></p:handoutMasterIdLst>";
    auto slides = PartsOfKind("ppt/slides/slide");
    if (!slides.empty()) {
        body += "<p:sldIdLst>";
        unsigned slideId = kFirstSlideId;
        for (PackagePart* slide : slides)
            body += "<p:sldId id=\"" + std::to_string(slideId++) + "\" r:id=\"" + relate("slide", slide) + "\"/>";
        body += "</p:sldIdLst>";
    }
    body += "<p:sldSz cx=\"" + (numeric(cx) ? cx : kDefaultSlideCx) + "\" cy=\"" + (numeric(cy) ? cy : kDefaultSlideCy) + "\"";
    if (!sizeType.empty())
        body += " type=\"" + Escape(sizeType) + "\"";
    body += "/><p:notesSz cx=\"6858000\" cy=\"9144000\"/>";
    if (auto themes = PartsOfKind("ppt/theme/theme"); !themes.empty())
        relate("theme", themes.front());
    for (const char* prefix : {"ppt/presprops.xml", "ppt/viewprops.xml", "ppt/tablestyles.xml", "ppt/commentauthors.xml"})
        for (PackagePart* part : PartsOfKind(prefix))
            relate(KindOf(part->name)->relType, part);

    std::string presentation = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                               "<p:presentation xmlns:a=\"" + std::string(kDrawNs) + "\" xmlns:r=\"" + kRefNs +
                               "\" xmlns:p=\"" + kPresNs + "\">" + body + "</p:presentation>";
    AddPart(kPresentation, presentation, "rebuilt from the masters and slides present");
    AddPart(kPresentationRels, RelsDocument(rels), "rebuilt from the masters and slides present");
}

void CScaffold::RepairContentTypes() {
    std::map<std::string, std::string> defaults;    // extension -> type
    std::map<std::string, std::pair<std::string, std::string>> overrides;  // lower name -> (name, type)
    PackagePart* old = Find(kContentTypes);
    auto text = old ? Text(*old) : std::nullopt;
    Doc doc = text ? Parse(*text, false) : nullptr;
    if (doc) {
        for (xmlNode* n = xmlDocGetRootElement(doc.get())->children; n; n = n->next) {
            if (Named(n, "Default"))
                defaults[Lower(Attribute(n, "Extension"))] = Attribute(n, "ContentType");
            else if (Named(n, "Override")) {
                std::string name = Attribute(n, "PartName");
                name = !name.empty() && name[0] == '/' ? name.substr(1) : name;
                overrides[Lower(name)] = {name, Attribute(n, "ContentType")};
            }
        }
    }
    const auto before = std::make_pair(defaults, overrides);
    // A list closed where it broke off lacks the overrides that followed: every
    // part whose place gives a type and that has no override gets that type.
    const bool listCut = doc && old->state == ItemState::Mended;

    for (auto it = overrides.begin(); it != overrides.end();)
        it = Survives(it->first) ? std::next(it) : overrides.erase(it);
    for (auto& part : m_parts) {
        if (part.state == ItemState::LeftOut || part.name == kContentTypes)
            continue;
        std::string lower = Lower(part.name);
        std::string ext = Extension(part.name);
        // A part kept as it was keeps the type the package gave it; a new or
        // mended one without an override gets the type of its place.
        const PartKind* kind = KindOf(part.name);
        if (kind && !overrides.count(lower) && (part.state != ItemState::Kept || !doc || listCut))
            overrides[lower] = {part.name, kind->contentType};
        // A name without an extension has no Default to fall under: it gets an
        // Override of its own (an empty Extension makes the package unreadable).
        if (!overrides.count(lower) && ext.empty())
            overrides[lower] = {part.name, "application/octet-stream"};
        else if (!overrides.count(lower) && !defaults.count(ext)) {
            auto known = DefaultTypes().find(ext);
            defaults[ext] = known != DefaultTypes().end() ? known->second : "application/octet-stream";
        }
    }
    if (doc && std::make_pair(defaults, overrides) == before)
        return;

    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Types xmlns=\"";
    out += kTypesNs;
    out += "\">";
    for (const auto& [ext, type] : defaults)
        out += "<Default Extension=\"" + Escape(ext) + "\" ContentType=\"" + Escape(type) + "\"/>";
    for (const auto& [lower, entry] : overrides)
        out += "<Override PartName=\"/" + Escape(entry.first) + "\" ContentType=\"" + Escape(entry.second) + "\"/>";
    out += "</Types>";
    if (doc)
        SetContent(*old, out, ItemState::Mended, "content types brought in line with the parts present");
    else
        AddPart(kContentTypes, out, "rebuilt from the parts present");
}

ScaffoldOutcome CScaffold::Run() {
    // Parts are added while pointers to others are held: room for every addition.
    m_parts.reserve(2 * m_parts.size() + 8);
    if (!Survives(kPresentation) && PartsOfKind("ppt/slides/slide").empty())
        return ScaffoldOutcome::NotAPresentation;
    const bool mastersLost =
        PartsOfKind("ppt/slidemasters/slidemaster").empty() && !PartsOfKind("ppt/slides/slide").empty();
    // A generated master must be listed in the presentation part: it is rebuilt.
    const bool rebuildPresentation = mastersLost || PresentationNeedsRebuild();
    LeaveOutOrphans();
    if (mastersLost)
        GenerateMaster();
    RegeneratePackageRels();
    if (rebuildPresentation)
        RegeneratePresentation();
    for (std::size_t i = 0; i < m_parts.size(); ++i)
        if (m_parts[i].state != ItemState::LeftOut && EndsWith(Lower(m_parts[i].name), ".rels"))
            PruneRelationships(m_parts[i]);
    AttachLostLayouts();
    RepairContentTypes();
    return ScaffoldOutcome::Done;
}

}  // namespace

std::optional<std::string> CloseTruncatedXml(const std::string& prefix) {
    // Recovery closes what is open but may carry damaged bytes along; the result
    // counts only when it parses strictly. Otherwise the text is cut before the
    // first error and tried again, a few times, each cut at an earlier tag.
    std::string text = prefix;
    for (int attempt = 0; attempt < kMendAttempts && !text.empty(); ++attempt) {
        Doc doc = Parse(text, true);
        if (!doc)
            return std::nullopt;
        std::string out = Serialize(doc.get());
        std::optional<std::size_t> error = FirstErrorOffset(out);
        if (!error)
            return out;
        std::size_t cut = std::min(FirstErrorOffset(text).value_or(text.size()), text.size());
        cut = text.rfind('<', cut == 0 ? 0 : cut - 1);
        if (cut == std::string::npos || cut == 0)
            return std::nullopt;
        text.resize(cut);
    }
    return std::nullopt;
}

bool IsWellFormedXml(const std::string& text) {
    return Parse(text, false) != nullptr;
}

ScaffoldOutcome RebuildScaffolding(std::vector<PackagePart>& parts, const PartLoader& load) {
    return CScaffold(parts, load).Run();
}
