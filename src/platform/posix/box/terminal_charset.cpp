#include "platform/posix/box/terminal_charset.h"

#include <langinfo.h>

#include <clocale>

#include "platform/cp1252.h"

namespace tolvane {
namespace {

constexpr std::string_view kLatin1Codesets[] = {"ISO-8859-1", "ISO-8859-15", "CP1252"};

bool isLatin1Codeset(std::string_view codeset) {
    for (std::string_view latin1 : kLatin1Codesets)
        if (codeset == latin1) return true;
    return false;
}

}  // namespace

// Most terminals run UTF-8 even under LANG=C, so only a locale that names an 8-bit
// Western charset is taken at its word.
TerminalCharset terminalCharsetOfLocale() {
    if (std::setlocale(LC_CTYPE, "") == nullptr) return TerminalCharset::Utf8;
    const bool latin1 = isLatin1Codeset(::nl_langinfo(CODESET));
    std::setlocale(LC_CTYPE, "C");
    return latin1 ? TerminalCharset::Latin1 : TerminalCharset::Utf8;
}

// The three 8-bit charsets agree with Windows-1252 on every letter of the boxes. Its
// row 0x80-0x9F holds no letter of theirs: those are the C1 controls, which a terminal
// that obeys them takes as the start of a control string that hides what follows.
void appendInCharset(std::string_view cp1252, TerminalCharset charset, std::string& out) {
    if (charset == TerminalCharset::Utf8) {
        appendUtf8OfCp1252(cp1252, out);
        return;
    }
    for (char byte : cp1252) {
        const auto value = static_cast<unsigned char>(byte);
        out += value >= 0x80 && value <= 0x9F ? '?' : byte;
    }
}

}  // namespace tolvane
