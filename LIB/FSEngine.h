#pragma once
#include "BootStageEngine.h"

#include <cstdint>
#include <map>
#include <string>

class TLoaderInterface;

// Wakes the card's first-stage loader and downloads the second-stage loader into it: decides
// by the card's banner whether this is the card to load (or sends the link on to the next
// device), gives the baud change a device ID where a card in front must pass the link on, and
// picks the second-stage image that fits the card's platform.
class FSEngine : public BootStageEngine {
public:
    explicit FSEngine(TLoaderInterface &loader);
    ~FSEngine() override;

    // The steps are virtual so the facade's run cycle can be tested with scripted engines.
    virtual void Start();
    virtual std::uint8_t Run();
    virtual void Receive(const std::uint8_t *bytes, int count);
    // Size of the second-stage download in 4096-byte blocks (the progress range).
    virtual int GetImageBlocks() const;
    // Blocks sent so far (the progress position).
    int GetBlocksSent() const;
    // Whether the chosen second-stage loader announces its start.
    virtual bool GetSecondStageStartupSupport() const;
    bool IsUSBDevice() const;
    // Whether a built-in second-stage loader fits the platform.
    bool IsPlatformSupported(const char *platform) const;
    void SetTargetID(int id);
    int GetTargetID() const { return targetID; }
    // A platform loader file beside the program ("<platform>_ssl.c") is in use.
    bool IsExternalLoaderInUse() const { return externalLoaderInUse; }

    // The three fields of the first-stage banner.
    const std::string &GetFirstStageVersion() const { return bannerFields.version; }
    const std::string &GetCardCOMDevice() const { return bannerFields.comDevice; }
    const std::string &GetCardPlatform() const { return bannerFields.platform; }

    // Size of the external image buffer.
    static constexpr std::size_t ExternalImageCapacity = 15'000'000;

protected:
    void BannerReceived() override;
    void SendBaudChange() override;
    std::uint8_t SendImageStep() override;
    bool SearchAgainAfterBaudChange() const override { return targetID != 0; }
    bool CountdownClearsLog() const override { return targetID == 0; }

    // The image the next record comes from; nullptr when the card's platform has no loader
    // (the run is then aborted and nothing is sent).
    const loaderimage::LoaderImage *SelectSecondStageImage();

private:
    const loaderimage::LoaderImage &BuiltIn(const std::string &name) const;
    bool LocatePlatformLoaderFile();

    int targetID = 0;
    int startupSupport = 0;
    bool externalLoaderInUse = false;
    // Built-in images by name, read on first use and kept for later runs.
    mutable std::map<std::string, loaderimage::LoaderImage> builtInImages;
};
