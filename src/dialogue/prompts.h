#pragma once

#include <array>
#include <cstddef>

#include "platform/prompt_box.h"

namespace tolvane {

// Every box the program can show; the table lists them in this order.
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
    ElevatedPrompt,
    Count,
};

constexpr std::size_t kPromptCount = static_cast<std::size_t>(PromptId::Count);

// One box of the table, and the id the conversation shows it by.
struct PromptEntry {
    PromptId id;
    Prompt prompt;
};

// Captions and texts are Windows-1252, the ANSI code page the texts were written in.
extern const std::array<PromptEntry, kPromptCount> kPrompts;

inline const Prompt& prompt(PromptId id) { return kPrompts[static_cast<std::size_t>(id)].prompt; }

}  // namespace tolvane
