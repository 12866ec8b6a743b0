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

// Everything between the player's Yes and the about box. Morrowind.ini is opened, and
// held against other runs, before the older backup can be replaced: a run that could
// not change the ini touches nothing. Nothing is written to the ini before its backup
// is in place, and the player hears of success only once every write and the close
// have succeeded.
void patchIni(PromptBox& box) {
    IniPatch patch;
    show(box, PromptId::BackupNoticePrompt);
    switch (patch.openIni()) {
        case OpenResult::Opened: break;
        case OpenResult::Missing: show(box, PromptId::IniMissingPrompt); return;
        case OpenResult::Failed: show(box, PromptId::OpenFailedPrompt); return;
    }
    if (!patch.backUpIni()) {
        show(box, PromptId::BackupFailedPrompt);
        return;
    }
    show(box, PromptId::BackupDonePrompt);
    // After a failed write there is no question worth asking; closeIni undoes it.
    if (patch.appendSettings() && isYes(show(box, PromptId::FpsCounterPrompt)))
        patch.appendFpsCounterLine();
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
