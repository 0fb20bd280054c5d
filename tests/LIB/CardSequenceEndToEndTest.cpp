// The facade end to end over a real pseudo-terminal: EstablishLink brings the card stand-in up
// through its first stage to its second-stage loader, then ProgramFile programs a file into it.
// Afterwards the stand-in's memory must hold the file's data and its erase the file's range.
#include "CardStandInFixture.h"

using namespace cardtest;

namespace {
class CardSequence : public CardTest {};
} // namespace

TEST_F(CardSequence, ApplicationFileIsErasedOverItsRangeAndProgrammed) {
    Start(OneCard("KTR557"));
    const std::string file = Firmware("S0~P~KTR557\nS0~T~APP\nS0~V~7.01\n", 0x00400000);
    ASSERT_EQ(LinkAndProgram(file), 1) << Last();
    EXPECT_TRUE(card->SignedOn());
    const auto [low, high] = Range(file);
    ExpectErase(0, 4, low, high);
    // The ZJ7 loader has the card place an application where its file says.
    EXPECT_EQ(CardMemory(0), FileData(file, 0));
    for (const std::string &line :
         {"Using file: " + loader->GetFilename(), std::string("Download Complete"), std::string("Done.")})
        EXPECT_TRUE(Logged(line)) << line;
    EXPECT_FALSE(seen.progress.empty());
    Finish();
}

TEST_F(CardSequence, BootFileKeepsTheIdentityAndWritesItBackInOrder) {
    Start(OneCard("KTR567"));
    {
        auto hold = card->SecondStage().Lock();
        auto &d = card->SecondStage().devices;
        d[0].psn = "\t PSN-4711\r\n";
        d[0].osn = "OSN-9";
        d[0].hwVersion = "HW 2.0";
        d[0].esnModifier = "MOD-7";
        d[0].hwPlatformType = "TYPE-Q";
        d[0].hwCapabilities = {5, 0, 0x11, 0x22, 0x33};
        d[1].mac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
        d[2].mac = {0xFF, 0, 0, 0, 0, 0}; // no third MAC: nothing to write back
    }
    const std::string file = Firmware("S0~P~KTR567\nS0~T~BOOT\n", 0x00010000);
    ASSERT_EQ(LinkAndProgram(file), 1) << Last();
    ExpectErase(0, 1, 0, 0);
    // Boot code lands relative to the file's lowest address.
    EXPECT_EQ(CardMemory(0), FileData(file, Range(file).first));
    // Read before the erase: OSN, PSN, HW version, modifier, platform type, three MACs, capabilities;
    // written after the programming: PSN, modifier, platform type, OSN, HW version, capabilities, MACs.
    EXPECT_EQ(Codes({32, 7, 9, 54, 60, 70, 36, 22}),
              (std::vector<int>{32, 7, 9, 54, 60, 70, 70, 70, 36, 22}));
    EXPECT_EQ(Codes({18, 53, 59, 34, 35, 37, 69}), (std::vector<int>{18, 53, 59, 34, 35, 37, 69, 69}));
    {
        auto hold = card->SecondStage().Lock();
        const auto &d = card->SecondStage().devices;
        EXPECT_EQ(d[0].psn, "PSN-4711") << "written back without its blanks, tabs and line ends";
        EXPECT_EQ(d[0].osn, "OSN-9");
        EXPECT_EQ(d[0].hwVersion, "HW 2.0");
        EXPECT_EQ(d[0].esnModifier, "MOD-7");
        EXPECT_EQ(d[0].hwPlatformType, "TYPE-Q");
        EXPECT_EQ(d[0].hwCapabilities, (std::vector<std::uint8_t>{5, 0, 0x11, 0x22, 0x33}));
        EXPECT_EQ(d[1].mac, (std::array<std::uint8_t, 6>{0x02, 0x11, 0x22, 0x33, 0x44, 0x55}));
    }
    Finish();
}

