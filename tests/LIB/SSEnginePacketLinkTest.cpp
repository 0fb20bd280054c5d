#include "CRC32.h"
#include "SecondStageFixture.h"
#include "TpclMyCommStats.h"

#include <functional>

using namespace secondstage;
using testsupport::CardFrame;
using testsupport::HexBytes;
using testsupport::LoaderFrame;
using testsupport::ToHex;

namespace {

const std::string ack1 = std::string(1, '\x01');

std::string Text(const std::string &t) {
    return t + std::string(1, '\0');
}

std::string Payload(std::initializer_list<int> bytes, const std::string &tail = {}) {
    std::string p;
    for (int b : bytes)
        p += static_cast<char>(b);
    return p + tail;
}

} // namespace

TEST(CRC32, CheckValues) {
    const std::string nine = "123456789";
    const CRC32 crc;
    EXPECT_EQ(crc.Update(9, 0xFFFFFFFFu, reinterpret_cast<const std::uint8_t *>(nine.data())), 0x340BC6D9u);
    EXPECT_EQ(crc.Update(0, 0xFFFFFFFFu, nullptr), 0xFFFFFFFFu) << "nothing to add";
    // Running it in two pieces gives the same as in one.
    const auto *p = reinterpret_cast<const std::uint8_t *>(nine.data());
    EXPECT_EQ(crc.Update(5, crc.Update(4, 0xFFFFFFFFu, p), p + 4), 0x340BC6D9u);
}

// ---- Frames the engine sends ----

TEST_F(SecondStage, AckFrameForACardFrameWithSequenceFive) {
    FromCard(0x80, 5, Payload({8, 0}, Text("1234")));
    EXPECT_EQ(ToHex(Sent()), "3C C3 01 00 01 00 05 01 CC DA 93 A1");
}

TEST_F(SecondStage, SSLPVersionRequestCarriesTheLastCardSequence) {
    Ack(5);
    EXPECT_EQ(Begin(0), STAGE_AGAIN);
    EXPECT_EQ(ToHex(Sent()), "3C C3 80 00 01 00 05 0B F9 E3 BD C2");
    EXPECT_EQ(ss->EngineState, 1);
    EXPECT_EQ(loader->GetCommStats().GetPacketsSent(), 1);
}

TEST_F(SecondStage, SetMarkerFramesCountTheirOwnSequence) {
    Ack(40);
    Begin(31, 5);
    EXPECT_EQ(Sent(), LoaderFrame(0x81, 1, Payload({28, 0}))) << "address 0x81 whatever the card ID";
    Ack(41);
    Tick();
    Begin(31);
    EXPECT_EQ(Sent(), LoaderFrame(0x81, 2, Payload({28, 0})));
    BufferFull(42);
    EXPECT_EQ(ss->TxSequence, 2) << "the refused frame's number is used again";
    Begin(31);
    EXPECT_EQ(Sent(), LoaderFrame(0x81, 2, Payload({28, 0})));
}

// ---- Sign-on ----

TEST_F(SecondStage, SignOnMatcher) {
    struct Case {
        const char *input;
        bool started;
    };
    for (const Case &c : {Case{"xxSSERxxLxxOAD2", true}, Case{"SEXSERLOAD2", true}, Case{"SXERLOAD2", false},
                          Case{"SERLOAD", false}, Case{"serload2", false}, Case{"SSSSERLOAD2", true}}) {
        ss->Start();
        const std::string in = c.input;
        ss->Receive(reinterpret_cast<const std::uint8_t *>(in.data()), static_cast<int>(in.size()));
        EXPECT_EQ(ss->IsStarted(), c.started) << c.input;
        EXPECT_EQ(ss->RxState, c.started ? 0 : ss->RxState) << c.input;
    }
}

