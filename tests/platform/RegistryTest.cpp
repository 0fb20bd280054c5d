#include "Registry.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace platform;

namespace {
const QString key = QStringLiteral("SOFTWARE\\Zandrel Inc.\\RegistryTest");
}

TEST(Registry, ValuesKeepTheirTypesAcrossReopen) {
    QFile::remove(Registry::FileForKey(key));
    {
        Registry reg;
        ASSERT_TRUE(reg.OpenKey(key, true));
        reg.WriteInteger("Port", 3);
        reg.WriteInteger("Negative", -6);
        reg.WriteString("InitialDir", "/home/tech/UPDATES");
        reg.WriteString("Looks Like A Number", "123");
        reg.WriteBool("Optimized Loading", true);
        reg.CloseKey();
    }
    Registry reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    EXPECT_EQ(reg.ReadInteger("Port"), 3);
    EXPECT_EQ(reg.ReadInteger("Negative"), -6);
    EXPECT_EQ(reg.ReadString("InitialDir"), "/home/tech/UPDATES");
    EXPECT_TRUE(reg.ReadBool("Optimized Loading"));
    // A text is not a number, even when it reads like one, and a number is not a text.
    EXPECT_THROW(reg.ReadInteger("Looks Like A Number"), ERegistryException);
    EXPECT_THROW(reg.ReadString("Port"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_TRUE(reg.ValueExists("Port"));
    EXPECT_FALSE(reg.ValueExists("Missing"));
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
}
