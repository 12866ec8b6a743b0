#include <cstdio>
#include <cstdlib>

#include "platform/posix/ending_signals.h"
#include "platform/posix/box/prompt_box.h"
#include "platform/posix/box/terminal_charset.h"
#include "platform/posix/box/terminal_window.h"

namespace tolvane {

// The box follows whether a person can answer where the run was started, not what its
// standard input is. A person at a terminal, or a script they started there, gets the
// terminal box, and so does every run where there is no desktop. Any other run on a
// desktop (a file manager's, a launcher's, one sent to the background) shows the
// desktop's dialogs; with no dialog program it hands over, before anything is opened, to
// a terminal window that runs it again; with no terminal emulator that starts it, it
// draws the terminal box and reads no answer: nothing is Yes and nothing is touched.
PromptBox& systemPromptBox() {
    settleInTheOpenersFolder();
    const bool nobodyAtTheTerminal = onADesktop(std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY")) &&
                                     !aPersonAnswersAtTheTerminal();
    std::vector<DialogCommand> dialogs;
    if (nobodyAtTheTerminal) {
        dialogs = findDialogPrograms(std::getenv("PATH"));
        if (dialogs.empty() && reopenInATerminalWindow(std::getenv("PATH"))) endRunHere();
    }
    if (!dialogs.empty()) {
        static DesktopPromptBox desktop(std::move(dialogs));
        return desktop;
    }
    // A file manager may hold the other end of a pipe on standard input open: read from
    // it, the first box would wait for ever.
    std::FILE* answers = nobodyAtTheTerminal ? std::fopen("/dev/null", "re") : stdin;
    static TerminalPromptBox terminal(answers != nullptr ? answers : stdin, stdout, 0, terminalCharsetOfLocale());
    return terminal;
}

}  // namespace tolvane
