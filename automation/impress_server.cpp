#include "automation/impress_server.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/drawing/GraphicExportFilter.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/presentation/XPresentationPage.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/implbase1.hxx>
#include <osl/file.hxx>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "repair/ppt/compound_format.h"
#include "repair/ppt/edit_chain.h"
#include "automation/impress_objects.h"
#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "platform/com_windows.h"

namespace impress {

namespace beans = css::beans;
namespace drawing = css::drawing;
namespace frame = css::frame;
namespace lang = css::lang;
namespace fs = std::filesystem;

namespace {

constexpr CLSID kImpressApplicationClsid = {0x5D1E6B2A, 0x3C41, 0x4F0E, {0x9A, 0x7B, 0x1D, 0x2E, 0x6C, 0x80, 0x41, 0x13}};
constexpr const char* kProgramFolder = "/usr/lib/libreoffice/program";

void CloseQuietly(const uno::Reference<lang::XComponent>& component);

// The one office process that serves every Application object, as PowerPoint
// is one process for all its clients.
class CServer {
public:
    static CServer& Instance() {
        static CServer* server = new CServer;  // lives until exit; the process is killed at exit
        return *server;
    }

    // The live connection, started when there is none or the last one died.
    std::shared_ptr<COfficeConnection> Connection() {
        std::lock_guard guard(m_lock);
        ++m_useTicket;  // a warm office in use is not idle
        if (m_connection && m_connection->Alive())
            return m_connection;
        if (m_connection)
            m_connection->Terminate();
        m_connection = COfficeConnection::Start(GetImpressTimeouts().start);
        if (m_connection && !m_frame)
            m_frame = CreateFrameWindow(kImpressFrameClass);
        if (!m_connection)
            EndFrame();
        return m_connection;
    }

    // Quit: the office process ends with every presentation in it. A warm
    // office closes the presentations instead and waits for the next client
    // until it has been idle for the keep-warm time.
    void Quit() {
        std::lock_guard guard(m_lock);
        std::vector<std::shared_ptr<CDocument>> open;
        for (auto& weak : m_documents)
            if (auto document = weak.lock(); document && !document->closed) {
                document->closed = true;
                open.push_back(std::move(document));
            }
        m_documents.clear();
        if (m_keepWarm.count() > 0 && m_connection && CloseAll(open)) {
            m_idleTicket = m_useTicket;
            m_idleUntil = std::chrono::steady_clock::now() + m_keepWarm;
            m_idleWake.notify_all();
            return;
        }
        EndConnection();
    }

    void KeepWarm(std::chrono::milliseconds idle) {
        std::lock_guard guard(m_lock);
        m_keepWarm = idle;
        if (idle.count() == 0 && m_connection && m_idleTicket == m_useTicket)
            EndConnection();  // nobody waits for the idle office any more
        if (idle.count() > 0 && !m_idleWatch) {
            m_idleWatch = true;
            std::thread([this] { WatchIdleness(); }).detach();  // the server lives until exit
        }
        m_idleWake.notify_all();
    }

    void Opened(const std::shared_ptr<CDocument>& document) {
        std::lock_guard guard(m_lock);
        m_documents.push_back(document);
    }

    // The presentation of the active window: the one opened or added last
    // that is still open.
    std::shared_ptr<CDocument> Active() {
        std::lock_guard guard(m_lock);
        std::erase_if(m_documents, [](const std::weak_ptr<CDocument>& weak) {
            auto document = weak.lock();
            return !document || document->closed;
        });
        return m_documents.empty() ? nullptr : m_documents.back().lock();
    }

    int Group() {
        std::lock_guard guard(m_lock);
        return m_connection && m_connection->Alive() ? m_connection->ProcessGroup() : 0;
    }

    bool visible = false;
    LONG displayAlerts = 2;

private:
    // Closes the presentations left open; false when the office did not.
    bool CloseAll(const std::vector<std::shared_ptr<CDocument>>& documents) {
        for (const auto& document : documents) {
            HRESULT hr = RunOffice(*m_connection, GetImpressTimeouts().call, [&] {
                CloseQuietly(document->component);
                return S_OK;
            });
            if (FAILED(hr))
                return false;
        }
        return m_connection->Alive();
    }

