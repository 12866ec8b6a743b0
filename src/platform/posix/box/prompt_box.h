#pragma once

#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/posix/box/dialog_command.h"
#include "platform/prompt_box.h"
#include "platform/posix/box/terminal_charset.h"

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

// A message box shown by the desktop's dialog programs, each started once per box with an
// argument list (never through a shell) and waited for. A program that cannot start,
// crashes, is killed or exits with a status it gives no button has failed, not answered:
// the same box is offered by the next one, which then shows the rest of the run. Returns
// kBoxNotShown only when every one of them failed at this box. A hangup or a request to
// terminate that comes while a dialog starts or shows ends the run at that box.
class DesktopPromptBox final : public PromptBox {
public:
    explicit DesktopPromptBox(std::vector<DialogCommand> commands);
    PromptAnswer showPrompt(const Prompt& prompt) override;

private:
    std::vector<DialogCommand> commands_;
    std::size_t current_ = 0;
};

// Whether a person can answer at a terminal: the run has a controlling terminal and is
// in its foreground process group. False for a file manager's or a launcher's run, and
// for one sent to the background.
bool aPersonAnswersAtTheTerminal();

// Whether a desktop session is there to show windows: WAYLAND_DISPLAY or DISPLAY is set.
bool onADesktop(const char* waylandDisplay, const char* display);

}  // namespace tolvane
