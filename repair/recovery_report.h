#pragma once
// What a repair gives back: a graded outcome, how the result was obtained, and
// what it holds and left out. The repair steps fill in their parts; the wizard,
// the command line and the JSON report only read it.
#include <cstdint>
#include <string>
#include <vector>

enum class RepairOutcome {
    Repaired,        // the result holds the presentation, nothing known to be lost
    RepairedInPart,  // the result opens with slides, but something was left out or mended
    KeptSource,      // the damaged file itself, as the office reads it, saved anew
    Failed,          // nothing the user can use; `reason` says why
    Cancelled,
};

enum class RepairMethod {
    None,
    ContainerRebuilt,      // package: entries copied under a new central directory
    StreamRelinked,        // binary: one consistent document stream from the live objects
    CutAtUserEdit,         // binary: the document stream cut at a consistent user edit
    RebuiltFromFragments,  // binary: a new presentation built from the records found
    SourceResaved,         // the damaged file as the office reads it, saved anew
};

// The state of one package part or one binary object in the result.
enum class ItemState {
    Kept,         // copied byte for byte, checked
    Mended,       // kept, but changed to be readable (`how` says how)
    Regenerated,  // built anew from what survived
    LeftOut,      // not in the result (`how` says why)
};

struct ReportItem {
    std::string name;  // a part name ("ppt/slides/slide3.xml") or an object ("slide 4, persist id 12")
    ItemState state = ItemState::Kept;
    std::string how;   // short reason, empty for a part kept as it was
};

// What the office shows of a presentation; `opened` false when it was not
// opened (or could not be).
struct ShownFigures {
    bool opened = false;
    std::int64_t slides = 0;
    std::int64_t characters = 0;  // kNotCounted when no office counted them
    std::int64_t paragraphs = 0;
};

// A figure that nothing counted (the text of a result no office opened).
inline constexpr std::int64_t kNotCounted = -1;

struct RecoveryReport {
    RepairOutcome outcome = RepairOutcome::Failed;
    std::string reason;  // for Failed and Cancelled: the message shown to the user
    RepairMethod method = RepairMethod::None;

    // The result's content. Counted from the repaired bytes where the office was
    // not asked; `checkedInOffice` says whether the office opened the result.
    std::int64_t slides = 0;
    std::int64_t characters = 0;
    std::int64_t pictures = 0;
    std::int64_t notes = 0;
    bool checkedInOffice = false;

    // The damaged file as the office shows it, when it was measured.
    ShownFigures source;

    // Package parts or binary objects that were mended, regenerated or left out
    // (parts kept unchanged are listed too for packages).
    std::vector<ReportItem> items;

    // True when the result holds everything the damaged file held, byte for byte
    // where it was sound: the office cannot show more of the damaged file.
    bool everythingKept = false;

    // PNG pictures of the result's first slides, in order, when they were asked
    // for and the office could make them.
    std::vector<std::string> slidePictures;
};

inline const char* OutcomeName(RepairOutcome outcome) {
    switch (outcome) {
    case RepairOutcome::Repaired: return "repaired";
    case RepairOutcome::RepairedInPart: return "repaired-in-part";
    case RepairOutcome::KeptSource: return "kept-source";
    case RepairOutcome::Failed: return "failed";
    case RepairOutcome::Cancelled: return "cancelled";
    }
    return "failed";
}

inline const char* MethodName(RepairMethod method) {
    switch (method) {
    case RepairMethod::None: return "none";
    case RepairMethod::ContainerRebuilt: return "container-rebuilt";
    case RepairMethod::StreamRelinked: return "stream-relinked";
    case RepairMethod::CutAtUserEdit: return "cut-at-user-edit";
    case RepairMethod::RebuiltFromFragments: return "rebuilt-from-fragments";
    case RepairMethod::SourceResaved: return "source-resaved";
    }
    return "none";
}

inline const char* ItemStateName(ItemState state) {
    switch (state) {
    case ItemState::Kept: return "kept";
    case ItemState::Mended: return "mended";
    case ItemState::Regenerated: return "regenerated";
    case ItemState::LeftOut: return "left-out";
    }
    return "kept";
}
