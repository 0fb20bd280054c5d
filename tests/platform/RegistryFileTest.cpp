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
        EXPECT_EQ(Text(read.value(it.key())), Text(it.value())) << it.key().toStdString();
        EXPECT_EQ(Text(again.value(it.key())), Text(it.value())) << it.key().toStdString();
    }
    EXPECT_EQ(read.size(), awkward.size());
    EXPECT_EQ(again.size(), awkward.size());
    EXPECT_TRUE(ComposeRegistryFile({{"Port", "3"}, {"Packet Timeout", "60"}})
                    .startsWith("[General]\nPacket%20Timeout=60\nPort=3\n"));
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
                                                          "[Other\n"
                                                          "Left=10\n");
    EXPECT_EQ(read.size(), 5);
    EXPECT_EQ(Text(read.value("Debug Level")), "255");
    EXPECT_EQ(Text(read.value("SSFile")), "/home/tech/loaders/ssl,v2.c");
    // Not data to decode: a text like any other, which no number can be read from.
    EXPECT_EQ(Text(read.value("Port")), std::string("@Variant(\0\0\0\t\0\x7f\x7f\x7f\x7f)", 19));
    EXPECT_EQ(Text(read.value("Escapes")), "aAAq\\");
    EXPECT_EQ(Text(read.value("Other/Left")), "10");
}
