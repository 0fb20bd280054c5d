#pragma once
#include <cstdint>
#include <string>

// The button-script interpreter's state as the main loop reads and writes it: whether a script
// runs, its cancel request, the wait for a reply text and the boot loader's version query.
struct ScriptRunState {
    bool running = false;
    bool cancelRequested = false;
    bool waitPending = false;
    bool waitMatched = false;
    bool waitTimed = false;
    bool waitTimedOut = false;
    std::uint32_t waitStart = 0;
    std::uint32_t waitLength = 0;
    std::string waitPattern; // at most 49 characters
    bool awaitingVersion = false;
    bool bootLoaderVersion13 = false;
};