TEST_F(SecondStage, SignOnDebugLinesAndFramesAfterIt) {
    ss->WaitSecondStageStart(true);
    EXPECT_EQ(ss->RxState, 9);
    Debug();
    Feed("xSERLOAD2");
    EXPECT_EQ(Count("RX_SERLOAD_1: x 0x(78)"), 1);
    EXPECT_EQ(Count("RX_SERLOAD_1 - Skipping Unexpected Character... : x 0x(78)"), 1);
    EXPECT_EQ(Count("RX_SERLOAD_8: 2 0x(32)"), 1);
    EXPECT_EQ(Count("Found SERLOAD2"), 1);
    Ack();
    EXPECT_TRUE(ss->AckReceived) << "card frames are read once signed on";
}

// ---- Card frame parser ----

TEST_F(SecondStage, ParserResynchronisesOnlyBeforeTheHeader) {
    struct Case {
        std::string name;
        std::string bytes;
        bool acked;
    };
    const std::string good = CardFrame(0x00, 3, ack1);
    const Case cases[] = {
        {"good frame", good, true},
        {"second 5A starts the frame", std::string("\x5A", 1) + good, true},
        {"5A 00 is dropped", HexBytes("5A 00") + good, true},
        {"noise before", HexBytes("00 11 C3 A5 FF 3C") + good, true},
        {"split into single bytes", good, true},
        {"bad CRC", CardFrame(0x00, 3, ack1, true), false},
        {"truncated frame swallows what follows", good.substr(0, 9), false},
    };
    for (const Case &c : cases) {
        ss->AckReceived = false;
        ss->RxState = 0;
        if (c.name == "split into single bytes") {
            for (char b : c.bytes)
                Feed(std::string(1, b));
        } else {
            Feed(c.bytes);
        }
        EXPECT_EQ(ss->AckReceived, c.acked) << c.name;
    }
}

TEST_F(SecondStage, BadCRCIsDroppedButCountedAndSequenceTaken) {
    FromCard(0x80, 77, Payload({8, 0}, Text("999")), true);
    EXPECT_EQ(Count("Bad ACK CRC. Retrying..."), 1);
    EXPECT_EQ(ss->LastRxSequence, 77);
    EXPECT_EQ(loader->GetCommStats().GetPacketsReceived(), 1);
    EXPECT_FALSE(ss->PSNReceived);
    EXPECT_EQ(ss->DeviceDetails[0].PSN, "0");
    EXPECT_TRUE(Sent().empty()) << "no NAK, no ACK";
    EXPECT_EQ(ss->RxState, 0);
}

TEST_F(SecondStage, OversizedAndEmptyFramesNeverOverrunTheBuffer) {
    // 4001 payload bytes fill the receive buffer exactly and are read.
    std::string big = Payload({14, 0, 0}) + std::string(3997, 'a') + std::string(1, '\0');
    ASSERT_EQ(big.size(), 4001u);
    FromCard(0x80, 1, big);
    EXPECT_EQ(seen.messages.back(), std::string(3997, 'a'));

    // One byte more is abandoned at its length field; the frame behind it is read.
    std::string header = HexBytes("5A A5 80 0F A2");
    Feed(header);
    EXPECT_EQ(ss->RxState, 0);
    Ack(9);
    EXPECT_TRUE(ss->AckReceived);

    // An empty frame is read to its CRC and dropped; its CRC bytes are not taken for a frame.
    ss->AckReceived = false;
    const int before = loader->GetCommStats().GetPacketsReceived();
    Feed(CardFrame(0x00, 10, ""));
    EXPECT_EQ(loader->GetCommStats().GetPacketsReceived(), before + 1);
    EXPECT_FALSE(ss->AckReceived);
    EXPECT_EQ(ss->LastRxSequence, 10);
    Ack(11);
    EXPECT_TRUE(ss->AckReceived);
}

// ---- Replies ----

struct ReplyCase {
    const char *name;
    std::string payload;
    bool SSEngine::*flag;
    std::function<void(SSEngine &)> check;
};

