#include "FileSender.h"
#include "TickTimer.h"

#include "Clock.h"
#include "Dialogs.h"
#include "FileFaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The window's side of a send: a port that records each write and may take fewer bytes than
// offered, the pacing settings and the panel.
class RecordingSendHost : public FileSender::Host {
public:
    bool portOpen = true;
    int lineDelayMs = 0;
    bool responseWindow = false;
    std::int32_t mostPerWrite = std::numeric_limits<std::int32_t>::max();
    std::vector<std::string> writes;
    std::vector<std::uint32_t> writeTicks;
    int progress = -1;
    int ended = 0;

    bool IsPortOpen() const override { return portOpen; }
    std::int32_t WriteSendFileBytes(const std::uint8_t *bytes, std::int32_t count) override {
        const std::int32_t taken = std::min(count, mostPerWrite);
        writes.emplace_back(reinterpret_cast<const char *>(bytes), static_cast<std::size_t>(taken));
        writeTicks.push_back(platform::GetTickCount());
        return taken;
    }
    int SendFileLineDelayMs() const override { return lineDelayMs; }
    bool SendFileResponseWindow() const override { return responseWindow; }
    void SendFileStarted(const std::string &, std::int64_t) override {}
    void ShowSendFileProgress(int percent) override { progress = percent; }
    void SendFileEnded() override { ++ended; }
};

// One pump on a virtual clock; every poll is 10 ms after the one before.
class Pump : public ::testing::Test {
protected:
    void StartSending(const std::string &content) {
        QFile file(dir.filePath("send.txt"));
        file.open(QIODevice::WriteOnly);
        file.write(content.data(), static_cast<qint64>(content.size()));
        file.close();
        ASSERT_TRUE(sender.Open(file.fileName().toStdString()));
        ASSERT_TRUE(sender.Start());
    }
    void Poll() {
        clock.Advance(10);
        sender.Pump();
    }
    int PollToEnd() {
        int polls = 0;
        for (; sender.IsSending() && polls < 10000; ++polls)
            Poll();
        return polls;
    }
    std::string Written() const {
        std::string all;
        for (const std::string &write : host.writes)
            all += write;
        return all;
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    QTemporaryDir dir;
    TickTimer timer;
    FileSendState state;
    RecordingSendHost host;
    FileSender sender{state, host, timer};
};

std::string Lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    return text;
}

} // namespace

TEST_F(Pump, BlocksWithoutLineDelayAlternateReadAndWrite) {
    host.lineDelayMs = -5; // below 0 is no delay, not a wait that never ends
    StartSending(std::string(1000, 'x'));
    // A block is read on one poll and written on the next: five writes, then the end on the 11th.
    EXPECT_EQ(PollToEnd(), 11);
    EXPECT_EQ(host.writes, std::vector<std::string>(5, std::string(200, 'x')));
    EXPECT_EQ(host.progress, 100);
    EXPECT_FALSE(sender.IsOpen());
}

TEST_F(Pump, LineDelayPacesEachLineWithoutTheResponseWindow) {
    host.lineDelayMs = 50;
    const std::uint32_t start = timer.Now();
    StartSending(Lines(3));
    PollToEnd();
    ASSERT_EQ(host.writes, (std::vector<std::string>{"line 1\r\n", "line 2\r\n", "line 3\r\n"}));
    EXPECT_GE(host.writeTicks[0] - start, 50u); // the first line waits for the delay too
    EXPECT_GE(host.writeTicks[1] - host.writeTicks[0], 50u);
    EXPECT_GE(host.writeTicks[2] - host.writeTicks[1], 50u);
}

TEST_F(Pump, ResponseWindowHoldsFourLinesUntilRepliesFreeThem) {
    host.lineDelayMs = 1000; // in this mode it only splits the block into lines
    host.responseWindow = true;
    StartSending(Lines(10));
    for (int i = 0; i < 50; ++i)
        Poll();
    EXPECT_EQ(host.writes.size(), 4u);
    --state.outstandingLines; // one reply line
    for (int i = 0; i < 10; ++i)
        Poll();
    EXPECT_EQ(host.writes.back(), "line 5\r\n");
    while (sender.IsSending()) {
        state.outstandingLines = 0;
        Poll();
    }
    EXPECT_EQ(Written(), Lines(10));
}

