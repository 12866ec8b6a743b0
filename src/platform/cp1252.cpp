#include "platform/cp1252.h"

namespace tolvane {

int cp1252ToUtf8(unsigned char byte, char out[3]) {
    const char32_t cp = unicodeOfCp1252(byte);
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
}

void appendUtf8OfCp1252(std::string_view cp1252, std::string& out) {
    for (char byte : cp1252) {
        char utf8[3];
        out.append(utf8, static_cast<std::size_t>(cp1252ToUtf8(static_cast<unsigned char>(byte), utf8)));
    }
}

}  // namespace tolvane
