#pragma once
#include "BootStageEngine.h"

#include <cstdint>
#include <optional>
#include <string>

class TLoaderInterface;

// Brings a GARVO9 card from its boot ROM to a running first-stage loader: wakes the boot ROM,
// accepts only a GARVO9 banner and downloads the first-stage loader image (built in, or the
// external first-stage file named in the settings).
class S0Engine : public BootStageEngine {
public:
    explicit S0Engine(TLoaderInterface &loader);
    ~S0Engine() override;

    // The steps are virtual so the facade's run cycle can be tested with scripted engines.
    virtual void Start();
    virtual std::uint8_t Run();
    virtual void Receive(const std::uint8_t *bytes, int count);
    // Blocks of the image sent so far (the progress position).
    virtual int GetImageBlocks() const;
    // Whether the boot ROM's banner names a USB port.
    bool IsUSBDevice() const;

    // The boot ROM banner's fields.
    const std::string &GetBootROMVersion() const { return bannerFields.version; }
    const std::string &GetCardCOMDevice() const { return bannerFields.comDevice; }
    const std::string &GetCardPlatform() const { return bannerFields.platform; }

    // Size of the external image buffer.
    static constexpr std::size_t ExternalImageCapacity = 276'480;

protected:
    void BannerReceived() override;
    void SendBaudChange() override;
    std::uint8_t SendImageStep() override;

private:
    const loaderimage::LoaderImage &Image();

    std::optional<loaderimage::LoaderImage> builtInImage; // read on first use
};
