#pragma once
// Texts read from presentation records, turned into the UTF-8 that the rest of
// the program passes around. Both readers stop at the first zero character, as
// a zero-terminated copy of the record would.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Bytes in the Windows ANSI code page of Western systems (1252).
std::string AnsiToUtf8(const std::uint8_t* bytes, std::size_t count);
// UTF-16 little-endian code units; an odd last byte is dropped and a lone
// surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(const std::uint8_t* bytes, std::size_t count);
std::string Utf16ToUtf8(const std::u16string& text);
// Characters (code points) of a UTF-8 text: one lead byte each.
std::size_t Utf8Length(std::string_view utf8);
