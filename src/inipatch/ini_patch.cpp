#include "inipatch/ini_patch.h"

#include <array>

namespace tolvane {
namespace {

constexpr std::size_t kLongestText = 80;
static_assert(SettingsBlock.size() <= kLongestText && FpsCounterLine.size() <= kLongestText);

}  // namespace

BackupResult IniPatch::backUpIni() {
    switch (copyFile(kIniName, kBackupName, kBackupTempName)) {
        case CopyResult::Copied: return BackupResult::Copied;
        case CopyResult::SourceMissing: return BackupResult::IniMissing;
        case CopyResult::Failed: break;
    }
    return BackupResult::Failed;
}

AppendResult IniPatch::appendSettings() {
    if (!ini_.open(kIniName)) return AppendResult::NotOpened;
    appendText(SettingsBlock);
    return writeFailed_ ? AppendResult::WriteFailed : AppendResult::Appended;
}

void IniPatch::appendFpsCounterLine() { appendText(FpsCounterLine); }

CloseResult IniPatch::closeIni() {
    if (!writeFailed_ && ini_.close()) return CloseResult::Saved;
    return ini_.restoreLength() ? CloseResult::RolledBack : CloseResult::RestoreNeeded;
}

// Morrowind reads its ini as a Windows text file, so every line ends in CR LF, on
// every platform the patch runs on.
void IniPatch::appendText(std::string_view text) {
    if (writeFailed_ || !ini_.isOpen()) return;
    std::array<char, 2 * kLongestText> bytes;
    std::size_t size = 0;
    for (char c : text) {
        if (c == '\n') bytes[size++] = '\r';
        bytes[size++] = c;
    }
    writeFailed_ = !ini_.append({bytes.data(), size});
}

}  // namespace tolvane
