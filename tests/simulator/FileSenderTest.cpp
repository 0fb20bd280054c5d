#include "FileSender.h"
#include "TickTimer.h"

#include "Clock.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

namespace {

// The window's side of a send: a port that records each write (and may take fewer bytes than
// offered), the pacing settings and the panel.
class RecordingSendHost : public FileSender::Host {
public:
    bool portOpen = true;
    int lineDelayMs = 0;
    bool responseWindow = false;
    std::int32_t mostPerWrite = std::numeric_limits<std::int32_t>::max();
    std::vector<std::string> writes;
    std::vector<std::uint32_t> writeTicks;
    std::string started;
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
    void SendFileStarted(const std::string &path, std::int64_t) override { started = path; }
    void ShowSendFileProgress(int percent) override { progress = percent; }
    void SendFileEnded() override { ++ended; }

    std::string AllWritten() const {
        std::string all;
        for (const std::string &w : writes)
            all += w;
        return all;
    }
};

// One pump on a virtual clock; every poll is 10 ms after the one before.
class Pump : public ::testing::Test {
protected:
    std::string WriteFile(const std::string &content, const char *name = "send.txt") {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content.data(), static_cast<qint64>(content.size()));
        return path.toStdString();
    }
    void StartSending(const std::string &content) {
        ASSERT_TRUE(sender.Open(WriteFile(content)));
        ASSERT_TRUE(sender.Start());
    }
    void Poll() {
        clock.Advance(10);
        sender.Pump();
    }
    int PollToEnd(int limit = 10000) {
        int polls = 0;
        while (sender.IsSending() && polls < limit) {
            Poll();
            ++polls;
        }
        return polls;
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
    const std::string content(1000, 'x');
    StartSending(content);
    EXPECT_EQ(host.progress, 0);
    // A block is read on one poll and written on the next: five writes, then the end on the 11th.
    EXPECT_EQ(PollToEnd(), 11);
    EXPECT_EQ(host.writes, std::vector<std::string>(5, std::string(200, 'x')));
    EXPECT_EQ(host.progress, 100);
    EXPECT_EQ(host.ended, 1);
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
    host.lineDelayMs = 1000; // only splits the block into lines in this mode
    host.responseWindow = true;
    StartSending(Lines(10));
    for (int i = 0; i < 50; ++i)
        Poll();
    EXPECT_EQ(host.writes.size(), 4u);
    EXPECT_EQ(state.outstandingLines, 4);
    --state.outstandingLines; // one reply line
    for (int i = 0; i < 10; ++i)
        Poll();
    EXPECT_EQ(host.writes.size(), 5u);
    EXPECT_EQ(host.writes.back(), "line 5\r\n");
    while (sender.IsSending()) {
        state.outstandingLines = 0;
        Poll();
    }
    EXPECT_EQ(host.AllWritten(), Lines(10));
}

TEST_F(Pump, AnEmptyFileEndsAtTheFirstPoll) {
    StartSending("");
    EXPECT_EQ(PollToEnd(), 1);
    EXPECT_TRUE(host.writes.empty());
    EXPECT_EQ(host.progress, 100);
}

TEST_F(Pump, WaysOutCloseTheFileAndEndTheSendOnce) {
    StartSending(std::string(1000, 'c'));
    Poll();
    Poll();
    sender.Stop(); // Cancel File in the middle
    EXPECT_FALSE(sender.IsSending());
    EXPECT_FALSE(sender.IsOpen());
    EXPECT_EQ(host.ended, 1);
    Poll();
    EXPECT_EQ(host.writes.size(), 1u);

    StartSending(std::string(1000, 'p'));
    Poll();
    host.portOpen = false; // the port closes: the send ends quietly at the next poll
    Poll();
    EXPECT_FALSE(sender.IsSending());
    EXPECT_FALSE(sender.IsOpen());
    EXPECT_EQ(host.ended, 2);
}

TEST_F(Pump, AShortWriteKeepsTheRestForTheNextPoll) {
    host.mostPerWrite = 30;
    std::string content;
    for (int i = 0; i < 700; ++i)
        content += static_cast<char>(i % 251);
    StartSending(content);
    PollToEnd();
    EXPECT_EQ(host.writes.front().size(), 30u);
    EXPECT_EQ(host.AllWritten(), content);
}

TEST_F(Pump, AFileThatGrowsWhileSentGoesOutWholeAndStopsTheBarAt100) {
    StartSending(std::string(300, 'a'));
    Poll();
    Poll();
    QFile file(QString::fromStdString(sender.FileName()));
    file.open(QIODevice::Append);
    file.write(QByteArray(500, 'b'));
    file.close();
    int most = 0;
    while (sender.IsSending()) {
        Poll();
        most = std::max(most, host.progress);
    }
    EXPECT_EQ(host.AllWritten(), std::string(300, 'a') + std::string(500, 'b'));
    EXPECT_EQ(most, 100);
}

TEST(FileSenderPercent, StaysWithinZeroToHundred) {
    struct Case {
        std::int64_t sent, size;
        int percent;
    };
    constexpr std::int64_t kGiB = 1LL << 30;
    for (const Case &c :
         {Case{0, 0, 0}, Case{5, 0, 0}, Case{50, 200, 25}, Case{300, 200, 100}, Case{-1, 100, 0},
          Case{3 * kGiB, 6 * kGiB, 50}, Case{6 * kGiB - 1, 6 * kGiB, 99}, Case{40 * kGiB, 6 * kGiB, 100}})
        EXPECT_EQ(FileSender::Percent(c.sent, c.size), c.percent) << c.sent << "/" << c.size;
}

TEST_F(Pump, OnlyFilesOpenAndTheNameIsKeptEitherWay) {
    const std::string missing = dir.filePath("Missing.HEX").toStdString();
    EXPECT_FALSE(sender.Open(missing));
    EXPECT_EQ(sender.FileName(), missing);
    EXPECT_FALSE(sender.Start());
    EXPECT_FALSE(sender.Open(dir.path().toStdString())); // a directory
}
