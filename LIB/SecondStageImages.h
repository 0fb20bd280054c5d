#pragma once
#include <string_view>

// The built-in second-stage loader that fits a card, by the platform its first-stage banner
// names, and what choosing it means for the rest of the run.
namespace secondstage {

enum class StartupSupport { Unchanged, Off, On };

struct ImageChoice {
    const char *image;   // name of the built-in image
    const char *message; // logged when the download starts; nullptr for none
    StartupSupport startupSupport;
    bool ignoreAppOffset; // sets the facade's IgnoreAppOffset (else leaves it)
};

// Name of the Drusk image, the one whose size gives the progress range.
inline constexpr const char *DruskImage = "MORVANTI";

// The choice for a card platform; nullptr when no built-in loader fits it.
const ImageChoice *FindImage(std::string_view cardPlatform);

// Progress range of a built-in loader in 4096-byte blocks; 0 for Drusk, whose range is the
// size of its image.
int ImageBlocks(std::string_view cardPlatform);

// With an external second-stage file from the settings: whether the platform's applications
// are loaded without their offset.
bool ExternalFileIgnoresAppOffset(std::string_view cardPlatform);

} // namespace secondstage
