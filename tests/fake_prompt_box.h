#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogue/prompts.h"

namespace tolvane::testing {

// Stands in for the message box: records the name of each box shown and answers the
// questions from a script; OK boxes are answered OK.
class FakePromptBox : public PromptBox {
public:
    explicit FakePromptBox(std::vector<int> answers) : answers_(std::move(answers)) {}

    PromptAnswer showPrompt(const Prompt& shownPrompt) override {
        shown.push_back(nameOf(shownPrompt));
        if (onShow) onShow(shown.back());
        if (!isQuestion(shownPrompt.style)) return kIdOk;
        if (next_ == answers_.size()) {
            ADD_FAILURE() << "no answer scripted for " << shown.back();
            return kBoxNotShown;
        }
        return answers_[next_++];
    }

    std::vector<std::string> shown;
    // Called as each box appears, to look at the files at that moment.
    std::function<void(const std::string&)> onShow;

private:
    // The entry of the table that holds the box shown, named by its id.
    static std::string nameOf(const Prompt& shownPrompt) {
        for (const PromptEntry& entry : kPrompts)
            if (&shownPrompt == &entry.prompt) return nameOf(entry.id);
        return "a box not in the table";
    }

    static std::string nameOf(PromptId id) {
        switch (id) {
            case PromptId::IntroPrompt: return "Intro";
            case PromptId::ConfirmPrompt: return "Confirm";
            case PromptId::BackupNoticePrompt: return "BackupNotice";
            case PromptId::BackupDonePrompt: return "BackupDone";
            case PromptId::FpsCounterPrompt: return "FpsCounter";
            case PromptId::UpdatedPrompt: return "Updated";
            case PromptId::NoChangePrompt: return "NoChange";
            case PromptId::AboutPrompt: return "About";
            case PromptId::IniMissingPrompt: return "IniMissing";
            case PromptId::BackupFailedPrompt: return "BackupFailed";
            case PromptId::OpenFailedPrompt: return "OpenFailed";
            case PromptId::RolledBackPrompt: return "RolledBack";
            case PromptId::RestoreNeededPrompt: return "RestoreNeeded";
            case PromptId::IniReplacedPrompt: return "IniReplaced";
            case PromptId::ElevatedPrompt: return "Elevated";
            case PromptId::Count: break;
        }
        return "an id of no box";
    }

    std::vector<int> answers_;
    std::size_t next_ = 0;
};

}  // namespace tolvane::testing
