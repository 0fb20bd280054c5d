#include "IniSettings.h"

#include <QFileInfo>
#include <exception>

IniSettings::IniSettings(const QString &fileName) : iniFile(fileName) {
    // The owner's write bit stands for the read-only attribute: a file the user marked read-only
    // keeps what it says, even for a user the system would let write it anyway.
    const QFileInfo info(fileName);
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        writable = false;
    // Settings that could not be read are not known, so they are never written over.
    if (iniFile.ReadFailed())
        writable = false;
}

bool IniSettings::ReadBool(const QString &key, bool defaultValue) const {
    return iniFile.ReadBool(section, key, defaultValue);
}

int IniSettings::ReadInteger(const QString &key, int defaultValue) const {
    return iniFile.ReadInteger(section, key, defaultValue);
}

int IniSettings::ReadInteger(const QString &key, int defaultValue, int min, int max) const {
    return iniFile.ReadInteger(section, key, defaultValue, min, max);
}

QString IniSettings::ReadString(const QString &key, const QString &defaultValue) const {
    return iniFile.ReadString(section, key, defaultValue);
}

template <typename Write> bool IniSettings::Guarded(Write write) {
    if (!writable)
        return false;
    try {
        write();
    } catch (const std::exception &) {
        writable = false;
    }
    return writable;
}

bool IniSettings::WriteBool(const QString &key, bool value) {
    return Guarded([&] { iniFile.WriteBool(section, key, value); });
}

bool IniSettings::WriteInteger(const QString &key, int value) {
    return Guarded([&] { iniFile.WriteInteger(section, key, value); });
}

bool IniSettings::WriteString(const QString &key, const QString &value) {
    bool written = false;
    return Guarded([&] { written = iniFile.WriteString(section, key, value); }) && written;
}

bool IniSettings::DeleteKey(const QString &key) {
    return Guarded([&] { iniFile.DeleteKey(section, key); });
}

bool IniSettings::UpdateFile() {
    return Guarded([&] { iniFile.UpdateFile(); });
}
