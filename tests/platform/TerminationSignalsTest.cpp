#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace {

bool IsDefault(int signal) {
    struct sigaction now {};
    ::sigaction(signal, nullptr, &now);
    return now.sa_handler == SIG_DFL;
}

} // namespace

TEST(TerminationSignals, EachPoliteSignalEndsTheProgramThroughTheGuiThreadOnce) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_TRUE(IsDefault(signal));
        int calls = 0;
        {
            platform::TerminationSignals handlers([&] { ++calls; });
            EXPECT_FALSE(IsDefault(signal));
            ::raise(signal);
            EXPECT_EQ(calls, 0); // not inside the handler
            QElapsedTimer timer;
            timer.start();
            while (calls == 0 && timer.elapsed() < 30000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
            EXPECT_EQ(calls, 1) << signal;
            // A second signal would end the program at once.
            EXPECT_TRUE(IsDefault(signal));
        }
        EXPECT_TRUE(IsDefault(signal));
    }
}
