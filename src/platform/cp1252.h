#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvane {

// 0x00-0x7F is ASCII and 0xA0-0xFF is Latin-1; only the row 0x80-0x9F differs from both.
// The five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to
// the C1 controls of the same value, as Windows maps them.
constexpr char16_t kCp1252Row80To9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The Unicode code point of a Windows-1252 byte.
constexpr char32_t unicodeOfCp1252(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kCp1252Row80To9F[byte - 0x80] : byte;
}

// Writes the UTF-8 form of a Windows-1252 byte to `out`; returns its length, 1 to 3.
int cp1252ToUtf8(unsigned char byte, char out[3]);

// Appends the UTF-8 form of Windows-1252 text to `out`.
void appendUtf8OfCp1252(std::string_view cp1252, std::string& out);

// Never defined, and not constexpr: a text that reaches it stops the build.
void textHoldsACharacterWindows1252DoesNotHave();

// A text kept as Windows-1252 bytes, made at compile time from a UTF-8 literal, so that
// the source reads as the player does. Never longer than the literal.
template <std::size_t N>
struct Cp1252Text {
    char bytes[N] = {};
    std::size_t size = 0;
    constexpr std::string_view view() const { return {bytes, size}; }
};

namespace cp1252_detail {

constexpr unsigned char byteAt(const char* utf8, std::size_t at) { return static_cast<unsigned char>(utf8[at]); }

// The code point that starts at `at`, which moves past it; only one- to three-byte
// forms can be Windows-1252.
constexpr char32_t nextCodePoint(const char* utf8, std::size_t end, std::size_t& at) {
    const unsigned char lead = byteAt(utf8, at++);
    if (lead < 0x80) return lead;
    const std::size_t more = lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2 : 0;
    if (more == 0 || at + more > end) textHoldsACharacterWindows1252DoesNotHave();
    char32_t point = lead & (more == 1 ? 0x1F : 0x0F);
    for (std::size_t i = 0; i < more; ++i) {
        const unsigned char next = byteAt(utf8, at++);
        if ((next & 0xC0) != 0x80) textHoldsACharacterWindows1252DoesNotHave();
        point = (point << 6) | (next & 0x3F);
    }
    return point;
}

// The C1 controls, the unassigned bytes among them, are no character of a text.
constexpr char cp1252ByteOf(char32_t point) {
    if (point < 0x80 || (point >= 0xA0 && point <= 0xFF)) return static_cast<char>(point);
    for (std::size_t i = 0; i < std::size(kCp1252Row80To9F); ++i)
        if (kCp1252Row80To9F[i] == point && point > 0xFF) return static_cast<char>(0x80 + i);
    textHoldsACharacterWindows1252DoesNotHave();
    return '\0';
}

}  // namespace cp1252_detail

template <std::size_t N>
constexpr Cp1252Text<N> toCp1252(const char (&utf8)[N]) {
    Cp1252Text<N> text;
    for (std::size_t at = 0; at + 1 < N;)
        text.bytes[text.size++] = cp1252_detail::cp1252ByteOf(cp1252_detail::nextCodePoint(utf8, N - 1, at));
    return text;
}

}  // namespace tolvane
