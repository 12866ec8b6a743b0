#pragma once

#include <string>
#include <vector>

namespace tolvane {

// A terminal emulator found on the search path, and the absolute path it is started by.
struct TerminalWindowCommand {
    std::size_t kind = 0;  // its row in the table of terminal emulators
    std::string path;
};

// The terminal emulators found in the absolute folders of `searchPath` (a PATH value, or
// null), in the order they are tried: x-terminal-emulator (as the terminal it leads to,
// where that is one of the others), xdg-terminal-exec, konsole, gnome-terminal,
// xfce4-terminal, mate-terminal, lxterminal, qterminal and xterm. Empty where there is none.
std::vector<TerminalWindowCommand> findTerminalWindows(const char* searchPath);

// The terminal's whole argument list, its name first, for a window that runs `program`
// alone, with no shell: `program` is one word of letters, digits and slashes, which no
// terminal's splitting or expansion changes.
std::vector<std::string> terminalWindowArguments(const TerminalWindowCommand& terminal,
                                                 const std::string& program);

// On a desktop with no dialog program, and no person at a terminal: opens a terminal
// window running this same program, which settles in this run's folder, and waits for it
// to start there, trying each terminal emulator in turn. True once one has started it
// (this run then waits for that terminal and has nothing more to do); false where none
// could (or this run already is one a window was opened for): nothing has changed.
bool reopenInATerminalWindow(const char* searchPath);

// In a run a window was opened for: moves into the folder of the run that opened it and
// tells that run it has started. Ends the run here, touching nothing, if that run is gone.
// Does nothing in any other run.
void settleInTheOpenersFolder();

}  // namespace tolvane
