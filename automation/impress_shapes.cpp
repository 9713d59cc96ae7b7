// Shapes, their text and font, the slide master and the document properties.
#include <com/sun/star/awt/FontSlant.hpp>
#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/document/XDocumentProperties.hpp>
#include <com/sun/star/document/XDocumentPropertiesSupplier.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextRangeCompare.hpp>

#include <cmath>
#include <filesystem>
#include <functional>

#include "automation/impress_objects.h"

namespace impress {

namespace awt = css::awt;
namespace beans = css::beans;
namespace drawing = css::drawing;
namespace text = css::text;

namespace {

using ShapeRef = uno::Reference<drawing::XShape>;
using PageRef = uno::Reference<drawing::XDrawPage>;

bool IsA(const ShapeRef& shape, const char* service) {
    uno::Reference<css::lang::XServiceInfo> info(shape, uno::UNO_QUERY);
    return info.is() && info->supportsService(Ascii(service));
}

bool IsPicture(const ShapeRef& shape) {
    return IsA(shape, "com.sun.star.drawing.GraphicObjectShape") ||
           IsA(shape, "com.sun.star.presentation.GraphicObjectShape");
}

uno::Reference<beans::XPropertySet> Properties(const uno::Reference<uno::XInterface>& object) {
    return uno::Reference<beans::XPropertySet>(object, uno::UNO_QUERY_THROW);
}

bool IsEmptyPlaceholder(const ShapeRef& shape) {
    auto properties = Properties(shape);
    if (!properties->getPropertySetInfo()->hasPropertyByName(Ascii("IsEmptyPresentationObject")))
        return false;
    bool empty = false;
    properties->getPropertyValue(Ascii("IsEmptyPresentationObject")) >>= empty;
    return empty;
}

bool IsPlaceholder(const ShapeRef& shape) {
    auto properties = Properties(shape);
    if (!properties->getPropertySetInfo()->hasPropertyByName(Ascii("IsPresentationObject")))
        return false;
    bool placeholder = false;
    properties->getPropertyValue(Ascii("IsPresentationObject")) >>= placeholder;
    return placeholder;
}

// Whether the shape holds text, found without fetching the text itself: a
// damaged text may hold what the bridge cannot carry.
bool HoldsText(const ShapeRef& shape) {
    if (IsEmptyPlaceholder(shape))
        return false;
    uno::Reference<text::XText> shapeText(shape, uno::UNO_QUERY_THROW);
    uno::Reference<text::XTextRangeCompare> compare(shapeText, uno::UNO_QUERY);
    if (compare.is())
        return compare->compareRegionStarts(shapeText->getStart(), shapeText->getEnd()) != 0;
    return !shapeText->getString().isEmpty();
}

// The whole text of the shape, for character properties.
uno::Reference<beans::XPropertySet> WholeText(const ShapeRef& shape) {
    uno::Reference<text::XText> shapeText(shape, uno::UNO_QUERY_THROW);
    auto cursor = shapeText->createTextCursor();
    cursor->gotoStart(false);
    cursor->gotoEnd(true);
    return Properties(cursor);
}

void PlaceShape(const ShapeRef& shape, float left, float top, float width, float height) {
    if (width < 0 || height < 0)
        Fail(E_INVALIDARG);
    shape->setPosition(awt::Point(HundredthMm(left), HundredthMm(top)));
    shape->setSize(awt::Size(HundredthMm(width), HundredthMm(height)));
}

uno::Reference<uno::XInterface> CreateInDocument(CDocument& document, const char* service) {
    uno::Reference<css::lang::XMultiServiceFactory> factory(document.component, uno::UNO_QUERY_THROW);
    return factory->createInstance(Ascii(service));
}

class CFont : public CImpressObject {
public:
    CFont(std::shared_ptr<CDocument> document, ShapeRef shape)
        : CImpressObject(std::move(document)), m_shape(std::move(shape)) {}

protected:
    enum { kName, kNameAscii, kBold, kItalic, kSize };
    std::span<const Member> Members() const override {
        constexpr WORD kGetPut = DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT;
        static const Member members[] = {
            {"Name", kGetPut}, {"NameAscii", kGetPut}, {"Bold", kGetPut}, {"Italic", kGetPut}, {"Size", kGetPut}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override {
        auto properties = WholeText(m_shape);
        bool put = kind == DISPATCH_PROPERTYPUT;
        switch (index) {
        case kName:
        case kNameAscii:
            if (put)
                properties->setPropertyValue(Ascii("CharFontName"),
                                             uno::Any(TextFromBstr(VariantToString(arguments.PutValue()))));
            else
                SetResultString(result, Utf8(properties->getPropertyValue(Ascii("CharFontName")).get<rtl::OUString>()));
            return S_OK;
        case kBold:
            if (put)
                properties->setPropertyValue(
                    Ascii("CharWeight"),
                    uno::Any(VariantToLong(arguments.PutValue()) ? awt::FontWeight::BOLD : awt::FontWeight::NORMAL));
            else
                SetResultLong(result, properties->getPropertyValue(Ascii("CharWeight")).get<float>() > awt::FontWeight::NORMAL ? -1 : 0);
            return S_OK;
        case kItalic:
            if (put)
                properties->setPropertyValue(
                    Ascii("CharPosture"),
                    uno::Any(VariantToLong(arguments.PutValue()) ? awt::FontSlant_ITALIC : awt::FontSlant_NONE));
            else
                SetResultLong(result, properties->getPropertyValue(Ascii("CharPosture")).get<awt::FontSlant>() == awt::FontSlant_NONE ? 0 : -1);
            return S_OK;
        default:
            if (put) {
                float size = VariantToFloat(arguments.PutValue());
                if (!(size >= 1.0f && size <= 4000.0f))
                    Fail(E_INVALIDARG);
                properties->setPropertyValue(Ascii("CharHeight"), uno::Any(size));
            } else {
                SetResultLong(result, static_cast<LONG>(std::lround(properties->getPropertyValue(Ascii("CharHeight")).get<float>())));
            }
            return S_OK;
        }
    }

private:
    ShapeRef m_shape;
};

class CTextRange : public CImpressObject {
public:
    CTextRange(std::shared_ptr<CDocument> document, ShapeRef shape)
        : CImpressObject(std::move(document)), m_shape(std::move(shape)) {}

protected:
    enum { kText, kFont };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Text", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT},
                                         {"Font", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override {
        if (index == kFont) {
            SetResultObject(result, new CFont(m_doc, m_shape));
            return S_OK;
        }
        uno::Reference<text::XText> shapeText(m_shape, uno::UNO_QUERY_THROW);
        if (kind == DISPATCH_PROPERTYPUT)
            shapeText->setString(TextFromBstr(VariantToString(arguments.PutValue())));
        else
            SetResultString(result, Utf8(shapeText->getString()));
        return S_OK;
    }

private:
    ShapeRef m_shape;
};

class CTextFrame : public CImpressObject {
public:
    CTextFrame(std::shared_ptr<CDocument> document, ShapeRef shape)
        : CImpressObject(std::move(document)), m_shape(std::move(shape)) {}

protected:
    enum { kHasText, kAutoSize, kWordWrap, kTextRange };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"HasText", DISPATCH_PROPERTYGET},
                                         {"AutoSize", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT},
                                         {"WordWrap", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT},
                                         {"TextRange", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override {
        bool put = kind == DISPATCH_PROPERTYPUT;
        auto properties = Properties(m_shape);
        switch (index) {
        case kHasText:
            SetResultLong(result, HoldsText(m_shape) ? -1 : 0);  // msoTrue, msoFalse
            return S_OK;
        case kAutoSize:  // ppAutoSizeNone 0, ppAutoSizeShapeToFitText 1
            if (put)
                properties->setPropertyValue(Ascii("TextAutoGrowHeight"),
                                             uno::Any(VariantToLong(arguments.PutValue()) == 1));
            else
                SetResultLong(result, properties->getPropertyValue(Ascii("TextAutoGrowHeight")).get<bool>() ? 1 : 0);
            return S_OK;
        case kWordWrap:
            if (put)
                properties->setPropertyValue(Ascii("TextWordWrap"), uno::Any(VariantToLong(arguments.PutValue()) != 0));
            else
                SetResultLong(result, properties->getPropertyValue(Ascii("TextWordWrap")).get<bool>() ? -1 : 0);
            return S_OK;
        default:
            SetResultObject(result, new CTextRange(m_doc, m_shape));
            return S_OK;
        }
    }

private:
    ShapeRef m_shape;
};

// A shape, and also a range of the one selected shape.
class CShape : public CImpressObject {
public:
    // `among`: the shapes it is one of, its page's or its group's.
    CShape(std::shared_ptr<CDocument> document, PageRef page, ShapeRef shape, uno::Reference<drawing::XShapes> among)
        : CImpressObject(std::move(document)), m_page(std::move(page)), m_shape(std::move(shape)),
          m_among(std::move(among)) {}

protected:
    enum { kSelect, kTextFrame, kDelete, kHasTextFrame, kType, kGroupItems, kHasTable, kTable };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Select", DISPATCH_METHOD},          {"TextFrame", DISPATCH_PROPERTYGET},
                                         {"Delete", DISPATCH_METHOD},          {"HasTextFrame", DISPATCH_PROPERTYGET},
                                         {"Type", DISPATCH_PROPERTYGET},       {"GroupItems", DISPATCH_PROPERTYGET},
                                         {"HasTable", DISPATCH_PROPERTYGET},   {"Table", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments&, VARIANT* result) override {
        // A deleted shape can no longer be selected, written or deleted. What
        // it is can still be read, without a walk over its page at each call.
        const bool reading = index == kType || index == kGroupItems || index == kHasTable || index == kTable;
        if (!reading && !IsAmongItsShapes())
            Fail();  // deleted
        switch (index) {
        case kSelect:
            Doc().selected = m_shape;
            return S_OK;
        case kTextFrame:
            if (!HasTextFrame(m_shape))
                Fail();  // a picture has no text frame
            SetResultObject(result, new CTextFrame(m_doc, m_shape));
            return S_OK;
        case kDelete:
            uno::Reference<drawing::XShapes>(m_page, uno::UNO_QUERY_THROW)->remove(m_shape);
            if (Doc().selected == m_shape)
                Doc().selected.clear();
            return S_OK;
        case kHasTextFrame:
            SetResultLong(result, HasTextFrame(m_shape) ? -1 : 0);
            return S_OK;
        case kType:
            SetResultLong(result, Type());
            return S_OK;
        case kGroupItems:
            if (!IsA(m_shape, kGroupShape))
                Fail();  // only a group has members
            SetResultObject(result, NewGroupItems(m_doc, m_page, m_shape));
            return S_OK;
        case kHasTable:
            SetResultLong(result, IsTable(m_shape) ? -1 : 0);
            return S_OK;
        default:
            if (!IsTable(m_shape))
                Fail();  // only a table has cells
            SetResultObject(result, NewTable(m_doc, m_shape));
            return S_OK;
        }
    }

private:
    static constexpr const char* kGroupShape = "com.sun.star.drawing.GroupShape";

    bool IsAmongItsShapes() {
        for (sal_Int32 i = 0, count = m_among->getCount(); i < count; ++i)
            if (ShapeRef(m_among->getByIndex(i), uno::UNO_QUERY) == m_shape)
                return true;
        return false;
    }

    // PowerPoint's MsoShapeType of the shape.
    LONG Type() {
        constexpr LONG kAutoShape = 1, kGroup = 6, kPicture = 13, kPlaceholder = 14, kTextBox = 17, kTable = 19;
        if (IsA(m_shape, kGroupShape))
            return kGroup;
        if (IsTable(m_shape))
            return kTable;
        if (IsPicture(m_shape))
            return kPicture;
        if (IsPlaceholder(m_shape))
            return kPlaceholder;
        return IsA(m_shape, "com.sun.star.drawing.TextShape") ? kTextBox : kAutoShape;
    }

    PageRef m_page;
    ShapeRef m_shape;
    uno::Reference<drawing::XShapes> m_among;
};

// Some shapes of a page, as PowerPoint lists them by number: its placeholders
// or the members of a group. The list is taken anew at each call.
class CShapeList : public CImpressObject {
public:
    using Lister = std::function<std::vector<ShapeRef>()>;
    // `among`: the shapes that `list` takes from.
    CShapeList(std::shared_ptr<CDocument> document, PageRef page, uno::Reference<drawing::XShapes> among, Lister list)
        : CImpressObject(std::move(document)), m_page(std::move(page)), m_among(std::move(among)),
          m_list(std::move(list)) {}

protected:
    enum { kItem, kCount };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET},
                                         {"Count", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments& arguments, VARIANT* result) override {
        const std::vector<ShapeRef> shapes = m_list();
        if (index == kCount) {
            SetResultLong(result, static_cast<LONG>(shapes.size()));
            return S_OK;
        }
        const LONG position = arguments.Long(0);
        if (position < 1 || static_cast<std::size_t>(position) > shapes.size())
            Fail(E_INVALIDARG);  // out of range
        SetResultObject(result, new CShape(m_doc, m_page, shapes[position - 1], m_among));
        return S_OK;
    }

private:
    PageRef m_page;
    uno::Reference<drawing::XShapes> m_among;
    Lister m_list;
};

// The shapes among `shapes` that `take` takes, in their order.
std::vector<ShapeRef> ShapesOf(const uno::Reference<drawing::XShapes>& shapes, bool (*take)(const ShapeRef&)) {
    std::vector<ShapeRef> taken;
    for (sal_Int32 i = 0, count = shapes->getCount(); i < count; ++i) {
        ShapeRef shape(shapes->getByIndex(i), uno::UNO_QUERY_THROW);
        if (take(shape))
            taken.push_back(shape);
    }
    return taken;
}

// The placeholders of a page, in the order of its shapes: on a notes page the
// slide's picture, then the notes body, as PowerPoint numbers them.
IDispatch* NewPlaceholders(std::shared_ptr<CDocument> document, PageRef page) {
    uno::Reference<drawing::XShapes> shapes(page, uno::UNO_QUERY_THROW);
    return new CShapeList(std::move(document), std::move(page), shapes, [shapes] { return ShapesOf(shapes, IsPlaceholder); });
}

class CShapes : public CImpressObject {
public:
    CShapes(std::shared_ptr<CDocument> document, PageRef page)
        : CImpressObject(std::move(document)), m_page(std::move(page)) {}

protected:
    enum { kAddTextbox, kAddPicture, kTitle, kItem, kCount, kPlaceholders };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"AddTextbox", DISPATCH_METHOD},
                                         {"AddPicture", DISPATCH_METHOD},
                                         {"Title", DISPATCH_PROPERTYGET},
                                         {"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET},
                                         {"Count", DISPATCH_PROPERTYGET},
                                         {"Placeholders", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments& arguments, VARIANT* result) override {
        switch (index) {
        case kAddTextbox:
            Return(result, AddTextbox(arguments));
            return S_OK;
        case kAddPicture:
            Return(result, AddPicture(arguments));
            return S_OK;
        case kTitle:
            Return(result, Title());
            return S_OK;
        case kItem: {
            LONG position = arguments.Long(0);
            if (position < 1 || position > Shapes()->getCount())
                Fail(E_INVALIDARG);  // out of range
            Return(result, ShapeRef(Shapes()->getByIndex(position - 1), uno::UNO_QUERY_THROW));
            return S_OK;
        }
        case kPlaceholders:
            SetResultObject(result, NewPlaceholders(m_doc, m_page));
            return S_OK;
        default:
            SetResultLong(result, Shapes()->getCount());
            return S_OK;
        }
    }

private:
    uno::Reference<drawing::XShapes> Shapes() { return uno::Reference<drawing::XShapes>(m_page, uno::UNO_QUERY_THROW); }
    void Return(VARIANT* result, const ShapeRef& shape) { SetResultObject(result, NewShape(m_doc, m_page, shape)); }

    // AddTextbox(Orientation, Left, Top, Width, Height)
    ShapeRef AddTextbox(const CDispatchArguments& arguments) {
        LONG orientation = arguments.Long(0);
        if (orientation != 1)
            Fail(E_INVALIDARG);  // only horizontal text is placed
        ShapeRef shape(CreateInDocument(Doc(), "com.sun.star.drawing.TextShape"), uno::UNO_QUERY_THROW);
        Shapes()->add(shape);
        PlaceShape(shape, arguments.Float(1), arguments.Float(2), arguments.Float(3), arguments.Float(4));
        // PowerPoint's text box keeps its width and wraps its text.
        auto properties = Properties(shape);
        properties->setPropertyValue(Ascii("TextAutoGrowWidth"), uno::Any(false));
        properties->setPropertyValue(Ascii("TextWordWrap"), uno::Any(true));
        return shape;
    }

    // AddPicture(FileName, LinkToFile, SaveWithDocument, Left, Top, Width, Height):
    // the picture is read from the file and kept inside the presentation.
    ShapeRef AddPicture(const CDispatchArguments& arguments) {
        std::string file = arguments.String(0);
        bool link = arguments.Bool(1), embed = arguments.Bool(2);
        if (link || !embed)
            Fail(E_INVALIDARG);  // pictures are only ever embedded
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error))
            Fail();
        float left = arguments.Float(3), top = arguments.Float(4);
        float width = arguments.Has(5) ? arguments.Float(5) : -1, height = arguments.Has(6) ? arguments.Float(6) : -1;

        auto provider = css::graphic::GraphicProvider::create(Doc().connection->Context());
        beans::PropertyValue url;
        url.Name = Ascii("URL");
        url.Value <<= FileUrl(file);
        auto graphic = provider->queryGraphic(uno::Sequence<beans::PropertyValue>(&url, 1));
        if (!graphic.is())
            Fail();  // not a picture the office can read

        ShapeRef shape(CreateInDocument(Doc(), "com.sun.star.drawing.GraphicObjectShape"), uno::UNO_QUERY_THROW);
        Shapes()->add(shape);
        Properties(shape)->setPropertyValue(Ascii("Graphic"), uno::Any(graphic));
        if (width < 0 || height < 0) {
            // The picture's own size, as PowerPoint places it without a size.
            awt::Size own = shape->getSize();
            width = own.Width * 72.0f / 2540.0f;
            height = own.Height * 72.0f / 2540.0f;
        }
        PlaceShape(shape, left, top, width, height);
        return shape;
    }

