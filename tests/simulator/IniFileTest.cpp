#include "IniFile.h"
#include "FileFaults.h"
#include "IniSettings.h"
#include "PelmoraTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::IniFile;

namespace {

QString WriteFile(const QTemporaryDir &dir, const QByteArray &content) {
    const QString name = dir.filePath("test.ini");
    QFile file(name);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return name;
}

} // namespace

TEST(IniFile, ReadsWithTheClassicRules) {
    QTemporaryDir dir;
    const QString name = WriteFile(dir, "; comment\r\n"
                                        "[UserButtons]\r\n"
                                        "Button1Line1 = $PQVZK,6*, \"quoted\" a=b \r\n"
                                        "button1line1=second\r\n"
                                        "Count=42\r\n"
                                        "Hex=0x1F\r\n"
                                        "Bad=12abc\r\n"
                                        "Flag=0\r\n"
                                        "[userbuttons]\r\n"
                                        "Later=1\r\n");
    IniFile ini(name);
    // The value is the text after the first '=', unquoted and unescaped; the first match wins.
    EXPECT_EQ(ini.ReadString("USERBUTTONS", "BUTTON1LINE1", "x"), "$PQVZK,6*, \"quoted\" a=b");
    EXPECT_EQ(ini.ReadInteger("UserButtons", "count", 0), 42);
    EXPECT_EQ(ini.ReadInteger("UserButtons", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("UserButtons", "Bad", 7), 7);          // not a number: the default
    EXPECT_EQ(ini.ReadInteger("UserButtons", "count", 7, 1, 41), 7); // out of its range: the default
    EXPECT_FALSE(ini.ReadBool("UserButtons", "Flag", true));
    EXPECT_EQ(ini.ReadString("UserButtons", "Later", "none"), "none"); // only the first section counts
    EXPECT_EQ(ini.ReadString("Missing", "Count", "d"), "d");
}

TEST(IniFile, WritesKeepTheOtherLines) {
    QTemporaryDir dir;
    const QString name = WriteFile(dir, "; keep me\n[A]\nOne=1\n\n[B]\nTwo=2\n");
    IniFile ini(name);
    ini.WriteString("a", "one", "uno"); // replaces in place
    ini.WriteString("A", "Three", "3"); // goes after the section's last line
    ini.WriteInteger("C", "Four", 4);   // a new section at the end
    ini.DeleteKey("B", "TWO");
    ini.DeleteKey("B", "Missing");
    // Nothing reaches the file until it is updated, and then all of it at once.
    EXPECT_EQ(pelmoratest::FileContents(name), "; keep me\n[A]\nOne=1\n\n[B]\nTwo=2\n");
    ini.UpdateFile();
    EXPECT_EQ(pelmoratest::FileContents(name), "; keep me\n[A]\none=uno\nThree=3\n\n[B]\n\n[C]\nFour=4\n");
    IniFile other(name);
    EXPECT_EQ(other.ReadInteger("c", "four", 0), 4);
    EXPECT_EQ(other.ReadString("A", "One", ""), "uno");
}

TEST(IniFile, ALineBreakNeverReachesTheFile) {
    QTemporaryDir dir;
    const QString name = WriteFile(dir, "[S]\nK=old\nJ=a\rb\n");
    IniFile ini(name);
    // A CR typed inside a line is read as a blank, so the value can go back under any key.
    EXPECT_TRUE(ini.WriteString("S", "J2", ini.ReadString("S", "J", "")));
    ini.DeleteKey("S", "J2");
    // What follows a break would come back as a section and keys of its own.
    EXPECT_FALSE(ini.WriteString("S", "K", "new\n[UserButtons]\nButtonGroup=3"));
    EXPECT_FALSE(ini.WriteString("S", "L", "a\rb"));
    ini.UpdateFile();
    EXPECT_EQ(pelmoratest::FileContents(name), "[S]\nK=old\nJ=a b\n");
    // Refused, not failed: the file takes the other keys.
    IniSettings settings(name);
    settings.SetSection("S");
    EXPECT_FALSE(settings.WriteString("K", "a\nb"));
    EXPECT_TRUE(settings.WriteString("M", "one line"));
}

TEST(IniFile, ADeletedKeyUncoversItsLaterTwinAndNewKeysFollowTheLastLine) {
    QTemporaryDir dir;
    const QString name = WriteFile(dir, "[S]\nA=1\nB=2\na=3\n\n[T]\nX=0\n");
    IniFile ini(name);
    ini.DeleteKey("S", "A");
    EXPECT_EQ(ini.ReadString("S", "A", ""), "3");
    ini.DeleteKey("S", "a");
    EXPECT_EQ(ini.ReadString("S", "A", "gone"), "gone");
    ini.WriteString("S", "C", "4"); // after B, the section's last line now, before the blank
    ini.WriteString("S", "B", "5");
    EXPECT_EQ(ini.ReadString("T", "x", ""), "0");
    ini.UpdateFile();
    EXPECT_EQ(pelmoratest::FileContents(name), "[S]\nB=5\nC=4\n\n[T]\nX=0\n");
}

TEST(IniFile, MissingFileIsCreatedOnFirstWrite) {
    QTemporaryDir dir;
    const QString name = dir.filePath("new.ini");
    IniFile ini(name);
    EXPECT_EQ(ini.ReadInteger("S", "K", 5), 5);
    EXPECT_FALSE(QFile::exists(name));
    ini.WriteBool("S", "K", true);
    EXPECT_EQ(ini.ReadString("s", "k", ""), "1");
    EXPECT_FALSE(QFile::exists(name));
    ini.UpdateFile();
    EXPECT_EQ(pelmoratest::FileContents(name), "[S]\nK=1\n");
}

TEST(IniFile, WriteIntoAMissingDirectoryRaises) {
    IniFile ini("/nonexistent-dir/for/sure/test.ini");
    ini.WriteString("S", "K", "v");
    EXPECT_THROW(ini.UpdateFile(), platform::IniFileError);
    EXPECT_TRUE(ini.IsModified());
}

TEST(IniFile, AFailedWriteOnAFullDiskLeavesTheFileAsItWas) {
    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString name = QString::fromStdString(disk.Path() + "/Pelmora.ini");
    IniFile ini(name);
    ini.WriteString("S", "K", "1");
    ini.UpdateFile();
    disk.Fill();
    ini.WriteString("S", "K", "2");
    EXPECT_THROW(ini.UpdateFile(), platform::IniFileError);
    EXPECT_EQ(pelmoratest::FileContents(name), "[S]\nK=1\n");
}

TEST(IniSettings, ReadOnlyFileIsLeftUntouched) {
    QTemporaryDir dir;
    const QString name = WriteFile(dir, "[Configuration]\nComPort=3\n");
    QFile::setPermissions(name, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    IniSettings settings(name);
    settings.SetSection("Configuration");
    EXPECT_EQ(settings.ReadInteger("ComPort", 1), 3);
    EXPECT_FALSE(settings.IsWritable());
    EXPECT_FALSE(settings.WriteInteger("ComPort", 5));
    EXPECT_FALSE(settings.DeleteKey("ComPort"));
    EXPECT_EQ(pelmoratest::FileContents(name), "[Configuration]\nComPort=3\n");
}

TEST(IniSettings, FirstFailedWriteStopsTheRest) {
    IniSettings settings("/nonexistent-dir/for/sure/test.ini");
    EXPECT_EQ(settings.GetSection(), "N/A");
    EXPECT_TRUE(settings.IsWritable());
    EXPECT_TRUE(settings.WriteString("K", "v"));
    EXPECT_FALSE(settings.UpdateFile());
    EXPECT_FALSE(settings.IsWritable());
    EXPECT_FALSE(settings.WriteBool("K", true));
    EXPECT_FALSE(settings.UpdateFile());
}

// A file from another machine: marked as UTF-8 by its editor, or with lines in a code page.
TEST(IniFile, ForeignEncodingsKeepTheirCharacters) {
    QTemporaryDir dir;
    const QString name = WriteFile(dir, "\xEF\xBB\xBF[UserButtons]\nButton1Caption=Caf\xE9 25\xB0\n"
                                        "Button2Caption=Gr\xC3\xBC\xC3\x9F\n");
    IniFile ini(name);
    ini.WriteString("UserButtons", "ButtonGroup", "1");
    ini.UpdateFile();
    IniFile again(name);
    EXPECT_EQ(again.ReadString("UserButtons", "Button1Caption", ""), QString::fromUtf8("Café 25°"));
    EXPECT_EQ(again.ReadString("UserButtons", "Button2Caption", ""), QString::fromUtf8("Grüß"));
}

// Such a file comes from Windows, where 0x80-0x9F are characters; it goes back as it came.
TEST(IniFile, LinesThatAreNotUtf8AreWindows1252) {
    QTemporaryDir dir;
    const QByteArray line = "Button1Caption=\x80 5 \x96 caf\xE9\n";
    const QString name = WriteFile(dir, "[UserButtons]\n" + line);
    IniFile ini(name);
    EXPECT_EQ(ini.ReadString("UserButtons", "Button1Caption", ""), QString::fromUtf8("€ 5 – café"));
    ini.WriteString("UserButtons", "ButtonGroup", "1");
    ini.UpdateFile();
    EXPECT_EQ(pelmoratest::FileContents(name), "[UserButtons]\n" + line + "ButtonGroup=1\n");
}

// Windows-1252 bytes of a UTF-8 line may form other UTF-8: each line keeps the code page it came in,
// and a UTF-8 line stays UTF-8 in a file with Windows-1252 lines.
TEST(IniFile, MixedCodePagesReadTheSameAfterEveryWrite) {
    QTemporaryDir dir;
    const QByteArray content =
        "[UserButtons]\nButton1Caption=CAF\xC3\x89\xE2\x80\x99S\nButton2Caption=Caf\xE9\n"
        "Button3Caption=Gr\xC3\xBC\xC3\x9F\n";
    const QString name = WriteFile(dir, content);
    for (const char *group : {"1", "2"}) {
        IniFile ini(name);
        ini.WriteString("UserButtons", "ButtonGroup", group);
        ini.UpdateFile();
    }
    IniFile again(name);
    EXPECT_EQ(again.ReadString("UserButtons", "Button1Caption", ""), QString::fromUtf8("CAFÉ’S"));
    EXPECT_EQ(pelmoratest::FileContents(name), content + "ButtonGroup=2\n");
}

TEST(IniFile, AWritableFileInAFolderClosedToNewFilesIsWritten) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "every folder is open to the superuser";
    QTemporaryDir dir;
    const QString name = WriteFile(dir, "[S]\nK=1\n");
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    IniFile ini(name);
    ini.WriteString("S", "K", "2");
    EXPECT_NO_THROW(ini.UpdateFile());
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(pelmoratest::FileContents(name), "[S]\nK=2\n");
}
