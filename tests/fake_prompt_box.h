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
    static std::string nameOf(const Prompt& shownPrompt) {
        static const char* const names[] = {
            "Intro",      "Confirm",      "BackupNotice", "BackupDone", "FpsCounter",
            "Updated",    "NoChange",     "About",        "IniMissing", "BackupFailed",
            "OpenFailed", "RolledBack",   "RestoreNeeded", "IniReplaced"};
        static_assert(std::size(names) == kPromptCount);
        for (std::size_t i = 0; i < kPromptCount; ++i)
            if (&shownPrompt == &kPrompts[i]) return names[i];
        return "a box not in the table";
    }

    std::vector<int> answers_;
    std::size_t next_ = 0;
};

}  // namespace tolvane::testing
