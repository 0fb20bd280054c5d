#include "AcquireSequence.h"
#include "DeviceIdRequest.h"

#include "Clock.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Runs the sequence on a virtual clock, one step every 10 ms, and records what it does.
class AcquireRun {
public:
    AcquireRun() {
        AcquireSequence::Actions actions;
        actions.setBaudRate = [this](std::int32_t b) { Record("baud " + std::to_string(baud = b)); };
        actions.sendSentence = [this](const char *text) { Record(std::string("send ") + text); };
        actions.clearLcd = [this] { Record("clear"); };
        actions.showStatus = [this](const char *text) {
            status = text;
            statusTimes.emplace_back(status, now);
            Record("status " + status);
        };
        actions.showReport = [this](const char *text) { Record(std::string("report ") + (report = text)); };
        actions.showButton = [this](bool shown) { Record(shown ? "button shown" : "button hidden"); };
        sequence = std::make_unique<AcquireSequence>(std::move(actions));
    }
    void StepFor(int ms) {
        for (int t = 0; t < ms; t += 10) {
            sequence->AcquireStep();
            clock.Advance(10);
            now += 10;
        }
    }
    int TimeOf(const std::string &text) const {
        for (const auto &[shown, at] : statusTimes)
            if (shown == text)
                return at;
        return -1;
    }

    platform::VirtualClock clock;
    platform::ScopedClock useClock{clock};
    std::unique_ptr<AcquireSequence> sequence;
    std::vector<std::string> events;
    std::vector<std::pair<std::string, int>> statusTimes;
    std::string status, report;
    std::int32_t baud = 38400;
    int now = 0;

private:
    void Record(std::string event) { events.push_back(std::move(event)); }
};

} // namespace

TEST(AcquireSequence, WithoutAReplyItScansEveryRateAndGivesUp) {
    AcquireRun run;
    run.sequence->SetAcquireState(1);
    run.StepFor(4000);

    std::vector<std::string> expected;
    for (const char *rate : {"9600", "19200", "4800", "38400"})
        for (const char *request : {"1st", "2nd"}) {
            expected.push_back("report  ");
            if (std::string(request) == "1st")
                expected.push_back(std::string("baud ") + rate);
            expected.push_back("send $PQVZS,LCD,ON");
            expected.push_back(std::string("status ") + request + " req @" + rate);
        }
    for (const char *event :
         {"report  ", "clear", "status Clear Display", "send $PQVZK,6", "status sending Home Key",
          "send $PQVZK,0", "status sending No Key", "send $PQVZQ,RID", "status waiting for RID",
          "button shown", "status unable to connect"})
        expected.push_back(event);
    EXPECT_EQ(run.events, expected);
    EXPECT_EQ(run.baud, 38400);
    EXPECT_EQ(run.sequence->GetAcquireState(), AcquireSequence::UnableToConnect);
    // The eight requests take about two seconds; the answer is awaited a second.
    EXPECT_NEAR(run.TimeOf("Clear Display"), 2000, 100);
    EXPECT_NEAR(run.TimeOf("unable to connect") - run.TimeOf("waiting for RID"), 1000, 30);
}

TEST(AcquireSequence, RidRepliesKeepTheConnectionAndASilentSecondLosesIt) {
    AcquireRun run;
    run.sequence->SetAcquireState(AcquireSequence::WaitingForRid);
    run.StepFor(300);
    run.sequence->RidReceived("Brisken DGPS", "2.10", "SN0001234 and far too long for the report");
    run.StepFor(30);
    EXPECT_EQ(run.status, "connection OK");
    EXPECT_EQ(run.report, "Brisken DGPS v2.10 #SN0001234 and far t");
    EXPECT_EQ(run.events.back(), "report Brisken DGPS v2.10 #SN0001234 and far t");

    // A reply every 800 ms: asked once a second, still connected after five.
    run.events.clear();
    for (int i = 0; i < 6; ++i) {
        run.StepFor(800);
        run.sequence->RidReceived("Brisken DGPS", "2.10", "SN1");
    }
    EXPECT_EQ(run.sequence->GetAcquireState(), AcquireSequence::ConnectionOk);
    EXPECT_EQ(std::count(run.events.begin(), run.events.end(), "send $PQVZQ,RID"), 4);

    run.StepFor(1500);
    EXPECT_EQ(run.status, "connection lost");
    EXPECT_EQ(run.events.back(), "status connection lost");
    EXPECT_EQ(run.sequence->GetAcquireState(), AcquireSequence::ConnectionLost);
}

TEST(AcquireSequence, ALostLineEndsInIdleAndSaysSo) {
    AcquireRun run;
    run.sequence->SetAcquireState(5);
    run.StepFor(50);
    run.sequence->LineLost();
    run.StepFor(500);
    EXPECT_EQ(run.sequence->GetAcquireState(), AcquireSequence::Idle);
    EXPECT_EQ(run.status, "connection lost");
    EXPECT_EQ(run.report, " ");
}

// Settings replies every 3 seconds pace the request: the first starts the cycle, the next one
// sends, and while an identity is missing the first reply more than 5 s after the start restarts it.
TEST(DeviceIdRequest, PacedBySettingsReplies) {
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    int sent = 0;
    DeviceIdRequest ids([&](const char *text) {
        EXPECT_STREQ(text, "$PQVZQ,HNX,DID_REQUEST");
        ++sent;
    });
    ids.DeviceIdRequestStep();
    EXPECT_FALSE(ids.IsActive());

    struct Reply {
        bool allKnownBefore;
        int sentAfter;
    };
    const Reply replies[] = {{false, 0}, {false, 1}, {false, 1}, {false, 2}, {true, 2}, {true, 2}, {true, 2}};
    bool first = true;
    for (const Reply &reply : replies) {
        if (reply.allKnownBefore)
            for (auto which : {DeviceIdRequest::Steering, DeviceIdRequest::LightBar, DeviceIdRequest::Dgps})
                ids.SetKnown(which);
        first ? ids.StartDeviceIdRequest() : ids.TriggerDeviceIdRequest();
        first = false;
        ids.DeviceIdRequestStep();
        ids.DeviceIdRequestStep(); // a step without a new reply does nothing
        EXPECT_EQ(sent, reply.sentAfter) << "at " << &reply - replies;
        clock.Advance(3000);
    }
}
