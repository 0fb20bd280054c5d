#pragma once
#include "LoaderTypes.h"

#include <cstdint>

class TLoaderInterface;

// The second-stage loader's packet link, state machine and card requests.
class SSEngine {
public:
    explicit SSEngine(TLoaderInterface &loader);
    virtual ~SSEngine();
    SSEngine(const SSEngine &) = delete;
    SSEngine &operator=(const SSEngine &) = delete;

    // The steps are virtual so the facade's run cycle can be tested with scripted engines.
    virtual void Start();
    virtual std::uint8_t Run();
    virtual void Receive(const std::uint8_t *bytes, int count);
    virtual void WaitSecondStageStart(bool startupSupport);
    bool IsStarted() const;

    int GetEngineState() const { return EngineState; }
    void SetEngineState(int state) { EngineState = state; }

    // Starts a request state and waits until the engine is idle again; 0 when refused.
    int RunRequest(std::uint8_t device, int state);
    // Sends the facade's debug level to the card.
    int SetDebug();
    void FreeHWCapabilities();
    void CloseFile();
    // Whether the platform is one the firmware file may replace; an empty name passes.
    bool IsSWPlatformValid(const char *platform);

private:
    TLoaderInterface &loader;
    int EngineState = SS_STATE_STARTUP;
};
