#include <iconv.h>

#include <string>

#include "platform/cp1252.h"

#include <gtest/gtest.h>

namespace tolvane::testing {
namespace {

// The host's iconv as an independent reference; empty where it has no mapping.
std::string iconvUtf8Of(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "iconv-unavailable";
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) return {};
    return std::string(out, sizeof out - outLeft);
}

TEST(Cp1252, EveryByteConvertsAsIconvDoesAndUnassignedOnesBecomeC1Controls) {
    int unassigned = 0;
    for (int b = 0; b < 256; ++b) {
        char utf8[3];
        const int length = cp1252ToUtf8(static_cast<unsigned char>(b), utf8);
        std::string expected = iconvUtf8Of(static_cast<unsigned char>(b));
        if (expected.empty()) {
            ++unassigned;
            expected = {static_cast<char>(0xC2), static_cast<char>(b)};
        }
        EXPECT_EQ(std::string(utf8, static_cast<std::size_t>(length)), expected) << "byte " << b;
    }
    EXPECT_EQ(unassigned, 5);
}

}  // namespace
}  // namespace tolvane::testing
