#pragma once

#include <cstdio>

#include "platform/prompt_box.h"

namespace tolvane {

// A message box drawn as text: the box goes to `out`, the answer is one line of `in`.
// Works the same on a terminal and on a pipe, so a run can be scripted.
class TerminalPromptBox final : public PromptBox {
public:
    // `columns` is the width available to a box; 0 takes the width of the terminal
    // `out` is shown on when each box is drawn, or 80 columns if `out` is no terminal.
    TerminalPromptBox(std::FILE* in, std::FILE* out, int columns = 0)
        : in_(in), out_(out), columns_(columns) {}
    PromptAnswer showPrompt(const Prompt& prompt) override;

private:
    int availableColumns() const;
    void writeAscii(std::string_view text);

    std::FILE* in_;
    std::FILE* out_;
    int columns_;
};

}  // namespace tolvane
