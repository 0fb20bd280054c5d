#include "MessageMonitor.h"
#include "MessageClassifier.h"
#include "MessageMonitorDelegate.h"

#include "Clock.h"
#include "Colors.h"

#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <gtest/gtest.h>
#include <string>

namespace {

using Category = MessageCategory;

struct ClassifyCase {
    const char *text;
    Category received;
    Category sent; // as the monitor tags it
};

class Classify : public ::testing::TestWithParam<ClassifyCase> {};

const ClassifyCase kClassifyCases[] = {
    {"$PQVZK,HNX", Category::Holvanek, Category::OutgoingPanel}, // the HNX test comes first
    {"$PQVZK,6", Category::Rfp, Category::OutgoingPanel},
    {"$PQVZS,LCD,ON", Category::OtherSentence, Category::OutgoingPanel},
    {"$PQVZS,TXT,0,HI", Category::Rfp, Category::Outgoing},
    {"$PQVZD,080", Category::Rfp, Category::Outgoing},
    {"$PQVZQ,LBX,1", Category::LightBar, Category::Outgoing},
    {"$GPGGA,1,2", Category::Dgps, Category::Outgoing},
    {"$PQVZR,RID,x", Category::Dgps, Category::Outgoing},
    {"$PQVZR,DID,x", Category::OtherSentence, Category::Outgoing},
    {"$XXABC,ACK", Category::Dgps, Category::Outgoing},
    {"$PQVZ,RID", Category::OtherSentence, Category::Outgoing},
    {"$PQVZ", Category::Unclassified, Category::Outgoing}, // one field: never shown received
    {"", Category::Unclassified, Category::Outgoing},
    {"hello", Category::NonNmea, Category::Outgoing},
    {"$PQVZS,TXT,0,ZZ*00", Category::NonNmea, Category::Outgoing}, // bad checksum: a plain line
};

} // namespace

TEST_P(Classify, ReceivedAndSent) {
    const ClassifyCase &c = GetParam();
    MessageClassifier classifier;
    EXPECT_EQ(classifier.ClassifyMessage(c.text), c.received);
    MessageMonitor monitor;
    ASSERT_TRUE(monitor.AddMonitorLineAs(c.text, Category::Outgoing, 0));
    EXPECT_EQ(monitor.LineAttr(0).category, c.sent);
}
INSTANTIATE_TEST_SUITE_P(Table, Classify, ::testing::ValuesIn(kClassifyCases));

