#include "platform/win32/cp1252.h"

#include <windows.h>

namespace tolvane {

bool widenCp1252(std::string_view text, wchar_t* out, std::size_t capacity) {
    if (capacity == 0 || text.size() >= capacity) return false;
    int length = 0;
    if (!text.empty()) {
        length = MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), out,
                                     static_cast<int>(capacity - 1));
        if (length == 0) return false;
    }
    out[length] = L'\0';
    return true;
}

}  // namespace tolvane