    ShapeRef Title() {
        auto shapes = Shapes();
        for (sal_Int32 i = 0, count = shapes->getCount(); i < count; ++i) {
            ShapeRef shape(shapes->getByIndex(i), uno::UNO_QUERY_THROW);
            if (IsA(shape, "com.sun.star.presentation.TitleTextShape"))
                return shape;
        }
        Fail();  // the layout has no title
    }

    PageRef m_page;
};

// ApplyTheme and ApplyTemplate need PowerPoint's own design files, which are
// not installed with this server: both refuse.
class CSlideMaster : public CImpressObject {
public:
    using CImpressObject::CImpressObject;

protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"ApplyTheme", DISPATCH_METHOD}, {"ApplyTemplate", DISPATCH_METHOD}};
        return members;
    }
    HRESULT Call(std::size_t, WORD, const CDispatchArguments& arguments, VARIANT*) override {
        arguments.String(0);
        Fail();
    }
};

class CDocumentProperty : public CImpressObject {
public:
    CDocumentProperty(std::shared_ptr<CDocument> document, LONG item)
        : CImpressObject(std::move(document)), m_item(item) {}

protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Value", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT}};
        return members;
    }
    HRESULT Call(std::size_t, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override {
        uno::Reference<css::document::XDocumentPropertiesSupplier> supplier(Doc().component, uno::UNO_QUERY_THROW);
        auto properties = supplier->getDocumentProperties();
        if (kind == DISPATCH_PROPERTYPUT) {
            rtl::OUString value = TextFromBstr(VariantToString(arguments.PutValue()));
            switch (m_item) {
            case 1: properties->setTitle(value); break;
            case 2: properties->setSubject(value); break;
            case 3: properties->setAuthor(value); break;
            case 4: properties->setKeywords({&value, 1}); break;
            default: properties->setDescription(value); break;
            }
            return S_OK;
        }
        rtl::OUString value;
        switch (m_item) {
        case 1: value = properties->getTitle(); break;
        case 2: value = properties->getSubject(); break;
        case 3: value = properties->getAuthor(); break;
        case 4: {
            auto keywords = properties->getKeywords();
            value = keywords.getLength() ? keywords[0] : rtl::OUString();
            break;
        }
        default: value = properties->getDescription(); break;
        }
        SetResultString(result, Utf8(value));
        return S_OK;
    }

private:
    LONG m_item;
};