TEST_F(SecondStage, EachDataReplyStoresItsValueSetsItsFlagAndIsAcknowledged) {
    const ReplyCase cases[] = {
        {"reset", Payload({2, 0}), &SSEngine::ResetDone, nullptr},
        {"ESN under the current device", Payload({6, 4}, Text("E-44")), &SSEngine::ESNReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[4].ESN, "E-44"); }},
        {"PSN of device d", Payload({8, 2}, Text("P-2")), &SSEngine::PSNReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[2].PSN, "P-2"); }},
        {"SSLP version from byte 1", Payload({12}, Text("SSLP 2.1")), &SSEngine::SSLPVersionReceived,
         [](SSEngine &s) { EXPECT_EQ(s.SSLPVersion, "SSLP 2.1"); }},
        {"boot code type", Payload({27, 0, 2}), &SSEngine::BootCodeTypeReceived,
         [](SSEngine &s) { EXPECT_EQ(s.BootCodeType, 2); }},
        {"number of cards", Payload({46, 3, 4}), &SSEngine::NumberOfCardsReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[3].NumberOfCards, 4); }},
        {"HW platform type", Payload({61, 14}, Text("T")), &SSEngine::HWPlatformTypeReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[14].HWPlatformType, "T"); }},
        {"app version of the current device under device 0", Payload({64, 4}, Text("A 1.0")),
         &SSEngine::CardAppVersionReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[0].CardAppVersions[4], "A 1.0"); }},
        {"app version naming no device of the table", Payload({64, 200}, Text("A 2.0")),
         &SSEngine::CardAppVersionReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[0].CardAppVersions[4], "A 2.0"); }},
        {"ESN naming no device of the table goes to the current device", Payload({6, 99}, Text("E-4")),
         &SSEngine::ESNReceived, [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[4].ESN, "E-4"); }},
        {"HW version whatever device it names", Payload({10, 77}, Text("HW 3")), &SSEngine::HWVersionReceived,
         [](SSEngine &s) { EXPECT_EQ(s.CardHWVersion, "HW 3"); }},
        {"MAC", Payload({71, 0, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), &SSEngine::MACReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[0].MACText, "00-1A-2B-3C-4D-5E"); }},
        {"MAC starting FF is empty", Payload({71, 0, 0xFF, 1, 2, 3, 4, 5}), &SSEngine::MACReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[0].MACText, ""); }},
        {"text without NUL ends at the payload", Payload({8, 0}, "ABC"), &SSEngine::PSNReceived,
         [](SSEngine &s) { EXPECT_EQ(s.DeviceDetails[0].PSN, "ABC"); }},
        {"capabilities size 1 keeps 2 bytes", Payload({38, 0, 1, 0, 9}), &SSEngine::HWCapabilitiesReceived,
         [](SSEngine &s) {
             EXPECT_EQ(s.DeviceDetails[0].HWCapabilities, (std::vector<std::uint8_t>{1, 0}));
         }},
        {"capabilities size 5", Payload({38, 0, 5, 0, 7, 8, 9, 1}), &SSEngine::HWCapabilitiesReceived,
         [](SSEngine &s) {
             EXPECT_EQ(s.DeviceDetails[0].HWCapabilities, (std::vector<std::uint8_t>{5, 0, 7, 8, 9}));
         }},
    };
    for (const ReplyCase &c : cases) {
        ss->Start();
        ss->RxState = 0;
        ss->DeviceID = 4;
        ss->*c.flag = false;
        Sent();
        FromCard(0x80, 21, c.payload);
        EXPECT_TRUE(ss->*c.flag) << c.name;
        if (c.check)
            c.check(*ss);
        EXPECT_EQ(Sent(), LoaderFrame(0x01, 21, ack1)) << c.name;
    }
}

