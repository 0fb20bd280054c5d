#pragma once
#include <cstdint>
#include <string>

class TLoaderInterface;

// Wakes the card's first-stage loader and downloads the second-stage loader into it.
class FSEngine {
public:
    explicit FSEngine(TLoaderInterface &loader);
    virtual ~FSEngine();
    FSEngine(const FSEngine &) = delete;
    FSEngine &operator=(const FSEngine &) = delete;

    // The steps are virtual so the facade's run cycle can be tested with scripted engines.
    virtual void Start();
    virtual std::uint8_t Run();
    virtual void Receive(const std::uint8_t *bytes, int count);
    virtual int GetImageBlocks() const;
    int GetBlocksSent() const;
    virtual bool GetSecondStageStartupSupport() const;
    bool IsUSBDevice() const;

    // The three fields of the first-stage banner.
    const std::string &GetFirstStageVersion() const { return firstStageVersion; }
    const std::string &GetCardCOMDevice() const { return cardCOMDevice; }
    const std::string &GetCardPlatform() const { return cardPlatform; }

private:
    TLoaderInterface &loader;
    std::string firstStageVersion;
    std::string cardCOMDevice;
    std::string cardPlatform;
};
