// Ini files of any content, as brought from another machine or edited by hand, through the ini
// reader key by key: every read stays inside the file's text, a write changes its own key and
// nothing else, and the file written back reads the same, whatever mix of UTF-8 and Windows-1252
// lines it holds.
#include "IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

std::vector<std::string> FuzzSeeds() {
    return {
        "[Section]\r\nKey=value\r\n\r\n[Other]\r\nkey = 0x1C200\r\nNumber=-12abc\r\n",
        "[a]\nk=1\n[A]\nk=2\n[b]\nk=a=b=c\nK=again\n",
        "no section=1\n[\n]\n[ spaced ]\n=empty key\n  [x]  trailing\nlong=" + std::string(700, 'x') + "\n",
        "\xEF\xBB\xBF[Caf\xE9]\nUtf8=CAF\xC3\x89\xE2\x80\x99S\nCodePage=\x80 5 \x96 "
        "caf\xE9\n[Gr\xC3\xBC\xC3\x9F]\nk=\xC9\x92\n",
    };
}

namespace {

QTemporaryDir &Folder() {
    static QTemporaryDir *dir = new QTemporaryDir; // lives as long as the process
    return *dir;
}

// The sections and keys the file itself names, read as the ini reader reads its lines, and a few
// the programs read, in a bounded number.
std::vector<std::pair<QString, QString>> NamesIn(const QByteArray &data) {
    std::vector<std::pair<QString, QString>> names{
        {"Configuration", "ComPort"}, {"UserButtons", "ButtonGroup"}, {"MessageDropDownLines", "Line01"}};
    QString section;
    for (QByteArray bytes : data.split('\n')) {
        if (names.size() >= 64)
            break;
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        const QString line = platform::DecodeSettingsLine(bytes);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.contains(QLatin1Char(']')))
            section = trimmed.mid(1, trimmed.indexOf(QLatin1Char(']')) - 1).trimmed();
        else if (line.contains(QLatin1Char('=')))
            names.emplace_back(section, line.left(line.indexOf(QLatin1Char('='))).trimmed());
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString name = Folder().filePath(QStringLiteral("keys.ini"));
    {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    auto names =
        NamesIn(QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    platform::IniFile ini(name);
    std::vector<QString> before;
    for (const auto &[section, key] : names) {
        before.push_back(ini.ReadString(section, key, QStringLiteral("\x01missing")));
        ini.ReadInteger(section, key, 7);
    }
    // A key the program writes, with a value of the kind button scripts hold, or one whose
    // Windows-1252 bytes are UTF-8 too, are not, or do not exist, into a section the file may or
    // may not have.
    const QString section = names[size % names.size()].first;
    const QString values[] = {QStringLiteral("SEND $PQVZK,1,1*00 = \"x\""), QString::fromUtf8("CAFÉ’S"),
                              QString::fromUtf8("Café 25°"), QString::fromUtf8("€ 中")};
    const QString &value = values[(size / names.size()) % std::size(values)];
    if (!section.contains(QLatin1Char(']')) && !section.contains(QLatin1Char('\r'))) {
        ini.WriteString(section, QStringLiteral("FuzzWritten"), value);
        if (ini.ReadString(section, QStringLiteral("FuzzWritten"), QString()) != value)
            std::abort();
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i].second.compare(QLatin1String("FuzzWritten"), Qt::CaseInsensitive) != 0 &&
                ini.ReadString(names[i].first, names[i].second, QStringLiteral("\x01missing")) != before[i])
                std::abort();
        names.emplace_back(section, QStringLiteral("FuzzWritten"));
    }
    // Written back and read again, every value is as it was.
    ini.UpdateFile();
    const platform::IniFile again(name);
    for (const auto &[section, key] : names)
        if (again.ReadString(section, key, QStringLiteral("\x01missing")) !=
            ini.ReadString(section, key, QStringLiteral("\x01missing")))
            std::abort();
    return 0;
}
