#pragma once

#include <sys/types.h>

#include <cstddef>

namespace tolvane {

// Writes all of `bytes`, going on after interruptions. False if any could not be written.
bool writeAll(int fd, const char* bytes, std::size_t size);

// Copies all of `in`, `size` bytes and whatever may follow them, to the end of `out`,
// reading at explicit offsets so that `in`'s own position is left alone. `copied` is
// how many bytes reached `out`. False if a read or a write failed.
bool copyContents(int in, int out, off_t size, off_t& copied);

}  // namespace tolvane
