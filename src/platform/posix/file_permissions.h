#pragma once

#include <sys/stat.h>

namespace tolvane {

// Whether NTFS marks the file at `path` read-only, as Windows does. False where the file
// system keeps no such mark or it cannot be read.
bool markedReadOnlyByWindows(const char* path);

// Whether the file at `path`, of which `info` is the status, may be written by whoever
// runs the program: it has write permission bits, access is granted, and NTFS does not
// mark it read-only.
bool mayWrite(const char* path, const struct stat& info);

// Whether a rename may replace `path`: nothing is there, or no regular file, or one that
// may be written.
bool mayReplace(const char* path);

// Gives the new file `backup` the owner (when run by root) and the mode of `ini`. False
// if that failed, unless the file system cannot store them and `backup` is already the
// ini's and grants nobody more than the ini does.
bool takeOwnerAndMode(int backup, const struct stat& ini);

}  // namespace tolvane
