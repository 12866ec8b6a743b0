#include "platform/posix/box/terminal_answers.h"

#include <initializer_list>

namespace tolvane {
namespace {

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r'; }

char toLowerAscii(int c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

bool isOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    for (std::string_view w : words)
        if (word == w) return true;
    return false;
}

}  // namespace

InputLine readLine(std::FILE* in) {
    InputLine line;
    std::size_t kept = 0;  // length up to the last non-blank character
    bool sawAny = false;
    int c;
    while ((c = std::getc(in)) != EOF && c != '\n') {
        sawAny = true;
        if (line.length == 0 && isBlank(c)) continue;
        if (line.length == kLongestAnswer) {
            line.tooLong = line.tooLong || !isBlank(c);
            continue;
        }
        line.text[line.length++] = toLowerAscii(c);
        if (!isBlank(c)) kept = line.length;
    }
    line.length = kept;
    line.failed = std::ferror(in) != 0;
    line.ended = c == EOF && !sawAny;
    return line;
}

// An empty line presses the default button, which is the first: OK, or Yes.
PromptAnswer buttonFor(const Prompt& prompt, const InputLine& line) {
    if (!isQuestion(prompt.style)) return kIdOk;
    if (line.tooLong) return kAskAgain;
    if (line.length == 0 || isOneOf(line.view(), {"o", "oui", "y", "yes"})) return kIdYes;
    if (isOneOf(line.view(), {"n", "non", "no"})) return kIdNo;
    return kAskAgain;
}

}  // namespace tolvane