    void EndConnection() {
        if (m_connection)
            m_connection->Terminate();
        m_connection.reset();
        EndFrame();
    }

    // Ends a warm office that nobody used for the keep-warm time since its last Quit.
    void WatchIdleness() {
        std::unique_lock guard(m_lock);
        for (;;) {
            const bool waiting = m_connection && m_keepWarm.count() > 0 && m_idleTicket == m_useTicket;
            if (!waiting) {
                m_idleWake.wait(guard);
                continue;
            }
            if (m_idleWake.wait_until(guard, m_idleUntil) == std::cv_status::timeout && m_connection &&
                m_idleTicket == m_useTicket && std::chrono::steady_clock::now() >= m_idleUntil) {
                EndConnection();
            }
        }
    }

    void EndFrame() {
        if (m_frame)
            DestroyFrameWindow(m_frame);
        m_frame = nullptr;
    }

    std::mutex m_lock;
    std::shared_ptr<COfficeConnection> m_connection;
    std::chrono::milliseconds m_keepWarm{0};  // 0: Quit ends the office process
    std::condition_variable m_idleWake;
    std::chrono::steady_clock::time_point m_idleUntil{};
    unsigned m_useTicket = 0;   // counts the clients that asked for the office
    unsigned m_idleTicket = 1;  // m_useTicket at the last warm Quit
    bool m_idleWatch = false;
    std::vector<std::weak_ptr<CDocument>> m_documents;
    HWND m_frame = nullptr;
};

// No dialog may ever appear: every question the office asks while loading
// (repair this file?, which filter?, password?) is answered with Abort.
class CAbortingInteraction : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
public:
    void SAL_CALL handle(const uno::Reference<css::task::XInteractionRequest>& request) override {
        const auto continuations = request->getContinuations();
        for (const auto& continuation : continuations) {
            uno::Reference<css::task::XInteractionAbort> abort(continuation, uno::UNO_QUERY);
            if (abort.is()) {
                abort->select();
                return;
            }
        }
    }
};

beans::PropertyValue Property(const char* name, const uno::Any& value) {
    beans::PropertyValue property;
    property.Name = Ascii(name);
    property.Value = value;
    return property;
}

std::string LowerExtension(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// The filter that writes a file of this extension; empty when none does.
std::string FilterForExtension(const std::string& path) {
    std::string extension = LowerExtension(path);
    if (extension == ".ppt")
        return "MS PowerPoint 97";
    if (extension == ".pps")
        return "MS PowerPoint 97 AutoPlay";
    if (extension == ".pot")
        return "MS PowerPoint 97 Vorlage";
    if (extension == ".pptx")
        return "Impress MS PowerPoint 2007 XML";
    if (extension == ".ppsx")
        return "Impress MS PowerPoint 2007 XML AutoPlay";
    if (extension == ".potx")
        return "Impress MS PowerPoint 2007 XML Template";
    return {};
}

bool IsCompoundFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[sizeof cfb::kSignature] = {};
    return in.read(head, sizeof(head)) && std::equal(std::begin(cfb::kSignature), std::end(cfb::kSignature),
                                                     reinterpret_cast<unsigned char*>(head));
}

// PowerPoint opens a presentation only when it is one: a missing, empty or
// other kind of file, or a binary one whose edit chain is broken, is refused
// before the office sees it. A read-only open shows what the office itself
// reads of a file, broken chain or not: such a presentation is only measured
// or saved under a new name.
void CheckOpenable(const std::string& path, bool readOnly) {
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) == 0 || error)
        Fail();
    if (!readOnly && IsCompoundFile(path) && !CheckPresentationFileEditChain(path))
        Fail();
}

