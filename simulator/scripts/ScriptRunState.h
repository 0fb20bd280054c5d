#pragma once
#include <cstdint>
#include <string>

// The button-script interpreter's state, which the main loop also reads and writes: whether a
// script runs and where, its cancel request, its delay, the wait for a reply text and the boot
// loader's version query.
struct ScriptRunState {
    bool running = false;
    int script = 0;    // which ButtonScript, 0..31
    int button = 0;    // the running button, 0..7
    int lineIndex = 0; // the next line to run
    std::uint32_t lastLineTime = 0;
    bool cancelRequested = false;

    bool delayActive = false;
    std::uint32_t delayStart = 0;
    std::uint32_t delayLength = 0;
    std::uint32_t lastDetailUpdate = 0;

    bool waitPending = false;
    bool waitMatched = false;
    bool waitTimed = false;
    bool waitTimedOut = false;
    std::uint32_t waitStart = 0;
    std::uint32_t waitLength = 0;
    std::string waitPattern; // at most 49 characters

    bool awaitingVersion = false;
    bool bootLoaderVersion13 = false;

    void ClearWait() {
        waitPending = waitMatched = waitTimed = waitTimedOut = false;
        waitPattern.clear();
    }
};
