#pragma once
// The object model behind "PowerPoint.Application", carried out in Impress.
// Each PowerPoint object is a small IDispatch over the UNO objects it stands
// for; the state a PowerPoint window keeps (the slide shown, the selection)
// lives in the presentation's CDocument.
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/lang/XComponent.hpp>

#include <memory>
#include <string>

#include "automation/impress_server.h"
#include "automation/office_connection.h"
#include "platform/com_dispatch.h"

namespace impress {

namespace uno = css::uno;

// One open presentation.
struct CDocument {
    std::shared_ptr<COfficeConnection> connection;
    uno::Reference<css::lang::XComponent> component;
    std::string path;    // where it was opened from or saved to last; empty for a new one
    std::string filter;  // the filter it is saved with in place
    bool closed = false;
    // Impress cannot hold a presentation without slides: a new one keeps one
    // blank page that does not count until the first Slides.Add takes it.
    bool unusedFirstPage = false;
    LONG shownSlide = 1;
    LONG viewType = 9;  // normal view
    uno::Reference<css::drawing::XShape> selected;
};

// Base of the objects: runs UNO work under the connection's deadline and turns
// UNO failures into result codes.
class CImpressObject : public CDispatchObject {
public:
    explicit CImpressObject(std::shared_ptr<CDocument> document = nullptr) : m_doc(std::move(document)) {}
    HRESULT Guard(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override;

    CDocument& Doc() const { return *m_doc; }
    std::shared_ptr<CDocument> m_doc;
};

// Runs `work` on `connection` within `bound`. A dead or killed office process
// gives RPC_E_SERVER_DIED and is ended for good; other UNO failures give
// DISP_E_EXCEPTION.
template <typename Work>
HRESULT RunOffice(COfficeConnection& connection, std::chrono::milliseconds bound, Work&& work);
HRESULT TranslateOfficeFailure(COfficeConnection& connection, bool deadlineExpired);

// Text from a BSTR as Impress takes it: UTF-8 decoded with every malformed
// sequence, lone surrogate and zero replaced, PowerPoint's paragraph mark
// (CR) and line break (VT) as Impress's.
rtl::OUString TextFromBstr(const std::string& utf8);
std::string Utf8(const rtl::OUString& text);
rtl::OUString Ascii(const char* text);
// 1/100 mm from points.
sal_Int32 HundredthMm(float points);
// A file URL for a local path; empty for an empty path.
rtl::OUString FileUrl(const std::string& path);

// Object factories.
IDispatch* NewApplication();
IDispatch* NewPresentation(std::shared_ptr<CDocument> document);
IDispatch* NewShapes(std::shared_ptr<CDocument> document, uno::Reference<css::drawing::XDrawPage> page);
IDispatch* NewShape(std::shared_ptr<CDocument> document, uno::Reference<css::drawing::XDrawPage> page,
                    uno::Reference<css::drawing::XShape> shape);
// Whether `shape` is a table.
bool IsTable(const uno::Reference<css::drawing::XShape>& shape);
// The members of `group`, a group shape on `page`; the table of `shape`, a table shape.
IDispatch* NewGroupItems(std::shared_ptr<CDocument> document, uno::Reference<css::drawing::XDrawPage> page,
                         const uno::Reference<css::drawing::XShape>& group);
IDispatch* NewTable(std::shared_ptr<CDocument> document, const uno::Reference<css::drawing::XShape>& shape);
IDispatch* NewTextRange(std::shared_ptr<CDocument> document, uno::Reference<css::drawing::XShape> shape);
IDispatch* NewSlideMaster(std::shared_ptr<CDocument> document);
IDispatch* NewDocumentProperties(std::shared_ptr<CDocument> document);

// Pages of the presentation as PowerPoint counts its slides.
LONG SlideCount(CDocument& document);
uno::Reference<css::drawing::XDrawPage> SlidePage(CDocument& document, LONG slideNumber);
// Whether the shape holds a text frame in PowerPoint's sense (pictures do not).
bool HasTextFrame(const uno::Reference<css::drawing::XShape>& shape);

[[noreturn]] void Fail(HRESULT hr = DISP_E_EXCEPTION);

template <typename Work>
HRESULT RunOffice(COfficeConnection& connection, std::chrono::milliseconds bound, Work&& work) {
    if (!connection.Alive())
        return RPC_E_DISCONNECTED;
    COfficeConnection::CDeadline deadline(connection, bound);
    try {
        return work();
    } catch (const css::uno::Exception&) {
        return TranslateOfficeFailure(connection, deadline.Expired());
    }
}

}  // namespace impress