TEST_F(CardSequence, BootFileEdgeCases) {
    // A blank OSN is not written back.
    Start(OneCard("KTR557"));
    {
        auto hold = card->SecondStage().Lock();
        card->SecondStage().devices[0].osn = " \t\r\n ";
    }
    const std::string file = Firmware("S0~P~KTR557\nS0~T~BOOT\n", 0x00010000);
    ASSERT_EQ(LinkAndProgram(file), 1) << Last();
    EXPECT_EQ(Codes({34}), std::vector<int>{});
    EXPECT_EQ(CardMemory(0), FileData(file, Range(file).first));
    Finish();
    TearDown();

    // Protected boot code: nothing erased or programmed, no "Done.".
    Start(OneCard("KTR557"));
    {
        auto hold = card->SecondStage().Lock();
        card->SecondStage().devices[0].bootCodeType = 3;
    }
    EXPECT_EQ(LinkAndProgram(file), 0);
    EXPECT_TRUE(Logged("Protected - Unable to proceed."));
    EXPECT_FALSE(Logged("Done."));
    EXPECT_TRUE(Erases().empty());
    EXPECT_TRUE(CardMemory(0).empty());
    Finish();
}

TEST_F(CardSequence, NvmAndDataBlockFiles) {
    Start(OneCard("KTR557"));
    const std::string nvm = Firmware("S0~P~KTR557\nS0~T~NVM\n", 0x00200000);
    ASSERT_EQ(LinkAndProgram(nvm), 1) << Last();
    ExpectErase(0, 3, 0, 0);
    EXPECT_EQ(CardMemory(0), FileData(nvm, Range(nvm).first));
    Finish();
    TearDown();

    // ProcessCard: the link and the programming in one call.
    Start(OneCard("KTR557"));
    const std::string data = Firmware("S0~P~KTR557\nS0~T~DATA3\n", 0x00300000);
    ASSERT_EQ(loader->ProcessCard(Write(data).c_str()), 1) << Last();
    const auto [low, high] = Range(data);
    ExpectErase(0, 5, low, high, 3);
    EXPECT_EQ(CardMemory(0), FileData(data, low));
    {
        auto hold = card->SecondStage().Lock();
        for (const auto &r : card->SecondStage().requests)
            if (r.payload[0] == 30) {
                EXPECT_EQ(r.payload[2], 5) << "data block mode";
                EXPECT_EQ(r.payload[3], 3) << "block number";
            }
    }
    Finish();
}

TEST_F(CardSequence, FpgaAndCpldImagesGoToDeviceOne) {
    Start(OneCard("KTR567"));
    const std::string fpga = Firmware("S0~P~KTR567\nS0~T~FPGA\n", 0x00800000);
    ASSERT_EQ(LinkAndProgram(fpga), 1) << Last();
    const auto [low, high] = Range(fpga);
    ExpectErase(1, 4, low, high);
    EXPECT_EQ(CardMemory(1), FileData(fpga, low));
    EXPECT_TRUE(CardMemory(0).empty());
    EXPECT_TRUE(Logged("Detected FPGA load, erasing FPGA..."));
    EXPECT_TRUE(Logged("Programming FPGA..."));
    Finish();
    TearDown();

    Start(OneCard("KTR933"));
    const std::string cpld = Firmware("S0~P~KTR933\nS0~T~FPGA\n", 0x00800000);
    ASSERT_EQ(LinkAndProgram(cpld), 1) << Last();
    ExpectErase(1, 4, Range(cpld).first, Range(cpld).second);
    // A KTR9 card takes every address as the file gives it.
    EXPECT_EQ(CardMemory(1), FileData(cpld, 0));
    EXPECT_TRUE(Logged("Detected CPLD load, erasing CPLD..."));
    EXPECT_TRUE(Logged("Programming CPLD..."));
    Finish();
}

