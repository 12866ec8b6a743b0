#pragma once

#include <array>
#include <cstddef>

#include "platform/prompt_box.h"

namespace tolvane {

// Every box the program can show, in the order of the table below.
enum class PromptId : unsigned char {
    IntroPrompt,
    ConfirmPrompt,
    BackupNoticePrompt,
    BackupDonePrompt,
    FpsCounterPrompt,
    UpdatedPrompt,
    NoChangePrompt,
    AboutPrompt,
    IniMissingPrompt,
    BackupFailedPrompt,
    OpenFailedPrompt,
    RolledBackPrompt,
    RestoreNeededPrompt,
    IniReplacedPrompt,
    Count,
};

constexpr std::size_t kPromptCount = static_cast<std::size_t>(PromptId::Count);

// Captions and texts are Windows-1252, the ANSI code page the texts were written in.
extern const std::array<Prompt, kPromptCount> kPrompts;

inline const Prompt& prompt(PromptId id) { return kPrompts[static_cast<std::size_t>(id)]; }

}  // namespace tolvane