uno::Reference<lang::XComponent> LoadHidden(COfficeConnection& connection, const rtl::OUString& url, bool readOnly) {
    std::vector<beans::PropertyValue> properties = {
        Property("Hidden", uno::Any(true)),
        Property("ReadOnly", uno::Any(readOnly)),
        Property("MacroExecutionMode", uno::Any(sal_Int16(0))),  // never run macros
        Property("UpdateDocMode", uno::Any(sal_Int16(0))),       // never update links
        Property("InteractionHandler",
                 uno::Any(uno::Reference<css::task::XInteractionHandler>(new CAbortingInteraction))),
    };
    uno::Sequence<beans::PropertyValue> arguments(properties.data(), static_cast<sal_Int32>(properties.size()));
    return connection.Loader()->loadComponentFromURL(url, Ascii("_blank"), 0, arguments);
}

bool IsPresentation(const uno::Reference<lang::XComponent>& component) {
    uno::Reference<lang::XServiceInfo> info(component, uno::UNO_QUERY);
    return info.is() && info->supportsService(Ascii("com.sun.star.presentation.PresentationDocument"));
}

void CloseQuietly(const uno::Reference<lang::XComponent>& component) {
    try {
        uno::Reference<css::util::XCloseable> closeable(component, uno::UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        else if (component.is())
            component->dispose();
    } catch (const uno::Exception&) {
    }
}

std::string LoadedFilter(const uno::Reference<lang::XComponent>& component) {
    uno::Reference<frame::XModel> model(component, uno::UNO_QUERY);
    if (!model.is())
        return {};
    const auto arguments = model->getArgs();
    for (const auto& argument : arguments)
        if (argument.Name == "FilterName") {
            rtl::OUString name;
            argument.Value >>= name;
            return Utf8(name);
        }
    return {};
}

// Writes the presentation beside `path` and moves it into place, so that a
// presentation opened read-only can be saved over its own file and a failed
// store leaves the old file whole. PowerPoint refuses a folder that does not
// exist; the office would create it.
void StoreTo(CDocument& document, const std::string& path, const std::string& filter) {
    fs::path target = fs::absolute(path);
    std::error_code error;
    if (filter.empty() || !fs::is_directory(target.parent_path(), error) || fs::is_directory(target, error))
        Fail();
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".deckmend-saving")).string();
    std::vector<beans::PropertyValue> properties = {
        Property("FilterName", uno::Any(Ascii(filter.c_str()))),
        Property("Overwrite", uno::Any(true)),
    };
    uno::Sequence<beans::PropertyValue> arguments(properties.data(), static_cast<sal_Int32>(properties.size()));
    uno::Reference<frame::XStorable> storable(document.component, uno::UNO_QUERY_THROW);
    try {
        storable->storeToURL(FileUrl(temporary), arguments);
    } catch (...) {
        fs::remove(temporary, error);
        throw;
    }
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        Fail();
    }
}

// Writes `page` as a PNG picture `width` pixels wide; a height of 0 keeps the
// slide's proportions. Written beside `path` and moved into place, so that a
// failed export leaves no half-written picture.
void ExportPagePicture(CDocument& document, const uno::Reference<drawing::XDrawPage>& page, const std::string& path,
                       LONG width, LONG height) {
    fs::path target = fs::absolute(path);
    std::error_code error;
    if (width <= 0 || height < 0 || !fs::is_directory(target.parent_path(), error))
        Fail(E_INVALIDARG);
    if (height == 0) {
        uno::Reference<beans::XPropertySet> pageSize(page, uno::UNO_QUERY_THROW);
        sal_Int32 pageWidth = 0, pageHeight = 0;
        pageSize->getPropertyValue(Ascii("Width")) >>= pageWidth;
        pageSize->getPropertyValue(Ascii("Height")) >>= pageHeight;
        if (pageWidth <= 0 || pageHeight <= 0)
            Fail();
        height = std::max<LONG>(1, static_cast<LONG>(std::int64_t{width} * pageHeight / pageWidth));
    }
    std::vector<beans::PropertyValue> pixels = {
        Property("PixelWidth", uno::Any(static_cast<sal_Int32>(width))),
        Property("PixelHeight", uno::Any(static_cast<sal_Int32>(height))),
    };
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".deckmend-export")).string();
    std::vector<beans::PropertyValue> properties = {
        Property("MediaType", uno::Any(Ascii("image/png"))),
        Property("URL", uno::Any(FileUrl(temporary))),
        Property("FilterData", uno::Any(uno::Sequence<beans::PropertyValue>(pixels.data(), 2))),
    };
    auto filter = drawing::GraphicExportFilter::create(document.connection->Context());
    filter->setSourceDocument(uno::Reference<lang::XComponent>(page, uno::UNO_QUERY_THROW));
    const bool written = filter->filter(
        uno::Sequence<beans::PropertyValue>(properties.data(), static_cast<sal_Int32>(properties.size())));
    if (written && fs::exists(temporary, error))
        fs::rename(temporary, target, error);
    if (!written || error) {
        fs::remove(temporary, error);
        Fail();
    }
}

