#include <sys/stat.h>

#include <string>

#include "inipatch/ini_patch.h"
#include "scratch_dir.h"

namespace tolvane::testing {
namespace {

using IniPatchTest = ScratchDirTest;

std::string hexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string everyByteValue(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

TEST_F(IniPatchTest, AppendedBytesMatchTheirHexDump) {
    writeFile("Morrowind.ini", "");
    IniPatch patch;
    ASSERT_EQ(patch.appendSettings(), AppendResult::Appended);
    patch.appendFpsCounterLine();
    ASSERT_EQ(patch.closeIni(), CloseResult::Saved);
    EXPECT_EQ(hexOf(*readFile("Morrowind.ini")),
              "0d0a0d0a"
              "4d696e204650533d3135"                            "0d0a"  // Min FPS=15
              "4d6158204650533d3835"                            "0d0a"  // MaX FPS=85
              "496e746572696f722043656c6c204275666665723d30"    "0d0a"  // Interior Cell Buffer=0
              "4578746572696f722043656c6c204275666665723d30"    "0d0a"  // Exterior Cell Buffer=0
              "53686f77204650533d31"                            "0d0a"); // Show FPS=1
}

TEST_F(IniPatchTest, IniKeepsEveryByteBeforeTheBlock) {
    const std::string original = everyByteValue(1000);
    writeFile("Morrowind.ini", original);
    IniPatch patch;
    ASSERT_EQ(patch.appendSettings(), AppendResult::Appended);
    ASSERT_EQ(patch.closeIni(), CloseResult::Saved);
    const std::string after = *readFile("Morrowind.ini");
    ASSERT_EQ(after.size(), original.size() + 76);
    EXPECT_EQ(after.substr(0, original.size()), original);
}

// Sizes around the copy buffer, and an empty file.
class BackupSizeTest : public IniPatchTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(BackupSizeTest, BackupIsByteForByteAndReplacesALongerOne) {
    const std::string original = everyByteValue(GetParam());
    writeFile("Morrowind.ini", original);
    writeFile("Morrowind.ini.old", everyByteValue(GetParam() + 4096));
    EXPECT_EQ(IniPatch().backUpIni(), BackupResult::Copied);
    EXPECT_EQ(readFile("Morrowind.ini.old"), original);
    EXPECT_EQ(readFile("Morrowind.ini"), original);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BackupSizeTest,
                         ::testing::Values(0, 1, 131071, 131072, 131073, 3 * 131072 + 17));

TEST_F(IniPatchTest, BackupOfAReadOnlyIniCanBeReplacedByTheNextRun) {
    writeFile("Morrowind.ini", "x");
    ASSERT_EQ(chmod("Morrowind.ini", 0444), 0);
    ASSERT_EQ(IniPatch().backUpIni(), BackupResult::Copied);
    struct stat backup;
    ASSERT_EQ(stat("Morrowind.ini.old", &backup), 0);
    EXPECT_EQ(backup.st_mode & 0777, 0644u);
}

TEST_F(IniPatchTest, MissingIniIsReportedAndNoBackupIsMade) {
    EXPECT_EQ(IniPatch().backUpIni(), BackupResult::IniMissing);
    EXPECT_FALSE(exists("Morrowind.ini.old"));
}

TEST_F(IniPatchTest, AppendingNeverCreatesTheIni) {
    IniPatch patch;
    EXPECT_EQ(patch.appendSettings(), AppendResult::NotOpened);
    EXPECT_FALSE(exists("Morrowind.ini"));
}

TEST_F(IniPatchTest, FailedBlockIsUndoneAtClose) {
    writeFile("Morrowind.ini", "x");
    IniPatch patch;
    {
        FileSizeLimit limit(10);
        EXPECT_EQ(patch.appendSettings(), AppendResult::WriteFailed);
        patch.appendFpsCounterLine();
    }
    EXPECT_EQ(patch.closeIni(), CloseResult::RolledBack);
    EXPECT_EQ(readFile("Morrowind.ini"), "x");
}

}  // namespace
}  // namespace tolvane::testing
