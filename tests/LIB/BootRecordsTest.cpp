#include "BootRecords.h"
#include "BuiltInImages.h"
#include "FileFaults.h"
#include "LoaderImageFile.h"

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace bootrecords;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Record(std::uint8_t wake, std::uint8_t type, std::uint32_t address, const Bytes &data) {
    Bytes r{wake,
            0x55,
            0xAA,
            0x02,
            0x01,
            type,
            static_cast<std::uint8_t>(data.size() >> 8),
            static_cast<std::uint8_t>(data.size()),
            0,
            0,
            0,
            0};
    for (int shift : {24, 16, 8, 0})
        r.push_back(static_cast<std::uint8_t>(address >> shift));
    r.insert(r.end(), data.begin(), data.end());
    const std::uint32_t sum = Checksum(r);
    for (int i = 0; i < 4; ++i)
        r[ChecksumOffset + i] = static_cast<std::uint8_t>(sum >> (24 - 8 * i));
    return r;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

TEST(BootRecordTemplates, FilledRecordsCarryDeviceRateAndChecksum) {
    EXPECT_EQ(Checksum(FirstStageStartRecord), 0u) << "the start record goes out as it stands";
    EXPECT_EQ(MakeNextDevice(FirstStageNextDeviceTemplate, 3),
              (Header{0x16, 0x55, 0xAA, 2, 0, 5, 0, 0, 0, 0, 0, 3, 0, 0, 0, 3}));
    EXPECT_EQ(MakeNextDevice(Stage0NextDeviceTemplate, 0),
              (Header{0x17, 0x55, 0xAA, 2, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(
        MakeBaudChange(FirstStageBaudChangeTemplate, 0, 115200),
        (BaudChange{0x16, 0x55, 0xAA, 2, 0, 4, 0, 4, 0, 0, 0, 0xC3, 0, 0, 0, 0, 0x00, 0x01, 0xC2, 0x00}));
    EXPECT_EQ(
        MakeBaudChange(Stage0BaudChangeTemplate, 2, 921600),
        (BaudChange{0x17, 0x55, 0xAA, 2, 0, 4, 0, 4, 0, 0, 0, 0x20, 0, 0, 0, 2, 0x00, 0x0E, 0x10, 0x00}));
    // A sum that needs more than one byte: every byte 0xFF.
    const BaudChange big = MakeBaudChange(FirstStageBaudChangeTemplate, 0xFF, 0xFFFFFFFF);
    EXPECT_EQ((Bytes{big.begin() + 8, big.begin() + 12}), (Bytes{0, 0, 0x04, 0xFB}));
}

TEST(BootImageWalk, ImageCheckNamesWhatIsWrong) {
    const Bytes data = Record(0x16, DataRecord, 0x1000, {1, 2, 3});
    const Bytes entry = Record(0x16, EntryRecord, 0x1000, {});
    struct Case {
        const char *name;
        Bytes image;
        std::string problem;
    };
    const Case cases[] = {
        {"good", Concat({data, data, entry}), ""},
        {"only the closing record", entry, ""},
        {"trailing bytes after the closing record are never sent", Concat({data, entry, Bytes{9, 9}}), ""},
        {"empty", {}, "The loader image is empty"},
        {"no closing record", Concat({data, data}), "The loader image has no closing record"},
        {"truncated data", Concat({data, Bytes(data.begin(), data.end() - 2)}),
         "The loader image record at byte 19 runs past the end of the image"},
        {"truncated header", Concat({data, Bytes{0x16, 0x55}}),
         "The loader image record at byte 19 runs past the end of the image"},
        {"length beyond the image", Bytes{0x16, 0x55, 0xAA, 2, 1, 1, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0},
         "The loader image record at byte 0 runs past the end of the image"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CheckImage(c.image), c.problem) << c.name;
}

TEST(LoaderImageText, EachLineContributesTheValuesItConverts) {
    struct Case {
        const char *line;
        Bytes values;
    };
    const Case cases[] = {
        {" 0x16, 0x55, 0xAA, 0x02,", {0x16, 0x55, 0xAA, 0x02}},
        {"0x1,0x2,0x3", {1, 2, 3}},
        {" 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E,",
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {" 0x12, 0xZZ, 0x34,", {0x12}},
        {" 0x123, 0x45,", {0x12}},
        {" 0x12 , 0x45,", {0x12}},
        {" 0X12, 0x45,", {}},
        {"// a comment 0x12, 0x34,", {}},
    };
    for (const Case &c : cases) {
        std::array<std::uint8_t, loaderimage::MaxValuesPerLine> values{};
        const std::size_t n = loaderimage::ScanLine(c.line, values);
        EXPECT_EQ(Bytes(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n)), c.values) << c.line;
    }
}

TEST(LoaderImageText, LongLinesAreReadInPiecesAndBigImagesRefused) {
    // A line longer than 255 characters is scanned in pieces, as a line reader of that size
    // hands it out: the value cut at the boundary keeps one digit and the rest is lost.
    const std::string longLine = std::string(251, ' ') + " 0x11, 0x22,\n";
    EXPECT_EQ(loaderimage::ParseImageText(longLine, 100, "x").bytes, (Bytes{0x01}));

    const std::string text = " 0x01, 0x02, 0x03,\n 0x04,\n";
    EXPECT_EQ(loaderimage::ParseImageText(text, 4, "x").bytes, (Bytes{1, 2, 3, 4}));
    const loaderimage::LoaderImage refused =
        loaderimage::ParseImageText(text, 3, "Loader image file big.txt");
    EXPECT_TRUE(refused.bytes.empty());
    EXPECT_EQ(refused.problem, "Loader image file big.txt holds more than 3 bytes and was refused");
    EXPECT_EQ(loaderimage::ParseImageText(std::string(" 0x01,\0 0x02,\n 0x03,", 20), 10, "x").bytes,
              (Bytes{1, 3}))
        << "nothing after a NUL byte on its line";
}

TEST(LoaderImageText, FilesGoodMissingAndTooBig) {
    QTemporaryDir dir;
    const std::string good = dir.filePath("good.txt").toStdString();
    {
        std::ofstream out(good);
        out << "// first stage\n 0x16, 0x55, 0xAA,\n\n 0x02, 0x01,\r\n";
    }
    const loaderimage::LoaderImage image = loaderimage::ReadImageFile(good, 276480);
    EXPECT_EQ(image.bytes, (Bytes{0x16, 0x55, 0xAA, 0x02, 0x01}));
    EXPECT_TRUE(image.problem.empty());

    const loaderimage::LoaderImage small = loaderimage::ReadImageFile(good, 4);
    EXPECT_TRUE(small.bytes.empty());
    EXPECT_EQ(small.problem, "Loader image file " + good + " holds more than 4 bytes and was refused");

    const std::string missing = dir.filePath("missing.txt").toStdString();
    const loaderimage::LoaderImage none = loaderimage::ReadImageFile(missing, 100);
    EXPECT_TRUE(none.bytes.empty()) << "a file that cannot be opened gives an empty image";
    EXPECT_EQ(none.problem, "Unable to open loader image file " + missing);
    testsupport::MakeUnreadable(missing);
    EXPECT_EQ(loaderimage::ReadImageFile(missing, 100).problem,
              "Unable to read loader image file " + missing);

    const std::string empty = dir.filePath("empty.txt").toStdString();
    std::ofstream(empty).close();
    const loaderimage::LoaderImage nothing = loaderimage::ReadImageFile(empty, 100);
    EXPECT_TRUE(nothing.bytes.empty());
    EXPECT_EQ(CheckImage(nothing.bytes), "The loader image is empty");
}

TEST(BuiltInImages, EveryImageIsAValidRecordStreamWithItsStagesWakeByte) {
    const char *firstStage[] = {"SSL_ARM",     "SSL_ZVX",      "SSL_H8Q5",   "SSL_J3U6C",  "SSL_MOLVEK",
                                "SSL_BEXNOR",  "SSL_U6CD",     "SSL_Q8TLVP", "SSL_Q8BXN",  "SSL_ZJ7",
                                "SSL_VOKTLRM", "SSL_VARNHOLT", "SSL_P3NW",   "SSL_FALDER", "MORVANTI",
                                "SSL_KTR567",  "SSL_KTR521",   "SSL_GARVO9"};
    for (const char *name : firstStage) {
        const loaderimage::LoaderImage image = builtinimages::Load(name);
        EXPECT_TRUE(image.problem.empty()) << name << ": " << image.problem;
        EXPECT_EQ(CheckImage(image.bytes), "") << name;
        ASSERT_FALSE(image.bytes.empty()) << name;
        EXPECT_EQ(image.bytes[0], FirstStageWakeByte) << name;
    }
    const loaderimage::LoaderImage stage0 = builtinimages::Load("FSL_GARVO9");
    EXPECT_EQ(CheckImage(stage0.bytes), "");
    ASSERT_FALSE(stage0.bytes.empty());
    EXPECT_EQ(stage0.bytes[0], Stage0WakeByte);

    const loaderimage::LoaderImage none = builtinimages::Load("NO_SUCH_IMAGE");
    EXPECT_TRUE(none.bytes.empty());
    EXPECT_EQ(none.problem, "Built-in loader image NO_SUCH_IMAGE is missing");
}
