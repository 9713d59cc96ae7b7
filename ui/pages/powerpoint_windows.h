#pragma once
// PowerPoint's frame windows and the working files, as the main frame and the
// repair page clean up after a repair.

// Posts WM_CLOSE to the first PowerPoint frame window found, in the order of
// PowerPoint's generations; true when one was found.
bool CloseRunningPowerPoint();
// Whether a PowerPoint frame window is open.
bool PowerPointWindowOpen();
// The working files that a repair leaves in the temporary folder are deleted.
void DeleteWorkingFiles();
