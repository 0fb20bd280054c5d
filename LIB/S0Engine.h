#pragma once
#include <cstdint>

class TLoaderInterface;

// Brings a card from its boot ROM to a running first-stage loader.
class S0Engine {
public:
    explicit S0Engine(TLoaderInterface &loader);
    virtual ~S0Engine();
    S0Engine(const S0Engine &) = delete;
    S0Engine &operator=(const S0Engine &) = delete;

    // The steps are virtual so the facade's run cycle can be tested with scripted engines.
    virtual void Start();
    virtual std::uint8_t Run();
    virtual void Receive(const std::uint8_t *bytes, int count);
    virtual int GetImageBlocks() const;
    bool IsUSBDevice() const;

private:
    TLoaderInterface &loader;
};
