// Settings files of any content, as a person might have edited them, through the settings
// reader: every value the programs read comes back as a number, a text or a failed read, and
// what is written reads back the same.
#include "FuzzApplication.h"
#include "Registry.h"
#include "RegistryFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const QString key = QStringLiteral("SOFTWARE\\Zandrel Inc.\\Quorvel");

const char *const names[] = {
    "InternalUse", "Port",        "Baudrate", "Connectrate",     "Packet Timeout", "Optimized Loading",
    "InitialDir",  "Debug Level", "Logging",  "Tracing",         "FileHistory0",   "FileHistory9",
    "Left",        "Top",         "Width",    "Height",          "bESN",           "UseFSFile",
    "FSFile",      "UseSSFile",   "SSFile",   "Break Spacing MS"};

} // namespace

std::vector<std::string> FuzzSeeds() {
    return {
        "[General]\nPort=3\nBaudrate=115200\nConnectrate=0\nPacket%20Timeout=60\nOptimized%20Loading=1\n"
        "FileHistory0=/home/tech/app.hex\nFileHistory9=\nLeft=10\nTop=10\nWidth=798\nHeight=560\n",
        "[General]\nInternalUse=dword:00000001\nUseSSFile=1\nSSFile=\"/home/tech/a, b.txt\"\nDebug "
        "Level=255\n"
        "Break Spacing MS=-5\nbESN=yes\n",
        "[General]\nPort=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x3)\nInitialDir=a,b,c\nLogging=99999999999\n",
    };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // Whatever the file holds, what is read is written back so that it reads the same.
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QSettings::SettingsMap values = platform::ParseRegistryFile(text);
    if (platform::ParseRegistryFile(platform::ComposeRegistryFile(values)) != values)
        std::abort();

    static QTemporaryDir *config = [] {
        auto *dir = new QTemporaryDir; // lives as long as the process
        qputenv("XDG_CONFIG_HOME", dir->path().toLocal8Bit());
        QDir().mkpath(QFileInfo(platform::Registry::FileForKey(key)).absolutePath());
        return dir;
    }();
    (void)config;
    EnsureApplication();
    const QString file = platform::Registry::FileForKey(key);
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        out.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }

    platform::Registry reg;
    if (!reg.OpenKey(key, false))
        return 0;
    for (const char *name : names) {
        const QString value = QString::fromLatin1(name);
        try {
            const int number = reg.ReadInteger(value);
            if (reg.ReadBool(value) != (number != 0))
                std::abort();
        } catch (const platform::ERegistryException &) {
        }
        try {
            reg.ReadString(value);
        } catch (const platform::ERegistryException &) {
        }
    }

    // What the program writes reads back as it was, whatever the file held before.
    const int number = size >= 4
                           ? static_cast<int>(std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                                              std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24)
                           : 0;
    const QString history = QString::fromLocal8Bit(reinterpret_cast<const char *>(data),
                                                   static_cast<qsizetype>(std::min<std::size_t>(size, 200)));
    reg.WriteInteger(QStringLiteral("Port"), number);
    reg.WriteString(QStringLiteral("FileHistory0"), history);
    reg.CloseKey();
    if (!reg.OpenKey(key, false) || reg.ReadInteger(QStringLiteral("Port")) != number)
        std::abort();
    if (!history.startsWith(QLatin1String("dword:")) &&
        reg.ReadString(QStringLiteral("FileHistory0")) != history)
        std::abort();
    // The next start reads the file as written; a line break cannot stand in a line of it and is
    // written as a blank.
    QFile written(file);
    if (!written.open(QIODevice::ReadOnly) ||
        platform::ParseRegistryFile(written.readAll()).value(QStringLiteral("FileHistory0")).toString() !=
            QString(history).replace(u'\n', u' '))
        std::abort();
    return 0;
}
