#pragma once

#include <sys/stat.h>

namespace tolvane {

// Puts /dev/null on any of standard input, output and error the run was started
// without; where /dev/null cannot be opened (a bare chroot, a private /dev), it stays
// closed.
void openClosedStandardDescriptors();

// Treats a standard descriptor that is `file` itself (same device and inode) as closed:
// puts /dev/null on it, or closes it where /dev/null cannot be opened.
void detachStandardDescriptorsFrom(const struct stat& file);

// `fd` itself if it is above the standard descriptors, else a close-on-exec copy of it
// numbered 3 or more, the original closed; -1 if `fd` is -1 or cannot be copied.
int aboveStandardDescriptors(int fd);

}  // namespace tolvane
