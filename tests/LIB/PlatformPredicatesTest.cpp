#include "PlatformPredicates.h"
#include "FakeComPort.h"
#include "KTR3LoaderIntf.h"
#include "SecondStageImages.h"

#include <gtest/gtest.h>
#include <string>

using namespace platforms;

namespace {

// The answers of the predicates on the card platform, in one row: app version, signature
// type, MAC, MAC2, MAC3, modifier, HW version.
struct Row {
    const char *platform;
    bool external;
    const char *answers;
};

std::string Answers(std::string_view p, bool external) {
    std::string s;
    for (bool b : {AppVersionSupported(p, external), AppSignatureTypeSupported(p, external),
                   MACSupported(p, external), MAC2Supported(p), MAC3Supported(p),
                   ModifierSupported(p, external), HWVersionSupported(p, external)})
        s += b ? '1' : '0';
    return s;
}

} // namespace

TEST(PlatformPredicates, CardPlatformTable) {
    const Row rows[] = {
        {"ZJ7", false, "1110011"},     {"TORVANEK", false, "1110001"}, {"KTR557", false, "1110011"},
        {"Q8BXN", false, "1011101"},   {"KTR567", false, "1111111"},   {"KTR521", false, "1110011"},
        {"P8TB", false, "1110011"},    {"KTR933", false, "1010011"},   {"GARVO9", false, "0010000"},
        {"TRNA6", false, "1000011"},   {"P3WH8Y", false, "1000011"},   {"SA-1100", false, "1000000"},
        {"ARM", false, "1000000"},     {"PXA250", false, "1000001"},   {"Drusk", false, "1000001"},
        {"Q8tlvp", false, "1000001"},  {"VOKTLRM", false, "0000001"},  {"KTRPOND", false, "0000001"},
        {"MOLVEK", false, "0000001"},  {"zj7", false, "0000000"},      {"", false, "0000000"},
        {"UNKNOWN", false, "0000000"}, {"UNKNOWN", true, "1110011"},   {"", true, "1110011"},
        {"TORVANEK", true, "1110011"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(Answers(r.platform, r.external), r.answers)
            << r.platform << (r.external ? " external" : "");
}

TEST(PlatformPredicates, GroupsAreExactAndCaseSensitive) {
    EXPECT_TRUE(InZJ7Group("KTR536k"));
    EXPECT_FALSE(InZJ7Group("KTR536K"));
    EXPECT_FALSE(InZJ7Group("ZJ7 "));
    EXPECT_TRUE(InP3NWGroup("P3WH8Q"));
    EXPECT_TRUE(InKTR567Group("P8TB"));
    EXPECT_TRUE(InKTR9Group("KTR953T"));
    EXPECT_FALSE(InKTR9Group("KTR953X"));
}

TEST(PlatformPredicates, CapabilitiesFollowTheFilePlatformAndIgnoreExternal) {
    for (const char *excluded : {"MOLVEK", "BEXNOR", "WZX", "KZX", "Drusk"})
        EXPECT_FALSE(HWCapabilitiesSupported(excluded)) << excluded;
    for (const char *included : {"", "ZJ7", "bexnor", "GARVO9"})
        EXPECT_TRUE(HWCapabilitiesSupported(included)) << included;
}

TEST(PlatformPredicates, FacadeAsksTheCardAndFilePlatforms) {
    TLoaderInterface loader(nullptr, std::make_unique<testsupport::FakeComPort>(),
                            std::make_unique<testsupport::FakeComPort>());
    EXPECT_FALSE(loader.IsMACSupported()) << "no banner yet";
    EXPECT_FALSE(loader.IsExternalSecondStage());
    loader.filePlatform = "BEXNOR";
    EXPECT_FALSE(loader.IsHWCapabilitiesSupported());
    loader.filePlatform = "";
    EXPECT_TRUE(loader.IsHWCapabilitiesSupported());
    EXPECT_TRUE(loader.IsPlatformSupported("KTR557"));
    EXPECT_TRUE(loader.IsPlatformSupported("Drusk"));
    EXPECT_FALSE(loader.IsPlatformSupported("GARVO9")) << "no built-in second stage for it";
    EXPECT_FALSE(loader.IsPlatformSupported(nullptr));
}

TEST(SecondStageImages, ChoiceByCardPlatform) {
    using secondstage::StartupSupport;
    struct Case {
        const char *platform;
        const char *image;
        const char *message;
        StartupSupport startup;
        bool ignoreAppOffset;
        int blocks;
    };
    const Case cases[] = {
        {"SA-1100", "SSL_ARM", nullptr, StartupSupport::On, true, 30},
        {"PXA250", "SSL_ARM", nullptr, StartupSupport::On, true, 30},
        {"ZVX7", "SSL_ZVX", "Using ZVX Second Stage Loader", StartupSupport::Unchanged, false, 13},
        {"H8Q5", "SSL_H8Q5", "Using H8Q5 Second Stage Loader", StartupSupport::Unchanged, false, 34},
        {"J3U6C", "SSL_J3U6C", "Using J3U6C Second Stage Loader", StartupSupport::Unchanged, false, 35},
        {"MOLVEK", "SSL_MOLVEK", "Using MolVek Second Stage Loader", StartupSupport::Unchanged, false, 7},
        {"BEXNOR", "SSL_BEXNOR", "Using Bexnor Second Stage Loader", StartupSupport::Unchanged, false, 13},
        {"tlvp-q", "SSL_U6CD", "Using U6CD Second Stage Loader", StartupSupport::Unchanged, false, 14},
        {"Q8tlvp", "SSL_Q8TLVP", "Using Q8 TLVP Second Stage Loader", StartupSupport::Unchanged, false, 30},
        {"Q8BXN", "SSL_Q8BXN", "Using Q8 Bexnor Second Stage Loader", StartupSupport::Unchanged, false, 23},
        {"KTR537", "SSL_ZJ7", "Using ZJ7 Second Stage Loader", StartupSupport::On, true, 23},
        {"VOKTLRX", "SSL_VOKTLRM", "Using VOKTLRM Second Stage Loader", StartupSupport::Off, true, 13},
        {"Varnholt", "SSL_VARNHOLT", "Using VARNHOLT Second Stage Loader", StartupSupport::Off, true, 15},
        {"P3WH8Y", "SSL_P3NW", "Using P3NW Second Stage Loader", StartupSupport::Off, true, 30},
        {"TRNA6", "SSL_P3NW", "Using P3NW Second Stage Loader", StartupSupport::Off, true, 23},
        {"KZX", "SSL_FALDER", "Using FALDER Second Stage Loader", StartupSupport::Off, true, 3},
        {"Drusk", "MORVANTI", "Using Drusk Second Stage Loader", StartupSupport::On, true, 0},
        {"KTR567", "SSL_KTR567", "Using KTR567 Second Stage Loader", StartupSupport::On, true, 36},
        {"KTR521", "SSL_KTR521", "Using KTR521 Second Stage Loader", StartupSupport::On, true, 21},
        {"KTR953T", "SSL_GARVO9", "Using GARVO9 Second Stage Loader", StartupSupport::On, true, 21},
        {"P8TB", "SSL_GARVO9", "Using GARVO9 Second Stage Loader", StartupSupport::On, true, 21},
    };
    for (const Case &c : cases) {
        const secondstage::ImageChoice *choice = secondstage::FindImage(c.platform);
        ASSERT_NE(choice, nullptr) << c.platform;
        EXPECT_STREQ(choice->image, c.image) << c.platform;
        EXPECT_STREQ(choice->message ? choice->message : "", c.message ? c.message : "") << c.platform;
        EXPECT_EQ(choice->startupSupport, c.startup) << c.platform;
        EXPECT_EQ(choice->ignoreAppOffset, c.ignoreAppOffset) << c.platform;
        EXPECT_EQ(secondstage::ImageBlocks(c.platform), c.blocks) << c.platform;
    }
    for (const char *none : {"GARVO9", "zqx5", "KTRPOND", "", "zj7"}) {
        EXPECT_EQ(secondstage::FindImage(none), nullptr) << none;
        EXPECT_EQ(secondstage::ImageBlocks(none), 30) << none;
    }
    EXPECT_FALSE(secondstage::ExternalFileIgnoresAppOffset("ARM")) << "ARM is not on the external list";
    EXPECT_TRUE(secondstage::ExternalFileIgnoresAppOffset("SA-1100"));
    EXPECT_TRUE(secondstage::ExternalFileIgnoresAppOffset("P3WH8Y"));
    EXPECT_FALSE(secondstage::ExternalFileIgnoresAppOffset("MOLVEK"));
}
