#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/ending_signals_posix.h"
#include "platform/prompt_box_posix.h"
#include "platform/standard_descriptors_posix.h"
#include "platform/terminal_charset_posix.h"

namespace tolvane {

// A run started from a terminal or a script keeps the terminal box, so it never opens a
// window; one started from a file manager or a launcher, on a desktop, shows the
// desktop's own dialogs. With no dialog program either, the terminal box reads the end
// of input at once: no question is answered Yes and nothing is touched.
PromptBox& systemPromptBox() {
    openClosedStandardDescriptors();
    ignoreFailureSignals();
    deferEndingSignals();
    DialogCommand dialog;
    if (startedFromADesktop(STDIN_FILENO, std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY")) &&
        findDialogProgram(std::getenv("PATH"), dialog)) {
        static DesktopPromptBox desktop(dialog);
        return desktop;
    }
    static TerminalPromptBox terminal(stdin, stdout, 0, terminalCharsetOfLocale());
    return terminal;
}

}  // namespace tolvane