TEST_F(Pump, ResponseWindowHoldsFourLinesAlsoWithoutALineDelay) {
    host.responseWindow = true;
    StartSending(Lines(10)); // a single block
    for (int i = 0; i < 10; ++i)
        Poll();
    EXPECT_EQ(Written(), Lines(4));
    state.outstandingLines -= 2;
    Poll();
    EXPECT_EQ(Written(), Lines(6));
}

TEST_F(Pump, EveryWayOutClosesTheFileAndEndsTheSendOnce) {
    StartSending("");
    EXPECT_EQ(PollToEnd(), 1); // an empty file: nothing written
    EXPECT_TRUE(host.writes.empty());

    StartSending(std::string(1000, 'c'));
    Poll();
    Poll();
    sender.Stop(); // Cancel File in the middle
    EXPECT_FALSE(sender.IsOpen());
    Poll();
    EXPECT_EQ(host.writes.size(), 1u);

    StartSending(std::string(1000, 'p'));
    host.portOpen = false; // the port closed: the send ends quietly at the next poll
    Poll();
    EXPECT_FALSE(sender.IsSending());
    EXPECT_FALSE(sender.IsOpen());
    EXPECT_EQ(host.ended, 3);
}

TEST_F(Pump, AShortWriteKeepsTheRestForTheNextPoll) {
    host.mostPerWrite = 30;
    std::string content;
    for (int i = 0; i < 700; ++i)
        content += static_cast<char>(i % 251);
    StartSending(content);
    PollToEnd();
    EXPECT_EQ(host.writes.front().size(), 30u);
    EXPECT_EQ(Written(), content);
}

TEST_F(Pump, OnlyAPlainFileOpens) {
    const std::string fifo = dir.filePath("fifo").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A writer is there, so a blocking open would not hang this test, only take the pipe.
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    StartSending("plain");
    const std::string plain = sender.FileName();
    struct Case {
        std::string path;
        bool opens;
    };
    std::vector<Case> cases{Case{plain, true}, Case{dir.path().toStdString(), false}, Case{fifo, false},
                            Case{plain + ".missing", false}};
    const std::string zero = dir.filePath("zero").toStdString();
    if (testsupport::MakeEndlessDevice(zero))
        cases.push_back(Case{zero, false});
    for (const Case &c : cases) {
        EXPECT_EQ(sender.Open(c.path), c.opens) << c.path;
        EXPECT_EQ(sender.FileName(), c.path);
    }
    ::close(writer);
}

TEST_F(Pump, AFileThatCannotBeReadWholeIsNotSent) {
    const std::string path = dir.filePath("unreadable.hex").toStdString();
    testsupport::MakeUnreadable(path);
    std::vector<QString> boxes;
    platform::SetMessageHandler([&](const platform::MessageRequest &request) {
        boxes.push_back(request.text + " | " + request.caption);
        return platform::MessageResult::Ok;
    });
    ASSERT_TRUE(sender.Open(path)); // it is there; only its reads fail
    sender.Start();
    PollToEnd();
    platform::SetMessageHandler({});
    EXPECT_TRUE(sender.ReadFailed());
    EXPECT_TRUE(host.writes.empty());
    EXPECT_EQ(boxes, std::vector<QString>{QString::fromStdString(
                         "Cannot read file " + path + " - it was not sent whole | File Read Error")});
}

TEST(FileSenderPercent, StaysWithinZeroToHundredForAnySize) {
    struct Case {
        std::int64_t sent, size;
        int percent;
    };
    constexpr std::int64_t kGiB = 1LL << 30;
    // An empty file, a file that grew while it was sent, files of gigabytes.
    for (const Case &c : {Case{0, 0, 0}, Case{5, 0, 0}, Case{50, 200, 25}, Case{300, 200, 100},
                          Case{3 * kGiB, 6 * kGiB, 50}, Case{6 * kGiB - 1, 6 * kGiB, 99}})
        EXPECT_EQ(FileSender::Percent(c.sent, c.size), c.percent) << c.sent << "/" << c.size;
}
