// WalkContainer over a fuzzed file with a slide builder that only checks what
// it is handed, so no office is started: the container at offset 0 with the
// recLen its header gives, and the whole file with each layout code. Texts and
// picture names must be valid UTF-8 and no longer than the bytes they came from
// could make them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/ppt/fragment_rebuild.h"
#include "repair/ppt/slide_builder.h"

namespace {

// An ANSI byte or a UTF-16 unit becomes at most three UTF-8 bytes.
constexpr std::size_t kUtf8PerByte = 3;

bool ValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

class CCheckingBuilder final : public CSlideBuilder {
public:
    explicit CCheckingBuilder(std::size_t inputSize) : m_nLongest(kUtf8PerByte * inputSize) {
        m_previous = SetSlideBuilder(this);
    }
    ~CCheckingBuilder() override { SetSlideBuilder(m_previous); }

    LONG MapSlideLayout(std::uint32_t) override { return 1; }
    HRESULT GetSlideCount(LONG& count) override {
        count = m_nSlides;
        return S_OK;
    }
    HRESULT AddSlide(LONG index, LONG) override {
        if (index != m_nSlides + 1)
            std::abort();
        ++m_nSlides;
        return S_OK;
    }
    HRESULT SetSlideTitle(const std::string& text, float, float, float, float) override {
        Check(text);
        return m_nSlides % 2 ? S_OK : E_FAIL;  // both the title and the text box are taken
    }
    HRESULT AddTextBox(const std::string& text, float, float, float, float) override {
        Check(text);
        return S_OK;
    }
    HRESULT SetFont() override { return S_OK; }
    HRESULT AddPicture(const std::string& file, float, float, float, float) override {
        Check(file);
        return E_FAIL;
    }
    HRESULT DeleteEmptyShapes() override { return S_OK; }
    HRESULT DeleteSlideIfEmpty() override { return S_OK; }
    HRESULT SetNotesText(const std::string&) override { return S_OK; }
    HRESULT SavePresentation(const std::string&) override { return S_OK; }

private:
    void Check(const std::string& text) const {
        if (text.size() > m_nLongest || !ValidUtf8(text))
            std::abort();
    }

    CSlideBuilder* m_previous = nullptr;
    std::size_t m_nLongest;
    LONG m_nSlides = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath(".walk");
    FuzzJob job;
    if (!WriteScratch(path, data, size) || !job.Open(path))
        return 0;
    CCheckingBuilder builder(size);
    const std::uint32_t headerRecLen = CByteView(data, size).Le32(4).value_or(0);
    WalkContainer(job.source, job.cancel, kSlideLayoutCode, 0, headerRecLen);
    WalkContainer(job.source, job.cancel, 0, 0, static_cast<std::uint32_t>(size));
    WalkContainer(job.source, job.cancel, kSlideLayoutCode, size / 2, UINT32_MAX);
    return 0;
}
