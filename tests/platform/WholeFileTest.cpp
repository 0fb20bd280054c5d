#include "WholeFile.h"

#include "FileFaults.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

TEST(WholeFile, AFileIsReplacedOnlyByOneWrittenWhole) {
    testsupport::FullDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString path = QString::fromStdString(disk.Path() + "/settings.conf");
    ASSERT_TRUE(SaveWhole(path, "Port=3\n"));
    disk.Fill();
    // Under Qt's own buffer, so only the flush inside the commit could find the disk full.
    EXPECT_FALSE(SaveWhole(path, QByteArray(6000, 'x')));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "Port=3\n");
    disk.Release();
    EXPECT_TRUE(SaveWhole(path, "Port=4\n"));
}

TEST(WholeFile, AReadErrorIsNeverTheEndOfTheFile) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("script.txt").toStdString();
    std::string data;
    EXPECT_EQ(ReadWholeFile(path, data), ReadOutcome::OpenFailed);
    testsupport::MakeUnreadable(path);
    EXPECT_EQ(ReadWholeFile(path, data), ReadOutcome::ReadFailed);
    std::FILE *file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string line;
    EXPECT_EQ(ReadLine(file, line), LineOutcome::ReadFailed);
    std::fclose(file);

    // Reads that fail just after a line end that is also the end of stdio's buffer.
    const std::string lines = std::string(4095, 'a') + '\n' + std::string(4095, 'b') + '\n';
    file = testsupport::StreamThatFailsAfter(lines);
    EXPECT_EQ(ReadWholeFile(file, data), ReadOutcome::ReadFailed);
    std::fclose(file);
    file = testsupport::StreamThatFailsAfter(lines);
    EXPECT_EQ(ReadLine(file, line), LineOutcome::Line);
    EXPECT_EQ(ReadLine(file, line), LineOutcome::Line);
    EXPECT_EQ(ReadLine(file, line), LineOutcome::ReadFailed);
    std::fclose(file);

    QFile::remove(QString::fromStdString(path));
    QFile plain(QString::fromStdString(path));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("one\ntwo");
    plain.close();
    EXPECT_EQ(ReadWholeFile(path, data), ReadOutcome::Read);
    EXPECT_EQ(data, "one\ntwo");
    file = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(ReadLine(file, line), LineOutcome::Line);
    EXPECT_EQ(line, "one");
    EXPECT_EQ(ReadLine(file, line), LineOutcome::Line);
    EXPECT_EQ(line, "two");
    EXPECT_EQ(ReadLine(file, line), LineOutcome::End);
    std::fclose(file);
}
