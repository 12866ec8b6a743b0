#include <windows.h>

#include "platform/process.h"

namespace tolvane {

// A double-click, a shortcut or `start` makes a console for this run alone. Nothing is
// ever written to it, and left open it would stand empty over the first box and take
// its keyboard. A console shared with cmd, where the run was typed, stays.
void prepareProcess() {
    DWORD attached[2];
    if (GetConsoleProcessList(attached, 2) == 1) FreeConsole();
}

}  // namespace tolvane
