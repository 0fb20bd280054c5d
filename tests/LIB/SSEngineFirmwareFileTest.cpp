#include "SecondStageFixture.h"

#include "FileFaults.h"

using namespace secondstage;

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string p;
    for (int b : bytes)
        p += static_cast<char>(b);
    return p;
}

} // namespace

class FirmwareFile : public SecondStage {
protected:
    int Read(const std::string &text, const std::string &name = "f.hex") {
        loader->fileName = WriteFile(name, text);
        return ss->ReadFileProperties();
    }
    std::string Payload() const {
        return std::string(reinterpret_cast<const char *>(ss->TxPayload.data()),
                           static_cast<std::size_t>(ss->PayloadLength));
    }
};

// ---- Header records ----

TEST_F(FirmwareFile, PlatformListAndFirstEntry) {
    ASSERT_EQ(Read("S0~D~OLD\nS0~P~A,B,C\nS0~V~7.1\nS1030000FC\n"), 1);
    EXPECT_EQ(ss->GetValidSWPlatforms(), (std::vector<std::string>{"A", "B", "C"}))
        << "the P record drops the earlier D";
    EXPECT_STREQ(loader->GetIntendedPlatform(), "A");
    EXPECT_STREQ(loader->GetFilePlatform(), "A");
    EXPECT_STREQ(loader->GetDestinationPlatform(), "OLD");
    EXPECT_STREQ(loader->GetFileSWVersion(), "7.1");
    EXPECT_STREQ(loader->GetFileApplicationType(), "APP");

    ASSERT_EQ(Read("S0~P~X\nS0~D~Y\nS0~D~Z\n"), 1);
    EXPECT_EQ(ss->GetValidSWPlatforms(), (std::vector<std::string>{"X", "Y", "Z"}));
    EXPECT_STREQ(loader->GetDestinationPlatform(), "Z") << "the last D wins";
}

TEST_F(FirmwareFile, FilesWithoutPlatformRecordsAreRefused) {
    EXPECT_EQ(Read("S1030000FC\nS0~P~A\n"), 0) << "the header must come first";
    EXPECT_EQ(Count("Invalid Hex File - Unable to proceed"), 1);
    EXPECT_EQ(Read("S0~T~APP\nS0~V~1\n"), 0);
    EXPECT_EQ(Read(""), 0);
    loader->fileName = dir.filePath("none.hex").toStdString();
    EXPECT_EQ(ss->ReadFileProperties(), 0);
    EXPECT_EQ(Count("Unable to open file"), 1);
    testsupport::MakeUnreadable(loader->fileName);
    EXPECT_EQ(ss->ReadFileProperties(), 0);
    EXPECT_EQ(Count("Cannot read file " + loader->fileName), 1)
        << "a read error is not the end of the header";
}

TEST_F(FirmwareFile, ApplicationTypes) {
    struct Case {
        const char *value;
        int device;
        const char *message;
    };
    for (const Case &c :
         {Case{"APP", 0, nullptr}, Case{"app", 0, nullptr}, Case{"NVM", 0, nullptr},
          Case{"DATA3", 0, nullptr}, Case{"BOOT", 0, nullptr}, Case{"BootDB", 0, nullptr},
          Case{"pic", 3, "Found PIC Software File."}, Case{"FPGA", 1, "Found FPGA Software File."},
          Case{"CPLD", 7, "Unknown Application Type."}}) {
        seen.messages.clear();
        ss->DeviceID = 7;
        ASSERT_EQ(Read(std::string("S0~P~A\nS0~T~") + c.value + "\n"), 1) << c.value;
        EXPECT_STREQ(loader->GetFileApplicationType(), c.value) << "stored as written";
        EXPECT_EQ(ss->DeviceID, c.device) << c.value;
        if (c.message) {
            EXPECT_EQ(Count(c.message), 1) << c.value;
        }
    }
}

TEST_F(FirmwareFile, ValuesThatDoNotScanAndOtherLetters) {
    ASSERT_EQ(Read("S0~P~A\nS0~T~\nS0~V~ \nS0~D~\nS0~I~x\nS0~A~whatever\nS0~Q~1\nS0~P\n"), 1);
    EXPECT_EQ(Count("Unknown Application Type."), 1);
    EXPECT_EQ(Count("Unknown Software Version."), 1);
    EXPECT_EQ(Count("Unknown Destination Software Platform."), 1);
    EXPECT_EQ(Count("Unsupported property (Q)."), 1);
    EXPECT_EQ(Count("Unknown Intended Platform."), 1) << "S0~P without its second '~'";
    EXPECT_EQ(seen.messages.size(), 5u) << "A and an I that does not scan say nothing";
}

