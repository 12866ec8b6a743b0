#include "inipatch/ini_patch.h"

#include <array>

#include "platform/process.h"

namespace tolvane {
namespace {

constexpr std::size_t kLongestText = 80;
static_assert(SettingsBlock.size() <= kLongestText && FpsCounterLine.size() <= kLongestText);

IniEncoding encodingOf(LockedFile& ini) {
    char mark[2];
    if (ini.readStart(mark, sizeof mark) != sizeof mark) return IniEncoding::SingleByte;
    if (mark[0] == '\xFF' && mark[1] == '\xFE') return IniEncoding::Utf16LittleEndian;
    if (mark[0] == '\xFE' && mark[1] == '\xFF') return IniEncoding::Utf16BigEndian;
    return IniEncoding::SingleByte;
}

}  // namespace

// The ini is the file the game's Windows would open under that name, whatever its
// letter case; where two names would do, neither is chosen.
OpenResult IniPatch::openIni() {
    if (gameReadsAnotherCopy(kIniName)) return OpenResult::GameReadsAnotherCopy;
    if (findName(kIniName, iniName_) == NameMatch::Several) return OpenResult::Failed;
    return ini_.hold(iniName_.data());
}

// Morrowind.ini may lose its name under a run: an editor saves a new file in its place, or
// the ini is a link to its own backup, which the backup replaces. A file that no name
// leads to is neither backed up over the older backup nor changed. It is looked for
// again once open for writing, which is the file changed from then on.
BackupResult IniPatch::backUpIni() {
    if (!ini_.isStillNamed()) return BackupResult::IniReplaced;
    if (!ini_.startWriting()) return BackupResult::OpenFailed;
    if (!ini_.isStillNamed()) return BackupResult::IniReplaced;
    // An older backup whose name differs in letter case only is replaced under that name,
    // as the game's Windows would replace it; with none, or several, Morrowind.ini.old is.
    FileName backup;
    findName(kBackupName, backup);
    backedUp_ = ini_.copyTo(backup.data(), kBackupTempName);
    return backedUp_ ? BackupResult::Done : BackupResult::Failed;
}

// Nothing is written to the ini before its backup is in place.
bool IniPatch::appendSettings() {
    replaced_ = backedUp_ && !ini_.isStillNamed();
    writeFailed_ = !backedUp_ || replaced_;
    encoding_ = encodingOf(ini_);
    completeTheLastCharacter();
    appendText(SettingsBlock);
    return !writeFailed_;
}

void IniPatch::appendFpsCounterLine() { appendText(FpsCounterLine); }

// A UTF-16 ini cut or edited to an odd length ends in half a character, and lines
// appended after it would be read a byte off, as none of the keys. A zero byte makes
// that half a whole character first (the byte's own in little-endian); the backup keeps
// the file as it was.
void IniPatch::completeTheLastCharacter() {
    if (writeFailed_ || encoding_ == IniEncoding::SingleByte) return;
    const std::int64_t length = ini_.length();
    writeFailed_ = length < 0 || (length % 2 != 0 && !ini_.append(std::string_view("\0", 1)));
}

CloseResult IniPatch::closeIni() {
    if (!backedUp_) {
        ini_.finishWriting();
        return CloseResult::RolledBack;
    }
    if (!writeFailed_ && ini_.flush() && ini_.finishWriting() && ini_.isStillNamed()) return CloseResult::Saved;
    // The flush reads the file back by its name, which fails too once the name leads
    // to another file.
    replaced_ = replaced_ || !ini_.isStillNamed();
    // Whatever went wrong, the file cut back is the one changed, never what the name
    // leads to now.
    if (!ini_.cutBack()) return CloseResult::RestoreNeeded;
    return replaced_ ? CloseResult::IniReplaced : CloseResult::RolledBack;
}

// Morrowind reads its ini as a Windows text file, so every line ends in CR LF, on
// every platform the patch runs on. In a UTF-16 ini each character takes two bytes in
// the file's byte order, as Windows' own profile functions write them: single bytes
// there would read as none of the keys.
void IniPatch::appendText(std::string_view text) {
    if (writeFailed_) return;
    std::array<char, 4 * kLongestText> bytes;
    std::size_t size = 0;
    const auto put = [&](char c) {
        if (encoding_ == IniEncoding::Utf16BigEndian) bytes[size++] = '\0';
        bytes[size++] = c;
        if (encoding_ == IniEncoding::Utf16LittleEndian) bytes[size++] = '\0';
    };
    for (char c : text) {
        if (c == '\n') put('\r');
        put(c);
    }
    writeFailed_ = !ini_.append({bytes.data(), size});
}

}  // namespace tolvane
