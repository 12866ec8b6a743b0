#include <cstdio>
#include <cstdlib>
#include <string>

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

Session answer(const Prompt& prompt, const std::string& input) {
    std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    if (input.empty()) in = std::fopen("/dev/null", "r");
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    Session s;
    s.answer = TerminalPromptBox(in, out).showPrompt(prompt);
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
    EXPECT_NE(drawn.find("+-- Tolvane -"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("| (i) Le fichier est mis \xC3\xA0 jour.\n|     Second line\n"),
              std::string::npos) << drawn;
    EXPECT_NE(drawn.find("[ OK ]"), std::string::npos) << drawn;
    EXPECT_EQ(drawn.find('\xE0'), std::string::npos) << "a raw Windows-1252 byte was written";

    const std::string question = answer(kQuestion, "\n").drawn;
    EXPECT_NE(question.find("| /!\\ Voulez vous continuer ?"), std::string::npos) << question;
    EXPECT_NE(question.find("[ Oui ]   Non "), std::string::npos) << question;
}

TEST(TerminalPromptBox, IconMarksFollowTheStyle) {
    const struct {
        PromptStyle style;
        const char* mark;
    } marks[] = {{PromptStyle::Ok, "|     x"},           {PromptStyle::OkError, "| (X) x"},
                 {PromptStyle::YesNoQuestion, "| (?) x"}, {PromptStyle::YesNoWarning, "| /!\\ x"},
                 {PromptStyle::OkInformation, "| (i) x"}};
    for (const auto& m : marks) {
        const std::string drawn = answer(Prompt{"T", "x", m.style}, "\n").drawn;
        EXPECT_NE(drawn.find(m.mark), std::string::npos) << drawn;
    }
}

TEST(TerminalPromptBox, ReAsksWithoutRedrawingTheBox) {
    const std::string drawn = answer(kQuestion, "maybe\n\n").drawn;
    std::size_t prompts = 0;
    for (std::size_t at = drawn.find("(Oui/Non) > "); at != std::string::npos;
         at = drawn.find("(Oui/Non) > ", at + 1))
        ++prompts;
    EXPECT_EQ(prompts, 2u);
    EXPECT_EQ(drawn.find("+-- Tolvane"), drawn.rfind("+-- Tolvane"));
}

}  // namespace
}  // namespace tolvane::testing
