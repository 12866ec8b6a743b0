#pragma once

#include <string_view>

#include "platform/files.h"

namespace tolvane {

constexpr const char* kIniName = "Morrowind.ini";
constexpr const char* kBackupName = "Morrowind.ini.old";
// Where the backup is made before it replaces the older one; a player who finds it
// after a crash knows it by its name.
constexpr const char* kBackupTempName = "Morrowind.ini.old.tmp";

// The settings the patch adds, with '\n' line ends; on disk each one becomes CR LF.
constexpr std::string_view SettingsBlock =
    "\n\nMin FPS=15\nMaX FPS=85\nInterior Cell Buffer=0\nExterior Cell Buffer=0\n";
constexpr std::string_view FpsCounterLine = "Show FPS=1\n";

// How the ini's text is stored, by its byte-order mark: an editor may save it as
// "Unicode", UTF-16 in either byte order. Every other file is taken as single bytes.
enum class IniEncoding { SingleByte, Utf16LittleEndian, Utf16BigEndian };

enum class BackupResult { Done, OpenFailed, Failed, IniReplaced };
enum class CloseResult { Saved, RolledBack, IniReplaced, RestoreNeeded };

// The only change the program makes on disk: back Morrowind.ini up, then add the
// settings at its end. The existing content is never read except by the copy and for
// its byte-order mark.
// Call order: openIni, backUpIni, appendSettings, at most one appendFpsCounterLine,
// closeIni; nothing is written before backUpIni is Done. Morrowind.ini is held from
// openIni until the IniPatch is destroyed: no other run of the program can open it
// meanwhile. Before each step that counts, the patch makes sure that the name
// Morrowind.ini still leads to the file it holds, so that it never changes, nor reports
// changed, a file the game no longer reads.
class IniPatch {
public:
    // Opens and locks Morrowind.ini, never creating it, before anything is touched; on
    // Windows, for reading only. Where no file has exactly that name, the one whose name
    // differs only in letter case is the ini (the backup is found the same way). Failed:
    // it is read-only or cannot be written, is no file, another run holds it, or several
    // names differ from it only in letter case. GameReadsAnotherCopy: an administrator's run on
    // Windows would change a file the game does not read; nothing is opened.
    OpenResult openIni();
    // Opens Morrowind.ini for writing, then copies it to Morrowind.ini.old, replacing an
    // earlier backup whole, and only once the copy is on disk. Otherwise the earlier
    // backup stays as it was (or is already the whole copy, when only the last flush of
    // the folder failed). OpenFailed: the ini was made read-only since it was opened, or
    // another program writes it or another run took its lock. IniReplaced: the name
    // Morrowind.ini leads to another file now.
    BackupResult backUpIni();
    // Appends SettingsBlock, in the ini's own encoding, after a zero byte where a UTF-16
    // ini ends in half a character. False, with nothing written, if
    // the backup was not done; false if it could not be written whole, or if the name
    // Morrowind.ini leads to another file now, which closeIni undoes.
    bool appendSettings();
    // Appends FpsCounterLine after the block; skipped once a write has failed.
    void appendFpsCounterLine();
    // Flushes the file to disk and ends its writing. If anything could not be stored, or
    // the name Morrowind.ini leads to another file now, cuts the file back to what was
    // backed up, so it equals the backup again. Before a backup, nothing was written:
    // RolledBack, and the file is left as it is.
    CloseResult closeIni();

private:
    void appendText(std::string_view text);
    void completeTheLastCharacter();

    FileName iniName_ = {};
    LockedFile ini_;
    IniEncoding encoding_ = IniEncoding::SingleByte;
    bool backedUp_ = false;
    bool writeFailed_ = false;
    bool replaced_ = false;
};

}  // namespace tolvane