// Built-in properties by PowerPoint's numbers: 1 title, 2 subject, 3 author,
// 4 keywords, 5 comments.
class CDocumentProperties : public CImpressObject {
public:
    using CImpressObject::CImpressObject;

protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t, WORD, const CDispatchArguments& arguments, VARIANT* result) override {
        LONG item = arguments.Long(0);
        if (item < 1 || item > 5)
            Fail(E_INVALIDARG);
        SetResultObject(result, new CDocumentProperty(m_doc, item));
        return S_OK;
    }
};

}  // namespace

bool HasTextFrame(const ShapeRef& shape) {
    return shape.is() && !IsPicture(shape) && uno::Reference<text::XText>(shape, uno::UNO_QUERY).is();
}

IDispatch* NewShapes(std::shared_ptr<CDocument> document, PageRef page) {
    return new CShapes(std::move(document), std::move(page));
}

IDispatch* NewShape(std::shared_ptr<CDocument> document, PageRef page, ShapeRef shape) {
    uno::Reference<drawing::XShapes> among(page, uno::UNO_QUERY_THROW);
    return new CShape(std::move(document), std::move(page), std::move(shape), std::move(among));
}

IDispatch* NewGroupItems(std::shared_ptr<CDocument> document, PageRef page, const ShapeRef& group) {
    uno::Reference<drawing::XShapes> members(group, uno::UNO_QUERY_THROW);
    return new CShapeList(std::move(document), std::move(page), members,
                          [members] { return ShapesOf(members, [](const ShapeRef&) { return true; }); });
}

IDispatch* NewTextRange(std::shared_ptr<CDocument> document, ShapeRef shape) {
    return new CTextRange(std::move(document), std::move(shape));
}

IDispatch* NewSlideMaster(std::shared_ptr<CDocument> document) { return new CSlideMaster(std::move(document)); }

IDispatch* NewDocumentProperties(std::shared_ptr<CDocument> document) {
    return new CDocumentProperties(std::move(document));
}

}  // namespace impress
