#pragma once

namespace tolvane {

// Sets the process up for the run, once, before the box is chosen and before the ini is
// opened: on POSIX, its standard descriptors and every signal disposition; on Windows,
// the console it was given. Cannot fail: what it cannot set up stays as it was.
void prepareProcess();

}  // namespace tolvane
