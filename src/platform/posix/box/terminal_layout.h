#pragma once

#include <cstddef>
#include <string>

#include "platform/prompt_box.h"
#include "platform/posix/box/terminal_charset.h"

namespace tolvane {

// A message box drawn as text in `charset`, `columns` wide at most (never under 20), with its
// caption in the top edge, its icon mark, its text wrapped between words and its
// buttons, the default one in brackets. Every row ends in a line feed.
std::string drawTerminalBox(const Prompt& prompt, std::size_t columns,
                            TerminalCharset charset = TerminalCharset::Utf8);

}  // namespace tolvane
