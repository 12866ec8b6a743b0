// Writes the UTF-16LE form of every Windows-1252 byte value, 0 to 255, as the program
// converts its texts, to the file named by the first argument; then the process's ANSI
// code page to the second, to show the conversion does not depend on it.
#include <windows.h>

#include <cstdio>

#include "platform/win32/cp1252.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) return 2;
    for (int b = 0; b < 256; ++b) {
        const char single = static_cast<char>(b);
        wchar_t wide[2] = {0xFFFF, 0};
        if (!tolvane::widenCp1252({&single, 1}, wide, 2)) wide[0] = 0xFFFF;
        const unsigned char le[2] = {static_cast<unsigned char>(wide[0] & 0xFF),
                                     static_cast<unsigned char>(wide[0] >> 8)};
        std::fwrite(le, 1, 2, out);
    }
    if (std::fclose(out) != 0) return 2;
    std::FILE* acp = std::fopen(argv[2], "w");
    if (acp == nullptr) return 2;
    std::fprintf(acp, "%u\n", GetACP());
    return std::fclose(acp) == 0 ? 0 : 2;
}
