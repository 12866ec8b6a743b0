// Reads the five keys the program appends through Windows' own profile API, as the game
// reads its ini, and writes "key=value" lines to the file named by the second argument:
// the value the API returns, or "(missing)". The ini is named by the first argument.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    char ini[MAX_PATH];
    if (GetFullPathNameA(argv[1], MAX_PATH, ini, nullptr) == 0) return 3;
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 4;
    const char* keys[] = {"Min FPS", "MaX FPS", "Interior Cell Buffer", "Exterior Cell Buffer", "Show FPS"};
    for (const char* key : keys) {
        char value[64];
        GetPrivateProfileStringA("Archives", key, "(missing)", value, sizeof value, ini);
        std::fprintf(out, "%s=%s\n", key, value);
    }
    return std::fclose(out) == 0 ? 0 : 5;
}
