#include "SecondStageImages.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace secondstage;

namespace {

struct Row {
    std::vector<const char *> platforms;
    const char *image;
    const char *message; // nullptr for none
    StartupSupport startup;
    bool ignoreAppOffset;
    int blocks;
};

const char *const zj7Group[] = {"ZJ7",    "ZJ7KOL", "ZJ736",   "P3H5",    "P3H5F",    "KTR557", "KTR557T",
                                "KTR531", "KTR536", "KTR536k", "KTR557F", "TORVANEK", "KTR537"};

} // namespace

TEST(SecondStageImages, EachPlatformGetsItsLoaderMessageFlagsAndProgressRange) {
    using enum StartupSupport;
    const std::vector<Row> rows = {
        {{"SA-1100", "ARM", "PXA250"}, "SSL_ARM", nullptr, On, true, 30},
        {{"ZVX7"}, "SSL_ZVX", "Using ZVX Second Stage Loader", Unchanged, false, 13},
        {{"H8Q5"}, "SSL_H8Q5", "Using H8Q5 Second Stage Loader", Unchanged, false, 34},
        {{"J3U6C"}, "SSL_J3U6C", "Using J3U6C Second Stage Loader", Unchanged, false, 35},
        {{"MOLVEK"}, "SSL_MOLVEK", "Using MolVek Second Stage Loader", Unchanged, false, 7},
        {{"BEXNOR"}, "SSL_BEXNOR", "Using Bexnor Second Stage Loader", Unchanged, false, 13},
        {{"U6CD", "tlvp-q"}, "SSL_U6CD", "Using U6CD Second Stage Loader", Unchanged, false, 14},
        {{"Q8tlvp"}, "SSL_Q8TLVP", "Using Q8 TLVP Second Stage Loader", Unchanged, false, 30},
        {{"Q8BXN"}, "SSL_Q8BXN", "Using Q8 Bexnor Second Stage Loader", Unchanged, false, 23},
        {{std::begin(zj7Group), std::end(zj7Group)},
         "SSL_ZJ7",
         "Using ZJ7 Second Stage Loader",
         On,
         true,
         23},
        {{"VOKTLRM", "VOKTLRX"}, "SSL_VOKTLRM", "Using VOKTLRM Second Stage Loader", Off, true, 13},
        {{"Varnholt"}, "SSL_VARNHOLT", "Using VARNHOLT Second Stage Loader", Off, true, 15},
        {{"TRNA6", "P3WH8", "P3WH8Q"}, "SSL_P3NW", "Using P3NW Second Stage Loader", Off, true, 23},
        {{"P3WH8Y"}, "SSL_P3NW", "Using P3NW Second Stage Loader", Off, true, 30},
        {{"WZX", "KZX"}, "SSL_FALDER", "Using FALDER Second Stage Loader", Off, true, 3},
        {{"Drusk"}, "MORVANTI", "Using Drusk Second Stage Loader", On, true, 0},
        {{"KTR567"}, "SSL_KTR567", "Using KTR567 Second Stage Loader", On, true, 36},
        {{"KTR521"}, "SSL_KTR521", "Using KTR521 Second Stage Loader", On, true, 21},
        {{"P8TB", "KTR933", "KTR933W", "KTR933P", "KTR953", "KTR953T"},
         "SSL_GARVO9",
         "Using GARVO9 Second Stage Loader",
         On,
         true,
         21},
    };
    for (const Row &row : rows)
        for (const char *platform : row.platforms) {
            const ImageChoice *choice = FindImage(platform);
            ASSERT_NE(choice, nullptr) << platform;
            EXPECT_STREQ(choice->image, row.image) << platform;
            if (row.message)
                EXPECT_STREQ(choice->message, row.message) << platform;
            else
                EXPECT_EQ(choice->message, nullptr) << platform;
            EXPECT_EQ(choice->startupSupport, row.startup) << platform;
            EXPECT_EQ(choice->ignoreAppOffset, row.ignoreAppOffset) << platform;
            EXPECT_EQ(ImageBlocks(platform), row.blocks) << platform;
        }
    for (const char *other : {"GARVO9", "zj7", "KTRPOND", "KTR999", ""}) {
        EXPECT_EQ(FindImage(other), nullptr) << other;
        EXPECT_EQ(ImageBlocks(other), 30) << other;
    }
}

TEST(SecondStageImages, ExternalFileIgnoresTheAppOffsetOnlyForItsPlatforms) {
    std::vector<std::string> ignoring = {"SA-1100", "PXA250",  "WZX",      "KZX",    "Drusk",
                                         "VOKTLRM", "VOKTLRX", "Varnholt", "TRNA6",  "P3WH8",
                                         "P3WH8Q",  "P3WH8Y",  "KTR567",   "KTR521", "P8TB",
                                         "KTR933",  "KTR933W", "KTR933P",  "KTR953", "KTR953T"};
    ignoring.insert(ignoring.end(), std::begin(zj7Group), std::end(zj7Group));
    for (const std::string &platform : ignoring)
        EXPECT_TRUE(ExternalFileIgnoresAppOffset(platform)) << platform;
    for (const char *platform :
         {"ARM", "ZVX7", "H8Q5", "BEXNOR", "U6CD", "Q8BXN", "Q8tlvp", "GARVO9", "zqx5", ""})
        EXPECT_FALSE(ExternalFileIgnoresAppOffset(platform)) << platform;
}
