#pragma once

#include <cstddef>
#include <string_view>

namespace tolvane {

// The uType of a message box: a button set ORed with an icon, as Windows defines them.
enum class PromptStyle : unsigned {
    Ok = 0x00,
    OkError = 0x10,           // MB_OK | MB_ICONERROR
    YesNoQuestion = 0x24,     // MB_YESNO | MB_ICONQUESTION
    YesNoWarning = 0x34,      // MB_YESNO | MB_ICONWARNING
    OkInformation = 0x40,     // MB_OK | MB_ICONINFORMATION
};

constexpr unsigned kButtonMask = 0x0F;
constexpr unsigned kButtonsYesNo = 0x04;

constexpr bool isQuestion(PromptStyle style) {
    return (static_cast<unsigned>(style) & kButtonMask) == kButtonsYesNo;
}

// The button pressed, as MessageBox returns it; 0 means the box could not be shown.
using PromptAnswer = int;
constexpr PromptAnswer kBoxNotShown = 0;
constexpr PromptAnswer kIdOk = 1;
constexpr PromptAnswer kIdYes = 6;
constexpr PromptAnswer kIdNo = 7;

// Only Yes is Yes: No, Cancel, Escape and a box that never appeared all leave the
// player's file alone.
constexpr bool isYes(PromptAnswer answer) { return answer == kIdYes; }

// One box as the player sees it. Caption and text are Windows-1252 bytes; '\n' breaks a
// line. No text is longer than kLongestPromptText bytes, so a platform can convert it
// in a fixed buffer.
constexpr std::size_t kLongestPromptText = 1023;

struct Prompt {
    std::string_view caption;
    std::string_view text;
    PromptStyle style;
};

class PromptBox {
public:
    virtual ~PromptBox() = default;
    // Shows one modal box and waits for the player; returns the button pressed, or
    // kBoxNotShown if the box could not be shown or answered.
    virtual PromptAnswer showPrompt(const Prompt& prompt) = 0;
};

// The platform's own message box (windows.h makes MessageBox a macro, hence the name).
PromptBox& systemPromptBox();

}  // namespace tolvane
