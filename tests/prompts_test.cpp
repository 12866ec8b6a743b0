#include <cstdint>
#include <string>

#include "dialogue/contact_email.h"
#include "dialogue/prompts.h"

#include <gtest/gtest.h>

namespace tolvane::testing {
namespace {

const std::string kEmail = TOLVANE_CONTACT_EMAIL;

std::uint32_t crc32Of(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The text with the configurable address cut out, so the rest can be compared to a
// fingerprint worked out apart from this program.
std::string fixedPartOf(PromptId id) {
    std::string text(prompt(id).text);
    const std::size_t at = text.find(kEmail);
    if (at != std::string::npos) text.erase(at, kEmail.size());
    return text;
}

struct TextFingerprint {
    PromptId id;
    std::size_t bytes;
    std::uint32_t crc32;
    unsigned style;
};

void PrintTo(const TextFingerprint& f, std::ostream* os) { *os << static_cast<int>(f.id); }

class OriginalTextTest : public ::testing::TestWithParam<TextFingerprint> {};

TEST_P(OriginalTextTest, MatchesItsByteCountChecksumAndStyle) {
    const TextFingerprint& f = GetParam();
    const std::string text = fixedPartOf(f.id);
    EXPECT_EQ(text.size(), f.bytes);
    EXPECT_EQ(crc32Of(text), f.crc32);
    EXPECT_EQ(static_cast<unsigned>(prompt(f.id).style), f.style);
}

INSTANTIATE_TEST_SUITE_P(Prompts, OriginalTextTest,
                         ::testing::Values(
                             TextFingerprint{PromptId::IntroPrompt, 117, 0xf09a1b7au, 0x00},
                             TextFingerprint{PromptId::ConfirmPrompt, 257, 0x977d6eeeu, 0x34},
                             TextFingerprint{PromptId::BackupNoticePrompt, 92, 0x4832d309u, 0x40},
                             TextFingerprint{PromptId::BackupDonePrompt, 103, 0x60f150c1u, 0x40},
                             TextFingerprint{PromptId::FpsCounterPrompt, 109, 0x043a20b5u, 0x24},
                             TextFingerprint{PromptId::UpdatedPrompt, 40, 0x3da79ff0u, 0x40},
                             TextFingerprint{PromptId::NoChangePrompt, 95, 0x64b1da1cu, 0x40},
                             TextFingerprint{PromptId::AboutPrompt, 234, 0x25d529cdu, 0x00}));

// Read through their ids, the failure boxes each say their own text: two of them
// swapped in the table would tell a player the wrong thing about the ini.
INSTANTIATE_TEST_SUITE_P(FailurePrompts, OriginalTextTest,
                         ::testing::Values(
                             TextFingerprint{PromptId::IniMissingPrompt, 166, 0xea896d4eu, 0x10},
                             TextFingerprint{PromptId::BackupFailedPrompt, 113, 0x60452d1du, 0x10},
                             TextFingerprint{PromptId::OpenFailedPrompt, 179, 0x25effc8fu, 0x10},
                             TextFingerprint{PromptId::RolledBackPrompt, 158, 0xc6089eacu, 0x10},
                             TextFingerprint{PromptId::RestoreNeededPrompt, 228, 0x8832bef3u, 0x10},
                             TextFingerprint{PromptId::IniReplacedPrompt, 173, 0xbc222c6cu, 0x10}));

TEST(PromptTable, AddressStandsWhereIntroAndAboutSay) {
    EXPECT_NE(prompt(PromptId::IntroPrompt).text.find("Quedrin (" + kEmail + ")\n \n"),
              std::string::npos);
    EXPECT_NE(prompt(PromptId::AboutPrompt).text.find("l'adresse " + kEmail + ".\n\n\nEnjoy"),
              std::string::npos);
}

TEST(PromptTable, AboutEndsWith112SpacesThenTheAuthor) {
    const std::string text(prompt(PromptId::AboutPrompt).text);
    const std::string lastLine = text.substr(text.rfind('\n') + 1);
    EXPECT_EQ(lastLine, std::string(112, ' ') + "Quedrin");
}

TEST(PromptTable, AccentsAreSingleWindows1252Bytes) {
    EXPECT_NE(prompt(PromptId::IntroPrompt).text.find("cr\xE9\xE9 par"), std::string::npos);
    EXPECT_NE(prompt(PromptId::NoChangePrompt).text.find("apport\xE8" "e \xE0 votre"),
              std::string::npos);
    EXPECT_NE(prompt(PromptId::UpdatedPrompt).text.find("mis \xE0 jour."), std::string::npos);
}

TEST(PromptTable, OnlyTheLastBoxHasTheAboutCaption) {
    for (std::size_t i = 0; i < kPromptCount; ++i) {
        const bool about = static_cast<PromptId>(i) == PromptId::AboutPrompt;
        EXPECT_EQ(kPrompts[i].prompt.caption, about ? "About Tolvane" : "Tolvane") << "prompt " << i;
    }
}

TEST(PromptTable, FailureBoxesAreErrorsThatSayWhatBecameOfTheIni) {
    for (PromptId id : {PromptId::IniMissingPrompt, PromptId::BackupFailedPrompt,
                        PromptId::OpenFailedPrompt, PromptId::RolledBackPrompt,
                        PromptId::RestoreNeededPrompt, PromptId::IniReplacedPrompt,
                        PromptId::ElevatedPrompt}) {
        const std::string text(prompt(id).text);
        EXPECT_EQ(static_cast<unsigned>(prompt(id).style), 0x10u) << text;
        EXPECT_NE(text.find("Morrowind.ini"), std::string::npos) << text;
        const bool unchanged = text.find("modifi\xE9.") != std::string::npos;
        EXPECT_EQ(unchanged, id != PromptId::RestoreNeededPrompt) << text;
    }
    EXPECT_NE(std::string(prompt(PromptId::RestoreNeededPrompt).text)
                  .find("renommez Morrowind.ini.old en Morrowind.ini."),
              std::string::npos);
}

TEST(PromptTable, NoTextHoldsACarriageReturnOrAnUnassignedByte) {
    for (const PromptEntry& entry : kPrompts)
        for (unsigned char b : entry.prompt.text) {
            EXPECT_NE(b, '\r') << entry.prompt.text;
            EXPECT_TRUE(b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) << entry.prompt.text;
        }
}

}  // namespace
}  // namespace tolvane::testing