TEST_F(CardSequence, Zqx5ApplicationEndsWithItsEntryPoint) {
    Start(OneCard("zqx5", false));
    const std::string file = Firmware("S0~P~zqx5\nS0~T~APP\n", 0x00020000, '9');
    ASSERT_EQ(LinkAndProgram(file), 1) << Last();
    ExpectErase(0, 2, 0, 0);
    EXPECT_EQ(CardMemory(0), FileData(file, 0));
    EXPECT_EQ(Codes({21, 17}).back(), 17);
    {
        auto hold = card->SecondStage().Lock();
        EXPECT_EQ(card->SecondStage().entryAddress, 0x00020100u);
    }
    Finish();
}

TEST_F(CardSequence, Zqx5BootKeepsThePsnOfDevicesZeroAndTwo) {
    Start(OneCard("zqx5", false));
    {
        auto hold = card->SecondStage().Lock();
        card->SecondStage().devices[0].psn = "ZQ-0";
        card->SecondStage().devices[2].psn = "ZQ-2";
    }
    const std::string file = Firmware("S0~P~zqx5\nS0~T~BOOT\n", 0x00000000);
    ASSERT_EQ(LinkAndProgram(file), 1) << Last();
    ExpectErase(0, 1, 0, 0);
    EXPECT_EQ(CardMemory(0), FileData(file, 0));
    EXPECT_EQ(Codes({7, 22, 18}), (std::vector<int>{7, 7, 22, 18, 18}));
    {
        auto hold = card->SecondStage().Lock();
        std::vector<std::string> written;
        for (const auto &r : card->SecondStage().requests)
            if (r.payload[0] == 18)
                written.push_back(std::to_string(r.payload[1]) + ":" + r.payload.substr(2));
        EXPECT_EQ(written, (std::vector<std::string>{"0:ZQ-0" + std::string(1, '\0'),
                                                     "2:ZQ-2" + std::string(1, '\0')}));
    }
    EXPECT_EQ(loader->GetDeviceID(), 0);
    Finish();
}

TEST_F(CardSequence, Zqx5PicImageGoesToDeviceThreeAndWaitsForTheMarker) {
    Start(OneCard("zqx5", false));
    const std::string file = Firmware("S0~P~zqx5\nS0~T~PIC\n", 0x00001000);
    ASSERT_EQ(LinkAndProgram(file), 1) << Last();
    ExpectErase(3, 2, 0, 0);
    EXPECT_EQ(CardMemory(3), FileData(file, 0));
    EXPECT_TRUE(CardMemory(0).empty()) << "nothing of the PIC image in the main device";
    EXPECT_EQ(Codes({21, 28}).back(), 28);
    EXPECT_TRUE(Logged("Flash write 100% completed."));
    Finish();
}

TEST_F(CardSequence, ProgrammingSurvivesFaultsOnTheLine) {
    Start(OneCard("KTR557"));
    auto &model = card->SecondStage();
    model.QueueFault(Fault::CorruptCRC, 30);
    model.QueueFault(Fault::BufferFull, 30);
    model.QueueFault(Fault::NAK, 30);
    model.QueueFault(Fault::DropReply, 30);
    model.QueueFault(Fault::NAK, 22);
    model.SetRandomFaults(0.05);
    const std::string file = Firmware("S0~P~KTR557\nS0~T~APP\n", 0x00400000);
    ASSERT_EQ(LinkAndProgram(file), 1) << Last();
    EXPECT_EQ(CardMemory(0), FileData(file, 0));
    EXPECT_GE(Count("Bad ACK CRC. Retrying..."), 1);
    EXPECT_GE(Count("Buffer full - waiting..."), 1);
    EXPECT_GE(Count("Timeout on state: 13"), 2) << "the corrupted and the dropped acknowledgement";
    EXPECT_TRUE(Logged("Done."));
    EXPECT_FALSE(loader->IsAborted());
    Finish();
}
