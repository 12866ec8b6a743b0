#include "inipatch/ini_patch.h"

#include <array>

namespace tolvane {
namespace {

constexpr std::size_t kLongestText = 80;
static_assert(SettingsBlock.size() <= kLongestText && FpsCounterLine.size() <= kLongestText);

}  // namespace

OpenResult IniPatch::openIni() { return ini_.open(kIniName); }

bool IniPatch::backUpIni() { return ini_.copyTo(kBackupName, kBackupTempName); }

bool IniPatch::appendSettings() {
    appendText(SettingsBlock);
    return !writeFailed_;
}

void IniPatch::appendFpsCounterLine() { appendText(FpsCounterLine); }

CloseResult IniPatch::closeIni() {
    // A failed write or flush is undone while the file is still held; a failed close
    // has let go of it already, and the file is reopened to be cut back.
    if (!writeFailed_ && ini_.flush() && ini_.close()) return CloseResult::Saved;
    return ini_.restoreLength() ? CloseResult::RolledBack : CloseResult::RestoreNeeded;
}

// Morrowind reads its ini as a Windows text file, so every line ends in CR LF, on
// every platform the patch runs on.
void IniPatch::appendText(std::string_view text) {
    if (writeFailed_) return;
    std::array<char, 2 * kLongestText> bytes;
    std::size_t size = 0;
    for (char c : text) {
        if (c == '\n') bytes[size++] = '\r';
        bytes[size++] = c;
    }
    writeFailed_ = !ini_.append({bytes.data(), size});
}

}  // namespace tolvane
