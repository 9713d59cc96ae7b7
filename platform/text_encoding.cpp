#include "platform/text_encoding.h"

#include <array>

namespace {

// Code page 1252 at 0x80 to 0x9F; the undefined positions keep their C1 value.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

template <typename Unit>
std::string FromUtf16(Unit unitAt, std::size_t units) {
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = unitAt(i);
        if (u == 0)
            break;
        if (IsHighSurrogate(u) && i + 1 < units && IsLowSurrogate(unitAt(i + 1))) {
            AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{unitAt(i + 1)} - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

}  // namespace

std::string AnsiToUtf8(const std::uint8_t* bytes, std::size_t count) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count && bytes[i] != 0; ++i) {
        const std::uint8_t b = bytes[i];
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
    }
    return out;
}

std::string Utf16LeToUtf8(const std::uint8_t* bytes, std::size_t count) {
    return FromUtf16([bytes](std::size_t i) { return static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8); },
                     count / 2);
}

std::string Utf16ToUtf8(const std::u16string& text) {
    return FromUtf16([&text](std::size_t i) { return text[i]; }, text.size());
}

std::size_t Utf8Length(std::string_view utf8) {
    std::size_t characters = 0;
    for (unsigned char c : utf8)
        characters += (c & 0xC0) != 0x80;
    return characters;
}