std::chrono::milliseconds LoadBound() { return GetImpressTimeouts().load; }
std::chrono::milliseconds CallBound() { return GetImpressTimeouts().call; }

}  // namespace

// ---------------------------------------------------------------- shared helpers

void Fail(HRESULT hr) { throw DispatchFailure{hr}; }

HRESULT TranslateOfficeFailure(COfficeConnection& connection, bool deadlineExpired) {
    try {
        throw;
    } catch (const lang::DisposedException&) {
        connection.Terminate();
        return RPC_E_SERVER_DIED;
    } catch (const uno::RuntimeException&) {
        // A bridge that broke shows as a runtime failure of the call.
        if (deadlineExpired || !connection.ProcessRunning()) {
            connection.Terminate();
            return RPC_E_SERVER_DIED;
        }
        return DISP_E_EXCEPTION;
    } catch (const uno::Exception&) {
        if (deadlineExpired) {
            connection.Terminate();
            return RPC_E_SERVER_DIED;
        }
        return DISP_E_EXCEPTION;
    }
}

HRESULT CImpressObject::Guard(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) {
    if (!m_doc)
        return Call(index, kind, arguments, result);
    if (m_doc->closed)
        return DISP_E_EXCEPTION;  // the presentation was closed
    return RunOffice(*m_doc->connection, CallBound(), [&] { return Call(index, kind, arguments, result); });
}

rtl::OUString TextFromBstr(const std::string& utf8) {
    std::u16string text;
    text.reserve(utf8.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t size = utf8.size();
    for (std::size_t i = 0; i < size;) {
        unsigned char lead = bytes[i];
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t code = 0xFFFD;
        bool valid = length > 0 && i + length <= size;
        if (valid) {
            code = length == 1 ? lead : lead & (0x7F >> length);
            for (std::size_t k = 1; k < length && valid; ++k) {
                valid = (bytes[i + k] & 0xC0) == 0x80;
                code = (code << 6) | (bytes[i + k] & 0x3F);
            }
            static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
            valid = valid && code >= kSmallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        }
        if (!valid) {
            code = 0xFFFD;
            length = 1;
        }
        i += length;
        if (code == 0)
            continue;
        if (code == '\r' || code == 0x0B) {
            if (code == '\r' && i < size && bytes[i] == '\n')
                ++i;
            code = '\n';
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(code));
        }
    }
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.data()), static_cast<sal_Int32>(text.size()));
}

std::string Utf8(const rtl::OUString& text) {
    rtl::OString bytes = rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8);
    return std::string(bytes.getStr(), bytes.getLength());
}

rtl::OUString Ascii(const char* text) { return rtl::OUString::createFromAscii(text); }

sal_Int32 HundredthMm(float points) { return static_cast<sal_Int32>(points * 2540.0f / 72.0f + 0.5f); }

rtl::OUString FileUrl(const std::string& path) {
    if (path.empty())
        return {};
    std::string absolute = fs::absolute(path).lexically_normal().string();
    rtl::OUString url;
    if (osl::FileBase::getFileURLFromSystemPath(TextFromBstr(absolute), url) != osl::FileBase::E_None)
        Fail();
    return url;
}

LONG SlideCount(CDocument& document) {
    uno::Reference<drawing::XDrawPagesSupplier> supplier(document.component, uno::UNO_QUERY_THROW);
    LONG pages = supplier->getDrawPages()->getCount();
    return document.unusedFirstPage ? 0 : pages;
}