TEST_F(FirmwareFile, FirstStageDeviceIDGoesToTheFirstStage) {
    ASSERT_EQ(Read("S0~I~5\nS0~P~A\n"), 1);
    EXPECT_EQ(Count("Setting First Stage Device ID to 5"), 1);
    EXPECT_EQ(Count("Setting First Stage Target ID to: 5"), 1);
    EXPECT_EQ(Read("S0~P~A\nS0~I~257\n"), 0) << "no device behind the link has that ID";
    EXPECT_EQ(Count("First Stage Device ID 257 is out of range (0 to 14) - Unable to proceed"), 1);
    EXPECT_EQ(Count("Setting First Stage Target ID to: 257"), 0);
}

TEST_F(FirmwareFile, DefaultsComeBackWithEveryRead) {
    ASSERT_EQ(Read("S0~P~A\nS0~T~NVM\nS0~V~2\nS0~D~Q\n"), 1);
    ASSERT_EQ(Read("S0~P~B\n"), 1);
    EXPECT_STREQ(loader->GetFileApplicationType(), "APP");
    EXPECT_STREQ(loader->GetFileSWVersion(), "DEV-LOAD");
    EXPECT_STREQ(loader->GetDestinationPlatform(), "");
    EXPECT_EQ(Read("S0~T~NVM\n"), 0);
    EXPECT_STREQ(loader->GetFilePlatform(), "") << "cleared even when the file is refused";
    EXPECT_STREQ(loader->GetIntendedPlatform(), "B") << "kept";
}

TEST_F(FirmwareFile, ValuesEndAtABlankOrTheirWidth) {
    ASSERT_EQ(Read("S0~P~KTR557 trailing words\r\nS0~V~" + std::string(70, 'v') + "\r\n"), 1);
    EXPECT_STREQ(loader->GetFilePlatform(), "KTR557") << "no CR from a CR LF file";
    EXPECT_EQ(std::string(loader->GetFileSWVersion()), std::string(64, 'v'));
}

TEST_F(FirmwareFile, SignedFilesByName) {
    for (auto [name, signedFile] :
         {std::pair{"a.shex", true}, std::pair{"b.SHEX", true}, std::pair{"c.ShEx", true},
          std::pair{"d.hex", false}, std::pair{"shex", false}}) {
        Read("S0~P~A\n", name);
        EXPECT_EQ(loader->IsSignedHexFile(), signedFile) << name;
    }
}

TEST_F(FirmwareFile, SetFileNameThroughTheFacade) {
    const std::string good = WriteFile("g.hex", "S0~P~A\n");
    EXPECT_TRUE(loader->SetFileName(good.c_str()));
    const std::string missing = dir.filePath("m.hex").toStdString();
    EXPECT_FALSE(loader->SetFileName(missing.c_str()));
    EXPECT_EQ(loader->GetFilename(), "") << "a refused file is not kept to be programmed later";
}

// ---- S-record lines ----

TEST_F(FirmwareFile, DataLinesBuildAPayload) {
    EXPECT_EQ(ss->ParseSRecord("S1050010AABB85"), 1);
    EXPECT_EQ(Payload(), Bytes({30, 0, 4, 0, 0, 0, 0, 0x10, 0, 2, 0xAA, 0xBB}));
    EXPECT_EQ(ss->ParseSRecord("S1050012CCDD3F"), 1) << "the next address goes on";
    EXPECT_EQ(Payload().substr(8), Bytes({0, 4, 0xAA, 0xBB, 0xCC, 0xDD}));
    EXPECT_EQ(ss->ParseSRecord("S0~P~A"), 1);
    EXPECT_EQ(ss->ParseSRecord("S5030002FA"), 1);
    EXPECT_EQ(ss->ParseSRecord(""), 1);
    EXPECT_EQ(ss->PayloadLength, 14) << "other records change nothing";
}

