#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialogue/patch_dialogue.h"
#include "fake_prompt_box.h"
#include "inipatch/ini_patch.h"
#include "scratch_dir.h"

namespace tolvane::testing {
namespace {

using Prompts = std::vector<std::string>;

// A typical ini: CR LF line ends, and no line break after the last line.
const std::string kIni =
    "[General]\r\nScreen Shot Enable=0\r\n\r\n[Archives]\r\nArchive 0=Tribunal.bsa";
const std::string kStaleBackup = "an older backup\r\n";
// Written out by hand: 76 bytes, every line feed stored as CR LF.
const std::string kBlockBytes =
    "\r\n\r\nMin FPS=15\r\nMaX FPS=85\r\nInterior Cell Buffer=0\r\nExterior Cell Buffer=0\r\n";
const std::string kFpsBytes = "Show FPS=1\r\n";

const Prompts kDeclined = {"Intro", "Confirm", "NoChange", "About"};
const Prompts kPatched = {"Intro",      "Confirm", "BackupNotice", "BackupDone",
                          "FpsCounter", "Updated", "About"};

TEST(FixtureBytes, BlockAndFpsLineHaveTheirSizeOnDisk) {
    EXPECT_EQ(kBlockBytes.size(), 76u);
    EXPECT_EQ(kFpsBytes.size(), 12u);
}

class PatchDialogueTest : public ScratchDirTest {
protected:
    Prompts run(std::vector<int> answers) {
        FakePromptBox box(std::move(answers));
        EXPECT_EQ(runPatchDialogue(box), 0);
        return box.shown;
    }
};

struct AnswerCase {
    const char* name;
    std::vector<int> answers;
    Prompts prompts;
    std::string iniAfter;
    std::string backupAfter;
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class AnswerPathTest : public PatchDialogueTest,
                       public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerPathTest, ShowsItsBoxesAndLeavesExactBytes) {
    writeFile("Morrowind.ini", kIni);
    writeFile("Morrowind.ini.old", kStaleBackup);
    const AnswerCase& c = GetParam();
    EXPECT_EQ(run(c.answers), c.prompts);
    EXPECT_EQ(readFile("Morrowind.ini"), c.iniAfter);
    EXPECT_EQ(readFile("Morrowind.ini.old"), c.backupAfter);
}

// Any answer but Yes (6) is No: No (7), Cancel or Escape (2), a box that never showed (0).
INSTANTIATE_TEST_SUITE_P(
    Answers, AnswerPathTest,
    ::testing::Values(
        AnswerCase{"DeclineLeavesBothFilesUntouched", {7}, kDeclined, kIni, kStaleBackup},
        AnswerCase{"EscapeAtConfirmCountsAsNo", {2}, kDeclined, kIni, kStaleBackup},
        AnswerCase{"UnshownConfirmCountsAsNo", {0}, kDeclined, kIni, kStaleBackup},
        AnswerCase{"AcceptWithFpsAppendsBlockThenLine", {6, 6}, kPatched,
                   kIni + kBlockBytes + kFpsBytes, kIni},
        AnswerCase{"AcceptWithoutFpsAppendsBlockOnly", {6, 7}, kPatched, kIni + kBlockBytes,
                   kIni},
        AnswerCase{"UnshownFpsQuestionLeavesLineOut", {6, 0}, kPatched, kIni + kBlockBytes,
                   kIni},
        AnswerCase{"CancelAtFpsQuestionLeavesLineOut", {6, 2}, kPatched, kIni + kBlockBytes,
                   kIni}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(PatchDialogueTest, DeclineCreatesNoFile) {
    EXPECT_EQ(run({7}), kDeclined);
    EXPECT_FALSE(exists("Morrowind.ini"));
    EXPECT_FALSE(exists("Morrowind.ini.old"));
}

TEST_F(PatchDialogueTest, EachStepHappensBeforeTheBoxThatFollowsIt) {
    writeFile("Morrowind.ini", kIni);
    FakePromptBox box({6, 6});
    box.onShow = [](const std::string& name) {
        SCOPED_TRACE("at " + name);
        EXPECT_EQ(IniPatch().openIni(), OpenResult::Failed) << "a second run could open the ini";
        if (name == "Confirm") {
            EXPECT_FALSE(exists("Morrowind.ini.old"));
        } else if (name == "BackupDone") {
            EXPECT_EQ(readFile("Morrowind.ini.old"), kIni);
            EXPECT_FALSE(exists("Morrowind.ini.old.tmp"));
            EXPECT_EQ(readFile("Morrowind.ini"), kIni);
        } else if (name == "FpsCounter") {
            EXPECT_EQ(readFile("Morrowind.ini"), kIni + kBlockBytes);
        } else if (name == "Updated") {
            EXPECT_EQ(readFile("Morrowind.ini"), kIni + kBlockBytes + kFpsBytes);
        }
    };
    runPatchDialogue(box);
    EXPECT_EQ(box.shown, kPatched);
}

TEST_F(PatchDialogueTest, SecondRunAppendsTheBlockAgainAndBacksUpThePatchedFile) {
    writeFile("Morrowind.ini", kIni);
    run({6, 6});
    EXPECT_EQ(run({6, 7}), kPatched);
    EXPECT_EQ(readFile("Morrowind.ini"), kIni + kBlockBytes + kFpsBytes + kBlockBytes);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kIni + kBlockBytes + kFpsBytes);
}

TEST_F(PatchDialogueTest, MissingIniIsNotCreated) {
    writeFile("Morrowind.ini.old", kStaleBackup);
    EXPECT_EQ(run({6}), (Prompts{"Intro", "Confirm", "BackupNotice", "IniMissing", "About"}));
    EXPECT_FALSE(exists("Morrowind.ini"));
    EXPECT_EQ(readFile("Morrowind.ini.old"), kStaleBackup);
}

const Prompts kBackupFailed = {"Intro", "Confirm", "BackupNotice", "BackupFailed", "About"};

const Prompts kOpenFailed = {"Intro", "Confirm", "BackupNotice", "OpenFailed", "About"};

TEST_F(PatchDialogueTest, BackupNameTakenByADirectoryLeavesIniUntouched) {
    writeFile("Morrowind.ini", kIni);
    ASSERT_EQ(mkdir("Morrowind.ini.old", 0755), 0);
    EXPECT_EQ(run({6}), kBackupFailed);
    EXPECT_EQ(readFile("Morrowind.ini"), kIni);
}

TEST_F(PatchDialogueTest, IniThatIsADirectoryIsNotPatched) {
    ASSERT_EQ(mkdir("Morrowind.ini", 0755), 0);
    EXPECT_EQ(run({6}), kOpenFailed);
    EXPECT_FALSE(exists("Morrowind.ini.old"));
}

// A run that cannot change the ini finds out before it backs anything up: the older
// backup, often the only copy of the original, stays as it was, whoever runs it.
struct UntouchedCase {
    const char* name;
    std::function<bool()> arrange;  // false: this machine or user cannot set the case up
    Prompts prompts;
};

void PrintTo(const UntouchedCase& c, std::ostream* os) { *os << c.name; }

class UntouchedTest : public PatchDialogueTest, public ::testing::WithParamInterface<UntouchedCase> {};

TEST_P(UntouchedTest, IniAndOlderBackupStayAsTheyWere) {
    writeFile("Morrowind.ini", kIni);
    writeFile("Morrowind.ini.old", kStaleBackup);
    const UntouchedCase& c = GetParam();
    if (!c.arrange()) GTEST_SKIP() << "cannot set this case up here";
    EXPECT_EQ(run({6}), c.prompts);
    EXPECT_EQ(readFile("Morrowind.ini"), kIni);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kStaleBackup);
    EXPECT_FALSE(exists("Morrowind.ini.old.tmp"));
}

// Held by another run: a second open of the file, as another process would hold it,
// with a write lock on the byte at 2^62.
bool holdIniAsAnotherRun() {
    static int held = -1;
    if (held >= 0) close(held);
    held = open("Morrowind.ini", O_RDWR | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_start = 0x4000000000000000;
    lock.l_len = 1;
    return held >= 0 && fcntl(held, F_OFD_SETLK, &lock) == 0;
}

// Writable by its permission bits, but not by the file system; binds root as well.
bool makeIniImmutable() {
    static std::optional<InodeFlag> immutable;
    immutable.reset();
    immutable.emplace("Morrowind.ini", FS_IMMUTABLE_FL);
    return immutable->ok();
}

INSTANTIATE_TEST_SUITE_P(
    CannotChange, UntouchedTest,
    ::testing::Values(
        UntouchedCase{"IniHeldByAnotherRun", holdIniAsAnotherRun, kOpenFailed},
        UntouchedCase{"IniThatCannotBeWritten", makeIniImmutable, kOpenFailed},
        // Read-only is read-only for root too, whose rights would let it write.
        UntouchedCase{"IniWithNoWritePermissionWhoeverRuns",
                      [] { return chmod("Morrowind.ini", 0444) == 0; }, kOpenFailed},
        UntouchedCase{"OlderBackupWithNoWritePermission",
                      [] { return chmod("Morrowind.ini.old", 0444) == 0; }, kBackupFailed}),
    [](const auto& test) { return std::string(test.param.name); });

// An editor saves a new Morrowind.ini in place of the old one while a box shows. The run
// changes neither name: the older backup is replaced only by a copy of what the name
// still led to, and the held file, which no name leads to any more, is cut back.
struct ReplacedCase {
    const char* name;
    const char* at;  // the box during which the ini is replaced
    Prompts prompts;
    std::string backupAfter;
};

void PrintTo(const ReplacedCase& c, std::ostream* os) { *os << c.name; }

class IniReplacedTest : public PatchDialogueTest, public ::testing::WithParamInterface<ReplacedCase> {};

TEST_P(IniReplacedTest, NeitherNameIsChangedNorReportedChanged) {
    const std::string edited = "[General]\r\nSaved by an editor\r\n";
    writeFile("Morrowind.ini", kIni);
    writeFile("Morrowind.ini.old", kStaleBackup);
    FakePromptBox box({6, 6});
    box.onShow = [&](const std::string& name) {
        if (name != GetParam().at) return;
        writeFile("saved.tmp", edited);
        ASSERT_EQ(rename("saved.tmp", "Morrowind.ini"), 0);
    };
    runPatchDialogue(box);
    EXPECT_EQ(box.shown, GetParam().prompts);
    EXPECT_EQ(readFile("Morrowind.ini"), edited);
    EXPECT_EQ(readFile("Morrowind.ini.old"), GetParam().backupAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Replaced, IniReplacedTest,
    ::testing::Values(
        ReplacedCase{"BeforeTheBackup", "BackupNotice",
                     {"Intro", "Confirm", "BackupNotice", "IniReplaced", "About"}, kStaleBackup},
        ReplacedCase{"AtBackupDone", "BackupDone",
                     {"Intro", "Confirm", "BackupNotice", "BackupDone", "IniReplaced", "About"}, kIni},
        ReplacedCase{"AtTheFpsQuestion", "FpsCounter",
                     {"Intro", "Confirm", "BackupNotice", "BackupDone", "FpsCounter", "IniReplaced",
                      "About"},
                     kIni}),
    [](const auto& test) { return std::string(test.param.name); });

// Morrowind.ini is a link to its own backup, which the backup replaces: the link then
// leads to the new copy, and nothing is appended to the file left behind.
TEST_F(PatchDialogueTest, IniLinkedToItsBackupIsNotReportedChanged) {
    writeFile("Morrowind.ini.old", kIni);
    ASSERT_EQ(symlink("Morrowind.ini.old", "Morrowind.ini"), 0);
    EXPECT_EQ(run({6, 6}),
              (Prompts{"Intro", "Confirm", "BackupNotice", "BackupDone", "IniReplaced", "About"}));
    EXPECT_EQ(readFile("Morrowind.ini"), kIni);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kIni);
}

// Morrowind.ini is a link to the backup's temporary name: removing that name would leave
// the link dangling and the ini's bytes in no file, so the backup is refused instead.
TEST_F(PatchDialogueTest, IniLinkedToTheTemporaryBackupNameIsNotRemoved) {
    writeFile("Morrowind.ini.old.tmp", kIni);
    writeFile("Morrowind.ini.old", kStaleBackup);
    ASSERT_EQ(symlink("Morrowind.ini.old.tmp", "Morrowind.ini"), 0);
    EXPECT_EQ(run({6}), kBackupFailed);
    EXPECT_EQ(readFile("Morrowind.ini"), kIni);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kStaleBackup);
}

// Whatever stands at the backup's name, or at its temporary name after a killed run, is
// replaced by the new backup itself: nothing it leads to, nor any other name, is written.
struct StandingNameCase {
    const char* name;
    const char* at;
    bool hardLink;
    const char* target;  // what the link leads to
};

void PrintTo(const StandingNameCase& c, std::ostream* os) { *os << c.name; }

class StandingNameTest : public PatchDialogueTest,
                         public ::testing::WithParamInterface<StandingNameCase> {};

TEST_P(StandingNameTest, IsReplacedAndWhatItLeadsToIsUntouched) {
    const StandingNameCase& c = GetParam();
    writeFile("Morrowind.ini", kIni);
    ASSERT_EQ(mkdir("elsewhere", 0755), 0);
    writeFile("elsewhere/precious", kStaleBackup);
    ASSERT_EQ(c.hardLink ? link(c.target, c.at) : symlink(c.target, c.at), 0);
    EXPECT_EQ(run({6, 6}), kPatched);
    EXPECT_EQ(readFile("Morrowind.ini"), kIni + kBlockBytes + kFpsBytes);
    EXPECT_EQ(readFile("elsewhere/precious"), kStaleBackup);
    struct stat backup;
    ASSERT_EQ(lstat("Morrowind.ini.old", &backup), 0);
    EXPECT_TRUE(S_ISREG(backup.st_mode) && backup.st_nlink == 1);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kIni);
    EXPECT_FALSE(exists("Morrowind.ini.old.tmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Links, StandingNameTest,
    ::testing::Values(
        StandingNameCase{"SymlinkToAFileElsewhere", "Morrowind.ini.old", false, "elsewhere/precious"},
        StandingNameCase{"HardLinkToAFileElsewhere", "Morrowind.ini.old", true, "elsewhere/precious"},
        StandingNameCase{"SymlinkToTheIni", "Morrowind.ini.old", false, "Morrowind.ini"},
        StandingNameCase{"HardLinkToTheIni", "Morrowind.ini.old", true, "Morrowind.ini"},
        StandingNameCase{"SymlinkToADevice", "Morrowind.ini.old", false, "/dev/null"},
        StandingNameCase{"LeftoverTemporarySymlink", "Morrowind.ini.old.tmp", false,
                         "elsewhere/precious"},
        StandingNameCase{"LeftoverTemporaryHardLink", "Morrowind.ini.old.tmp", true,
                         "elsewhere/precious"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(PatchDialogueTest, LeftoverTemporaryBackupIsReplacedNotPiledUp) {
    writeFile("Morrowind.ini", kIni);
    writeFile("Morrowind.ini.old.tmp", "half a backup from a killed run");
    EXPECT_EQ(run({6, 7}), kPatched);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kIni);
    EXPECT_FALSE(exists("Morrowind.ini.old.tmp"));
}

TEST_F(PatchDialogueTest, BackupCutShortByAFullDiskKeepsTheOlderBackup) {
    writeFile("Morrowind.ini", kIni);
    writeFile("Morrowind.ini.old", kStaleBackup);
    {
        FileSizeLimit limit(kIni.size() - 10);
        EXPECT_EQ(run({6}), kBackupFailed);
    }
    EXPECT_EQ(readFile("Morrowind.ini"), kIni);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kStaleBackup);
    EXPECT_FALSE(exists("Morrowind.ini.old.tmp"));
}

// Root makes the backup of a player's ini: it stays the player's, with the ini's
// permissions, so that the player can read it and replace it on a later run.
TEST_F(PatchDialogueTest, BackupMadeByRootBelongsToTheIniOwner) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a file away";
    writeFile("Morrowind.ini", kIni);
    const uid_t player = 65534;  // nobody
    ASSERT_EQ(chown("Morrowind.ini", player, player), 0);
    ASSERT_EQ(chmod("Morrowind.ini", 0640), 0);
    EXPECT_EQ(run({6, 6}), kPatched);
    struct stat backup;
    ASSERT_EQ(stat("Morrowind.ini.old", &backup), 0);
    EXPECT_EQ(backup.st_uid, player);
    EXPECT_EQ(backup.st_gid, player);
    EXPECT_EQ(backup.st_mode & 07777, 0640u);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kIni);
}

struct FullDiskCase {
    const char* name;
    std::size_t roomAfterIni;
    std::vector<int> answers;
    Prompts prompts;
};

void PrintTo(const FullDiskCase& c, std::ostream* os) { *os << c.name; }

class FullDiskTest : public PatchDialogueTest,
                     public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDiskTest, IniIsCutBackToEqualTheBackup) {
    writeFile("Morrowind.ini", kIni);
    const FullDiskCase& c = GetParam();
    {
        FileSizeLimit limit(kIni.size() + c.roomAfterIni);
        EXPECT_EQ(run(c.answers), c.prompts);
    }
    EXPECT_EQ(readFile("Morrowind.ini"), kIni);
    EXPECT_EQ(readFile("Morrowind.ini.old"), kIni);
}

INSTANTIATE_TEST_SUITE_P(
    FullDisk, FullDiskTest,
    ::testing::Values(
        FullDiskCase{"NoRoomAtAll", 0, {6},
                     {"Intro", "Confirm", "BackupNotice", "BackupDone", "RolledBack", "About"}},
        FullDiskCase{"BlockHalfWritten", 30, {6},
                     {"Intro", "Confirm", "BackupNotice", "BackupDone", "RolledBack", "About"}},
        FullDiskCase{"FpsLineHalfWritten", 76 + 5, {6, 6},
                     {"Intro", "Confirm", "BackupNotice", "BackupDone", "FpsCounter",
                      "RolledBack", "About"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(PatchDialogueTest, FullDiskWithBlockJustFittingStillSucceedsWithoutFps) {
    writeFile("Morrowind.ini", kIni);
    {
        FileSizeLimit limit(kIni.size() + 76);
        EXPECT_EQ(run({6, 7}), kPatched);
    }
    EXPECT_EQ(readFile("Morrowind.ini"), kIni + kBlockBytes);
}

TEST_F(PatchDialogueTest, IniThatCannotBeCutBackTellsThePlayerToRestoreTheBackup) {
    writeFile("Morrowind.ini", kIni);
    // An append-only file takes the block but refuses to be shortened, even for root.
    InodeFlag appendOnly("Morrowind.ini", FS_APPEND_FL);
    if (!appendOnly.ok()) GTEST_SKIP() << "cannot make a file append-only here";
    {
        FileSizeLimit limit(kIni.size() + 30);
        EXPECT_EQ(run({6}), (Prompts{"Intro", "Confirm", "BackupNotice", "BackupDone",
                                     "RestoreNeeded", "About"}));
    }
    EXPECT_EQ(readFile("Morrowind.ini"), kIni + kBlockBytes.substr(0, 30));
    EXPECT_EQ(readFile("Morrowind.ini.old"), kIni);
}

}  // namespace
}  // namespace tolvane::testing