uno::Reference<drawing::XDrawPage> SlidePage(CDocument& document, LONG slideNumber) {
    if (slideNumber < 1 || slideNumber > SlideCount(document))
        Fail(E_INVALIDARG);
    uno::Reference<drawing::XDrawPagesSupplier> supplier(document.component, uno::UNO_QUERY_THROW);
    return uno::Reference<drawing::XDrawPage>(supplier->getDrawPages()->getByIndex(slideNumber - 1),
                                              uno::UNO_QUERY_THROW);
}

// ---------------------------------------------------------------- objects

namespace {

class CView : public CImpressObject {
public:
    using CImpressObject::CImpressObject;

protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"GotoSlide", DISPATCH_METHOD}};
        return members;
    }
    HRESULT Call(std::size_t, WORD, const CDispatchArguments& arguments, VARIANT*) override {
        LONG slide = arguments.Long(0);
        SlidePage(Doc(), slide);  // fails for a slide that does not exist
        Doc().shownSlide = slide;
        Doc().selected.clear();
        return S_OK;
    }
};

class CSlideRange : public CImpressObject {
public:
    using CImpressObject::CImpressObject;

protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Shapes", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t, WORD, const CDispatchArguments&, VARIANT* result) override {
        SetResultObject(result, NewShapes(m_doc, SlidePage(Doc(), Doc().shownSlide)));
        return S_OK;
    }
};

class CSelection : public CImpressObject {
public:
    using CImpressObject::CImpressObject;

protected:
    enum { kSlideRange, kShapeRange, kTextRange, kUnselect };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"SlideRange", DISPATCH_PROPERTYGET},
                                         {"ShapeRange", DISPATCH_PROPERTYGET},
                                         {"TextRange", DISPATCH_PROPERTYGET},
                                         {"Unselect", DISPATCH_METHOD}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments&, VARIANT* result) override {
        switch (index) {
        case kSlideRange:
            SlidePage(Doc(), Doc().shownSlide);
            SetResultObject(result, new CSlideRange(m_doc));
            return S_OK;
        case kShapeRange: {
            auto shape = Selected();
            SetResultObject(result, NewShape(m_doc, SlidePage(Doc(), Doc().shownSlide), shape));
            return S_OK;
        }
        case kTextRange: {
            auto shape = Selected();
            if (!HasTextFrame(shape))
                Fail();
            SetResultObject(result, NewTextRange(m_doc, shape));
            return S_OK;
        }
        default:
            Doc().selected.clear();
            return S_OK;
        }
    }

private:
    uno::Reference<drawing::XShape> Selected() {
        if (!Doc().selected.is())
            Fail();  // nothing is selected
        return Doc().selected;
    }
};

class CWindow : public CImpressObject {
public:
    using CImpressObject::CImpressObject;

protected:
    enum { kViewType, kView, kSelection };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"ViewType", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT},
                                         {"View", DISPATCH_PROPERTYGET},
                                         {"Selection", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override {
        switch (index) {
        case kViewType:
            if (kind == DISPATCH_PROPERTYPUT)
                Doc().viewType = VariantToLong(arguments.PutValue());
            else
                SetResultLong(result, Doc().viewType);
            return S_OK;
        case kView:
            SetResultObject(result, new CView(m_doc));
            return S_OK;
        default:
            SetResultObject(result, new CSelection(m_doc));
            return S_OK;
        }
    }
};

// A slide's notes page: the slide's picture and the notes body.
class CNotesPage : public CImpressObject {
public:
    CNotesPage(std::shared_ptr<CDocument> document, uno::Reference<drawing::XDrawPage> page)
        : CImpressObject(std::move(document)), m_page(std::move(page)) {}

protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Shapes", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t, WORD, const CDispatchArguments&, VARIANT* result) override {
        SetResultObject(result, NewShapes(m_doc, m_page));
        return S_OK;
    }

private:
    uno::Reference<drawing::XDrawPage> m_page;
};

