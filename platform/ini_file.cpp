#include "platform/ini_file.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\v\f\r";  // a stray CR of a last line too

// One line of the file as it was read: its text and its own line ending, so
// that a rewrite gives every untouched line back byte for byte.
struct IniLine {
    std::string text;
    std::string ending;  // "\r\n", "\n" or "" for a last line without one
};

enum class LineKind { kOther, kSection, kEntry };

// What a line means once blanks, a byte-order mark and comments are set aside.
struct ParsedLine {
    LineKind kind = LineKind::kOther;
    std::string_view name;   // section name or key
    std::string_view value;  // value of an entry
};

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return std::move(content).str();
}

std::vector<IniLine> SplitLines(const std::string& content) {
    std::vector<IniLine> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const auto newline = content.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back({content.substr(start), ""});
            break;
        }
        const bool crlf = newline > start && content[newline - 1] == '\r';
        const auto textEnd = crlf ? newline - 1 : newline;
        lines.push_back({content.substr(start, textEnd - start), crlf ? "\r\n" : "\n"});
        start = newline + 1;
    }
    return lines;
}

ParsedLine ParseLine(std::string_view text, bool firstLine) {
    if (firstLine && text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
    text = Trim(text);
    if (text.empty() || text.front() == ';') return {};
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return {};
        return {LineKind::kSection, Trim(text.substr(1, close - 1)), {}};
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) return {};
    return {LineKind::kEntry, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1))};
}

// Where a key sits in a file: the first entry of that name inside a section of
// that name, and the last non-blank line of the first such section.
struct KeyPosition {
    std::optional<std::size_t> entryLine;
    std::optional<std::size_t> sectionEnd;
};

KeyPosition FindKey(const std::vector<IniLine>& lines, std::string_view section,
                    std::string_view key) {
    KeyPosition found;
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine line = ParseLine(lines[i].text, i == 0);
        if (line.kind == LineKind::kSection) {
            inSection = EqualsIgnoringCase(line.name, section);
            inFirstSection = inSection && !found.sectionEnd;
            if (inFirstSection) found.sectionEnd = i;
            continue;
        }
        if (!inSection) continue;
        if (inFirstSection && !Trim(lines[i].text).empty()) found.sectionEnd = i;
        if (line.kind == LineKind::kEntry && EqualsIgnoringCase(line.name, key)) {
            found.entryLine = i;
            return found;
        }
    }
    return found;
}

// Length in bytes of the UTF-8 character at the start of `text`. A stray or
// truncated sequence counts as a character of its own bytes, so that a cut
// never runs past the announced length of a sequence.
std::size_t Utf8CharLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    std::size_t announced = 1;
    if (lead >= 0xC0 && lead <= 0xDF) announced = 2;
    if (lead >= 0xE0 && lead <= 0xEF) announced = 3;
    if (lead >= 0xF0 && lead <= 0xF7) announced = 4;
    std::size_t length = 1;
    while (length < announced && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

// Copies at most `maxChars` whole characters of `text` to `out`; returns how
// many were copied.
DWORD CopyWholeChars(std::string_view text, std::size_t maxChars, std::string& out) {
    std::size_t bytes = 0;
    DWORD chars = 0;
    while (bytes < text.size() && chars < maxChars) {
        bytes += Utf8CharLength(text.substr(bytes));
        ++chars;
    }
    out.assign(text.substr(0, bytes));
    return chars;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool IsWritableEntry(std::string_view section, std::string_view key, std::string_view value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    if (section.find(']') != std::string_view::npos) return false;
    return !Trim(key).empty() && key.find('=') == std::string_view::npos;
}

// The ending that new lines get: that of the file's first line, so that a CRLF
// file stays CRLF throughout.
std::string NewLineEnding(const std::vector<IniLine>& lines) {
    return (!lines.empty() && lines.front().ending == "\r\n") ? "\r\n" : "\n";
}

void ReplaceValue(IniLine& line, std::string_view value) {
    // The key keeps its spelling and the spacing around '='; only the value changes.
    const auto equals = line.text.find('=');
    auto valueStart = line.text.find_first_not_of(kBlanks, equals + 1);
    if (valueStart == std::string::npos) valueStart = equals + 1;
    line.text = line.text.substr(0, valueStart) + std::string(value);
}

void InsertEntry(std::vector<IniLine>& lines, std::size_t afterLine, std::string entry) {
    const std::string ending = NewLineEnding(lines);
    if (lines[afterLine].ending.empty()) lines[afterLine].ending = ending;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(afterLine) + 1,
                 {std::move(entry), ending});
}

void AppendSection(std::vector<IniLine>& lines, std::string_view section, std::string entry) {
    const std::string ending = NewLineEnding(lines);
    if (!lines.empty()) {
        if (lines.back().ending.empty()) lines.back().ending = ending;
        if (!Trim(lines.back().text).empty()) lines.push_back({"", ending});
    }
    lines.push_back({"[" + std::string(section) + "]", ending});
    lines.push_back({std::move(entry), ending});
}

std::string JoinLines(const std::vector<IniLine>& lines) {
    std::string content;
    for (const IniLine& line : lines) content += line.text + line.ending;
    return content;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    return !out.fail();
}

}  // namespace

DWORD GetPrivateProfileStringW(const std::string& section, const std::string& key,
                               const std::string& def, std::string& out, std::size_t size,
                               const std::string& path) {
    out.clear();
    if (size == 0) return 0;
    const auto content = ReadWholeFile(path);
    const auto lines = content ? SplitLines(*content) : std::vector<IniLine>{};
    const KeyPosition position = FindKey(lines, Trim(section), Trim(key));
    std::string_view value = Trim(def);
    if (position.entryLine) {
        const std::size_t index = *position.entryLine;
        value = ParseLine(lines[index].text, index == 0).value;
    }
    return CopyWholeChars(value, size - 1, out);
}

BOOL WritePrivateProfileStringW(const std::string& section, const std::string& key,
                                const std::string& value, const std::string& path) {
    if (!IsWritableEntry(section, key, value)) return FALSE;
    const auto content = ReadWholeFile(path);
    auto lines = content ? SplitLines(*content) : std::vector<IniLine>{};
    const std::string trimmedValue(Trim(value));
    const KeyPosition position = FindKey(lines, Trim(section), Trim(key));
    if (position.entryLine) {
        ReplaceValue(lines[*position.entryLine], trimmedValue);
    } else {
        std::string entry = std::string(Trim(key)) + "=" + trimmedValue;
        if (position.sectionEnd) InsertEntry(lines, *position.sectionEnd, std::move(entry));
        else AppendSection(lines, Trim(section), std::move(entry));
    }
    const std::string updated = JoinLines(lines);
    if (content && updated == *content) return TRUE;
    return WriteWholeFile(path, updated) ? TRUE : FALSE;
}
