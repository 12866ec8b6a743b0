#include <windows.h>

#include "platform/win32/cp1252.h"
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
// them the same everywhere. They are widened on the stack: buffers in the box object
// would be 4 KiB of initialized data in the program, as the object has a vtable.
class Win32PromptBox final : public PromptBox {
public:
    PromptAnswer showPrompt(const Prompt& prompt) override {
        constexpr std::size_t kCapacity = kLongestPromptText + 1;
        wchar_t caption[kCapacity];
        wchar_t text[kCapacity];
        if (!widenCp1252(prompt.caption, caption, kCapacity) || !widenCp1252(prompt.text, text, kCapacity))
            return kBoxNotShown;
        return MessageBoxW(nullptr, text, caption, static_cast<UINT>(prompt.style));
    }
};

Win32PromptBox theBox;

}  // namespace

PromptBox& systemPromptBox() { return theBox; }

}  // namespace tolvane