class CSlide : public CImpressObject {
public:
    CSlide(std::shared_ptr<CDocument> document, uno::Reference<drawing::XDrawPage> page)
        : CImpressObject(std::move(document)), m_page(std::move(page)) {}

protected:
    enum { kShapes, kDelete, kSlideIndex, kExport, kNotesPage };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Shapes", DISPATCH_PROPERTYGET},
                                         {"Delete", DISPATCH_METHOD},
                                         {"SlideIndex", DISPATCH_PROPERTYGET},
                                         {"Export", DISPATCH_METHOD},
                                         {"NotesPage", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments& arguments, VARIANT* result) override {
        switch (index) {
        case kShapes:
            SetResultObject(result, NewShapes(m_doc, Page()));
            return S_OK;
        case kDelete:
            Delete();
            return S_OK;
        case kExport:
            Export(arguments);
            return S_OK;
        case kNotesPage:
            SetResultObject(result, new CNotesPage(m_doc, NotesPage()));
            return S_OK;
        default:
            SetResultLong(result, IndexOf(Page()) + 1);
            return S_OK;
        }
    }

private:
    // Export(FileName, FilterName, ScaleWidth, ScaleHeight): PNG is the one
    // picture format written here; a height left out keeps the proportions.
    void Export(const CDispatchArguments& arguments) {
        const std::string path = arguments.String(0);
        std::string format = arguments.String(1);
        std::transform(format.begin(), format.end(), format.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (path.empty() || format != "png")
            Fail(E_INVALIDARG);
        ExportPagePicture(Doc(), Page(), path, arguments.Long(2), arguments.Has(3) ? arguments.Long(3) : 0);
    }

    uno::Reference<drawing::XDrawPage> NotesPage() {
        return uno::Reference<css::presentation::XPresentationPage>(Page(), uno::UNO_QUERY_THROW)->getNotesPage();
    }

    uno::Reference<drawing::XDrawPages> Pages() {
        uno::Reference<drawing::XDrawPagesSupplier> supplier(Doc().component, uno::UNO_QUERY_THROW);
        return supplier->getDrawPages();
    }
    // Position of the page among the slides; -1 once it was deleted.
    LONG IndexOf(const uno::Reference<drawing::XDrawPage>& page) {
        auto pages = Pages();
        for (LONG i = 0, count = pages->getCount(); i < count; ++i)
            if (uno::Reference<drawing::XDrawPage>(pages->getByIndex(i), uno::UNO_QUERY) == page)
                return Doc().unusedFirstPage ? -1 : i;
        return -1;
    }
    const uno::Reference<drawing::XDrawPage>& Page() {
        if (IndexOf(m_page) < 0)
            Fail();  // deleted
        return m_page;
    }
    void Delete() {
        auto pages = Pages();
        LONG position = IndexOf(Page());
        if (pages->getCount() == 1) {
            // Impress keeps at least one page: the last slide becomes the
            // unused page of an empty presentation.
            uno::Reference<drawing::XShapes> shapes(m_page, uno::UNO_QUERY_THROW);
            while (shapes->getCount() > 0)
                shapes->remove(uno::Reference<drawing::XShape>(shapes->getByIndex(0), uno::UNO_QUERY_THROW));
            Doc().unusedFirstPage = true;
        } else {
            pages->remove(m_page);
        }
        Doc().selected.clear();
        if (Doc().shownSlide > position)
            Doc().shownSlide = std::max<LONG>(1, Doc().shownSlide - 1);
    }

    uno::Reference<drawing::XDrawPage> m_page;
};

class CSlides : public CImpressObject {
public:
    using CImpressObject::CImpressObject;

protected:
    enum { kAdd, kCount, kItem };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Add", DISPATCH_METHOD},
                                         {"Count", DISPATCH_PROPERTYGET},
                                         {"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments& arguments, VARIANT* result) override {
        switch (index) {
        case kAdd:
            SetResultObject(result, new CSlide(m_doc, Add(arguments.Long(0), arguments.Long(1))));
            return S_OK;
        case kCount:
            SetResultLong(result, SlideCount(Doc()));
            return S_OK;
        default:
            SetResultObject(result, new CSlide(m_doc, SlidePage(Doc(), arguments.Long(0))));
            return S_OK;
        }
    }

private:
    // A new slide that becomes slide number `index`, with the Impress layout
    // nearest to PowerPoint's `layout`.
    uno::Reference<drawing::XDrawPage> Add(LONG index, LONG layout) {
        LONG count = SlideCount(Doc());
        if (index < 1 || index > count + 1 || layout < 1)
            Fail(E_INVALIDARG);
        uno::Reference<drawing::XDrawPagesSupplier> supplier(Doc().component, uno::UNO_QUERY_THROW);
        auto pages = supplier->getDrawPages();
        uno::Reference<drawing::XDrawPage> page;
        if (Doc().unusedFirstPage) {
            page.set(pages->getByIndex(0), uno::UNO_QUERY_THROW);
            Doc().unusedFirstPage = false;
        } else if (index == 1) {
            Fail(E_NOTIMPL);  // Impress inserts only after an existing page
        } else {
            page = pages->insertNewByIndex(index - 2);  // inserts after that page
        }
        uno::Reference<beans::XPropertySet>(page, uno::UNO_QUERY_THROW)
            ->setPropertyValue(Ascii("Layout"), uno::Any(ImpressLayoutFor(layout)));
        return page;
    }
};

class CPresentation : public CImpressObject {
public:
    using CImpressObject::CImpressObject;

protected:
    enum { kSaveAs, kSave, kSlides, kClose, kSlideShowWindow, kSlideMaster, kApplyTemplate, kProperties, kFullName };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"SaveAs", DISPATCH_METHOD},
                                         {"Save", DISPATCH_METHOD},
                                         {"Slides", DISPATCH_PROPERTYGET},
                                         {"Close", DISPATCH_METHOD},
                                         {"SlideShowWindow", DISPATCH_PROPERTYGET},
                                         {"SlideMaster", DISPATCH_PROPERTYGET},
                                         {"ApplyTemplate", DISPATCH_METHOD},
                                         {"BuiltInDocumentProperties", DISPATCH_PROPERTYGET},
                                         {"FullName", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Guard(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override {
        if (index != kSaveAs && index != kSave)
            return CImpressObject::Guard(index, kind, arguments, result);
        if (Doc().closed)
            return DISP_E_EXCEPTION;
        return RunOffice(*Doc().connection, LoadBound(), [&] { return Call(index, kind, arguments, result); });
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments& arguments, VARIANT* result) override {
        switch (index) {
        case kSaveAs: {
            // PowerPoint's default format follows the extension of the name.
            std::string path = arguments.String(0);
            if (path.empty())
                Fail(E_INVALIDARG);
            std::string filter = FilterForExtension(path);
            StoreTo(Doc(), path, filter);
            Doc().path = fs::absolute(path).string();
            Doc().filter = filter;
            return S_OK;
        }
        case kSave:
            if (Doc().path.empty())
                Fail();  // never saved: no place to save in
            StoreTo(Doc(), Doc().path, Doc().filter);
            return S_OK;
        case kSlides:
            SetResultObject(result, new CSlides(m_doc));
            return S_OK;
        case kClose:
            Doc().closed = true;
            Doc().selected.clear();
            uno::Reference<css::util::XCloseable>(Doc().component, uno::UNO_QUERY_THROW)->close(true);
            return S_OK;
        case kSlideShowWindow:
            Fail();  // no slide show runs
        case kSlideMaster:
            SetResultObject(result, NewSlideMaster(m_doc));
            return S_OK;
        case kApplyTemplate:
            arguments.String(0);
            Fail();  // the design files are PowerPoint's; none is installed here
        case kProperties:
            SetResultObject(result, NewDocumentProperties(m_doc));
            return S_OK;
        default:
            SetResultString(result, Doc().path);
            return S_OK;
        }
    }
};

class CPresentations : public CImpressObject {
protected:
    enum { kOpen, kAdd };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Open", DISPATCH_METHOD}, {"Add", DISPATCH_METHOD}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD, const CDispatchArguments& arguments, VARIANT* result) override {
        auto document = std::make_shared<CDocument>();
        std::string path;
        if (index == kOpen) {
            path = arguments.String(0);
            CheckOpenable(path, arguments.Has(1) && arguments.Bool(1));
        }
        document->connection = CServer::Instance().Connection();
        if (!document->connection)
            return CO_E_SERVER_EXEC_FAILURE;
        HRESULT hr = RunOffice(*document->connection, LoadBound(), [&] {
            if (index == kOpen)
                Open(*document, path);
            else
                Add(*document);
            return S_OK;
        });
        if (FAILED(hr))
            return hr;
        CServer::Instance().Opened(document);
        SetResultObject(result, NewPresentation(document));
        return S_OK;
    }

private:
    static void Open(CDocument& document, const std::string& path) {
        // Read-only, so that no lock file is left beside the presentation; a
        // save goes through a new file (StoreTo).
        auto component = LoadHidden(*document.connection, FileUrl(path), true);
        if (!component.is())
            Fail();
        if (!IsPresentation(component)) {
            CloseQuietly(component);
            Fail();
        }
        document.component = component;
        document.path = fs::absolute(path).string();
        document.filter = FilterForExtension(path);
        if (document.filter.empty())
            document.filter = LoadedFilter(component);
    }

    static void Add(CDocument& document) {
        document.component = LoadHidden(*document.connection, Ascii("private:factory/simpress"), false);
        if (!document.component.is())
            Fail();
        document.unusedFirstPage = true;
    }
};

class CApplication : public CImpressObject {
protected:
    enum { kPresentations, kVisible, kDisplayAlerts, kPath, kActiveWindow, kQuit, kVersion };
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Presentations", DISPATCH_PROPERTYGET},
                                         {"Visible", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT},
                                         {"DisplayAlerts", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT},
                                         {"Path", DISPATCH_PROPERTYGET},
                                         {"ActiveWindow", DISPATCH_PROPERTYGET},
                                         {"Quit", DISPATCH_METHOD},
                                         {"Version", DISPATCH_PROPERTYGET}};
        return members;
    }
    HRESULT Call(std::size_t index, WORD kind, const CDispatchArguments& arguments, VARIANT* result) override {
        CServer& server = CServer::Instance();
        switch (index) {
        case kPresentations:
            SetResultObject(result, new CPresentations);
            return S_OK;
        case kVisible:
            if (kind == DISPATCH_PROPERTYPUT)
                server.visible = VariantToLong(arguments.PutValue()) != 0;
            else
                SetResultLong(result, server.visible ? -1 : 0);
            return S_OK;
        case kDisplayAlerts:
            if (kind == DISPATCH_PROPERTYPUT)
                server.displayAlerts = VariantToLong(arguments.PutValue());
            else
                SetResultLong(result, server.displayAlerts);
            return S_OK;
        case kPath:
            SetResultString(result, kProgramFolder);
            return S_OK;
        case kActiveWindow: {
            auto active = server.Active();
            if (!active)
                Fail();  // no presentation has a window
            SetResultObject(result, new CWindow(active));
            return S_OK;
        }
        case kQuit:
            server.Quit();
            return S_OK;
        default:
            SetResultString(result, "14.0");
            return S_OK;
        }
    }
};

}  // namespace

IDispatch* NewApplication() { return new CApplication; }
IDispatch* NewPresentation(std::shared_ptr<CDocument> document) { return new CPresentation(std::move(document)); }

}  // namespace impress

// ---------------------------------------------------------------- registration

bool ImpressServerInstalled() { return !COfficeProcess::ProgramPath().empty(); }

bool RegisterImpressServer() {
    if (!ImpressServerInstalled())
        return false;
    CoRegisterServer(kPowerPointProgId, impress::kImpressApplicationClsid, [](REFIID riid, void** object) -> HRESULT {
        // Creating the Application starts PowerPoint: here, the office process.
        if (!impress::CServer::Instance().Connection())
            return CO_E_SERVER_EXEC_FAILURE;
        IDispatch* application = impress::NewApplication();
        HRESULT hr = application->QueryInterface(riid, object);
        application->Release();
        return hr;
    });
    return true;
}

int ImpressServerProcessGroup() { return impress::CServer::Instance().Group(); }

void KeepImpressServerWarm(std::chrono::milliseconds idle) { impress::CServer::Instance().KeepWarm(idle); }
