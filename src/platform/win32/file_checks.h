#pragma once

#include <windows.h>

namespace tolvane {

// Whether `path` carries the read-only attribute; false also when it cannot be read.
bool isReadOnly(const char* path);

// Whether `file` is a file on a disk without the read-only attribute. False also when
// its details cannot be read.
bool isWritableDiskFile(HANDLE file);

// Whether `a` and `b` are one file. False also when either cannot be asked.
bool sameFile(HANDLE a, HANDLE b);

// Whether `name`, opened again, leads to `file`. False also when it cannot be opened.
bool leadsTo(const char* name, HANDLE file);

}  // namespace tolvane