TEST_F(FirmwareFile, BadLinesGiveZeroAndTheRangeScanFindsThemFirst) {
    // The scan before the erase refuses exactly the lines the programming would stop at.
    const std::string head = "S0~P~A\n" + DataLines(0x1000, 64, 32) + "\n* a comment\nS5030002FA\n";
    std::uint32_t low = 0, high = 0;
    loader->fileName = WriteFile("good.hex", head + "S70500000000FA\n");
    ss->OpenFile();
    EXPECT_EQ(ss->ScanAddressRange(low, high), 0) << "other records, blank lines and comments pass";

    ASSERT_EQ(ss->ParseSRecord("S1050010AABB85"), 1);
    const std::string before = Payload();
    struct Case {
        const char *name;
        std::string line;
    };
    for (const Case &c :
         {Case{"checksum", "S1050012CCDD3E"}, Case{"count below the overhead", "S1020012EB"},
          Case{"line shorter than its count", "S1050012CCDD"}, Case{"bad hex digit", "S1050012CCDG3F"},
          Case{"address cut short", "S10500"}, Case{"count not hex", "S1ZZ0012"},
          Case{"S9 without its fields", "S9"}, Case{"S9 count of 9", "S909000000000000000000F6"},
          Case{"longer than a line buffer", SRecord('1', 0, {1}) + std::string(300, '0')}}) {
        if (c.line.size() < SSEngine::LineBufferSize) {
            EXPECT_EQ(ss->ParseSRecord(c.line.c_str()), 0) << c.name;
            EXPECT_EQ(Payload(), before) << c.name;
        }
        loader->fileName = WriteFile("bad.hex", head + c.line + "\n" + DataLines(0x2000, 32, 32));
        ss->OpenFile();
        EXPECT_EQ(ss->ScanAddressRange(low, high), 7) << c.name;
    }
}

TEST_F(FirmwareFile, AnAddressGapClosesThePayloadAndHandsTheLineBack) {
    ASSERT_EQ(ss->ParseSRecord("S1050010AABB85"), 1);
    EXPECT_EQ(ss->ParseSRecord("S1050020CCDD31"), 2);
    EXPECT_EQ(Payload(), Bytes({30, 0, 4, 0, 0, 0, 0, 0x10, 0, 2, 0xAA, 0xBB}));
    EXPECT_EQ(ss->ParseSRecord("S1050020CCDD2E"), 2) << "a gap is found before the checksum is read";
    ss->NewPayload = true;
    EXPECT_EQ(ss->ParseSRecord("S1050020CCDD31"), 1);
    EXPECT_EQ(Payload().substr(4), Bytes({0, 0, 0, 0x20, 0, 2, 0xCC, 0xDD}));
}

TEST_F(FirmwareFile, EndRecordsAndTheEntryAddress) {
    ASSERT_EQ(ss->ParseSRecord("S1050010AABB85"), 1);
    EXPECT_EQ(ss->ParseSRecord("S9030123D9"), 1);
    EXPECT_EQ(ss->EntryAddress, 0x0123u) << "two address bytes, not the checksum with them";
    EXPECT_EQ(ss->ParseSRecord("S90500800000FF"), 1);
    EXPECT_EQ(ss->EntryAddress, 0x00800000u);
    EXPECT_EQ(ss->ParseSRecord("S70500000000FA"), 1);
}

TEST_F(FirmwareFile, PayloadIsFullAt3900Bytes) {
    int result = 1;
    int lines = 0;
    std::uint32_t address = 0;
    while (result == 1) {
        result = ss->ParseSRecord(SRecord('1', address, std::vector<std::uint8_t>(250, 0x5A)).c_str());
        address += 250;
        ++lines;
    }
    EXPECT_EQ(result, 3);
    EXPECT_EQ(lines, 16);
    EXPECT_EQ(ss->PayloadLength, 10 + 16 * 250) << "the last line may take it past the limit";
    // The worst case: 3899 bytes, then a line of the largest count.
    ss->NewPayload = true;
    for (int done = 0; done < 3889;) {
        const int n = std::min(200, 3889 - done);
        ASSERT_EQ(
            ss->ParseSRecord(
                SRecord('1', static_cast<std::uint32_t>(done), std::vector<std::uint8_t>(n, 1)).c_str()),
            1);
        done += n;
    }
    ASSERT_EQ(ss->PayloadLength, 3899);
    EXPECT_EQ(ss->ParseSRecord(SRecord('1', 3889, std::vector<std::uint8_t>(252, 2)).c_str()), 3);
    EXPECT_EQ(ss->PayloadLength, 3899 + 252);
}