TEST_F(SecondStage, RepliesThatAreNotAcknowledged) {
    FromCard(0x80, 2, Payload({14, 0, 0}, Text("card says hello")));
    EXPECT_EQ(Count("card says hello"), 1) << "card debug lines are always logged";
    Debug();
    FromCard(0x80, 3, Payload({29, 7}));
    EXPECT_TRUE(ss->MarkerFound[7]);
    EXPECT_EQ(Count("Marker Found"), 1);
    FromCard(0x80, 4, Payload({99, 0}));
    FromCard(0x00, 5, Payload({8, 0}, Text("data code in an ACK frame")));
    FromCard(0x80, 6, Payload({1}));
    EXPECT_FALSE(ss->AckReceived) << "an ACK code in a data frame is no ACK";
    EXPECT_EQ(ss->DeviceDetails[0].PSN, "0");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SecondStage, MalformedRepliesAreDroppedWithoutStoringOrFlagging) {
    const ReplyCase cases[] = {
        {"PSN for device 15", Payload({8, 15}, Text("x")), &SSEngine::PSNReceived, nullptr},
        {"PSN without device byte", Payload({8}), &SSEngine::PSNReceived, nullptr},
        {"boot code type without value", Payload({27, 0}), &SSEngine::BootCodeTypeReceived, nullptr},
        {"number of cards without value", Payload({46, 0}), &SSEngine::NumberOfCardsReceived, nullptr},
        {"MAC of five bytes", Payload({71, 0, 1, 2, 3, 4, 5}), &SSEngine::MACReceived, nullptr},
        {"capabilities without size", Payload({38, 0, 4}), &SSEngine::HWCapabilitiesReceived, nullptr},
        {"capabilities larger than the payload", Payload({38, 0, 9, 0, 1, 2}),
         &SSEngine::HWCapabilitiesReceived, nullptr},
        {"app version without device byte", Payload({64}), &SSEngine::CardAppVersionReceived, nullptr},
        {"ESN without device byte", Payload({6}), &SSEngine::ESNReceived, nullptr},
    };
    for (const ReplyCase &c : cases) {
        ss->*c.flag = false;
        FromCard(0x80, 8, c.payload);
        EXPECT_FALSE(ss->*c.flag) << c.name;
        EXPECT_TRUE(Sent().empty()) << c.name;
    }
    EXPECT_EQ(ss->DeviceDetails[0].MACText, "");
    EXPECT_TRUE(ss->DeviceDetails[0].HWCapabilities.empty());
    FromCard(0x80, 9, Payload({29, 255}));
    EXPECT_EQ(std::count(ss->MarkerFound.begin(), ss->MarkerFound.end(), true), 0);
    FromCard(0x80, 9, Payload({0, 1, 2}));
    EXPECT_FALSE(loader->IsAborted()) << "an error reply too short to read";
}

TEST_F(SecondStage, CapabilitiesBlockFollowsTheSizeOfTheLatestReply) {
    FromCard(0x80, 1, Payload({38, 2, 3, 0, 1}));
    EXPECT_EQ(ss->DeviceDetails[2].HWCapabilities, (std::vector<std::uint8_t>{3, 0, 1}));
    FromCard(0x80, 2, Payload({38, 2, 6, 0, 1, 2, 3, 4}));
    EXPECT_EQ(ss->DeviceDetails[2].HWCapabilities, (std::vector<std::uint8_t>{6, 0, 1, 2, 3, 4}));
    loader->debugLevel = 255;
    FromCard(0x80, 3, Payload({38, 2, 0xFF, 0x0F, 1, 2})); // announces 4095 bytes
    EXPECT_EQ(Count("Hmmm... blew a gasket!  HW_Capabilities too large"), 1);
    EXPECT_EQ(ss->DeviceDetails[2].HWCapabilities.size(), 6u) << "dropped";
    ss->FreeHWCapabilities();
    EXPECT_TRUE(ss->DeviceDetails[2].HWCapabilities.empty());
}

