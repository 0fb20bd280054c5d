#include "VersionInfo.h"

#include "BuildVersion.h"

namespace platform {

VersionInfo ProgramVersion()
{
    return {{BUILD_VERSION_MAJOR, BUILD_VERSION_MINOR, BUILD_VERSION_RELEASE, BUILD_VERSION_BUILD},
            QStringLiteral(BUILD_FILE_VERSION),
            QStringLiteral(BUILD_LEGAL_COPYRIGHT)};
}

} // namespace platform
