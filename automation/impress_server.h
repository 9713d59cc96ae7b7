#pragma once
// The server behind "PowerPoint.Application" on this platform: LibreOffice
// Impress, run headless in a private process and driven through UNO. It
// answers the members that the program calls, with PowerPoint's meaning, and
// presents itself as the PowerPoint generation of "PPTFrameClass" (2010).
#include <chrono>

#include "platform/com_types.h"

inline constexpr const char* kImpressFrameClass = "PPTFrameClass";

// Registers the server under "PowerPoint.Application" when the office suite is
// installed; false (and nothing registered) otherwise.
bool RegisterImpressServer();
// Whether the office suite that serves "PowerPoint.Application" is installed.
bool ImpressServerInstalled();

// Time bounds: starting and connecting to the office process, loading or
// storing a document, and any other call. A call that runs past its bound
// ends the office process and fails.
struct ImpressTimeouts {
    std::chrono::milliseconds start{30000};
    std::chrono::milliseconds load{60000};
    std::chrono::milliseconds call{15000};
};
ImpressTimeouts GetImpressTimeouts();
void SetImpressTimeouts(const ImpressTimeouts& timeouts);

// Process group of the running office process, or 0.
int ImpressServerProcessGroup();

// With a time above zero, Quit closes the presentations and leaves the office
// process running for the next Application, until nobody has used it for
// `idle`; zero (the default) makes Quit end it, and ends an office that
// waits idle now. A program that repairs one file after another keeps the
// office warm between them.
void KeepImpressServerWarm(std::chrono::milliseconds idle);

// PowerPoint layout numbers (ppLayout…) as Impress AutoLayout numbers; the
// blank layout for numbers without a counterpart.
short ImpressLayoutFor(LONG powerPointLayout);
