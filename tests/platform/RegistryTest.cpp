#include "Registry.h"

#include "FileFaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <optional>

using namespace platform;

namespace {
const QString key = QStringLiteral("SOFTWARE\\Zandrel Inc.\\RegistryTest");

// The key's file as a person would write it.
void WriteByHand(const QByteArray &content) {
    const QString file = Registry::FileForKey(key);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(content);
}

QByteArray FileContent() {
    QFile in(Registry::FileForKey(key));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}
} // namespace

TEST(Registry, ValuesKeepTheirMeaningAcrossReopenAndNumbersAreWrittenInDecimal) {
    QFile::remove(Registry::FileForKey(key));
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(key, true));
        reg.WriteInteger("Port", 3);
        reg.WriteInteger("Negative", -6);
        reg.WriteString("InitialDir", "/home/tech/UPDATES");
        reg.WriteString("History", "/home/tech/a, b.hex");
        reg.WriteBool("Optimized Loading", true);
        reg.CloseKey();
    }
    const QByteArray file = FileContent();
    EXPECT_TRUE(file.contains("\nPort=3\n")) << file.toStdString();
    EXPECT_TRUE(file.contains("\nNegative=-6\n")) << file.toStdString();

    Registry reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    EXPECT_EQ(reg.ReadInteger("Port"), 3);
    EXPECT_EQ(reg.ReadInteger("Negative"), -6);
    EXPECT_EQ(reg.ReadString("InitialDir"), "/home/tech/UPDATES");
    EXPECT_EQ(reg.ReadString("History"), "/home/tech/a, b.hex");
    EXPECT_TRUE(reg.ReadBool("Optimized Loading"));
    EXPECT_THROW(reg.ReadInteger("InitialDir"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_TRUE(reg.ValueExists("Port"));
    EXPECT_FALSE(reg.ValueExists("Missing"));
}

TEST(Registry, ValuesTypedByHandAndInTheOlderForm) {
    struct Case {
        const char *stored;
        std::optional<int> number; // empty: a failed read where a number belongs
    };
    const Case cases[] = {
        {"3", 3},      {" 42 ", 42},   {"-6", -6}, {"dword:0000000a", 10}, {"dword:ffffffff", -1},
        {"seven", {}}, {"", {}},       {"3x", {}}, {"0x10", {}},           {"99999999999", {}},
        {"1,2", {}},   {"dword:", {}},
    };
    QByteArray content = "[General]\n";
    for (std::size_t i = 0; i < std::size(cases); ++i)
        content += "Value" + QByteArray::number(static_cast<int>(i)) + "=" + cases[i].stored + "\n";
    content += "Debug Level=255\nPath=/home/tech/loaders/ssl,v2.c\n";
    WriteByHand(content);

    Registry reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const QString name = QStringLiteral("Value%1").arg(i);
        if (cases[i].number)
            EXPECT_EQ(reg.ReadInteger(name), *cases[i].number) << cases[i].stored;
        else
            EXPECT_THROW(reg.ReadInteger(name), ERegistryException) << cases[i].stored;
    }
    EXPECT_EQ(reg.ReadInteger("Debug Level"), 255);
    // A decimal is also a text; the older form is a number only.
    EXPECT_EQ(reg.ReadString("Value0"), "3");
    EXPECT_THROW(reg.ReadString("Value3"), ERegistryException);
    EXPECT_EQ(reg.ReadString("Path"), "/home/tech/loaders/ssl,v2.c");
}

TEST(Registry, AHeldNumberOutOfRangeGivesTheFallbackAndANoteNamingIt) {
    WriteByHand("[General]\nIn=7\nLow=0\nHuge=99999999999999999999999\nOld=dword:ffffffff\nText=seven\n");
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    QString note;
    EXPECT_EQ(reg.ReadHeldInteger("In", 1, 1, 99, note), 7);
    EXPECT_TRUE(note.isEmpty());
    EXPECT_EQ(reg.ReadHeldInteger("Low", 1, 1, 99, note), 1);
    EXPECT_EQ(note, "Settings: Low=0 is not from 1 to 99 - using 1");
    EXPECT_EQ(reg.ReadHeldInteger("Huge", 1, 1, 99, note), 1);
    EXPECT_EQ(note, "Settings: Huge=99999999999999999999999 is not from 1 to 99 - using 1");
    EXPECT_EQ(reg.ReadHeldInteger("Old", 1, 1, 99, note), 1);
    EXPECT_EQ(note, "Settings: Old=dword:ffffffff is not from 1 to 99 - using 1");
    // No number at all, or none stored, is a failed read: the fallback, quietly.
    for (const char *name : {"Text", "Missing"}) {
        EXPECT_EQ(reg.ReadHeldInteger(name, 1, 1, 99, note), 1);
        EXPECT_TRUE(note.isEmpty()) << name;
    }
}

TEST(Registry, OpeningWithoutCreateFailsForMissingKey) {
    const QString missing = QStringLiteral("SOFTWARE\\Zandrel Inc.\\NeverWritten");
    QFile::remove(Registry::FileForKey(missing));
    Registry reg;
    EXPECT_FALSE(reg.OpenKey(missing, false));
    EXPECT_THROW(reg.ReadInteger("Port"), ERegistryException);
    EXPECT_TRUE(reg.OpenKey(missing, true));
    EXPECT_TRUE(QFile::exists(Registry::FileForKey(missing)));
    EXPECT_FALSE(reg.OpenKey("NotAKey", true));

    // A pipe in the file's place is never opened (that would wait for a writer), nor replaced.
    QFile::remove(Registry::FileForKey(missing));
    testsupport::MakeFifo(Registry::FileForKey(missing).toStdString());
    EXPECT_FALSE(reg.OpenKey(missing, true));
    EXPECT_TRUE(reg.ReadFailed());
    EXPECT_FALSE(QFileInfo(Registry::FileForKey(missing)).isFile());
    // Nor is a file beyond any settings read (a sparse one: no bytes are written).
    QFile::remove(Registry::FileForKey(missing));
    QFile huge(Registry::FileForKey(missing));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(Registry::kMaxFileBytes + 1));
    huge.close();
    EXPECT_FALSE(reg.OpenKey(missing, true));
    EXPECT_TRUE(reg.ReadFailed());
    QFile::remove(Registry::FileForKey(missing));
}
