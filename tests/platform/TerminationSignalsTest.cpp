#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
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
        }
        EXPECT_TRUE(IsDefault(signal));
    }
}

// Under nohup a closed terminal must not end the program.
TEST(TerminationSignals, ASignalIgnoredAtStartStaysIgnored) {
    ::signal(SIGHUP, SIG_IGN);
    int calls = 0;
    {
        platform::TerminationSignals handlers([&] { ++calls; });
        ::raise(SIGHUP);
        QElapsedTimer timer;
        timer.start();
        while (calls == 0 && timer.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_EQ(calls, 0);
    }
    struct sigaction now {};
    ::sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    ::signal(SIGHUP, SIG_DFL);
}

// A desktop logging out sends SIGTERM and SIGHUP close together: the second waits while the
// program closes and writes its settings, but not for ever.
TEST(TerminationSignals, FurtherSignalsWaitWhileTheProgramCloses) {
    // Stands for the default action, which would end the test.
    static volatile std::sig_atomic_t ended = 0;
    struct sigaction counting {};
    counting.sa_handler = [](int) { ended = ended + 1; };
    struct sigaction before {};
    ::sigaction(SIGHUP, &counting, &before);
    int calls = 0;
    {
        platform::TerminationSignals handlers([&] { ++calls; }, std::chrono::milliseconds(1000));
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        ::raise(SIGTERM);
        while (calls == 0 && sinceFirst.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        ::raise(SIGHUP);
        QCoreApplication::processEvents();
        EXPECT_EQ(ended, 0);
        EXPECT_EQ(calls, 1);
        while (sinceFirst.elapsed() < 1100)
            QThread::msleep(50);
        ::raise(SIGHUP);
        EXPECT_EQ(ended, 1);
    }
    ::sigaction(SIGHUP, &before, nullptr);
}