TEST_F(FirmwareFile, ApplicationOffsetRule) {
    struct Case {
        const char *platform;
        int ignore;
        const char *type;
        bool adjusted;
    };
    for (const Case &c :
         {Case{"KTR557", 0, "APP", true}, Case{"P8TB", 0, "APP", false}, Case{"KTR933W", 0, "APP", false},
          Case{"GARVO9", 0, "BOOT", false}, Case{"KTR557", 1, "APP", false}, Case{"KTR557", 1, "app", true},
          Case{"KTR557", 1, "NVM", true}}) {
        ss->platform = c.platform;
        loader->IgnoreAppOffset = c.ignore;
        ss->SetFileApplicationType(c.type);
        ss->LowAddress = 0x1000;
        ss->NewPayload = true;
        ASSERT_EQ(ss->ParseSRecord(SRecord('3', 0x1010, {9}).c_str()), 1);
        EXPECT_EQ(Payload().substr(4, 4), c.adjusted ? Bytes({0, 0, 0, 0x10}) : Bytes({0, 0, 0x10, 0x10}))
            << c.platform << " " << c.ignore << " " << c.type;
    }
}

TEST_F(FirmwareFile, Zqx5PayloadHeader) {
    ss->LowAddress = 0x10;
    EXPECT_EQ(ss->ParseSRecordZqx("S1050010AABB85"), 1);
    EXPECT_EQ(Payload(), Bytes({21, 0, 0, 0, 0, 0x10, 0, 2, 0xAA, 0xBB})) << "no offset, 8-byte header";
    EXPECT_EQ(ss->ParseSRecordZqx("S1050020CCDD2F"), 2);
}

// ---- Range and blocks ----

TEST_F(FirmwareFile, AddressRange) {
    loader->fileName =
        WriteFile("r.hex", "S0~P~A\n" + DataLines(0x1000, 0x100, 32) + DataLines(0x2000, 0x10, 16) +
                               SRecord('1', 0x9000, {1}) + "\nS70500000000FA\n");
    ss->OpenFile();
    std::uint32_t low = 1, high = 1;
    ss->ScanAddressRange(low, high);
    EXPECT_EQ(low, 0x1000u);
    EXPECT_EQ(high, 0x2010u);

    // A line of 123 data bytes is longer than a line buffer; its head still counts.
    loader->fileName =
        WriteFile("long.hex", DataLines(0x1000, 16, 16) +
                                  SRecord('3', 0x800, std::vector<std::uint8_t>(123, 0x5A)) + "\n");
    ss->OpenFile();
    ss->ScanAddressRange(low, high);
    EXPECT_EQ(low, 0x800u);
    EXPECT_EQ(high, 0x1010u);

    loader->fileName = WriteFile("s1.hex", "S0~P~A\n" + SRecord('1', 0x100, {1, 2}) + "\n");
    ss->OpenFile();
    ss->ScanAddressRange(low, high);
    EXPECT_EQ(low, 0u) << "no S3 lines: no range";
    EXPECT_EQ(high, 0u);

    ss->CloseFile();
    low = high = 5;
    ss->ScanAddressRange(low, high);
    EXPECT_EQ(low, 0u);
    EXPECT_EQ(high, 0u);
}

TEST_F(FirmwareFile, OverlongLinesAreBadLines) {
    loader->fileName = WriteFile("l.hex", SRecord('1', 0, {1}) + std::string(300, '0') + "\n");
    ss->OpenFile();
    ss->EngineState = 12;
    EXPECT_EQ(Tick(), STAGE_FAILED);
    EXPECT_EQ(Count("Abort download...BAD checksum in hex file"), 1);
}

TEST_F(FirmwareFile, OpeningAnotherFileReadsOnlyTheNewest) {
    loader->fileName = WriteFile("one.hex", SRecord('1', 0x10, {1}) + "\n");
    ss->OpenFile();
    loader->fileName = WriteFile("two.hex", SRecord('1', 0x20, {2}) + "\n");
    ss->OpenFile();
    ss->EngineState = 12;
    Tick();
    EXPECT_EQ(Payload().substr(4), Bytes({0, 0, 0, 0x20, 0, 1, 2}));
    loader->fileName = dir.filePath("gone.hex").toStdString();
    ss->OpenFile();
    EXPECT_EQ(ss->GetFileBlocks(), 0) << "a failed open leaves no file";
}