TEST_F(SecondStage, ErrorReplyAbortsTheRun) {
    ss->EngineState = 9;
    FromCard(0x80, 3, Payload({0, 0xEF, 0xBE, 0xAD, 0xDE}, Text("flash write failed")));
    EXPECT_EQ(Count("Error: Code deadbeef: flash write failed"), 1);
    EXPECT_TRUE(loader->IsAborted());
    EXPECT_EQ(ss->EngineState, SS_STATE_IDLE);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SecondStage, NoAckWhenTheOutputBufferIsNearlyFull) {
    port->outUsed = port->GetOutSize() - 13;
    FromCard(0x80, 4, Payload({8, 0}, Text("P")));
    EXPECT_TRUE(ss->PSNReceived);
    EXPECT_EQ(ss->DeviceDetails[0].PSN, "P");
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(ss->RxState, 0);
    port->outUsed = port->GetOutSize() - 14;
    FromCard(0x80, 5, Payload({8, 0}, Text("Q")));
    EXPECT_EQ(Sent(), LoaderFrame(0x01, 5, ack1));
}

// ---- Acknowledgements, buffer full and NAK ----

TEST_F(SecondStage, BufferFullResendsAfterAPauseThatAnAckCutsShort) {
    Begin(8);
    ASSERT_EQ(ss->EngineState, 9);
    BufferFull();
    EXPECT_EQ(ss->EngineState, 8);
    EXPECT_TRUE(loader->pclMyTimer->isActive());
    EXPECT_EQ(loader->pclMyTimer->interval(), 2000);
    EXPECT_EQ(Count("Buffer full - waiting..."), 1);
    EXPECT_EQ(loader->GetCommStats().GetNAKBuffFull(), 1);
    EXPECT_TRUE(ss->BufferFullWait);
    Ack();
    EXPECT_EQ(loader->pclMyTimer->interval(), 1);
    EXPECT_FALSE(ss->BufferFullWait);
    EXPECT_EQ(loader->GetCommStats().GetACKs(), 1);
    Sent();
    Tick();
    EXPECT_EQ(Sent().substr(7, 2), Payload({7, 0})) << "the PSN request goes out again";
}

TEST_F(SecondStage, NakResendsWithoutAMessage) {
    loader->fileName =
        WriteFile("a.hex", "S0~P~X\n" + DataLines(0, 16, 16)); // the erase reads its file first
    Begin(10);
    Sent();
    Nak();
    EXPECT_EQ(ss->EngineState, 10);
    EXPECT_EQ(loader->pclMyTimer->interval(), 2000);
    EXPECT_EQ(loader->GetCommStats().GetNAKInvalid(), 1);
    EXPECT_EQ(Count("Buffer full - waiting..."), 0);
}

TEST_F(SecondStage, BufferFullOutsideTheResendStatesKeepsWaiting) {
    Begin(37);
    BufferFull();
    EXPECT_EQ(ss->EngineState, 38);
    // With no request under way (the run over), a late one changes nothing and says nothing.
    ss->EngineState = SS_STATE_SHUTDOWN;
    BufferFull();
    EXPECT_EQ(Count("Buffer full - waiting..."), 1);
    EXPECT_EQ(ss->TxSequence, 0);
}

TEST_F(SecondStage, ResendStateMapsOnlyItsSixWaitingStates) {
    const std::pair<int, int> map[] = {{7, 6}, {9, 8},   {11, 10}, {14, 13}, {22, 21}, {24, 23},
                                       {1, 1}, {38, 38}, {16, 16}, {29, 29}, {46, 46}};
    for (auto [from, to] : map) {
        ss->EngineState = from;
        ss->ResendState(from);
        EXPECT_EQ(ss->EngineState, to) << from;
    }
}

TEST_F(SecondStage, ProgramDataAckReportsProgress) {
    loader->fileName = WriteFile("p.hex", DataLines(0x1000, 16 * 300, 16));
    ss->OpenFile();
    ss->ProgressMultiplier = 10;
    ss->EngineState = 12;
    Tick();
    ASSERT_EQ(ss->EngineState, 14);
    ASSERT_EQ(ss->GetFilePositionBlocks(), 2) << "a full payload read about 10 KB of lines";
    Ack();
    EXPECT_EQ(seen.progress, std::vector<int>{20});
    ss->EngineState = 9;
    Ack();
    EXPECT_EQ(seen.progress.size(), 1u) << "only program-data acknowledgements move the bar";
}
