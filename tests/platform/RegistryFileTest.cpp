#include "RegistryFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// Values of every awkward kind a settings file has held.
const QSettings::SettingsMap awkward = {
    {"Port", "3"},
    {"Packet Timeout", "dword:0000003c"},
    {"FileHistory0", "/home/tech/a, b; c=d.hex"},
    {"FileHistory1", "  blanks around  "},
    {"FileHistory2", "C:\\UPDATES\\\"quoted\"\\app.hex"},
    {"FileHistory3", "@Variant(not data)"},
    {"FileHistory4", QString::fromUtf8("/home/tëch/ünïcode/\u65e5\u672c.hex")},
    {"FileHistory5", QStringLiteral("tab\there\nline\x01"
                                    "1f")},
    {"Sub/Name", "in a sub-key"},
};

// What the former writer escaped (backslashes, quotes, a leading '@', control characters) and a
// person types as it stands: such values now read as typed.
const QStringList escapedFormerly = {"FileHistory2", "FileHistory3", "FileHistory5"};

std::string Text(const QVariant &value) {
    return value.toString().toStdString();
}

} // namespace

TEST(RegistryFile, ReadsFilesWrittenInTheFormerWayAndWritesWhatItReads) {
    // The files in use were written by Qt's own ini writer: they must read the same.
    QTemporaryDir dir;
    const QString former = dir.filePath("former.conf");
    {
        QSettings writer(former, QSettings::IniFormat);
        for (auto it = awkward.begin(); it != awkward.end(); ++it)
            writer.setValue(it.key(), it.value());
    }
    QFile file(former);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QSettings::SettingsMap read = ParseRegistryFile(file.readAll());
    const QSettings::SettingsMap again = ParseRegistryFile(ComposeRegistryFile(awkward));
    for (auto it = awkward.begin(); it != awkward.end(); ++it) {
        if (!escapedFormerly.contains(it.key())) {
            EXPECT_EQ(Text(read.value(it.key())), Text(it.value())) << it.key().toStdString();
        }
        // A line break cannot stand in a line: it is written as a blank.
        EXPECT_EQ(Text(again.value(it.key())), Text(it.value().toString().replace(u'\n', u' ')))
            << it.key().toStdString();
    }
    EXPECT_EQ(read.size(), awkward.size());
    EXPECT_EQ(again.size(), awkward.size());
    EXPECT_TRUE(ComposeRegistryFile({{"Port", "3"}, {"Packet Timeout", "60"}})
                    .startsWith("[General]\nPacket Timeout=60\nPort=3\n"));
}

TEST(RegistryFile, HandMadeAndDamagedLinesReadAsTextsOrNothing) {
    const QSettings::SettingsMap read = ParseRegistryFile("; a comment\n"
                                                          "# another\n"
                                                          "no equals sign\n"
                                                          "=no name\n"
                                                          "[General]\n"
                                                          "  Debug Level = 255  \n"
                                                          "SSFile=/home/tech/loaders/ssl,v2.c\n"
                                                          "Port=@Variant(\\0\\0\\0\\t\\0\x7f\x7f\x7f\x7f)\n"
                                                          "Escapes=a\\x41\\101\\q\\\n"
                                                          "InitialDir=/home/t\xe9"
                                                          "ch/\"new\"\n"
                                                          "[Other\n"
                                                          "Left=10\n");
    EXPECT_EQ(read.size(), 6);
    EXPECT_EQ(Text(read.value("Debug Level")), "255");
    EXPECT_EQ(Text(read.value("SSFile")), "/home/tech/loaders/ssl,v2.c");
    // Not data to decode: a text like any other, which no number can be read from.
    EXPECT_EQ(Text(read.value("Port")), "@Variant(\\0\\0\\0\\t\\0\x7f\x7f\x7f\x7f)");
    // As typed: a backslash or a quote is no escape, and a byte that is not UTF-8 keeps its character.
    EXPECT_EQ(Text(read.value("Escapes")), "a\\x41\\101\\q\\");
    EXPECT_EQ(read.value("InitialDir").toString(), QStringLiteral(u"/home/t\u00e9ch/\"new\""));
    EXPECT_EQ(Text(read.value("Other/Left")), "10");
}
