#include "PlatformPredicates.h"
#include "FakeComPort.h"
#include "KTR3LoaderIntf.h"

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

TEST(PlatformPredicates, EveryListedNameAnswersItsRow) {
    // app version, signature type, MAC, MAC2, MAC3, modifier, HW version
    const Row rows[] = {
        {"ZJ7KOL", false, "1110011"},  {"ZJ736", false, "1110011"},    {"P3H5", false, "1110011"},
        {"P3H5F", false, "1110011"},   {"KTR557T", false, "1110011"},  {"KTR531", false, "1110011"},
        {"KTR536", false, "1110011"},  {"KTR536k", false, "1110011"},  {"KTR557F", false, "1110011"},
        {"KTR537", false, "1110011"},  {"P3WH8", false, "1000011"},    {"P3WH8Q", false, "1000011"},
        {"KTR933W", false, "1010011"}, {"KTR933P", false, "1010011"},  {"KTR953", false, "1010011"},
        {"KTR953T", false, "1010011"}, {"H8Q5", false, "0000001"},     {"J3U6C", false, "0000001"},
        {"ZVX7", false, "0000001"},    {"U6CD", false, "0000001"},     {"tlvp-q", false, "0000001"},
        {"BEXNOR", false, "0000001"},  {"VOKTLRX", false, "0000001"},  {"WZX", false, "0000001"},
        {"KZX", false, "0000001"},     {"Varnholt", false, "0000001"}, {"GARVO9", true, "1110011"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(Answers(r.platform, r.external), r.answers)
            << r.platform << (r.external ? " external" : "");
}
