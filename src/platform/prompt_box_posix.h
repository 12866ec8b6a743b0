#pragma once

#include <cstdio>

#include "platform/prompt_box.h"

namespace tolvane {

// A message box drawn as text: the box goes to `out`, the answer is one line of `in`.
// Works the same on a terminal and on a pipe, so a run can be scripted.
class TerminalPromptBox final : public PromptBox {
public:
    TerminalPromptBox(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}
    PromptAnswer showPrompt(const Prompt& prompt) override;

private:
    void draw(const Prompt& prompt);
    void writeCp1252(std::string_view text);
    void writeAscii(std::string_view text);

    std::FILE* in_;
    std::FILE* out_;
};

}  // namespace tolvane
