#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "dialogue/prompts.h"
#include "platform/cp1252.h"
#include "platform/prompt_box_posix.h"

#include <gtest/gtest.h>

namespace tolvane::testing {
namespace {

const Prompt kQuestion{"Tolvane", "Voulez vous continuer ?", PromptStyle::YesNoWarning};
const Prompt kNotice{"Tolvane", "Le fichier est mis \xE0 jour.\nSecond line", PromptStyle::OkInformation};

// Feeds `input` to a terminal box and keeps what it drew.
struct Session {
    int answer = -1;
    std::string drawn;
};

Session answer(const Prompt& prompt, const std::string& input, int columns = 80) {
    std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    if (input.empty()) in = std::fopen("/dev/null", "r");
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    Session s;
    s.answer = TerminalPromptBox(in, out, columns).showPrompt(prompt);
    std::fclose(out);
    std::fclose(in);
    s.drawn.assign(buffer, size);
    std::free(buffer);
    return s;
}

struct TypedAnswer {
    const char* input;
    int button;
};

void PrintTo(const TypedAnswer& a, std::ostream* os) { *os << ::testing::PrintToString(std::string(a.input)); }

class QuestionAnswerTest : public ::testing::TestWithParam<TypedAnswer> {};

TEST_P(QuestionAnswerTest, TypedLineChoosesTheButton) {
    EXPECT_EQ(answer(kQuestion, GetParam().input).answer, GetParam().button)
        << "input: " << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, QuestionAnswerTest,
    ::testing::Values(TypedAnswer{"\n", 6}, TypedAnswer{"o\n", 6}, TypedAnswer{"OUI\n", 6},
                      TypedAnswer{"y\n", 6}, TypedAnswer{"Yes\n", 6},
                      TypedAnswer{"  oui \r\n", 6}, TypedAnswer{"n\n", 7},
                      TypedAnswer{"NON\n", 7}, TypedAnswer{"No\n", 7},
                      TypedAnswer{"non", 7},                 // last line without a line break
                      TypedAnswer{"", 0},                    // no input at all
                      TypedAnswer{"peut-etre\n", 0},         // asked again, then input ends
                      TypedAnswer{"peut-etre\nnon\n", 7},    // asked again, then answered
                      TypedAnswer{"yesyesyesyesyesyesyes\nn\n", 7},  // too long to be an answer
                      TypedAnswer{"o ui\n\n", 6}));

TEST(TerminalPromptBox, AnyLinePressesOkAndNoLineMeansNotShown) {
    EXPECT_EQ(answer(kNotice, "\n").answer, 1);
    EXPECT_EQ(answer(kNotice, "n\n").answer, 1);
    EXPECT_EQ(answer(kNotice, "").answer, 0);
}

TEST(TerminalPromptBox, EachBoxReadsExactlyOneLine) {
    const std::string input = "\nn\n";
    std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    std::FILE* out = std::fopen("/dev/null", "w");
    TerminalPromptBox box(in, out);
    EXPECT_EQ(box.showPrompt(kNotice), 1);
    EXPECT_EQ(box.showPrompt(kQuestion), 7);
    EXPECT_EQ(box.showPrompt(kQuestion), 0);
    std::fclose(out);
    std::fclose(in);
}

TEST(TerminalPromptBox, DrawsCaptionIconUtf8TextAndMarkedDefault) {
    const std::string drawn = answer(kNotice, "\n").drawn;
    EXPECT_NE(drawn.find("\n\xE2\x94\x8C\xE2\x94\x80 Tolvane \xE2\x94\x80"), std::string::npos)
        << drawn;  // ┌─ Tolvane ─
    EXPECT_NE(drawn.find("\xE2\x94\x82 (i) Le fichier est mis \xC3\xA0 jour."), std::string::npos)
        << drawn;  // │ (i)
    EXPECT_NE(drawn.find("\xE2\x94\x82     Second line"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("[ OK ]"), std::string::npos) << drawn;
    EXPECT_EQ(drawn.find('\xE0'), std::string::npos) << "a raw Windows-1252 byte was written";

    const std::string question = answer(kQuestion, "\n").drawn;
    EXPECT_NE(question.find("\xE2\x94\x82 /!\\ Voulez vous continuer ?"), std::string::npos)
        << question;
    EXPECT_NE(question.find("[ Oui ]   Non "), std::string::npos) << question;
}

TEST(TerminalPromptBox, IconMarksFollowTheStyle) {
    const struct {
        PromptStyle style;
        const char* mark;
    } marks[] = {{PromptStyle::Ok, "     x"},           {PromptStyle::OkError, " (X) x"},
                 {PromptStyle::YesNoQuestion, " (?) x"}, {PromptStyle::YesNoWarning, " /!\\ x"},
                 {PromptStyle::OkInformation, " (i) x"}};
    for (const auto& m : marks) {
        const std::string drawn = answer(Prompt{"T", "x", m.style}, "\n").drawn;
        EXPECT_NE(drawn.find(std::string("\xE2\x94\x82") + m.mark), std::string::npos) << drawn;
    }
}

TEST(TerminalPromptBox, ReAsksWithoutRedrawingTheBox) {
    const std::string drawn = answer(kQuestion, "maybe\n\n").drawn;
    std::size_t prompts = 0;
    for (std::size_t at = drawn.find("(Oui/Non) > "); at != std::string::npos;
         at = drawn.find("(Oui/Non) > ", at + 1))
        ++prompts;
    EXPECT_EQ(prompts, 2u);
    EXPECT_EQ(drawn.find("Tolvane"), drawn.rfind("Tolvane"));
}

// The framed rows of a drawing, from the top edge to the bottom edge.
std::vector<std::string> rowsOf(const std::string& drawn) {
    std::vector<std::string> rows;
    std::istringstream lines(drawn);
    for (std::string line; std::getline(lines, line);) {
        const bool top = line.rfind("\xE2\x94\x8C", 0) == 0;  // ┌
        if (top || !rows.empty()) rows.push_back(line);
        if (line.rfind("\xE2\x94\x94", 0) == 0) break;  // └
    }
    return rows;
}

std::size_t columnsOf(const std::string& utf8) {
    std::size_t columns = 0;
    for (unsigned char byte : utf8) columns += (byte & 0xC0) != 0x80;
    return columns;
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::string utf8Of(std::string_view cp1252) {
    std::string utf8;
    for (char byte : cp1252) {
        char encoded[3];
        utf8.append(encoded, static_cast<std::size_t>(cp1252ToUtf8(static_cast<unsigned char>(byte), encoded)));
    }
    return utf8;
}

// What the rows between the top edge and the blank row above the buttons say, without
// the frame and the icon mark ("│ " and the mark are 8 bytes, " │" is 4).
std::vector<std::string> textRowsOf(const std::vector<std::string>& rows) {
    std::vector<std::string> text;
    for (std::size_t i = 1; i + 3 < rows.size(); ++i) text.push_back(rows[i].substr(8, rows[i].size() - 12));
    return text;
}

TEST(TerminalPromptBox, EveryBoxIsClosedAndKeepsItsWordsWholeAtEachWidth) {
    for (int width : {40, 80, 120}) {
        for (std::size_t id = 0; id < kPromptCount; ++id) {
            SCOPED_TRACE("prompt " + std::to_string(id) + " at " + std::to_string(width) + " columns");
            const std::vector<std::string> rows = rowsOf(answer(kPrompts[id], "\n", width).drawn);
            ASSERT_GE(rows.size(), 5u);
            for (const std::string& row : rows) {
                EXPECT_EQ(columnsOf(row), columnsOf(rows.front())) << row;
                EXPECT_LE(columnsOf(row), static_cast<std::size_t>(width)) << row;
            }
            std::string joined;
            for (const std::string& row : textRowsOf(rows)) joined += row + " ";
            EXPECT_EQ(wordsOf(joined), wordsOf(utf8Of(kPrompts[id].text)));
        }
    }
}

TEST(TerminalPromptBox, SignatureSitsOnOneRowAtTheRightEdge) {
    for (int width : {40, 80, 120}) {
        const std::vector<std::string> rows = rowsOf(answer(prompt(PromptId::AboutPrompt), "\n", width).drawn);
        ASSERT_GE(rows.size(), 5u);
        const std::size_t boxWidth = columnsOf(rows.front());
        EXPECT_EQ(rows[rows.size() - 4], "\xE2\x94\x82 " + std::string(boxWidth - 4 - 7, ' ') +
                                             "Quedrin \xE2\x94\x82")
            << width;
    }
}

// Narrower than the longest word ("Morrowind.ini.old.", 18 letters): the box keeps its
// narrowest width, and a word too long for a row is cut at the row's end, letter for
// letter in order.
TEST(TerminalPromptBox, TerminalNarrowerThanAWordStillGetsAClosedBox) {
    const Prompt& confirm = prompt(PromptId::ConfirmPrompt);
    const std::vector<std::string> rows = rowsOf(answer(confirm, "\n", 10).drawn);
    ASSERT_GE(rows.size(), 5u);
    for (const std::string& row : rows) EXPECT_EQ(columnsOf(row), 20u) << row;
    std::string letters;
    for (const std::string& row : textRowsOf(rows))
        for (char c : row) if (c != ' ') letters += c;
    std::string expected;
    for (char c : utf8Of(confirm.text)) if (c != ' ' && c != '\n') expected += c;
    EXPECT_EQ(letters, expected);
}

}  // namespace
}  // namespace tolvane::testing
