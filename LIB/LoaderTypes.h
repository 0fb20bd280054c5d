#pragma once
#include <cstdint>
#include <stdexcept>

// Callbacks through which the engine reports to the user interface.
using TLoaderNotifyProc = void (*)();
using TLoaderIntProc = void (*)(int);
using TLoaderTextProc = void (*)(const char *);

// Stage of a run (the facade's LoaderStage).
enum : std::int8_t {
    LOADER_STAGE_0 = 0,
    LOADER_FIRST_STAGE = 1,
    LOADER_SECOND_STAGE = 2,
    CLEAN_UP = 3,
    LOADER_IDLE = 4,
};

// What a stage engine's timer step returns.
enum : std::uint8_t {
    STAGE_DONE = 0,
    STAGE_CONTINUE = 1, // for the second stage: the link is up
    STAGE_FAILED = 2,
    STAGE_AGAIN = 3, // second stage only: step again at once
};

// Outcome of a run, as the on-complete callback sees it.
enum : std::int8_t {
    LOADER_RESULT_SUCCESS = 0,
    LOADER_RESULT_STAGE_FAILED = -2,
    LOADER_RESULT_PORT_OPEN = -3,
    LOADER_RESULT_NO_PORT = -4,
    LOADER_RESULT_EXCEPTION = -5,
    LOADER_RESULT_BAD_BAUD = -6,
};

// Second-stage engine states the facade and its callers look at.
enum : int {
    SS_STATE_IDLE = 29,
    SS_STATE_STARTUP = 30,
    SS_STATE_DONE = 33,
    SS_STATE_SHUTDOWN = 34,
};

// An error the engine raises for the application's exception box.
class ELoaderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
