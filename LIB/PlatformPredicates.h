#pragma once
#include <initializer_list>
#include <string_view>

// Which identity fields, versions and images a card supports, by platform name. Names are
// compared exactly. Most rules also hold for any card brought up with an external second-stage
// loader, which is then treated as fully featured.
namespace platforms {

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names);

bool InZJ7Group(std::string_view name);
bool InP3NWGroup(std::string_view name);
bool InKTR567Group(std::string_view name);
bool InKTR9Group(std::string_view name);

// On the card platform; external: an external second-stage loader is in use.
bool AppVersionSupported(std::string_view cardPlatform, bool external);
bool AppSignatureTypeSupported(std::string_view cardPlatform, bool external);
bool MACSupported(std::string_view cardPlatform, bool external);
bool MAC2Supported(std::string_view cardPlatform);
bool MAC3Supported(std::string_view cardPlatform);
bool ModifierSupported(std::string_view cardPlatform, bool external);
bool HWVersionSupported(std::string_view cardPlatform, bool external);
// On the file platform: a list of exclusions.
bool HWCapabilitiesSupported(std::string_view filePlatform);

} // namespace platforms
