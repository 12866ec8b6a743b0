#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace tolvane {

// Moves `file`'s position to `offset` from `from`. False if it could not.
bool seek(HANDLE file, std::int64_t offset, DWORD from);

// Writes all of `bytes` at `file`'s position. False if any could not be written.
bool writeAll(HANDLE file, const char* bytes, std::size_t size);

// Copies all of `in`, from its start, to `out`; `copied` is how many bytes reached
// `out`. False if a read or a write failed.
bool copyContents(HANDLE in, HANDLE out, std::int64_t& copied);

}  // namespace tolvane
