#pragma once
#include "IniFile.h"

#include <QString>
#include <memory>

// The settings file of the simulator: reads and writes work in the current section; once writing
// the file fails, every later write and delete is skipped, silently, for the rest of the run.
class IniSettings {
public:
    explicit IniSettings(const QString &fileName);

    void SetSection(const QString &name) { section = name; }
    const QString &GetSection() const { return section; }

    bool ReadBool(const QString &key, bool defaultValue) const;
    int ReadInteger(const QString &key, int defaultValue) const;
    // A number outside [min, max] reads as the default.
    int ReadInteger(const QString &key, int defaultValue, int min, int max) const;
    QString ReadString(const QString &key, const QString &defaultValue) const;

    // Each returns whether the file is still writable afterwards.
    bool WriteBool(const QString &key, bool value);
    bool WriteInteger(const QString &key, int value);
    // Also false for a value holding a line break, which is never written (the key keeps what it
    // had); the file stays writable for the other keys.
    bool WriteString(const QString &key, const QString &value);
    bool DeleteKey(const QString &key);
    // Writes what changed to the file, guarded as the writes are: reads and writes work in
    // memory, so the owner calls this once after its writes.
    bool UpdateFile();

    bool IsWritable() const { return writable; }
    // False when the file is there but could not be read: every read gives its default.
    bool IsReadable() const { return !iniFile.ReadFailed(); }
    const QString &FileName() const { return iniFile.FileName(); }

private:
    template <typename Write> bool Guarded(Write write);

    platform::IniFile iniFile;
    QString section = "N/A";
    bool writable = true;
};
