#pragma once

#include <cstddef>
#include <string>

#include "platform/prompt_box.h"

namespace tolvane {

// A message box drawn in UTF-8 text, `columns` wide at most (never under 20), with its
// caption in the top edge, its icon mark, its text wrapped between words and its
// buttons, the default one in brackets. Every row ends in a line feed.
std::string drawTerminalBox(const Prompt& prompt, std::size_t columns);

}  // namespace tolvane
