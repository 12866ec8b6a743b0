#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// How the terminal box is written: in UTF-8 with box-drawing borders, or, on a terminal
// in a Western 8-bit charset, in Latin-1 with ASCII borders.
enum class TerminalCharset { Utf8, Latin1 };

// The charset of the session's LC_CTYPE (LC_ALL, then LC_CTYPE, then LANG): Latin1 for
// ISO-8859-1, ISO-8859-15 and CP1252, Utf8 for any other and for a locale that is not
// installed. The program's own locale stays "C".
TerminalCharset terminalCharsetOfLocale();

// Appends Windows-1252 text to `out` in `charset`.
void appendInCharset(std::string_view cp1252, TerminalCharset charset, std::string& out);

}  // namespace tolvane
