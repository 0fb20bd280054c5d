#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

class QSettings;

namespace platform {

// Raised when a value is missing or of another type, so that "a failed read keeps the default"
// reads the same way as with the Windows registry.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One key of the current user's settings. A key "SOFTWARE\Org\App[\Sub...]" lives in
// $XDG_CONFIG_HOME/Org/App.conf (~/.config when unset), sub-keys as groups. The file is for
// people too: numbers are written in decimal ("Port=3") and a decimal typed by hand reads as a
// number; the older "dword:xxxxxxxx" form still reads, and only as a number. A value that is no
// number is a failed read where a number belongs, so the caller's default holds. The file's
// text is read and written by RegistryFile, which keeps every value a plain text.
class Registry {
public:
    // Far beyond the few dozen values a key holds.
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

    Registry();
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    // Opens (and with canCreate, creates) the key; false when it cannot.
    bool OpenKey(const QString &key, bool canCreate);
    // True when the last OpenKey failed on a file that is there but could not be read: settings
    // nobody knows, which must not be written over.
    bool ReadFailed() const { return readFailed; }
    // Flushes the values written since OpenKey and closes the key; false when they could not be
    // stored (the file then keeps what it held).
    bool CloseKey();
    bool IsOpen() const { return settings != nullptr; }

    bool ValueExists(const QString &name) const;
    int ReadInteger(const QString &name) const;
    bool ReadBool(const QString &name) const { return ReadInteger(name) != 0; }
    // A number a person may have edited, held to what its reader can use. A missing value, or one
    // that is no number at all, is a failed read and gives `fallback` quietly. A number `usable`
    // refuses, however large, gives `fallback` too, and `note` then names the value, what it should
    // be (`expected`, as "from 1 to 99") and what is used instead; otherwise `note` is emptied.
    int ReadHeldInteger(const QString &name, int fallback, const std::function<bool(long long)> &usable,
                        const QString &expected, QString &note) const;
    int ReadHeldInteger(const QString &name, int fallback, int lowest, int highest, QString &note) const;
    // A missing text reads as empty; a number read as a text is a failed read.
    QString ReadString(const QString &name) const;

    void WriteInteger(const QString &name, int value);
    void WriteBool(const QString &name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void WriteString(const QString &name, const QString &value);

    // The settings file that a key maps to (for messages and tests).
    static QString FileForKey(const QString &key);

private:
    std::unique_ptr<QSettings> settings;
    QString group;
    bool readFailed = false;
    void RequireOpen() const;
};

} // namespace platform
