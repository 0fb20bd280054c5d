#pragma once
#include <QString>
#include <array>

namespace platform {

// The program's own version data, written into the build from the project's version: the
// product version as four numbers (most significant first) and the version strings.
struct VersionInfo {
    std::array<int, 4> productVersion;
    QString fileVersion;
    QString legalCopyright;
};

// The version data of the running program.
VersionInfo ProgramVersion();

} // namespace platform
