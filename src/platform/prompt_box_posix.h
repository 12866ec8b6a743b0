#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/prompt_box.h"
#include "platform/terminal_charset_posix.h"

namespace tolvane {

// A message box drawn as text: the box goes to `out`, the answer is one line of `in`.
// Works the same on a terminal and on a pipe, so a run can be scripted.
class TerminalPromptBox final : public PromptBox {
public:
    // `columns` is the width available to a box; 0 takes the width of the terminal
    // `out` is shown on when each box is drawn, or 80 columns if `out` is no terminal.
    // The box is written in `charset`.
    TerminalPromptBox(std::FILE* in, std::FILE* out, int columns = 0,
                      TerminalCharset charset = TerminalCharset::Utf8)
        : in_(in), out_(out), columns_(columns), charset_(charset) {}
    PromptAnswer showPrompt(const Prompt& prompt) override;

private:
    int availableColumns() const;
    void writeText(std::string_view text);

    std::FILE* in_;
    std::FILE* out_;
    int columns_;
    TerminalCharset charset_;
};

// The desktop's own dialog programs, which are started, never linked.
enum class DialogProgram { Zenity, Kdialog };

// A dialog program found on the search path, and the absolute path it is started by.
struct DialogCommand {
    DialogProgram program = DialogProgram::Zenity;
    std::string path;
};

// A message box shown by the desktop's dialog program, started once per box with an
// argument list (never through a shell) and waited for. Returns kBoxNotShown when the
// program cannot start, crashes, is killed or exits with a status it gives no button.
// A hangup or a request to terminate that comes while the dialog starts or shows ends
// the run at that box.
class DesktopPromptBox final : public PromptBox {
public:
    explicit DesktopPromptBox(DialogCommand command);
    PromptAnswer showPrompt(const Prompt& prompt) override;

private:
    DialogCommand command_;
};

// The dialog program's whole argument list for one box, its name first, in UTF-8.
std::vector<std::string> dialogArguments(DialogProgram program, const Prompt& prompt);

// The environment a dialog starts with: `environment` (a null-terminated list, as
// environ) with LC_ALL=C.UTF-8 in place of any LC_ALL, so that the dialog programs take
// the texts whatever the session's locale, installed or not.
std::vector<std::string> dialogEnvironment(const char* const* environment);

// Whether a run should show desktop dialogs: its standard input is no terminal, pipe,
// socket or file (a file manager or a launcher starts it on /dev/null, or with none),
// and a desktop is there to show them.
bool startedFromADesktop(int standardInput, const char* waylandDisplay, const char* display);

// The first of zenity and kdialog found in the absolute folders of `searchPath` (a PATH
// value; null, for an unset PATH, is /usr/bin:/bin). Empty and relative entries, which
// lead into the folder the run started in, are never searched.
bool findDialogProgram(const char* searchPath, DialogCommand& found);

}  // namespace tolvane