TEST(MessageMonitor, FormatsTimeAndTickColumnsAndUnprintables) {
    platform::VirtualClock clock(1.7e9);
    platform::ScopedClock useClock(clock);
    const std::string time = QDateTime::fromSecsSinceEpoch(1'700'000'000).toString("hh:mm:ss ").toStdString();
    struct Case {
        bool time, tick;
        std::uint32_t tickCount;
        std::string text, shown;
    };
    const std::string longest(560, 'x');
    const Case cases[] = {
        {false, false, 0, "abc", "abc"},
        {false, true, 1234567, "abc", "34567 abc"},
        {false, true, 5, "abc", "00005 abc"},
        {false, true, 0xFFFFFFFFu, "abc", "67295 abc"}, // unsigned, never a minus sign
        {true, true, 7, "abc", time + "00007 abc"},
        {false, false, 0,
         "a\x01"
         "b\xB0",
         "a~b\xB0"},
        {false, false, 0, "abc\x01", "abc~"},
        {false, false, 0, longest, longest},
        {false, false, 0, longest + "x", MessageMonitor::kTooLongText},
    };
    for (const Case &c : cases) {
        MessageMonitor monitor;
        monitor.Options().time = c.time;
        monitor.Options().tickCount = c.tick;
        char buffer[MessageMonitor::kLineBufferSize];
        const std::size_t length =
            monitor.FormatMonitorLine(buffer, c.text.c_str(), sizeof buffer, c.tickCount);
        EXPECT_EQ(std::string(buffer, length), c.shown) << c.text.substr(0, 20);
    }
}

TEST(MessageMonitor, FiltersByCategory) {
    struct Case {
        bool MonitorOptions::*option; // switched off
        const char *text;
        Category category;
        bool shown;
    };
    const Case cases[] = {
        {&MonitorOptions::rfpMessages, "$PQVZS,LCD,ON", Category::Outgoing, false},
        {&MonitorOptions::outGoingMessages, "$PQVZS,LCD,ON", Category::Outgoing, false},
        {&MonitorOptions::rfpMessages, "$PQVZQ,RID", Category::Outgoing, true},
        {&MonitorOptions::outGoingMessages, "$PQVZQ,RID", Category::Outgoing, false},
        {&MonitorOptions::dgpsMessages, "$GPGGA,1", Category::Dgps, false},
        {&MonitorOptions::nonNmeaMessages, "plain", Category::NonNmea, false},
        {&MonitorOptions::otherMessages, "plain", Category::NonNmea, true},
        {&MonitorOptions::time, "$PQVZ", Category::Unclassified, false},
    };
    for (const Case &c : cases) {
        MessageMonitor monitor;
        monitor.Options().*c.option = false;
        EXPECT_EQ(monitor.AddMonitorLineAs(c.text, c.category, 0), c.shown) << c.text;
        EXPECT_EQ(monitor.LineCount(), c.shown ? 1 : 0);
    }
}

TEST(MessageMonitor, KeepsTheNewest200LinesWithTheirAttributes) {
    MessageMonitor monitor;
    monitor.Options().tickCount = false;
    for (int i = 0; i <= MessageMonitor::kMaxLines; ++i) {
        monitor.Options().time = i % 2 == 0;
        monitor.AddMonitorLineAs(("line " + std::to_string(i)).c_str(),
                                 i % 3 == 0 ? Category::Outgoing : Category::Dgps, 0);
    }
    ASSERT_EQ(monitor.LineCount(), MessageMonitor::kMaxLines);
    ASSERT_EQ(monitor.rowCount(), MessageMonitor::kMaxLines);
    for (int row = 0; row < MessageMonitor::kMaxLines; ++row) {
        const int line = row + 1;
        EXPECT_TRUE(monitor.LineText(row).ends_with("line " + std::to_string(line)));
        EXPECT_EQ(monitor.LineAttr(row).timeShown, line % 2 == 0) << row;
        EXPECT_EQ(monitor.LineAttr(row).category, line % 3 == 0 ? Category::Outgoing : Category::Dgps) << row;
    }
    EXPECT_FALSE(monitor.LineAttr(0).gapBefore); // the first line's mark left with it
}

TEST(MessageMonitor, APauseLeavesMarksEitherSideOfTheGap) {
    MessageMonitor monitor;
    monitor.AddMonitorLine("first", 0);
    EXPECT_TRUE(monitor.LineAttr(0).gapBefore); // nothing was shown before it
    monitor.AddMonitorLine("before", 0);
    monitor.SetPaused(true);
    for (const char *dropped : {"a", "b", "c"})
        EXPECT_FALSE(monitor.AddMonitorLine(dropped, 0));
    monitor.SetPaused(false);
    monitor.AddMonitorLine("after", 0);
    ASSERT_EQ(monitor.LineCount(), 3);
    EXPECT_FALSE(monitor.LineAttr(1).gapBefore);
    EXPECT_TRUE(monitor.LineAttr(1).gapAfter);
    EXPECT_TRUE(monitor.LineAttr(2).gapBefore);
    EXPECT_FALSE(monitor.LineAttr(2).gapAfter);
    monitor.ClearMonitor();
    EXPECT_EQ(monitor.LineCount(), 0);
    EXPECT_EQ(monitor.LineAttr(1).category, Category::OtherSentence);
}

// Draws one line into an image and looks at the pixels the columns and marks must colour.
TEST(MessageMonitorDelegate, ColumnsFollowTheLinesFlagsAndGapsAreMarked) {
    MessageMonitor monitor;
    monitor.Options().time = false;
    monitor.AddMonitorLine("before", 12345);
    monitor.SetPaused(true);
    monitor.AddMonitorLine("dropped", 0);
    MessageMonitorDelegate delegate(monitor, nullptr);
    QImage image(300, 14, QImage::Format_RGB32);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 300, 14);
    delegate.paint(&painter, option, monitor.index(0));
    painter.end();
    EXPECT_EQ(image.pixelColor(1, 1), platform::FromTColor(0xFFF9F1));  // the tick at the left, on its colour
    EXPECT_EQ(image.pixelColor(10, 1), platform::FromTColor(0x008000)); // gap before: green at the top
    EXPECT_EQ(image.pixelColor(10, 13), platform::FromTColor(0x0000FF)); // gap after: red at the bottom
    EXPECT_EQ(image.pixelColor(295, 7), platform::FromTColor(kMonitorBackground));
}
