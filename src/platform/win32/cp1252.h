#pragma once

#include <cstddef>
#include <string_view>

namespace tolvane {

// Converts Windows-1252 bytes to NUL-terminated UTF-16 in `out`, whatever the system's
// own ANSI code page is. False if it does not fit in `capacity` characters or the
// conversion fails.
bool widenCp1252(std::string_view text, wchar_t* out, std::size_t capacity);

}  // namespace tolvane
