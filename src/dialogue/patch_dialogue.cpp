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
        case CloseResult::IniReplaced: show(box, PromptId::IniReplacedPrompt); return;
        case CloseResult::RestoreNeeded: show(box, PromptId::RestoreNeededPrompt); return;
    }
}

PromptId afterBackup(BackupResult result) {
    switch (result) {
        case BackupResult::Done: break;
        case BackupResult::OpenFailed: return PromptId::OpenFailedPrompt;
        case BackupResult::Failed: return PromptId::BackupFailedPrompt;
        case BackupResult::IniReplaced: return PromptId::IniReplacedPrompt;
    }
    return PromptId::BackupDonePrompt;
}

// Everything between the player's Yes and the about box. What opening Morrowind.ini found
// is told here, after the notice, where the change begins. Nothing is written to the ini
// before its backup is in place, and the player hears of success only once every write
// and the close have succeeded.
void patchIni(PromptBox& box, IniPatch& patch, OpenResult opened) {
    show(box, PromptId::BackupNoticePrompt);
    switch (opened) {
        case OpenResult::Opened: break;
        case OpenResult::Missing: show(box, PromptId::IniMissingPrompt); return;
        case OpenResult::Failed: show(box, PromptId::OpenFailedPrompt); return;
        case OpenResult::GameReadsAnotherCopy: show(box, PromptId::ElevatedPrompt); return;
    }
    const PromptId backup = afterBackup(patch.backUpIni());
    show(box, backup);
    if (backup != PromptId::BackupDonePrompt) return;
    // After a failed write there is no question worth asking; closeIni undoes it.
    if (patch.appendSettings() && isYes(show(box, PromptId::FpsCounterPrompt)))
        patch.appendFpsCounterLine();
    reportClose(box, patch.closeIni());
}

}  // namespace

// Morrowind.ini is opened, and locked against every other run, before the first box and
// until the last: a second run started at any moment meanwhile, a double-click seen twice
// among them, finds it locked and touches nothing. Only the player's Yes opens it for
// writing, where that asks anything of the system.
int runPatchDialogue(PromptBox& box) {
    IniPatch patch;
    const OpenResult opened = patch.openIni();
    show(box, PromptId::IntroPrompt);
    if (isYes(show(box, PromptId::ConfirmPrompt)))
        patchIni(box, patch, opened);
    else
        show(box, PromptId::NoChangePrompt);
    show(box, PromptId::AboutPrompt);
    return 0;
}

}  // namespace tolvane
