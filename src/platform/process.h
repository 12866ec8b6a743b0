#pragma once

namespace tolvane {

// Sets the process up for the run, once, before the box is chosen and before the ini is
// opened: on POSIX, its standard descriptors and every signal disposition; on Windows,
// the console it was given. Cannot fail: what it cannot set up stays as it was.
void prepareProcess();

// Whether changing `path` would miss the copy of it the game reads: on Windows, a run
// elevated under UAC, which Windows does not redirect to the VirtualStore, while the
// VirtualStore holds a copy of that file. Never on POSIX. False when it cannot be told.
bool gameReadsAnotherCopy(const char* path);

}  // namespace tolvane
