#pragma once
// What the rebuild from fragments asks of the office session while it builds
// slides. The program's builder forwards to the PowerPoint session; tests and
// fuzzing put their own in its place.
#include <cstdint>
#include <string>

#include "platform/com_types.h"

class CSlideBuilder {
public:
    virtual ~CSlideBuilder() = default;
    virtual LONG MapSlideLayout(std::uint32_t layoutValue) = 0;
    virtual HRESULT GetSlideCount(LONG& count) = 0;
    virtual HRESULT AddSlide(LONG index, LONG layout) = 0;
    // 0 when the text went into the title; anything else asks for a text box.
    virtual HRESULT SetSlideTitle(const std::string& text, float left, float top, float width, float height) = 0;
    virtual HRESULT AddTextBox(const std::string& text, float left, float top, float width, float height) = 0;
    virtual HRESULT SetFont() = 0;
    virtual HRESULT AddPicture(const std::string& file, float left, float top, float width, float height) = 0;
    // The text of the notes page of the slide added last.
    virtual HRESULT SetNotesText(const std::string& text) = 0;
    virtual HRESULT DeleteEmptyShapes() = 0;
    virtual HRESULT DeleteSlideIfEmpty() = 0;
    // Saves the presentation under `path` (the rebuild's result).
    virtual HRESULT SavePresentation(const std::string& path) = 0;
};

// The builder in use: the PowerPoint session unless replaced.
CSlideBuilder& SlideBuilder();
// Puts `builder` in place (null: the session again); returns the one replaced.
CSlideBuilder* SetSlideBuilder(CSlideBuilder* builder);
