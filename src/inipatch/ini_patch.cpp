#include "inipatch/ini_patch.h"

#include <array>

namespace tolvane {
namespace {

constexpr std::size_t kLongestText = 80;
static_assert(SettingsBlock.size() <= kLongestText && FpsCounterLine.size() <= kLongestText);

}  // namespace

OpenResult IniPatch::openIni() { return ini_.open(kIniName); }

// Morrowind.ini may lose its name under a run: an editor saves a new file in its place, or
// the ini is a link to its own backup, which the backup replaces. A file that no name
// leads to is neither backed up over the older backup nor changed.
bool IniPatch::backUpIni() {
    return ini_.isStillNamed() && ini_.copyTo(kBackupName, kBackupTempName);
}

bool IniPatch::appendSettings() {
    writeFailed_ = !ini_.isStillNamed();
    appendText(SettingsBlock);
    return !writeFailed_;
}

void IniPatch::appendFpsCounterLine() { appendText(FpsCounterLine); }

CloseResult IniPatch::closeIni() {
    // Whatever went wrong, the file cut back is the one held, never what the name leads
    // to now.
    if (!writeFailed_ && ini_.flush() && ini_.close() && ini_.isStillNamed())
        return CloseResult::Saved;
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
