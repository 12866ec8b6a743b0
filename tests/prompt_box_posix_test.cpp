#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "dialogue/prompts.h"
#include "platform/cp1252.h"
#include "platform/posix/box/prompt_box.h"
#include "scratch_dir.h"

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
            const std::vector<std::string> rows = rowsOf(answer(kPrompts[id].prompt, "\n", width).drawn);
            ASSERT_GE(rows.size(), 5u);
            for (const std::string& row : rows) {
                EXPECT_EQ(columnsOf(row), columnsOf(rows.front())) << row;
                EXPECT_LE(columnsOf(row), static_cast<std::size_t>(width)) << row;
            }
            std::string joined;
            for (const std::string& row : textRowsOf(rows)) joined += row + " ";
            EXPECT_EQ(wordsOf(joined), wordsOf(utf8Of(kPrompts[id].prompt.text)));
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

// --- the desktop's dialogs --------------------------------------------------------

using Arguments = std::vector<std::string>;

struct DialogCase {
    const char* name;
    DialogProgram program;
    PromptId id;
    Arguments expected;  // written out by hand, in UTF-8
};

void PrintTo(const DialogCase& c, std::ostream* os) { *os << c.name; }

class DialogArgumentsTest : public ::testing::TestWithParam<DialogCase> {};

TEST_P(DialogArgumentsTest, TextsReachTheDialogProgramAsUtf8Bytes) {
    EXPECT_EQ(dialogArguments(GetParam().program, prompt(GetParam().id)), GetParam().expected);
}

const char kFpsUtf8[] =
    "Souhaitez vous voir afficher le nombre de FPS (images par secondes) dans le coin "
    "inf\xC3\xA9rieur droit de l'\xC3\xA9" "cran ?";
const char kConfirmUtf8[] =
    "Ce programme vas maintenant modifier votre fichier Morrowind.ini.\n"
    "Une copie de sauvegarde sera faite sous le nom de Morrowind.ini.old.\n"
    "En cas de probl\xC3\xA8mes, supprimez le fichier Morrowind.ini et renommez le fichier "
    "Morrowind.ini.old.\n\nVoulez vous continuer ?";
const char kUpdatedUtf8[] = "Le fichier Morrowind.ini est mis \xC3\xA0 jour.";
const char kNoIniUtf8[] =
    "Le fichier Morrowind.ini est introuvable dans ce dossier.\n"
    "Lancez le programme depuis le dossier du jeu, l\xC3\xA0 o\xC3\xB9 se trouve "
    "Morrowind.ini.\n\nAucun fichier n'a \xC3\xA9t\xC3\xA9 modifi\xC3\xA9.";

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogArgumentsTest,
    ::testing::Values(
        DialogCase{"ZenityQuestion", DialogProgram::Zenity, PromptId::FpsCounterPrompt,
                   {"zenity", "--question", "--title=Tolvane", std::string("--text=") + kFpsUtf8,
                    "--no-markup", "--no-wrap", "--ok-label=Oui", "--cancel-label=Non"}},
        DialogCase{"ZenityWarningQuestion", DialogProgram::Zenity, PromptId::ConfirmPrompt,
                   {"zenity", "--question", "--icon-name=dialog-warning", "--title=Tolvane",
                    std::string("--text=") + kConfirmUtf8,
                    "--no-markup", "--no-wrap", "--ok-label=Oui", "--cancel-label=Non"}},
        DialogCase{"ZenityInformation", DialogProgram::Zenity, PromptId::UpdatedPrompt,
                   {"zenity", "--info", "--title=Tolvane", std::string("--text=") + kUpdatedUtf8,
                    "--no-markup", "--no-wrap", "--ok-label=OK"}},
        DialogCase{"ZenityError", DialogProgram::Zenity, PromptId::IniMissingPrompt,
                   {"zenity", "--error", "--title=Tolvane", std::string("--text=") + kNoIniUtf8,
                    "--no-markup", "--no-wrap", "--ok-label=OK"}},
        DialogCase{"KdialogQuestion", DialogProgram::Kdialog, PromptId::FpsCounterPrompt,
                   {"kdialog", "--title", "Tolvane", "--yesno", kFpsUtf8, "--yes-label", "Oui",
                    "--no-label", "Non"}},
        DialogCase{"KdialogError", DialogProgram::Kdialog, PromptId::IniMissingPrompt,
                   {"kdialog", "--title", "Tolvane", "--error", kNoIniUtf8, "--ok-label", "OK"}},
        DialogCase{"KdialogInformation", DialogProgram::Kdialog, PromptId::UpdatedPrompt,
                   {"kdialog", "--title", "Tolvane", "--msgbox", kUpdatedUtf8, "--ok-label", "OK"}}),
    [](const auto& test) { return std::string(test.param.name); });

