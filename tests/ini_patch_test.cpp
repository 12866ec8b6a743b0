#include <sys/stat.h>
#include <unistd.h>

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

// What the ini starts with, and the bytes the block and the FPS line add after it.
struct AppendedCase {
    const char* name;
    std::string start;
    std::string appendedHex;
};

void PrintTo(const AppendedCase& c, std::ostream* os) { *os << c.name; }

class AppendedBytesTest : public IniPatchTest, public ::testing::WithParamInterface<AppendedCase> {};

TEST_P(AppendedBytesTest, AppendedBytesMatchTheirHexDump) {
    writeFile("Morrowind.ini", GetParam().start);
    IniPatch patch;
    ASSERT_EQ(patch.openIni(), OpenResult::Opened);
    ASSERT_EQ(patch.backUpIni(), BackupResult::Done);
    ASSERT_TRUE(patch.appendSettings());
    patch.appendFpsCounterLine();
    ASSERT_EQ(patch.closeIni(), CloseResult::Saved);
    EXPECT_EQ(hexOf(*readFile("Morrowind.ini")), hexOf(GetParam().start) + GetParam().appendedHex);
    EXPECT_EQ(readFile("Morrowind.ini.old"), GetParam().start);
}

// The block and the FPS line in UTF-16LE.
const std::string kUtf16LittleEndianHex =
    "0d000a000d000a00"
    "4d0069006e0020004600500053003d00310035000d000a00"
    "4d006100580020004600500053003d00380035000d000a00"
    "49006e0074006500720069006f0072002000430065006c006c00"
    "20004200750066006600650072003d0030000d000a00"
    "4500780074006500720069006f0072002000430065006c006c00"
    "20004200750066006600650072003d0030000d000a00"
    "530068006f00770020004600500053003d0031000d000a00";

INSTANTIATE_TEST_SUITE_P(
    Encodings, AppendedBytesTest,
    ::testing::Values(
        AppendedCase{"Empty", "",
                     "0d0a0d0a"
                     "4d696e204650533d3135"                            "0d0a"  // Min FPS=15
                     "4d6158204650533d3835"                            "0d0a"  // MaX FPS=85
                     "496e746572696f722043656c6c204275666665723d30"    "0d0a"  // Interior Cell Buffer=0
                     "4578746572696f722043656c6c204275666665723d30"    "0d0a"  // Exterior Cell Buffer=0
                     "53686f77204650533d31"                            "0d0a"}, // Show FPS=1
        // Saved as "Unicode" by an editor: UTF-16LE after its byte-order mark, 176 bytes.
        AppendedCase{"Utf16LittleEndian", std::string("\xFF\xFE[\0G\0]\0", 8), kUtf16LittleEndianHex},
        // Cut to an odd length: a zero byte makes its last half character whole first.
        AppendedCase{"Utf16OddLength", std::string("\xFF\xFE[\0G\0]\0;", 9), "00" + kUtf16LittleEndianHex}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(IniPatchTest, IniKeepsEveryByteBeforeTheBlock) {
    const std::string original = everyByteValue(1000);
    writeFile("Morrowind.ini", original);
    IniPatch patch;
    ASSERT_EQ(patch.openIni(), OpenResult::Opened);
    ASSERT_EQ(patch.backUpIni(), BackupResult::Done);
    ASSERT_TRUE(patch.appendSettings());
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
    IniPatch patch;
    ASSERT_EQ(patch.openIni(), OpenResult::Opened);
    EXPECT_EQ(patch.backUpIni(), BackupResult::Done);
    EXPECT_EQ(readFile("Morrowind.ini.old"), original);
    EXPECT_EQ(readFile("Morrowind.ini"), original);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BackupSizeTest,
                         ::testing::Values(0, 1, 131071, 131072, 131073, 3 * 131072 + 17));

// The backup has the ini's permissions, whatever the umask: never wider (a private ini
// stays private), never narrower (the player can read it).
std::string modeName(mode_t mode) {
    std::string name = "Mode0";
    for (int shift = 6; shift >= 0; shift -= 3) name += static_cast<char>('0' + ((mode >> shift) & 7));
    return name;
}

class BackupModeTest : public IniPatchTest, public ::testing::WithParamInterface<mode_t> {};

TEST_P(BackupModeTest, BackupHasTheIniPermissionsWhateverTheUmask) {
    const mode_t ini = GetParam();
    writeFile("Morrowind.ini", "x");
    ASSERT_EQ(chmod("Morrowind.ini", ini), 0);
    const mode_t previousMask = umask(077);
    IniPatch patch;
    const OpenResult opened = patch.openIni();
    const bool copied = opened == OpenResult::Opened && patch.backUpIni() == BackupResult::Done;
    umask(previousMask);
    ASSERT_TRUE(copied);
    struct stat backup;
    ASSERT_EQ(stat("Morrowind.ini.old", &backup), 0);
    EXPECT_EQ(backup.st_mode & 07777, ini);
}

INSTANTIATE_TEST_SUITE_P(Modes, BackupModeTest,
                         ::testing::Values<mode_t>(0644, 0640, 0600, 0664, 0604),
                         [](const auto& test) { return modeName(test.param); });

TEST_F(IniPatchTest, MissingIniIsReportedAndNeitherFileIsCreated) {
    IniPatch patch;
    EXPECT_EQ(patch.openIni(), OpenResult::Missing);
    EXPECT_NE(patch.backUpIni(), BackupResult::Done);
    EXPECT_FALSE(patch.appendSettings());
    EXPECT_FALSE(exists("Morrowind.ini"));
    EXPECT_FALSE(exists("Morrowind.ini.old"));
}

TEST_F(IniPatchTest, SecondOpenIsRefusedUntilTheFirstIsGone) {
    writeFile("Morrowind.ini", "x");
    {
        IniPatch first;
        ASSERT_EQ(first.openIni(), OpenResult::Opened);
        EXPECT_EQ(IniPatch().openIni(), OpenResult::Failed);
        ASSERT_EQ(first.backUpIni(), BackupResult::Done);
        ASSERT_TRUE(first.appendSettings());
        ASSERT_EQ(first.closeIni(), CloseResult::Saved);
        EXPECT_EQ(IniPatch().openIni(), OpenResult::Failed);
    }
    EXPECT_EQ(IniPatch().openIni(), OpenResult::Opened);
}

TEST_F(IniPatchTest, FailedBlockIsUndoneAtClose) {
    writeFile("Morrowind.ini", "x");
    IniPatch patch;
    ASSERT_EQ(patch.openIni(), OpenResult::Opened);
    ASSERT_EQ(patch.backUpIni(), BackupResult::Done);
    {
        FileSizeLimit limit(10);
        EXPECT_FALSE(patch.appendSettings());
        patch.appendFpsCounterLine();
    }
    EXPECT_EQ(patch.closeIni(), CloseResult::RolledBack);
    EXPECT_EQ(readFile("Morrowind.ini"), "x");
}

}  // namespace
}  // namespace tolvane::testing
