#include "platform/posix/box/terminal_layout.h"

#include <algorithm>

namespace tolvane {
namespace {

std::string_view iconMark(PromptStyle style) {
    switch (style) {
        case PromptStyle::OkError: return "(X) ";
        case PromptStyle::YesNoQuestion: return "(?) ";
        case PromptStyle::YesNoWarning: return "/!\\ ";
        case PromptStyle::OkInformation: return "(i) ";
        case PromptStyle::Ok: break;
    }
    return "    ";
}

// Box layout, in columns. Each Windows-1252 byte of a text is one column, so the text is
// laid out in its own bytes and only turned into the terminal's charset as it is written.
//   ┌─ Caption ──────┐
//   │ (i) text       │   border and space, icon mark, text, space and border
//   │     more text  │
//   │                │
//   │     [ OK ]     │
//   └────────────────┘
constexpr std::size_t kNarrowestBox = 20;
constexpr std::size_t kAroundText = 8;      // "│ " + icon mark + " │"
constexpr std::size_t kAroundCaption = 6;   // "┌─ " + " ─┐"
constexpr std::string_view kMarkMargin = "    ";

struct Borders {
    std::string_view topLeft, horizontal, topRight, vertical, bottomLeft, bottomRight;
};
constexpr Borders kBoxDrawingBorders = {"┌", "─", "┐", "│", "└", "┘"};
// An 8-bit terminal has no box-drawing characters that every charset shares.
constexpr Borders kAsciiBorders = {"+", "-", "+", "|", "+", "+"};

std::string_view buttonsOf(const Prompt& prompt) {
    return isQuestion(prompt.style) ? "[ Oui ]   Non " : "[ OK ]";
}

// The about box ends with a signature: a long run of spaces, then the author's name,
// which a message box shows at its right edge.
bool isSignature(std::string_view line, std::size_t boxWidth) {
    const std::size_t spaces = std::min(line.find_first_not_of(' '), line.size());
    return spaces < line.size() && spaces > boxWidth / 2;
}

std::string_view withoutLeadingSpaces(std::string_view line) {
    line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
    return line;
}

std::string_view withoutTrailingSpaces(std::string_view line) {
    const std::size_t last = line.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : line.substr(0, last + 1);
}

// The width the text needs when nothing wraps; a signature needs only its name.
std::size_t naturalTextWidth(std::string_view text) {
    std::size_t widest = 0;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        widest = std::max(widest, isSignature(line, line.size()) ? withoutLeadingSpaces(line).size()
                                                                  : line.size());
        start = end + 1;
    }
    return widest;
}

std::size_t boxWidthFor(const Prompt& prompt, std::size_t columns) {
    const std::size_t natural =
        std::max({naturalTextWidth(prompt.text) + kAroundText, prompt.caption.size() + kAroundCaption,
                  buttonsOf(prompt).size() + kAroundText});
    return std::max(std::min(natural, columns), kNarrowestBox);
}

// Draws one box into a string in the terminal's charset; every row has the box's width.
class BoxDrawing {
public:
    BoxDrawing(std::size_t width, std::string_view iconMark, TerminalCharset charset)
        : width_(width), textWidth_(width - kAroundText), iconMark_(iconMark), charset_(charset),
          borders_(charset == TerminalCharset::Utf8 ? kBoxDrawingBorders : kAsciiBorders) {}

    void topEdge(std::string_view caption) {
        caption = caption.substr(0, width_ - kAroundCaption);
        out_ += borders_.topLeft;
        out_ += borders_.horizontal;
        out_ += " ";
        addCp1252(caption);
        out_ += " ";
        repeat(borders_.horizontal, width_ - kAroundCaption + 1 - caption.size());
        out_ += borders_.topRight;
        out_ += "\n";
    }

    // One line of the text, broken between words to fit, as a message box does. A word
    // longer than a whole row is cut at the row's end: nothing else would fit it.
    void textLine(std::string_view line) {
        if (isSignature(line, width_) && withoutLeadingSpaces(line).size() <= textWidth_) {
            const std::string_view name = withoutLeadingSpaces(line);
            textRow(std::string(textWidth_ - name.size(), ' ') + std::string(name));
            return;
        }
        do {
            const std::size_t rowEnd = breakAt(line);
            textRow(line.substr(0, rowEnd));
            line.remove_prefix(rowEnd);
            if (!line.empty() && line.front() == ' ') line = withoutLeadingSpaces(line);
        } while (!line.empty());
    }

    void buttons(std::string_view labels) {
        row(std::string(kMarkMargin), std::string(textWidth_, ' '));
        const std::size_t inner = width_ - 4;
        const std::size_t left = (inner - labels.size()) / 2;
        row("", std::string(left, ' ') + std::string(labels) +
                    std::string(inner - left - labels.size(), ' '));
    }

    std::string bottomEdge() {
        out_ += borders_.bottomLeft;
        repeat(borders_.horizontal, width_ - 2);
        out_ += borders_.bottomRight;
        out_ += "\n";
        return std::move(out_);
    }

private:
    // Where the row that starts `line` ends: all of it if it fits, else at the last
    // space that leaves some text on the row, else after a whole row's width.
    std::size_t breakAt(std::string_view line) const {
        if (line.size() <= textWidth_) return line.size();
        const std::size_t space = line.rfind(' ', textWidth_);
        if (space != std::string_view::npos && !withoutTrailingSpaces(line.substr(0, space)).empty())
            return space;
        return textWidth_;
    }

    void textRow(std::string_view text) {
        text = withoutTrailingSpaces(text);
        row(first_ ? std::string(iconMark_) : std::string(kMarkMargin),
            std::string(text) + std::string(textWidth_ - text.size(), ' '));
        first_ = false;
    }

    // "│ " + left part + Windows-1252 text + " │"; `cp1252` fills the rest of the row.
    void row(const std::string& ascii, const std::string& cp1252) {
        out_ += borders_.vertical;
        out_ += " ";
        out_ += ascii;
        addCp1252(cp1252);
        out_ += " ";
        out_ += borders_.vertical;
        out_ += "\n";
    }

    void addCp1252(std::string_view text) { appendInCharset(text, charset_, out_); }

    void repeat(std::string_view piece, std::size_t times) {
        for (std::size_t i = 0; i < times; ++i) out_ += piece;
    }

    std::size_t width_;
    std::size_t textWidth_;
    std::string_view iconMark_;
    TerminalCharset charset_;
    Borders borders_;
    bool first_ = true;
    std::string out_;
};

}  // namespace

std::string drawTerminalBox(const Prompt& prompt, std::size_t columns, TerminalCharset charset) {
    BoxDrawing box(boxWidthFor(prompt, columns), iconMark(prompt.style), charset);
    box.topEdge(prompt.caption);
    std::string_view rest = prompt.text;
    for (;;) {
        const std::size_t end = rest.find('\n');
        box.textLine(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    box.buttons(buttonsOf(prompt));
    return box.bottomEdge();
}

}  // namespace tolvane