// The about box has no icon, and its last line, the signature, keeps its 112 spaces.
TEST(DesktopPromptBox, AboutBoxHasNoIconAndKeepsTheSignatureSpaces) {
    const Arguments args = dialogArguments(DialogProgram::Zenity, prompt(PromptId::AboutPrompt));
    ASSERT_GE(args.size(), 5u);
    EXPECT_EQ(Arguments(args.begin(), args.begin() + 4),
              (Arguments{"zenity", "--info", "--icon-name=", "--title=About Tolvane"}));
    const std::string& text = args[4];
    EXPECT_EQ(text.substr(text.size() - 120), "\n" + std::string(112, ' ') + "Quedrin");
}

// How a run was started, made for real in a child process: its session, its controlling
// terminal and its process group.
struct StartCase {
    const char* name;
    void (*start)();
    bool personAtTheTerminal;
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

// A file manager's or a launcher's run: a session of its own, no terminal.
void newSessionWithoutTerminal() { ::setsid(); }

// A shell's foreground job: the new session takes a fresh terminal as its own.
void foregroundOfItsTerminal() {
    ::setsid();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) ::_exit(2);
    const int terminal = ::open(::ptsname(master), O_RDWR);  // the master is left open
    if (terminal < 0 || ::ioctl(terminal, TIOCSCTTY, 0) != 0) ::_exit(2);
}

// `tolvane &`: the same terminal, from a process group of its own.
void backgroundOfItsTerminal() {
    foregroundOfItsTerminal();
    const pid_t job = ::fork();
    if (job != 0) {
        int status = 2;
        ::waitpid(job, &status, 0);
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 2);
    }
    ::setpgid(0, 0);
}

class StartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartTest, OnlyTheTerminalsForegroundHasAPersonToAnswer) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        GetParam().start();
        ::_exit(aPersonAnswersAtTheTerminal() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) < 2) << "the start could not be made";
    EXPECT_EQ(WEXITSTATUS(status) == 1, GetParam().personAtTheTerminal);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, StartTest,
    ::testing::Values(StartCase{"NewSessionWithoutTerminal", newSessionWithoutTerminal, false},
                      StartCase{"ForegroundOfItsTerminal", foregroundOfItsTerminal, true},
                      StartCase{"BackgroundOfItsTerminal", backgroundOfItsTerminal, false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Desktop, IsThereWhenWaylandOrX11IsNamed) {
    EXPECT_TRUE(onADesktop(nullptr, ":0"));
    EXPECT_TRUE(onADesktop("wayland-0", nullptr));
    EXPECT_FALSE(onADesktop(nullptr, nullptr));
    EXPECT_FALSE(onADesktop("", ""));
}

// Folders in the scratch folder, each holding the programs its name says: z zenity, k
// kdialog, n a zenity that cannot run, e nothing. The scratch folder itself, where the run
// starts, and its relative folder bin hold a zenity too, as a game's folder of downloaded
// files might.
struct SearchCase {
    const char* name;
    const char* path;   // a PATH value, "@" for the scratch folder; null: PATH unset
    const char* found;  // the program started, "@" for the scratch folder; null: none
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class SearchPathTest : public ScratchDirTest, public ::testing::WithParamInterface<SearchCase> {};

std::string atScratch(const char* text) {
    std::string result = text;
    const std::string scratch = std::filesystem::current_path().string();
    for (std::size_t at; (at = result.find('@')) != std::string::npos;) result.replace(at, 1, scratch);
    return result;
}

// The first dialog program in /usr/bin, then /bin, looked at here as a shell would.
const char* systemDialog() {
    for (const char* path : {"/usr/bin/zenity", "/bin/zenity", "/usr/bin/kdialog", "/bin/kdialog"})
        if (::access(path, X_OK) == 0) return path;
    return nullptr;
}

TEST_P(SearchPathTest, OnlyAbsoluteFoldersAreSearchedZenityFirst) {
    for (const char* folder : {"z", "k", "n", "e", "bin"}) ASSERT_EQ(::mkdir(folder, 0755), 0);
    for (const char* program : {"z/zenity", "k/kdialog", "n/zenity", "bin/zenity", "zenity"}) {
        writeFile(program, "#!/bin/sh\n");
        ASSERT_EQ(::chmod(program, program[0] == 'n' ? 0644 : 0755), 0);
    }
    const SearchCase& c = GetParam();
    const std::string path = c.path ? atScratch(c.path) : "";
    const char* expected = std::string_view(c.name) == "UnsetMeansUsrBinThenBin" ? systemDialog() : c.found;
    const std::vector<DialogCommand> found = findDialogPrograms(c.path ? path.c_str() : nullptr);
    ASSERT_EQ(found.empty(), expected == nullptr);
    if (expected == nullptr) return;
    EXPECT_EQ(found.front().path, atScratch(expected));
    const bool zenity = std::filesystem::path(expected).filename() == "zenity";
    EXPECT_EQ(found.front().program, zenity ? DialogProgram::Zenity : DialogProgram::Kdialog);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SearchPathTest,
    ::testing::Values(SearchCase{"ZenityBeforeKdialog", "@/k:@/z", "@/z/zenity"},
                      SearchCase{"KdialogWithoutZenity", "@/e:@/k", "@/k/kdialog"},
                      SearchCase{"ZenityThatCannotRun", "@/n:@/k", "@/k/kdialog"},
                      SearchCase{"Neither", "@/e:@/n", nullptr},
                      SearchCase{"EmptyEntriesAreNotTheStartingFolder", "::@/k:", "@/k/kdialog"},
                      SearchCase{"DotIsNotSearched", ".:@/k", "@/k/kdialog"},
                      SearchCase{"RelativeFolderIsNotSearched", "bin:@/k", "@/k/kdialog"},
                      SearchCase{"EmptyPathFindsNothing", "", nullptr},
                      SearchCase{"UnsetMeansUsrBinThenBin", nullptr, nullptr}),
    [](const auto& test) { return std::string(test.param.name); });

// The dialog's environment: the run's own, with LC_ALL=C.UTF-8 in place of any LC_ALL,
// since zenity refuses the French texts in a locale that is not UTF-8 or not installed.
struct EnvironmentCase {
    const char* name;
    std::vector<const char*> given;
    std::vector<std::string> expected;
};

void PrintTo(const EnvironmentCase& c, std::ostream* os) { *os << c.name; }

class DialogEnvironmentTest : public ::testing::TestWithParam<EnvironmentCase> {};

TEST_P(DialogEnvironmentTest, DialogGetsAUtf8Locale) {
    std::vector<const char*> environment = GetParam().given;
    environment.push_back(nullptr);
    EXPECT_EQ(dialogEnvironment(environment.data()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, DialogEnvironmentTest,
    ::testing::Values(
        EnvironmentCase{"Utf8LangIsKept", {"HOME=/home/p", "LANG=fr_FR.utf8"},
                        {"HOME=/home/p", "LANG=fr_FR.utf8", "LC_ALL=C.UTF-8"}},
        EnvironmentCase{"NoLocaleAtAll", {"HOME=/home/p"}, {"HOME=/home/p", "LC_ALL=C.UTF-8"}},
        EnvironmentCase{"CLocale", {"LC_ALL=C", "LANG=C"}, {"LANG=C", "LC_ALL=C.UTF-8"}},
        EnvironmentCase{"Latin1LcAllOverUtf8Lang", {"LANG=fr_FR.UTF-8", "LC_ALL=fr_FR.ISO-8859-1"},
                        {"LANG=fr_FR.UTF-8", "LC_ALL=C.UTF-8"}},
        EnvironmentCase{"Utf8LocaleNotInstalled", {"LANG=de_DE.UTF-8"},
                        {"LANG=de_DE.UTF-8", "LC_ALL=C.UTF-8"}},
        EnvironmentCase{"EmptyLcAll", {"LC_ALL=", "LC_CTYPE=C.UTF-8", "LANG=C"},
                        {"LC_CTYPE=C.UTF-8", "LANG=C", "LC_ALL=C.UTF-8"}}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tolvane::testing
