#include "dialogue/patch_dialogue.h"
#include "platform/process.h"

// Arguments and environment are deliberately ignored: the program always works on
// Morrowind.ini in the folder it is started from.
int main() {
    tolvane::prepareProcess();
    return tolvane::runPatchDialogue(tolvane::systemPromptBox());
}
