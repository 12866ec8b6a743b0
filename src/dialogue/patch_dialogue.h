#pragma once

#include "platform/prompt_box.h"

namespace tolvane {

// The whole conversation with the player, from the first box to the last.
// Returns the exit status, which is 0 on every path.
int runPatchDialogue(PromptBox& box);

}  // namespace tolvane
