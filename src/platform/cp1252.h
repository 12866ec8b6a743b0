#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// The Unicode code point of a Windows-1252 byte. The five bytes the code page leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value,
// as Windows maps them.
char32_t unicodeOfCp1252(unsigned char byte);

// Writes the UTF-8 form of a Windows-1252 byte to `out`; returns its length, 1 to 3.
int cp1252ToUtf8(unsigned char byte, char out[3]);

// Appends the UTF-8 form of Windows-1252 text to `out`.
void appendUtf8OfCp1252(std::string_view cp1252, std::string& out);

}  // namespace tolvane
