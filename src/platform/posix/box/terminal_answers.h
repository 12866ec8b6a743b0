#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "platform/prompt_box.h"

namespace tolvane {

constexpr PromptAnswer kAskAgain = -1;
constexpr std::size_t kLongestAnswer = 16;

// One line of input with surrounding blanks (and the CR of a CR LF) trimmed, in lower case.
struct InputLine {
    bool ended = false;   // end of input before any character
    bool failed = false;  // a read error, or a signal that came while waiting
    bool tooLong = false;
    char text[kLongestAnswer] = {};
    std::size_t length = 0;

    std::string_view view() const { return {text, length}; }
};

// Reads one line of `in`; a line longer than any answer is read whole and marked tooLong.
InputLine readLine(std::FILE* in);

// The button a typed line presses in `prompt`, or kAskAgain when it answers nothing.
PromptAnswer buttonFor(const Prompt& prompt, const InputLine& line);

}  // namespace tolvane
