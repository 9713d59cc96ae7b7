#pragma once
// Runs the repair job on its worker thread against recording stand-ins for the
// repair page and the main frame, as the wizard's UI thread would take them.
#include <string>
#include <vector>

#include "platform/win_types.h"

struct SentMessage {
    std::string to;   // "page", "animation" or "frame"
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct JobRecord {
    std::vector<SentMessage> messages;
    std::vector<std::string> boxes;   // texts of the message boxes, in order
    std::string boxCaption;
    bool Failed() const;              // the frame was sent back to the start page
};

// Repairs `source` (with the temporary folder set to `tempFolder`) and returns
// what the job sent. `cancelled` starts the job with the run flag already cleared.
JobRecord RunJob(const std::string& source, const std::string& tempFolder, bool cancelled = false);

// The English text of a key, read as the job reads it.
std::string Text(const char* key);
