#include "BootStageTestSupport.h"

#include "Registry.h"

#include <QSettings>

namespace bootstagetest {

namespace {
const QString key = QStringLiteral("SOFTWARE\\Zandrel Inc.\\Quorvel");
}

ScopedEngineSettings::ScopedEngineSettings(std::initializer_list<std::pair<const char *, QVariant>> values) {
    platform::Registry registry;
    if (!registry.OpenKey(key, true))
        ADD_FAILURE() << "cannot write the settings";
    for (const auto &[name, value] : values) {
        if (value.typeId() == QMetaType::QString)
            registry.WriteString(name, value.toString());
        else
            registry.WriteInteger(name, value.toInt());
    }
    registry.CloseKey();
}

ScopedEngineSettings::~ScopedEngineSettings() {
    QFile::remove(platform::Registry::FileForKey(key));
}

} // namespace bootstagetest
