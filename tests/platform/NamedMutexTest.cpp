#include "NamedMutex.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using platform::NamedMutex;

namespace {

std::string UniqueName() {
    return "NamedMutexTest-" + std::to_string(::getpid());
}

} // namespace

TEST(NamedMutex, OneHolderAtATimeAcrossHandles) {
    NamedMutex first(UniqueName());
    NamedMutex second(UniqueName());
    EXPECT_EQ(first.Path(), second.Path());
    ASSERT_TRUE(first.Lock());
    std::atomic<bool> taken{false};
    std::thread other([&] {
        second.Lock();
        taken = true;
        second.Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(taken) << "the second handle waits while the first holds the lock";
    first.Unlock();
    other.join();
    EXPECT_TRUE(taken);
}

TEST(NamedMutex, AHolderThatDiesReleasesTheLock) {
    const std::string name = UniqueName();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        NamedMutex held(name);
        held.Lock();
        ::_exit(0); // no unlock, no destructor
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    NamedMutex mine(name);
    EXPECT_TRUE(mine.Lock());
    EXPECT_TRUE(mine.IsHeld());
}

TEST(NamedMutex, ScopedLockReleasesOnExit) {
    NamedMutex first(UniqueName());
    {
        platform::NamedMutexLock hold(&first);
        EXPECT_TRUE(first.IsHeld());
    }
    EXPECT_FALSE(first.IsHeld());
    platform::NamedMutexLock none(nullptr); // no lock to take: nothing happens
}
