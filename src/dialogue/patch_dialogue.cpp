#include "dialogue/patch_dialogue.h"

#include "dialogue/prompts.h"
#include "inipatch/ini_patch.h"

namespace tolvane {
namespace {

PromptAnswer show(PromptBox& box, PromptId id) { return box.showPrompt(prompt(id)); }

void reportClose(PromptBox& box, CloseResult result) {
    switch (result) {
        case CloseResult::Saved: show(box, PromptId::UpdatedPrompt); return;
        case CloseResult::RolledBack: show(box, PromptId::RolledBackPrompt); return;
        case CloseResult::RestoreNeeded: show(box, PromptId::RestoreNeededPrompt); return;
    }
}

// Everything between the player's Yes and the about box. Morrowind.ini is opened only
// once its backup exists, and the player hears of success only once every write and
// the close have succeeded.
void patchIni(PromptBox& box) {
    IniPatch patch;
    show(box, PromptId::BackupNoticePrompt);
    switch (patch.backUpIni()) {
        case BackupResult::Copied: break;
        case BackupResult::IniMissing: show(box, PromptId::IniMissingPrompt); return;
        case BackupResult::Failed: show(box, PromptId::BackupFailedPrompt); return;
    }
    show(box, PromptId::BackupDonePrompt);

    switch (patch.appendSettings()) {
        case AppendResult::NotOpened: show(box, PromptId::OpenFailedPrompt); return;
        case AppendResult::WriteFailed: break;  // no question worth asking; closeIni undoes it
        case AppendResult::Appended:
            if (isYes(show(box, PromptId::FpsCounterPrompt))) patch.appendFpsCounterLine();
            break;
    }
    reportClose(box, patch.closeIni());
}

}  // namespace

int runPatchDialogue(PromptBox& box) {
    show(box, PromptId::IntroPrompt);
    if (isYes(show(box, PromptId::ConfirmPrompt)))
        patchIni(box);
    else
        show(box, PromptId::NoChangePrompt);
    show(box, PromptId::AboutPrompt);
    return 0;
}

}  // namespace tolvane
