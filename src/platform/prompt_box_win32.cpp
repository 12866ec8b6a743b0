#include <windows.h>

#include "platform/cp1252_win32.h"
#include "platform/prompt_box.h"

namespace tolvane {
namespace {

static_assert(static_cast<unsigned>(PromptStyle::Ok) == MB_OK);
static_assert(static_cast<unsigned>(PromptStyle::OkError) == (MB_OK | MB_ICONERROR));
static_assert(static_cast<unsigned>(PromptStyle::YesNoQuestion) == (MB_YESNO | MB_ICONQUESTION));
static_assert(static_cast<unsigned>(PromptStyle::YesNoWarning) == (MB_YESNO | MB_ICONWARNING));
static_assert(static_cast<unsigned>(PromptStyle::OkInformation) == (MB_OK | MB_ICONINFORMATION));
static_assert(kIdOk == IDOK && kIdYes == IDYES && kIdNo == IDNO);

// MessageBoxA would read the Windows-1252 texts in the system's ANSI code page and
// turn the accents into other letters on, say, a Russian Windows; the wide box shows
// them the same everywhere.
class Win32PromptBox final : public PromptBox {
public:
    PromptAnswer showPrompt(const Prompt& prompt) override {
        if (!widenCp1252(prompt.caption, caption_, kCapacity) ||
            !widenCp1252(prompt.text, text_, kCapacity))
            return kBoxNotShown;
        return MessageBoxW(nullptr, text_, caption_, static_cast<UINT>(prompt.style));
    }

private:
    static constexpr std::size_t kCapacity = kLongestPromptText + 1;
    wchar_t caption_[kCapacity];
    wchar_t text_[kCapacity];
};

Win32PromptBox theBox;

// A double-click, a shortcut or `start` makes a console for this run alone. Nothing is
// ever written to it, and left open it would stand empty over the first box and take
// its keyboard. A console shared with cmd, where the run was typed, stays.
void letGoOfAConsoleOfItsOwn() {
    DWORD attached[2];
    if (GetConsoleProcessList(attached, 2) == 1) FreeConsole();
}

}  // namespace

PromptBox& systemPromptBox() {
    letGoOfAConsoleOfItsOwn();
    return theBox;
}

}  // namespace tolvane
