#include "Registry.h"

#include "Numbers.h"
#include "RegistryFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <climits>
#include <optional>

namespace platform {
namespace {

// The older form of a stored number: "dword:" and eight hexadecimal digits. Still read; numbers
// are now written as plain decimal so that the file reads and edits by hand.
const QString numberPrefix = QStringLiteral("dword:");

QStringList KeyParts(const QString &key) {
    return key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

// Settings files that could not be read in this run, with the size and time they had. Qt keeps
// what it read of a file (nothing, after a read error) for the next QSettings on it, and reads it
// again only once its size or time changes: until then a later open would find the settings
// empty instead of unreadable, and write them over.
struct UnreadableFile {
    qint64 size = 0;
    QDateTime modified;
};

QHash<QString, UnreadableFile> &UnreadableFiles() {
    static QHash<QString, UnreadableFile> files;
    return files;
}

bool KnownUnreadable(const QFileInfo &info) {
    const auto found = UnreadableFiles().constFind(info.absoluteFilePath());
    return found != UnreadableFiles().constEnd() && found->size == info.size() &&
           found->modified == info.lastModified();
}

} // namespace

Registry::Registry() = default;

Registry::~Registry() {
    CloseKey();
}

QString Registry::FileForKey(const QString &key) {
    const QStringList parts = KeyParts(key);
    if (parts.size() < 3 || parts[0].compare(QLatin1String("SOFTWARE"), Qt::CaseInsensitive) != 0)
        return {};
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QLatin1Char('/') + parts[1] + QLatin1Char('/') + parts[2] + QStringLiteral(".conf");
}

bool Registry::OpenKey(const QString &key, bool canCreate) {
    CloseKey();
    readFailed = false;
    const QString file = FileForKey(key);
    if (file.isEmpty())
        return false;
    const QFileInfo info(file);
    // A pipe or a device in the file's place would hold the start for good, or never end, and a
    // file far beyond any settings is none; it is never read, nor written over.
    if (info.exists() && (!info.isFile() || info.size() > kMaxFileBytes || KnownUnreadable(info))) {
        readFailed = true;
        return false;
    }
    UnreadableFiles().remove(info.absoluteFilePath());
    if (!info.exists()) {
        // Creating the key means creating its (empty) file.
        QFile created(file);
        if (!canCreate || !QDir().mkpath(info.absolutePath()) || !created.open(QIODevice::WriteOnly))
            return false;
    }
    auto opened = std::make_unique<QSettings>(file, RegistryFileFormat());
    if (opened->status() != QSettings::NoError) {
        readFailed = info.exists();
        if (readFailed)
            UnreadableFiles().insert(info.absoluteFilePath(), {info.size(), info.lastModified()});
        return false;
    }
    group = KeyParts(key).mid(3).join(QLatin1Char('/'));
    if (!group.isEmpty())
        opened->beginGroup(group);
    settings = std::move(opened);
    return true;
}

bool Registry::CloseKey() {
    bool stored = true;
    if (settings) {
        settings->sync();
        stored = settings->status() == QSettings::NoError;
        settings.reset();
    }
    group.clear();
    return stored;
}

void Registry::RequireOpen() const {
    if (!settings)
        throw ERegistryException("Registry key is not open");
}

bool Registry::ValueExists(const QString &name) const {
    return settings && settings->contains(name);
}

int Registry::ReadInteger(const QString &name) const {
    RequireOpen();
    if (!settings->contains(name))
        throw ERegistryException(("Invalid data type for '" + name + "'").toStdString());
    const QString text = settings->value(name).toString().trimmed();
    bool ok = false;
    int value = 0;
    if (text.startsWith(numberPrefix))
        value = static_cast<int>(text.mid(numberPrefix.size()).toUInt(&ok, 16));
    else
        value = text.toInt(&ok, 10);
    if (!ok)
        throw ERegistryException(("Invalid data type for '" + name + "'").toStdString());
    return value;
}

int Registry::ReadHeldInteger(const QString &name, int fallback, const std::function<bool(long long)> &usable,
                              const QString &expected, QString &note) const {
    note.clear();
    if (!settings || !settings->contains(name))
        return fallback;
    const QString text = settings->value(name).toString().trimmed();
    std::optional<long long> value;
    if (text.startsWith(numberPrefix)) {
        try {
            value = ReadInteger(name);
        } catch (const ERegistryException &) {
            return fallback;
        }
    } else {
        value = ParseNumber(text.toStdString(), LLONG_MIN, LLONG_MAX);
        // Digits beyond any width are still a number typed out of range; anything else is no number.
        const qsizetype sign = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
        const bool decimal = text.size() > sign && std::all_of(text.begin() + sign, text.end(), [](QChar c) {
                                 return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                             });
        if (!value && !decimal)
            return fallback;
    }
    if (value && *value >= INT_MIN && *value <= INT_MAX && usable(*value))
        return static_cast<int>(*value);
    note = QStringLiteral("Settings: %1=%2 is not %3 - using %4").arg(name, text, expected).arg(fallback);
    return fallback;
}

int Registry::ReadHeldInteger(const QString &name, int fallback, int lowest, int highest,
                              QString &note) const {
    return ReadHeldInteger(
        name, fallback, [lowest, highest](long long value) { return value >= lowest && value <= highest; },
        QStringLiteral("from %1 to %2").arg(lowest).arg(highest), note);
}

QString Registry::ReadString(const QString &name) const {
    RequireOpen();
    if (!settings->contains(name))
        return {};
    const QString text = settings->value(name).toString();
    if (text.startsWith(numberPrefix))
        throw ERegistryException(("Invalid data type for '" + name + "'").toStdString());
    return text;
}

void Registry::WriteInteger(const QString &name, int value) {
    RequireOpen();
    settings->setValue(name, QString::number(value));
}

void Registry::WriteString(const QString &name, const QString &value) {
    RequireOpen();
    settings->setValue(name, value);
}

} // namespace platform
