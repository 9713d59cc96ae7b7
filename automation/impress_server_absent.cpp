// The build without the office suite's SDK: "PowerPoint.Application" has no
// server, as on a computer without PowerPoint.
#include "automation/impress_server.h"

bool ImpressServerInstalled() { return false; }
bool RegisterImpressServer() { return false; }
int ImpressServerProcessGroup() { return 0; }
void KeepImpressServerWarm(std::chrono::milliseconds) {}
