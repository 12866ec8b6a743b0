// Writes the token elevation type Wine gives a process it starts, as a number, to the
// file named by the first argument: 1 default (no UAC), 2 full (elevated), 3 limited.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HANDLE token = nullptr;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) ||
        !GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size))
        return 3;
    CloseHandle(token);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) return 4;
    std::fprintf(out, "%d\n", static_cast<int>(type));
    return std::fclose(out) == 0 ? 0 : 5;
}
