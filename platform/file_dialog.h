#pragma once
// Open and save-as dialogs go through one replaceable handler, like message
// boxes: the wizard shows real dialogs, tests answer them.
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CWnd;

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    CWnd* owner;              // nullptr for a dialog without owner
    FileDialogKind kind;
    // "Description | *.a; *.b||": one filter, as the pages write it.
    std::string filter;
    // Extension (without the dot) added to a typed name that has none; empty for none.
    std::string defaultExt;
    // Name proposed in the name field of a save dialog.
    std::string fileName;
    bool fileMustExist = false;     // open: only existing files
    bool overwritePrompt = false;   // save: ask before replacing a file
};

// The chosen full path, or nothing when the dialog was cancelled.
using FileDialogHandler = std::function<std::optional<std::string>(const FileDialogRequest&)>;

// Installs `handler` and returns the one it replaces. With no handler installed
// every dialog counts as cancelled.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

std::optional<std::string> ShowFileDialog(const FileDialogRequest& request);

// The parts of a filter "Description | *.a; *.b||": its description and its
// patterns ("*.a", "*.b").
struct FileFilterParts {
    std::string description;
    std::vector<std::string> patterns;
};
FileFilterParts SplitFileFilter(const std::string& filter);
