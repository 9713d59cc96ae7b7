#pragma once
// The package's scaffolding rebuilt from the parts that survived: truncated XML
// closed, dangling relationships and the references to them removed, the content
// types, the package and presentation relationships and the presentation part
// regenerated when they are lost. XML goes through libxml2 only, with its limits
// on depth and entity expansion left on.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "repair/recovery_report.h"

// The largest XML part that is read into memory to be mended or checked: its
// parsed tree takes several times its size.
inline constexpr std::size_t kMaxMendedPart = 4u << 20;

// One part of the package being put together.
struct PackagePart {
    std::string name;            // as stored, without a leading slash
    ItemState state = ItemState::Kept;
    std::string how;
    bool hasContent = false;     // `content` replaces the stored bytes
    std::string content;
    int entry = -1;              // the entry it is copied from, -1 for a new part
    bool clearFlags = false;     // copied with the flags no reader accepts cleared
};

// The well-formed document that `prefix` (a cut-off or damaged XML part) starts,
// its open elements closed; nothing when no root element survives.
std::optional<std::string> CloseTruncatedXml(const std::string& prefix);

// True when `text` parses as XML with a root element.
bool IsWellFormedXml(const std::string& text);

enum class ScaffoldOutcome { Done, NotAPresentation };

// The text of a part kept unchanged, read on demand (nothing when unreadable or
// larger than kMaxMendedPart).
using PartLoader = std::function<std::optional<std::string>(const PackagePart&)>;

// Rebuilds the scaffolding in `parts`: parts may be changed (their `content`
// set, their state Mended or Regenerated), added, or marked LeftOut.
ScaffoldOutcome RebuildScaffolding(std::vector<PackagePart>& parts, const PartLoader& load);
