// The cells of a table, read for their texts.
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XTable.hpp>
#include <com/sun/star/text/XText.hpp>

#include "automation/impress_objects.h"

namespace impress {

namespace drawing = css::drawing;
namespace table = css::table;

namespace {

// The rows or the columns of a table: only how many there are.
class CTableLines : public CImpressObject {
public:
    CTableLines(std::shared_ptr<CDocument> document, LONG count)
        : CImpressObject(std::move(document)), m_count(count) {}

protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Count", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t, WORD, const CDispatchArguments&, VARIANT* result) override {
        SetResultLong(result, m_count);
        return S_OK;
    }

private:
    LONG m_count;
};

// A cell of a table. PowerPoint reaches its text through the cell's shape, its
// text frame and their text range; here they are all the cell's one text.
class CCellText : public CImpressObject {
public:
    CCellText(std::shared_ptr<CDocument> document, uno::Reference<css::text::XText> text)
        : CImpressObject(std::move(document)), m_text(std::move(text)) {}

protected:
    enum { kShape, kTextFrame, kTextRange, kHasTextFrame, kHasText, kText };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Shape", DISPATCH_PROPERTYGET},        {"TextFrame", DISPATCH_PROPERTYGET},
                                         {"TextRange", DISPATCH_PROPERTYGET},    {"HasTextFrame", DISPATCH_PROPERTYGET},
                                         {"HasText", DISPATCH_PROPERTYGET},      {"Text", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments&, VARIANT* result) override {
        switch (index) {
        case kShape:
        case kTextFrame:
        case kTextRange:
            SetResultObject(result, new CCellText(m_doc, m_text));
            return S_OK;
        case kHasTextFrame:
            SetResultLong(result, -1);  // msoTrue
            return S_OK;
        case kHasText:
            SetResultLong(result, m_text->getString().isEmpty() ? 0 : -1);
            return S_OK;
        default:
            SetResultString(result, Utf8(m_text->getString()));
            return S_OK;
        }
    }

private:
    uno::Reference<css::text::XText> m_text;
};

class CTable : public CImpressObject {
public:
    CTable(std::shared_ptr<CDocument> document, uno::Reference<table::XTable> model)
        : CImpressObject(std::move(document)), m_model(std::move(model)) {}

protected:
    enum { kRows, kColumns, kCell };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Rows", DISPATCH_PROPERTYGET},
                                         {"Columns", DISPATCH_PROPERTYGET},
                                         {"Cell", DISPATCH_METHOD}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments& arguments, VARIANT* result) override {
        switch (index) {
        case kRows:
            SetResultObject(result, new CTableLines(m_doc, m_model->getRowCount()));
            return S_OK;
        case kColumns:
            SetResultObject(result, new CTableLines(m_doc, m_model->getColumnCount()));
            return S_OK;
        default: {
            // Cell(Row, Column), both from 1.
            const LONG row = arguments.Long(0), column = arguments.Long(1);
            if (row < 1 || row > m_model->getRowCount() || column < 1 || column > m_model->getColumnCount())
                Fail(E_INVALIDARG);  // out of range
            uno::Reference<css::text::XText> text(m_model->getCellByPosition(column - 1, row - 1), uno::UNO_QUERY_THROW);
            SetResultObject(result, new CCellText(m_doc, text));
            return S_OK;
        }
        }
    }

private:
    uno::Reference<table::XTable> m_model;
};

// The cells of a table shape, which names no service of its kind.
uno::Reference<table::XTable> TableModel(const uno::Reference<drawing::XShape>& shape) {
    uno::Reference<css::beans::XPropertySet> properties(shape, uno::UNO_QUERY);
    if (!properties.is() || !properties->getPropertySetInfo()->hasPropertyByName(Ascii("Model")))
        return {};
    return uno::Reference<table::XTable>(properties->getPropertyValue(Ascii("Model")), uno::UNO_QUERY);
}

}  // namespace

bool IsTable(const uno::Reference<drawing::XShape>& shape) { return TableModel(shape).is(); }

IDispatch* NewTable(std::shared_ptr<CDocument> document, const uno::Reference<drawing::XShape>& shape) {
    uno::Reference<table::XTable> model = TableModel(shape);
    if (!model.is())
        Fail();  // no table
    return new CTable(std::move(document), std::move(model));
}

}  // namespace impress
