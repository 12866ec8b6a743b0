#pragma once

#include <string>
#include <vector>

namespace tolvane {

// A terminal emulator found on the search path, and the absolute path it is started by.
struct TerminalWindowCommand {
    std::size_t kind = 0;  // its row in the table of terminal emulators
    std::string path;
};

// The first terminal emulator of x-terminal-emulator, xdg-terminal-exec, konsole,
// gnome-terminal, xfce4-terminal, mate-terminal, lxterminal, qterminal and xterm found in
// the absolute folders of `searchPath` (a PATH value, or null), or false.
bool findTerminalWindow(const char* searchPath, TerminalWindowCommand& found);

// The terminal's whole argument list, its name first, for a window that runs `program`
// (an absolute path) alone, with no shell, in `folder`; its last argument is empty where
// the terminal would take the command as one word and `program` cannot be one.
std::vector<std::string> terminalWindowArguments(const TerminalWindowCommand& terminal,
                                                 const std::string& program,
                                                 const std::string& folder);

// On a desktop with no dialog program, and no person at a terminal: replaces this run
// with a terminal window running the same program in the same folder, where the
// terminal box can be answered. Returns only where that cannot be done (no terminal
// emulator, this program's path unknown, the exec refused, or this run already is the
// one a window was opened for); the run has then changed nothing.
void reopenInATerminalWindow(const char* searchPath);

}  // namespace tolvane
