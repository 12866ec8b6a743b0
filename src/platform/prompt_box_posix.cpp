#include "platform/prompt_box_posix.h"

#include <algorithm>
#include <csignal>

#include "platform/cp1252.h"

namespace tolvane {
namespace {

constexpr PromptAnswer kAskAgain = -1;
constexpr std::size_t kLongestAnswer = 16;

// One line of input with surrounding blanks (and the CR of a CR LF) trimmed, in lower case.
struct InputLine {
    bool ended = false;  // end of input, or a read error
    bool tooLong = false;
    char text[kLongestAnswer] = {};
    std::size_t length = 0;

    std::string_view view() const { return {text, length}; }
};

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r'; }

char toLowerAscii(int c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

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
    line.ended = std::ferror(in) || (c == EOF && !sawAny);
    return line;
}

bool isOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    for (std::string_view w : words)
        if (word == w) return true;
    return false;
}

// An empty line presses the default button, which is the first: OK, or Yes.
PromptAnswer buttonFor(const Prompt& prompt, const InputLine& line) {
    if (!isQuestion(prompt.style)) return kIdOk;
    if (line.tooLong) return kAskAgain;
    if (line.length == 0 || isOneOf(line.view(), {"o", "oui", "y", "yes"})) return kIdYes;
    if (isOneOf(line.view(), {"n", "non", "no"})) return kIdNo;
    return kAskAgain;
}

std::string_view iconMark(PromptStyle style) {
    switch (static_cast<unsigned>(style) & kIconMask) {
        case 0x10: return "(X) ";
        case 0x20: return "(?) ";
        case 0x30: return "/!\\ ";
        case 0x40: return "(i) ";
        default: return "    ";
    }
}

constexpr std::string_view kRule = "------------------------------------------------------------";

}  // namespace

void TerminalPromptBox::writeAscii(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out_);
}

void TerminalPromptBox::writeCp1252(std::string_view text) {
    for (char byte : text) {
        char utf8[3];
        const int length = cp1252ToUtf8(static_cast<unsigned char>(byte), utf8);
        std::fwrite(utf8, 1, static_cast<std::size_t>(length), out_);
    }
}

void TerminalPromptBox::draw(const Prompt& prompt) {
    writeAscii("\n+-- ");
    writeCp1252(prompt.caption);
    writeAscii(" ");
    writeAscii(kRule.substr(std::min(prompt.caption.size() + 4, kRule.size())));
    std::string_view rest = prompt.text;
    std::string_view margin = iconMark(prompt.style);
    for (;;) {
        const std::size_t end = rest.find('\n');
        writeAscii("\n| ");
        writeAscii(margin);
        writeCp1252(rest.substr(0, end));
        margin = "    ";
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    writeAscii(isQuestion(prompt.style) ? "\n|\n|     [ Oui ]   Non \n+" : "\n|\n|     [ OK ]\n+");
    writeAscii(kRule);
    writeAscii("\n");
}

PromptAnswer TerminalPromptBox::showPrompt(const Prompt& prompt) {
    draw(prompt);
    for (;;) {
        writeAscii(isQuestion(prompt.style) ? "(Oui/Non) > " : "(OK) > ");
        if (std::fflush(out_) != 0) return kBoxNotShown;
        const InputLine line = readLine(in_);
        if (line.ended) return kBoxNotShown;
        const PromptAnswer button = buttonFor(prompt, line);
        if (button != kAskAgain) return button;
    }
}

PromptBox& systemPromptBox() {
    // A reader that went away must not kill the program before it can finish cleanly.
    std::signal(SIGPIPE, SIG_IGN);
    static TerminalPromptBox box(stdin, stdout);
    return box;
}

}  // namespace tolvane
