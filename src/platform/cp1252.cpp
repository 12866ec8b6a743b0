#include "platform/cp1252.h"

namespace tolvane {
namespace {

// 0x00-0x7F is ASCII and 0xA0-0xFF is Latin-1; only this row differs from both.
constexpr char16_t kRow80To9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char32_t unicodeOfCp1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kRow80To9F[byte - 0x80];
    return byte;
}

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
